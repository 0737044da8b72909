#include <gtest/gtest.h>
#include "conversion/LarkspireScriptInterface.h"
#include "conversion/PresetConversionObject.h"
#include "conversion/ReferenceDataObject.h"
#include "conversion/SetupConversionObject.h"
#include "support/ConversionFixtures.h"

using namespace testing_support;

// The script objects, run in the real interpreter: what each method gives a script, and
// what it does to the converted item, including every kind of misuse.
namespace
{
    struct ScriptDesk
    {
        ScriptDesk (const Preset* preset, const SetupData* setup, const DeviceData* reference,
                    const DeviceDataFormat& target)
        {
            larkspire = new LarkspireScriptInterface();
            engine.registerNativeObject ("Larkspire", larkspire.get());
            engine.registerNativeObject ("ReferenceData", new ReferenceDataObject (reference));
            if (preset != nullptr)
            {
                presetObject = new PresetConversionObject (*preset, target);
                engine.registerNativeObject ("PresetConversion", presetObject.get());
            }
            if (setup != nullptr)
            {
                setupObject = new SetupConversionObject (*setup, target);
                engine.registerNativeObject ("SetupConversion", setupObject.get());
            }
        }

        juce::var eval (const juce::String& expression)
        {
            juce::Result result = juce::Result::ok();
            auto value = engine.evaluate (expression, &result);
            EXPECT_TRUE (result.wasOk()) << expression << ": " << result.getErrorMessage();
            return value;
        }

        void run (const juce::String& code)
        {
            const auto result = engine.execute (code);
            EXPECT_TRUE (result.wasOk()) << result.getErrorMessage();
        }

        juce::String type (const juce::String& expression) { return eval ("typeof (" + expression + ")").toString(); }

        juce::JavascriptEngine engine;
        juce::ReferenceCountedObjectPtr<LarkspireScriptInterface> larkspire;
        juce::ReferenceCountedObjectPtr<PresetConversionObject> presetObject;
        juce::ReferenceCountedObjectPtr<SetupConversionObject> setupObject;
    };

    juce::Array<int> intsOf (const juce::var& v)
    {
        juce::Array<int> out;
        if (auto* a = v.getArray())
            for (auto& e : *a)
                out.add ((int) e);
        return out;
    }
}

TEST (ScriptObjects, LarkspireReportsErrors)
{
    const auto f = versionFormat (veloce, 1, 1);
    {
        ScriptDesk desk (nullptr, nullptr, nullptr, f);
        EXPECT_EQ (desk.type ("Larkspire.debugPrint(\"x\", 1, [2])"), "void");
        EXPECT_FALSE (desk.larkspire->hasError());
        EXPECT_EQ (desk.type ("Larkspire.scriptError(\"Bad key\")"), "void");
        EXPECT_TRUE (desk.larkspire->hasError());
        EXPECT_EQ (desk.larkspire->getErrorText(), "Bad key");
    }
    for (auto call : { "Larkspire.scriptError()", "Larkspire.scriptError(\"\")", "Larkspire.scriptError(undefined)" })
    {
        ScriptDesk desk (nullptr, nullptr, nullptr, f);
        desk.run (call);
        EXPECT_TRUE (desk.larkspire->hasError()) << call;
        EXPECT_EQ (desk.larkspire->getErrorText(), "Unspecified error.") << call;
    }
    {
        // A number is reported as its text; a method taken off its object does nothing.
        ScriptDesk desk (nullptr, nullptr, nullptr, f);
        desk.run ("var report = Larkspire.scriptError; report(\"lost\");");
        EXPECT_FALSE (desk.larkspire->hasError());
        desk.run ("Larkspire.scriptError(42);");
        EXPECT_EQ (desk.larkspire->getErrorText(), "42");
    }
}

TEST (ScriptObjects, PresetConversionReadsTheSource)
{
    const auto source = versionFormat (veloce, 2, 1);
    const auto target = versionFormat (veloce, 3, 1);
    auto preset = versionPreset (source, 7, "Choir Lead", 2, 4);
    ASSERT_NE (preset, nullptr);
    ScriptDesk desk (preset.get(), nullptr, nullptr, target);

    EXPECT_EQ ((int) desk.eval ("PresetConversion.getProductId()"), veloce);
    const auto header = desk.eval ("PresetConversion.getHeader()");
    EXPECT_EQ ((int) header["number"], 7);
    EXPECT_EQ ((int) header["version"], 2);
    EXPECT_EQ (header["name"].toString(), "Choir Lead");
    EXPECT_EQ ((int) header["tags"], 5);
    EXPECT_EQ ((int) header["steps"], 2);

    EXPECT_EQ (intsOf (desk.eval ("PresetConversion.getStep()")), (juce::Array<int> { 400, 401, 402 }));
    EXPECT_EQ (intsOf (desk.eval ("PresetConversion.getStep(1)")), (juce::Array<int> { 410, 411, 412 }));
    EXPECT_EQ (intsOf (desk.eval ("PresetConversion.getStep(1.7)")), (juce::Array<int> { 410, 411, 412 }));
    // getStep(steps) and other misuse give void, which a script tests with typeof.
    for (auto call : { "PresetConversion.getStep(2)", "PresetConversion.getStep(-1)", "PresetConversion.getStep(\"1\")",
                       "PresetConversion.getStep([0])" })
        EXPECT_EQ (desk.type (call), "void") << call;
    EXPECT_TRUE (desk.eval ("typeof PresetConversion.getStep(9) == \"void\""));
    EXPECT_FALSE (desk.eval ("!PresetConversion.getStep(9)"));   // the interpreter's void is not falsy

    // Reading changed nothing.
    EXPECT_FALSE (preset->isModified());
    EXPECT_FALSE (desk.presetObject->getConverted().hasInfo());
}

TEST (ScriptObjects, PresetConversionBuildsTheConvertedPresetByAppendingSteps)
{
    const auto source = versionFormat (veloce, 2, 1);
    auto target = versionFormat (veloce, 3, 1);
    target.presetNameLength = 6;
    auto preset = versionPreset (source, 7, "Choir Lead", 2, 4);
    ScriptDesk desk (preset.get(), nullptr, nullptr, target);

    EXPECT_EQ ((int) desk.eval ("PresetConversion.setHeader({ number: 9, version: 3, name: \"Choir Lead\", tags: 6, steps: 0 })"), 1);
    const auto& converted = desk.presetObject->getConverted();
    ASSERT_TRUE (converted.hasInfo());
    EXPECT_EQ (converted.getInfo().number, 9);
    EXPECT_EQ (converted.getInfo().dataVersion, 3);
    EXPECT_EQ (converted.getInfo().tags, 6);
    EXPECT_EQ (converted.getInfo().getNameLength(), 6);   // the target's name length
    EXPECT_EQ (converted.getName(), "Choir ");
    EXPECT_EQ (converted.getFormat(), target);

    EXPECT_EQ ((int) desk.eval ("PresetConversion.setStep([1, 2, 3, 4], 0)"), 1);
    EXPECT_EQ ((int) desk.eval ("PresetConversion.setStep([5, 6], 1)"), 1);          // short steps are padded
    EXPECT_EQ (desk.type ("PresetConversion.setStep([7], 3)"), "void");              // beyond the end
    EXPECT_EQ (desk.type ("PresetConversion.setStep([1, 2, 3, 4, 5], 2)"), "void");  // more than a step holds
    EXPECT_EQ (desk.type ("PresetConversion.setStep([], 2)"), "void");
    EXPECT_EQ (desk.type ("PresetConversion.setStep(2, [1])"), "void");              // array comes first
    EXPECT_EQ (desk.type ("PresetConversion.setStep([1])"), "void");
    EXPECT_EQ (desk.type ("PresetConversion.setStep([1], \"2\")"), "void");
    EXPECT_EQ (desk.type ("PresetConversion.setStep([1], -1)"), "void");
    EXPECT_EQ ((int) desk.eval ("PresetConversion.setStep([\"8\", 9.9, true, 2147483648.5], 1)"), 1);   // replaces
    ASSERT_EQ (converted.getStepCount(), 2);
    EXPECT_TRUE (converted.isComplete());
    EXPECT_EQ (converted.getStepData (0), (juce::Array<int> { 1, 2, 3, 4 }));
    // Values travel as 28-bit numbers: the largest int keeps its low 28 bits, sign-extended.
    EXPECT_EQ (converted.getStepData (1), (juce::Array<int> { 8, 9, 1, -1 }));

    EXPECT_EQ ((int) desk.eval ("PresetConversion.deleteStep(0)"), 1);
    EXPECT_EQ (converted.getStepCount(), 1);
    EXPECT_EQ (converted.getStepData (0)[0], 8);
    for (auto call : { "PresetConversion.deleteStep(1)", "PresetConversion.deleteStep(-1)", "PresetConversion.deleteStep()",
                       "PresetConversion.deleteStep(\"0\")" })
        EXPECT_EQ (desk.type (call), "void") << call;
    EXPECT_EQ (converted.getStepCount(), 1);

    // The step limit of the target format holds.
    desk.run ("for (var i = 1; i < 6; ++i) PresetConversion.setStep([i], i);");
    EXPECT_EQ (converted.getStepCount(), 6);
    EXPECT_EQ (desk.type ("PresetConversion.setStep([1], 6)"), "void");
    EXPECT_TRUE (converted.isComplete());
}

TEST (ScriptObjects, PresetConversionMisuse)
{
    const auto f = versionFormat (veloce, 2, 1);
    auto preset = versionPreset (f, 3, "Solo", 1, 2);
    ScriptDesk desk (preset.get(), nullptr, nullptr, f);
    const auto& converted = desk.presetObject->getConverted();

    for (auto call : { "PresetConversion.setHeader()", "PresetConversion.setHeader(5)", "PresetConversion.setHeader(\"x\")",
                       "PresetConversion.setHeader([1, 2])" })
        EXPECT_EQ (desk.type (call), "void") << call;
    EXPECT_FALSE (converted.hasInfo());

    // A header announcing steps holds none of their messages yet: replacing step 0 is
    // refused, and so is appending after the announced steps.
    EXPECT_EQ ((int) desk.eval ("PresetConversion.setHeader({ number: 3, version: 2, name: \"Solo\", steps: 2 })"), 1);
    EXPECT_EQ (desk.type ("PresetConversion.setStep([1, 2, 3], 0)"), "void");
    EXPECT_EQ (desk.type ("PresetConversion.setStep([1, 2, 3], 2)"), "void");
    EXPECT_FALSE (converted.isComplete());

    // Missing header properties read as 0 and an empty name.
    EXPECT_EQ ((int) desk.eval ("PresetConversion.setHeader({})"), 1);
    EXPECT_EQ (converted.getInfo().number, 0);
    EXPECT_EQ (converted.getName(), "");
    EXPECT_EQ (converted.getStepCount(), 0);

    // Methods called on another object, or taken off theirs, give void and change nothing.
    desk.run ("var other = { f: PresetConversion.setStep }; var r1 = other.f([1], 0);"
              "var g = PresetConversion.getProductId; var r2 = g();");
    EXPECT_EQ (desk.type ("r1"), "void");
    EXPECT_EQ (desk.type ("r2"), "void");
    EXPECT_EQ (converted.getStepCount(), 0);
}

TEST (ScriptObjects, SetupConversion)
{
    const auto source = versionFormat (veloce, 1, 2);
    const auto target = versionFormat (veloce, 1, 3);   // 2 x 5 values
    SetupData setup (source);
    setup.setSetupDataVersion (2);
    ASSERT_TRUE (setup.setData ({ 1, 2, 3, 4, 5, 6, 7, 8 }));
    setup.setModified (false);
    ScriptDesk desk (nullptr, &setup, nullptr, target);
    const auto& converted = desk.setupObject->getConverted();

    EXPECT_EQ ((int) desk.eval ("SetupConversion.getProductId()"), veloce);
    EXPECT_EQ ((int) desk.eval ("SetupConversion.getVersion()"), 2);
    EXPECT_EQ (intsOf (desk.eval ("SetupConversion.getData()")), (juce::Array<int> { 1, 2, 3, 4, 5, 6, 7, 8 }));

    // The converted setup starts with the target's version; values that fit make it whole.
    EXPECT_EQ (converted.getSetupDataVersion(), 3);
    EXPECT_FALSE (converted.isComplete());
    EXPECT_EQ ((int) desk.eval ("SetupConversion.setData([1, 2, 3, 4, 5, 6, 7, 8, 9, 10])"), 1);
    EXPECT_TRUE (converted.isComplete());
    EXPECT_EQ (converted.getData(), (juce::Array<int> { 1, 2, 3, 4, 5, 6, 7, 8, 9, 10 }));

    // Values that do not fit, or no array, leave what was stored.
    for (auto call : { "SetupConversion.setData([1, 2, 3])", "SetupConversion.setData([1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11])",
                       "SetupConversion.setData()", "SetupConversion.setData(7)", "SetupConversion.setData({ a: 1 })" })
        EXPECT_EQ (desk.type (call), "void") << call;
    EXPECT_EQ (converted.getData(), (juce::Array<int> { 1, 2, 3, 4, 5, 6, 7, 8, 9, 10 }));

    EXPECT_EQ ((int) desk.eval ("SetupConversion.setVersion(4)"), 1);
    EXPECT_EQ (converted.getSetupDataVersion(), 4);
    EXPECT_TRUE (converted.isModified());
    for (auto call : { "SetupConversion.setVersion(0)", "SetupConversion.setVersion(-3)", "SetupConversion.setVersion()",
                       "SetupConversion.setVersion(\"5\")" })
        EXPECT_EQ (desk.type (call), "void") << call;
    EXPECT_EQ (converted.getSetupDataVersion(), 4);

    desk.run ("var other = { v: SetupConversion.setVersion }; var r = other.v(9);");
    EXPECT_EQ (desk.type ("r"), "void");
    EXPECT_EQ (converted.getSetupDataVersion(), 4);
    EXPECT_FALSE (setup.isModified());

    // An incomplete source gives no data.
    SetupData empty (source);
    ScriptDesk emptyDesk (nullptr, &empty, nullptr, target);
    EXPECT_EQ (emptyDesk.type ("SetupConversion.getData()"), "void");
    EXPECT_EQ ((int) emptyDesk.eval ("SetupConversion.getVersion()"), -1);
}

TEST (ScriptObjects, ReferenceDataReadsTheWholeUnit)
{
    const auto f = versionFormat (veloce, 2, 1, 6);
    auto unit = versionUnit (f, { 1, 4 });
    const auto* preset = unit->getPreset (4);
    ScriptDesk desk (preset, nullptr, unit.get(), f);

    EXPECT_EQ ((int) desk.eval ("ReferenceData.getProductId()"), veloce);
    EXPECT_EQ ((int) desk.eval ("ReferenceData.getPresetVersion()"), 2);
    EXPECT_EQ ((int) desk.eval ("ReferenceData.getSetupVersion()"), 1);
    EXPECT_TRUE ((bool) desk.eval ("ReferenceData.isPresetAvailable(4)"));
    EXPECT_FALSE ((bool) desk.eval ("ReferenceData.isPresetAvailable(2)"));
    EXPECT_FALSE ((bool) desk.eval ("ReferenceData.isPresetAvailable(99)"));
    EXPECT_FALSE ((bool) desk.eval ("ReferenceData.isPresetAvailable()"));
    EXPECT_EQ (desk.type ("ReferenceData.isPresetAvailable()"), "number");   // false, not void
    EXPECT_TRUE ((bool) desk.eval ("ReferenceData.isSetupAvailable()"));
    EXPECT_EQ (intsOf (desk.eval ("ReferenceData.getSetup()")), unit->getSetup().getData());

    const auto full = desk.eval ("ReferenceData.getPreset(4)");
    EXPECT_EQ ((int) full["number"], 4);
    EXPECT_EQ (full["name"].toString(), "Preset 4");
    EXPECT_EQ ((int) full["steps"], 2);
    EXPECT_EQ ((int) full["version"], 2);
    ASSERT_EQ (full["data"].size(), 2);
    EXPECT_EQ (intsOf (full["data"][1]), preset->getStepData (1));
    for (auto call : { "ReferenceData.getPreset(2)", "ReferenceData.getPreset(6)", "ReferenceData.getPreset(-1)",
                       "ReferenceData.getPreset()", "ReferenceData.getPreset(\"4\")" })
        EXPECT_EQ (desk.type (call), "void") << call;

    // A unit without a complete setup.
    auto bare = versionUnit (f, { 1 }, false);
    ScriptDesk bareDesk (nullptr, nullptr, bare.get(), f);
    EXPECT_FALSE ((bool) bareDesk.eval ("ReferenceData.isSetupAvailable()"));
    EXPECT_EQ (bareDesk.type ("ReferenceData.getSetup()"), "void");

    // No unit: everything is void, so scripts can tell a single item from a whole unit.
    ScriptDesk single (preset, nullptr, nullptr, f);
    for (auto call : { "ReferenceData.getProductId()", "ReferenceData.getPresetVersion()", "ReferenceData.getSetupVersion()",
                       "ReferenceData.isPresetAvailable(4)", "ReferenceData.isSetupAvailable()", "ReferenceData.getPreset(4)",
                       "ReferenceData.getSetup()" })
        EXPECT_EQ (single.type (call), "void") << call;

    // Taken off the object, a method gives void.
    desk.run ("var ask = ReferenceData.getProductId; var r = ask();");
    EXPECT_EQ (desk.type ("r"), "void");
}
