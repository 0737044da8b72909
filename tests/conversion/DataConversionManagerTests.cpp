#include <gtest/gtest.h>
#include "conversion/DataConversionManager.h"
#include "conversion/RuleScriptRunner.h"
#include "support/ConversionFixtures.h"
#include <cstring>
#include <malloc.h>
#include <thread>

#if defined (__has_feature)
 #if __has_feature (address_sanitizer) || __has_feature (thread_sanitizer)
  // A sanitizer's allocator serves every allocation; the C library's figures stay empty.
  #define LARKSPIRE_TEST_SANITIZER_HEAP 1
  #include <sanitizer/allocator_interface.h>
 #endif
#endif

using namespace testing_support;

namespace
{
    constexpr int presetKind = ConversionRuleInfo::preset, setupKind = ConversionRuleInfo::setup;

    const VersionNumber build100 (0, 1, 0, 0, 100, 0), build200 (0, 1, 1, 0, 200, 0), build300 (0, 1, 2, 0, 300, 0),
                        cantorBuild (0, 2, 0, 0, 100, 0);

    // Veloce: builds 100-199 hold preset data 1 and setup data 1, 200-299 preset data 2,
    // 300 on preset data 3 and setup data 2. Cantor (6 slots) holds preset data 1.
    // Rules: presets 1 > 2 > 3 > Cantor 1, setups 1 > 2.
    struct VeloceWorld : RuleWorld
    {
        VeloceWorld()
        {
            profile (versionFormat (veloce, 1, 1), 100, 199);
            profile (versionFormat (veloce, 2, 1), 200, 299);
            profile (versionFormat (veloce, 3, 2), 300, -1);
            profile (versionFormat (cantor, 1, 1, 6), 100, -1);
            rule (presetKind, veloce, 1, veloce, 2, 1, script ("p12.js", presetScript (2, { "header.number" })));
            rule (presetKind, veloce, 2, veloce, 3, 1, script ("p23.js", presetScript (3, { "77" })));
            rule (presetKind, veloce, 3, cantor, 1, 1, script ("p3c1.js", presetScript (1, {}, 2)));
            rule (setupKind, veloce, 1, veloce, 2, 1, script ("s12.js", setupScript (2, 2)));
        }

        // Replaces a rule's script text.
        void rewrite (const juce::String& name, const juce::String& text) { script (name, text); }

        ScopedProductNames names;
    };

    juce::Array<int> values (std::initializer_list<int> v) { return juce::Array<int> (v); }

    // A copy of a unit's stored bytes, to show that a conversion left its source alone.
    juce::MemoryBlock stored (const DeviceData& d)
    {
        juce::MemoryOutputStream out;
        EXPECT_EQ (d.writeToStream (out), 0);
        EXPECT_GT (out.getDataSize(), 100u);
        return out.getMemoryBlock();
    }

    // Runs convertDeviceData on a worker thread of its own, as the backup conversion does.
    struct ConversionThread : juce::Thread, DataConversionManager::Listener
    {
        ConversionThread (const ConversionContent& content, const DeviceData& s, juce::uint8 product, VersionNumber v)
            : juce::Thread ("test conversion"), manager (content), source (s), targetProduct (product), version (v)
        {
            manager.addListener (this);
        }
        ~ConversionThread() override { stopThread (20000); }

        void run() override
        {
            result = manager.convertDeviceData (source, targetProduct, version);
            finished = true;
        }
        void presetConverted (int, int) override { ++presets; }
        void setupConverted() override {}

        DataConversionManager manager;
        const DeviceData& source;
        juce::uint8 targetProduct;
        VersionNumber version;
        std::unique_ptr<DeviceData> result;
        std::atomic<int> presets { 0 };
        std::atomic<bool> finished { false };
    };

    // Bytes of heap the whole process has in use.
    size_t heapInUse()
    {
       #if LARKSPIRE_TEST_SANITIZER_HEAP
        return __sanitizer_get_current_allocated_bytes();
       #else
        const auto info = mallinfo2();
        return info.uordblks + info.hblkhd;
       #endif
    }

    bool waitFor (const std::function<bool()>& condition, int timeoutMs)
    {
        const auto deadline = juce::Time::getMillisecondCounter() + (juce::uint32) timeoutMs;
        while (! condition())
        {
            if (juce::Time::getMillisecondCounter() > deadline)
                return condition();
            juce::Thread::sleep (5);
        }
        return true;
    }

    const char* const loopForever = "while (true) { var spin = 1; }\n";
}

TEST (DataConversionManager, ErrorTexts)
{
    auto bits = [] (std::initializer_list<int> set)
    {
        juce::BigInteger b;
        for (auto bit : set)
            b.setBit (bit);
        return DataConversionManager::getErrorBitsText (b);
    };
    EXPECT_EQ (bits ({}), "");
    EXPECT_EQ (bits ({ 0 }), "There are insufficient definitions available to perform the conversion.");
    EXPECT_EQ (bits ({ 1 }), "The conversion definition is invalid.");
    EXPECT_EQ (bits ({ 2 }), "The conversion definition is invalid.");
    EXPECT_EQ (bits ({ 3 }), "Profile information for the target version is missing.");
    EXPECT_EQ (bits ({ 4 }), "Allocating target data structures failed.");
    EXPECT_EQ (bits ({ 7 }), "An error occurred during preset conversion.");
    EXPECT_EQ (bits ({ 8 }), "An error occurred during setup conversion.");
    EXPECT_EQ (bits ({ 9 }), "The target rejected the new setup data.");
    EXPECT_EQ (bits ({ 16 }), "JavaScript execution error.");
    EXPECT_EQ (bits ({ 31 }), "An internal error occurred during conversion.");
    // The lowest known bit speaks; other bits alone are unknown.
    EXPECT_EQ (bits ({ 31, 16 }), "JavaScript execution error.");
    EXPECT_EQ (bits ({ 9, 3, 31 }), "Profile information for the target version is missing.");
    EXPECT_EQ (bits ({ 5, 16 }), "JavaScript execution error.");
    EXPECT_EQ (bits ({ 5 }), "Unknown internal error.");
    EXPECT_EQ (bits ({ 6, 12, 40 }), "Unknown internal error.");

    // The script's own text goes before the bits' text; nothing without bits.
    VeloceWorld w;
    w.rewrite ("p12.js", "Larkspire.scriptError(\"The tag table is damaged.\");");
    DataConversionManager m (w);
    EXPECT_EQ (m.getErrorText(), "");
    auto unit = versionUnit (versionFormat (veloce, 1, 1), { 1 });
    EXPECT_EQ (m.convertDeviceData (*unit, veloce, build200), nullptr);
    EXPECT_EQ (m.getErrorText(), "The tag table is damaged.");
    EXPECT_TRUE (m.getErrors()[16] && m.getErrors()[31]);
    m.reset();
    EXPECT_FALSE (m.hasErrors());
    EXPECT_EQ (m.getErrorInfo(), "");
    EXPECT_EQ (m.getErrorText(), "");
}

TEST (DataConversionManager, CheckConversionFindsTheChainAndItsScripts)
{
    VeloceWorld w;
    DataConversionManager m (w);
    EXPECT_TRUE (m.checkConversion (veloce, 1, cantor, 1, presetKind));
    EXPECT_TRUE (m.checkConversion (veloce, 2, veloce, 2, setupKind));   // nothing to convert
    EXPECT_FALSE (m.hasErrors());

    w.folder.child ("p23.js").deleteFile();
    EXPECT_FALSE (m.checkConversion (veloce, 1, veloce, 3, presetKind));
    EXPECT_EQ (m.getErrors().toInt64(), 1 << 1);

    // It does not reset: the earlier bit stays.
    EXPECT_FALSE (m.checkConversion (veloce, 3, veloce, 1, presetKind));
    EXPECT_EQ (m.getErrors().toInt64(), (1 << 0) | (1 << 1));

    // A folder of the script's name is no script.
    m.reset();
    w.folder.child ("p23.js").createDirectory();
    EXPECT_FALSE (m.checkConversion (veloce, 2, veloce, 3, presetKind));
    EXPECT_EQ (m.getErrorText(), "The conversion definition is invalid.");
}

TEST (DataConversionManager, EqualVersionsCopyEveryPresetAndTheSetup)
{
    VeloceWorld w;
    const auto f = versionFormat (veloce, 2, 1);
    auto unit = versionUnit (f, { 1, 3, 7 });
    unit->setPresetModified (3, true);
    const auto before = stored (*unit);

    DataConversionManager m (w);
    RecordingListener listener;
    m.addListener (&listener);
    auto result = m.convertDeviceData (*unit, veloce, build200);
    ASSERT_NE (result, nullptr);
    EXPECT_FALSE (m.hasErrors());
    EXPECT_EQ (result->getVersion(), build200);
    EXPECT_EQ (result->getFormat(), f);
    EXPECT_EQ (result->getPresetIndices(), values ({ 1, 3, 7 }));
    for (auto i : { 1, 3, 7 })
    {
        EXPECT_EQ (result->getPreset (i)->getMd5(), unit->getPreset (i)->getMd5());
        EXPECT_FALSE (result->isPresetModified (i));
    }
    EXPECT_TRUE (result->getSetup().isSameSetup (unit->getSetup()));
    EXPECT_EQ (result->getSetup().getData(), unit->getSetup().getData());
    EXPECT_FALSE (result->isModified());
    EXPECT_EQ (listener.presets, (std::vector<std::pair<int, int>> { { 1, 3 }, { 2, 3 }, { 3, 3 } }));
    EXPECT_EQ (listener.setups, 1);
    EXPECT_EQ (stored (*unit), before);
}

TEST (DataConversionManager, ConvertsAlongTheChainOfRules)
{
    VeloceWorld w;
    auto unit = versionUnit (versionFormat (veloce, 1, 1), { 2, 5 });
    const auto before = stored (*unit);

    DataConversionManager m (w);
    RecordingListener listener;
    m.addListener (&listener);
    auto result = m.convertDeviceData (*unit, veloce, build300);
    ASSERT_NE (result, nullptr) << m.getErrorText();
    EXPECT_FALSE (m.hasErrors()) << m.getErrorText();
    EXPECT_EQ (result->getFormat(), versionFormat (veloce, 3, 2));

    // Version 1 steps hold 2 values; each rule appends one: the preset number, then 77.
    auto* p = result->getPreset (5);
    ASSERT_NE (p, nullptr);
    EXPECT_EQ (p->getName(), "Preset 5");
    EXPECT_EQ (p->getInfo().dataVersion, 3);
    ASSERT_EQ (p->getStepCount(), 2);
    EXPECT_EQ (p->getStepData (0), values ({ 500, 501, 5, 77 }));
    EXPECT_EQ (p->getStepData (1), values ({ 510, 511, 5, 77 }));
    EXPECT_TRUE (p->isComplete());
    EXPECT_EQ (result->getPreset (2)->getStepData (1), values ({ 210, 211, 2, 77 }));

    // The setup went from 2 x 3 values to 2 x 4, version 2.
    EXPECT_EQ (result->getSetup().getSetupDataVersion(), 2);
    EXPECT_EQ (result->getSetup().getData(), values ({ 500, 501, 502, 503, 504, 505, 0, 0 }));
    EXPECT_EQ (listener.presets, (std::vector<std::pair<int, int>> { { 1, 2 }, { 2, 2 } }));
    EXPECT_EQ (listener.setups, 1);
    EXPECT_EQ (stored (*unit), before);

    // Across products: presets go on to Cantor, whose 6 slots take only the common ones.
    auto many = versionUnit (versionFormat (veloce, 1, 1), { 1, 4, 8, 10 });
    RecordingListener toCantor;
    DataConversionManager c (w);
    c.addListener (&toCantor);
    auto cantorData = c.convertDeviceData (*many, cantor, cantorBuild);
    ASSERT_NE (cantorData, nullptr) << c.getErrorText();
    EXPECT_EQ (cantorData->getNumSlots(), 6);
    EXPECT_EQ (cantorData->getPresetIndices(), values ({ 1, 4 }));
    EXPECT_EQ (cantorData->getPreset (4)->getStepData (0), values ({ 400, 401 }));
    EXPECT_EQ (toCantor.presets, (std::vector<std::pair<int, int>> { { 1, 4 }, { 2, 4 } }));
    // No setup rule leads to Cantor: the presets are kept and the bits say why the setup is missing.
    EXPECT_EQ (toCantor.setups, 0);
    EXPECT_TRUE (c.getErrors()[8]);
    EXPECT_EQ (c.getErrorText(), "An error occurred during setup conversion.");
    EXPECT_FALSE (cantorData->getSetup().isComplete());
}

TEST (DataConversionManager, WithoutPresetsOnlyTheSetupNeedsAChain)
{
    VeloceWorld w;
    // No preset rule leads from version 3 back to 1, but there are no presets to convert.
    auto empty = versionUnit (versionFormat (veloce, 3, 2), {});
    DataConversionManager m (w);
    RecordingListener listener;
    m.addListener (&listener);
    auto result = m.convertDeviceData (*empty, veloce, build100);
    ASSERT_NE (result, nullptr);
    // Nor does a setup rule lead from 2 to 1: with no presets in the target that is bit 0.
    EXPECT_EQ (m.getErrors().toInt64(), 1);
    EXPECT_TRUE (listener.presets.empty());
    EXPECT_EQ (listener.setups, 0);

    auto setupOnly = versionUnit (versionFormat (veloce, 1, 1), {});
    auto converted = m.convertDeviceData (*setupOnly, veloce, build300);
    ASSERT_NE (converted, nullptr);
    EXPECT_FALSE (m.hasErrors());
    EXPECT_EQ (listener.setups, 1);
    EXPECT_EQ (converted->getSetup().getSetupDataVersion(), 2);
}

TEST (DataConversionManager, AMissingPresetChainFailsBeforeAnyPreset)
{
    VeloceWorld w;
    auto unit = versionUnit (versionFormat (veloce, 3, 2), { 1 });
    DataConversionManager m (w);
    RecordingListener listener;
    m.addListener (&listener);
    EXPECT_EQ (m.convertDeviceData (*unit, veloce, build100), nullptr);
    EXPECT_EQ (m.getErrors().toInt64(), 1);
    EXPECT_TRUE (listener.presets.empty());

    // A build without a profile, and a profile that is no usable format.
    EXPECT_EQ (m.convertDeviceData (*unit, veloce, VersionNumber (0, 0, 1, 0, 50, 0)), nullptr);
    EXPECT_EQ (m.getErrorText(), "Profile information for the target version is missing.");
    auto broken = versionFormat (aria, 1, 1);
    broken.presetVersion = 0;
    w.profile (broken, 0, -1);
    EXPECT_EQ (m.convertDeviceData (*unit, aria, build100), nullptr);
    EXPECT_TRUE (m.getErrors()[3]);
}

TEST (DataConversionManager, OneFailingPresetAbandonsTheWholeConversion)
{
    VeloceWorld w;
    w.rewrite ("p12.js", "if (PresetConversion.getHeader().number == 6) Larkspire.scriptError(\"Preset 6 is damaged.\");\n"
                         + presetScript (2, { "0" }));
    auto unit = versionUnit (versionFormat (veloce, 1, 1), { 1, 2, 6, 9 });
    const auto before = stored (*unit);
    DataConversionManager m (w);
    RecordingListener listener;
    m.addListener (&listener);
    EXPECT_EQ (m.convertDeviceData (*unit, veloce, build200), nullptr);
    EXPECT_EQ (m.getErrorText(), "Preset 6 is damaged.");
    EXPECT_TRUE (m.getErrors()[16] && m.getErrors()[31]);
    EXPECT_EQ (listener.presets, (std::vector<std::pair<int, int>> { { 1, 4 }, { 2, 4 } }));
    EXPECT_EQ (listener.setups, 0);
    EXPECT_EQ (stored (*unit), before);
}

TEST (DataConversionManager, IncompleteResultsAreErrors)
{
    VeloceWorld w;
    const auto f = versionFormat (veloce, 1, 1);
    auto preset = versionPreset (f, 4, "Thin", 2, 4);
    DataConversionManager m (w);
    juce::Array<ConversionRuleInfo> chain;
    ASSERT_TRUE (m.findConversionPath (chain, veloce, 1, veloce, 2, presetKind));

    // A script that writes nothing gives no preset, not an empty one.
    w.rewrite ("p12.js", "var header = PresetConversion.getHeader();\n");
    EXPECT_EQ (m.convertPreset (*preset, chain), nullptr);
    EXPECT_EQ (m.getErrors().toInt64(), 1 << 7);
    EXPECT_EQ (m.getErrorText(), "An error occurred during preset conversion.");

    // Nor does a header that announces steps the script never wrote.
    w.rewrite ("p12.js", "var h = PresetConversion.getHeader(); h.version = 2; PresetConversion.setHeader(h);\n");
    EXPECT_EQ (m.convertPreset (*preset, chain), nullptr);
    EXPECT_EQ (m.getErrors().toInt64(), 1 << 7);

    // A header of 0 steps is a whole (empty) preset.
    w.rewrite ("p12.js", "var h = PresetConversion.getHeader(); h.version = 2; h.steps = 0; PresetConversion.setHeader(h);\n");
    auto bare = m.convertPreset (*preset, chain);
    ASSERT_NE (bare, nullptr);
    EXPECT_EQ (bare->getStepCount(), 0);
    EXPECT_EQ (bare->getFormat(), versionFormat (veloce, 2, 1));

    // The same for a setup.
    SetupData setup (f);
    setup.setSetupDataVersion (1);
    ASSERT_TRUE (setup.setData ({ 1, 2, 3, 4, 5, 6 }));
    juce::Array<ConversionRuleInfo> setupChain;
    ASSERT_TRUE (m.findConversionPath (setupChain, veloce, 1, veloce, 2, setupKind));
    w.rewrite ("s12.js", "SetupConversion.setVersion(2);\n");
    EXPECT_EQ (m.convertSetup (setup, setupChain), nullptr);
    EXPECT_EQ (m.getErrors().toInt64(), 1 << 8);
    w.rewrite ("s12.js", setupScript (2, 2));
    auto converted = m.convertSetup (setup, setupChain);
    ASSERT_NE (converted, nullptr);
    EXPECT_EQ (converted->getData(), values ({ 1, 2, 3, 4, 5, 6, 0, 0 }));
    EXPECT_FALSE (m.hasErrors());

    // An empty chain gives a plain copy.
    auto copy = m.convertPreset (*preset, {});
    ASSERT_NE (copy, nullptr);
    EXPECT_EQ (copy->getMd5(), preset->getMd5());
}

TEST (DataConversionManager, RefusedSetupsKeepTheConvertedPresets)
{
    VeloceWorld w;
    // The script stores a setup of another version than the target holds.
    w.rewrite ("s12.js", setupScript (2, 2) + "SetupConversion.setVersion(5);\n");
    auto unit = versionUnit (versionFormat (veloce, 1, 1), { 3 });
    DataConversionManager m (w);
    RecordingListener listener;
    m.addListener (&listener);
    auto result = m.convertDeviceData (*unit, veloce, build300);
    ASSERT_NE (result, nullptr);
    EXPECT_EQ (m.getErrors().toInt64(), 1 << 9);
    EXPECT_EQ (m.getErrorText(), "The target rejected the new setup data.");
    EXPECT_EQ (result->getPresetIndices(), values ({ 3 }));
    EXPECT_FALSE (result->getSetup().isComplete());
    EXPECT_EQ (listener.setups, 0);

    // A failing setup script: its own bits, and bit 9.
    w.rewrite ("s12.js", "Larkspire.scriptError();");
    result = m.convertDeviceData (*unit, veloce, build300);
    ASSERT_NE (result, nullptr);
    EXPECT_TRUE (m.getErrors()[9] && m.getErrors()[16] && m.getErrors()[31]);
    EXPECT_EQ (m.getErrorText(), "Unspecified error.");

    // A source whose setup is incomplete gets no setup step at all.
    auto noSetup = versionUnit (versionFormat (veloce, 1, 1), { 3 }, false);
    result = m.convertDeviceData (*noSetup, veloce, build300);
    ASSERT_NE (result, nullptr);
    EXPECT_FALSE (m.hasErrors());
    EXPECT_EQ (listener.setups, 0);
}

TEST (DataConversionManager, ScriptFilesProfilesAndLayoutsAreChecked)
{
    VeloceWorld w;
    auto unit = versionUnit (versionFormat (veloce, 1, 1), { 1 });
    DataConversionManager m (w);

    w.folder.child ("p12.js").replaceWithText ("");
    EXPECT_EQ (m.convertDeviceData (*unit, veloce, build200), nullptr);
    EXPECT_EQ (m.getErrors().toInt64(), 1 << 2);

    // Far beyond any rule's size: refused before it is parsed.
    juce::String huge;
    huge.preallocateBytes (200000);
    for (int i = 0; i < 20000; ++i)
        huge << "var a = 1;\n";
    w.rewrite ("p12.js", huge);
    EXPECT_EQ (m.convertDeviceData (*unit, veloce, build200), nullptr);
    EXPECT_EQ (m.getErrors().toInt64(), 1 << 2);

    w.folder.child ("p12.js").deleteFile();
    EXPECT_EQ (m.convertDeviceData (*unit, veloce, build200), nullptr);
    EXPECT_EQ (m.getErrors().toInt64(), 1 << 1);

    // A rule leading to a version no profile describes.
    VeloceWorld gap;
    gap.rule (presetKind, veloce, 1, veloce, 9, 0, gap.script ("p19.js", presetScript (9)));
    gap.profile (versionFormat (veloce, 8, 1), 900, -1);
    auto preset = versionPreset (versionFormat (veloce, 1, 1), 1, "A", 1, 1);
    DataConversionManager g (gap);
    juce::Array<ConversionRuleInfo> chain;
    ASSERT_TRUE (g.findConversionPath (chain, veloce, 1, veloce, 9, presetKind));
    EXPECT_EQ (g.convertPreset (*preset, chain), nullptr);
    EXPECT_EQ (g.getErrors().toInt64(), 1 << 3);

    // A profile for preset data 2 whose layout differs from the target build's: the
    // converted preset is refused rather than stored in the wrong layout.
    RuleWorld clash;
    clash.rule (presetKind, veloce, 1, veloce, 2, 1, clash.script ("p12.js", presetScript (2, { "0" })));
    clash.profile (versionFormat (veloce, 2, 1), 0, 0);
    auto other = versionFormat (veloce, 2, 1);
    other.presetStepPacketSize = 24;
    clash.profile (other, 250, 259);
    DataConversionManager c (clash);
    RecordingListener listener;
    c.addListener (&listener);
    EXPECT_EQ (c.convertDeviceData (*unit, veloce, VersionNumber (0, 1, 1, 5, 255, 0)), nullptr);
    EXPECT_EQ (c.getErrors().toInt64(), (juce::int64) 1 << 31);
    EXPECT_TRUE (listener.presets.empty());
}

TEST (DataConversionManager, ScriptErrorsAndSyntaxErrors)
{
    VeloceWorld w;
    auto preset = versionPreset (versionFormat (veloce, 1, 1), 1, "A", 1, 1);
    DataConversionManager m (w);
    juce::Array<ConversionRuleInfo> chain;
    ASSERT_TRUE (m.findConversionPath (chain, veloce, 1, veloce, 2, presetKind));

    w.rewrite ("p12.js", presetScript (2, { "0" }) + "Larkspire.scriptError(\"x\");");
    EXPECT_EQ (m.convertPreset (*preset, chain), nullptr);
    EXPECT_EQ (m.getErrors().toInt64(), (juce::int64) 0x80010000);
    EXPECT_EQ (m.getErrorText(), "x");

    w.rewrite ("p12.js", "Larkspire.scriptError();");
    EXPECT_EQ (m.convertPreset (*preset, chain), nullptr);
    EXPECT_EQ (m.getErrorText(), "Unspecified error.");

    w.rewrite ("p12.js", "var header = PresetConversion.getHeader(;\n");
    EXPECT_EQ (m.convertPreset (*preset, chain), nullptr);
    EXPECT_EQ (m.getErrors().toInt64(), (juce::int64) 0x80010000);
    EXPECT_TRUE (m.getErrorText().startsWith ("Line 1, column")) << m.getErrorText();

    // A run-time error: an unknown method.
    w.rewrite ("p12.js", "PresetConversion.convertEverything();");
    EXPECT_EQ (m.convertPreset (*preset, chain), nullptr);
    EXPECT_TRUE (m.getErrorText().contains ("Unknown function")) << m.getErrorText();

    // The next item starts clean.
    w.rewrite ("p12.js", presetScript (2, { "0" }));
    EXPECT_NE (m.convertPreset (*preset, chain), nullptr);
    EXPECT_FALSE (m.hasErrors());
}

TEST (DataConversionManager, AScriptThatNeverEndsTimesOut)
{
    EXPECT_EQ (DataConversionManager::defaultScriptTimeLimitMs, 60000);
    EXPECT_EQ (DataConversionManager::getScriptTimeLimitMs(), 60000);
    ScopedScriptTimeLimit limit (300);
    EXPECT_EQ (DataConversionManager::getScriptTimeLimitMs(), 300);

    VeloceWorld w;
    w.rewrite ("p12.js", loopForever);
    auto unit = versionUnit (versionFormat (veloce, 1, 1), { 1 });
    DataConversionManager m (w);
    EXPECT_EQ (m.convertDeviceData (*unit, veloce, build200), nullptr);
    EXPECT_EQ (m.getErrors().toInt64(), (juce::int64) 0x80010000);
    EXPECT_TRUE (m.getErrorText().contains ("Execution timed-out")) << m.getErrorText();
    EXPECT_FALSE (m.wasStopped());
}

TEST (DataConversionManager, DeepRecursionDoesNotCrash)
{
    ScopedScriptTimeLimit limit (20000);
    VeloceWorld w;
    auto preset = versionPreset (versionFormat (veloce, 1, 1), 1, "A", 1, 1);
    DataConversionManager m (w);
    juce::Array<ConversionRuleInfo> chain;
    ASSERT_TRUE (m.findConversionPath (chain, veloce, 1, veloce, 2, presetKind));

    // Unbounded recursion that finds its function in its own scope runs fast and deep:
    // it is interrupted long before the stack ends.
    w.rewrite ("p12.js", "function f(g, n) { return g(g, n + 1); }\nf(f, 0);\n");
    EXPECT_EQ (m.convertPreset (*preset, chain), nullptr);
    EXPECT_EQ (m.getErrors().toInt64(), (juce::int64) 0x80010000);
    EXPECT_EQ (m.getErrorText(), DataConversionManager::recursionText);

    // Recursion through the function's global name looks the name up through every level:
    // it slows down as it deepens, and is still stopped by the depth, not by the time limit.
    w.rewrite ("p12.js", "function f(n) { return f(n + 1); }\nf(0);\n");
    EXPECT_EQ (m.convertPreset (*preset, chain), nullptr);
    EXPECT_EQ (m.getErrorText(), DataConversionManager::recursionText);

    // Recursion thousands of levels deep that ends by itself.
    w.rewrite ("p12.js", "function depth(g, n) { if (n == 0) return 0; return 1 + g(g, n - 1); }\n"
                         "var d = depth(depth, 5000);\n"
                         "if (d != 5000) Larkspire.scriptError(\"depth \" + d);\n" + presetScript (2, { "0" }));
    EXPECT_NE (m.convertPreset (*preset, chain), nullptr) << m.getErrorText();

    // The same manager and its script thread go on working after an interruption.
    w.rewrite ("p12.js", "function f(g, n) { return g(g, n + 1); }\nf(f, 0);\n");
    EXPECT_EQ (m.convertPreset (*preset, chain), nullptr);
    EXPECT_EQ (m.getErrorText(), DataConversionManager::recursionText);
    w.rewrite ("p12.js", presetScript (2, { "0" }));
    EXPECT_NE (m.convertPreset (*preset, chain), nullptr);

    // Values nested far deeper than any stack could release recursively.
    w.rewrite ("p12.js", "var x = []; for (var i = 0; i < 400000; ++i) x = [x];\n"
                         "var o = {}; for (var j = 0; j < 200000; ++j) o = { next: o };\n" + presetScript (2, { "0" }));
    EXPECT_NE (m.convertPreset (*preset, chain), nullptr) << m.getErrorText();
}

TEST (DataConversionManager, AScriptThatGrowsWithoutEndIsStoppedAtItsMemoryBudget)
{
    ScopedScriptTimeLimit limit (30000);   // a safety net only: the budget ends these scripts
    VeloceWorld w;
    auto unit = versionUnit (versionFormat (veloce, 1, 1), { 1, 2 });
    const auto before = stored (*unit);
    DataConversionManager m (w);
    const auto heapBefore = heapInUse();

    for (auto script : { "var a = []; while (true) a.push([1, 2, 3, 4]);",
                         "var o = {}; while (true) o = { next: o, values: [1, 2, 3, 4] };",
                         "var s = \"0123456789\"; while (true) s = s + s;" })
    {
        w.rewrite ("p12.js", script);
        EXPECT_EQ (m.convertDeviceData (*unit, veloce, build200), nullptr) << script;
        EXPECT_EQ (m.getErrors().toInt64(), (juce::int64) 0x80010000) << script;
        EXPECT_EQ (m.getErrorText(), DataConversionManager::memoryText) << script;
        EXPECT_EQ (stored (*unit), before);
    }

    // What the scripts took is given back, and the next script runs.
    EXPECT_LT (heapInUse(), heapBefore + RuleScriptRunner::memoryBudget / 8);
    w.rewrite ("p12.js", presetScript (2, { "0" }));
    EXPECT_NE (m.convertDeviceData (*unit, veloce, build200), nullptr) << m.getErrorText();
}

// Only what the script's own thread takes counts: memory that other threads of the program
// hold, take or give back while it runs neither stops a script nor hides its growth.
TEST (RuleScriptRunner, TheBudgetCountsOnlyTheScriptsOwnMemory)
{
    constexpr size_t elsewhere = (size_t) 200 << 20;
    struct Block
    {
        std::unique_ptr<char[]> bytes;
        void take() { bytes.reset (new char[elsewhere]); std::memset (bytes.get(), 1, elsewhere); }
    };

    // Another thread takes 200 MB while the script runs and holds it until the end.
    Block held;
    juce::WaitableEvent scriptStarted, memoryTaken;
    std::thread other ([&] { scriptStarted.wait (-1); held.take(); memoryTaken.signal(); });

    // A block taken before the run, which the script's thread gives back (through a native
    // call) before the script grows.
    Block given;
    given.take();

    // Each run has an engine of its own, as conversions do.
    auto engineWithTest = [&]
    {
        auto engine = std::make_unique<juce::JavascriptEngine>();
        engine->maximumExecutionTime = juce::RelativeTime::seconds (20);
        juce::DynamicObject::Ptr test (new juce::DynamicObject());
        test->setMethod ("started", [&] (const juce::var::NativeFunctionArgs&)
        {
            scriptStarted.signal();
            memoryTaken.wait (-1);
            return juce::var();
        });
        test->setMethod ("giveBack", [&] (const juce::var::NativeFunctionArgs&)
        {
            given.bytes.reset();
            return juce::var();
        });
        engine->registerNativeObject ("Test", test.get());
        return engine;
    };
    RuleScriptRunner runner;

    // A counting script that takes almost nothing runs for a while beside the 200 MB.
    auto small = runner.run (*engineWithTest(), "Test.started(); var n = 0; for (var i = 0; i < 200000; ++i) n = n + i;", {});
    other.join();
    EXPECT_EQ (small.outcome, RuleScriptRunner::Outcome::finished) << small.message;

    // A script that grows is stopped, although more than it takes was given back on its thread.
    auto growing = runner.run (*engineWithTest(), "Test.giveBack(); var s = \"0123456789\";"
                                                  "while (s.length < 100000000) s = s + s; while (true) {}", {});
    EXPECT_EQ (growing.outcome, RuleScriptRunner::Outcome::outOfMemory) << growing.message;
    EXPECT_EQ (given.bytes, nullptr);
}

TEST (DataConversionManager, StopInterruptsARunningScriptAndLosesNothing)
{
    // The real time limit: only the stop can end this script within the test.
    ASSERT_EQ (DataConversionManager::getScriptTimeLimitMs(), 60000);
    VeloceWorld w;
    w.rewrite ("p12.js", "if (PresetConversion.getHeader().number == 2) { " + juce::String (loopForever) + " }\n"
                         + presetScript (2, { "0" }));
    auto unit = versionUnit (versionFormat (veloce, 1, 1), { 1, 2, 3 });
    const auto before = stored (*unit);

    // The thread is asked to exit, as a progress window's "Stop!" does.
    {
        ConversionThread thread (w, *unit, veloce, build200);
        thread.startThread();
        ASSERT_TRUE (waitFor ([&] { return thread.presets.load() == 1; }, 20000));
        juce::Thread::sleep (50);   // well inside the endless loop now
        EXPECT_FALSE (thread.finished.load());
        thread.signalThreadShouldExit();
        EXPECT_TRUE (waitFor ([&] { return thread.finished.load(); }, 10000));
        EXPECT_TRUE (thread.stopThread (10000));   // it ended by itself
        EXPECT_EQ (thread.result, nullptr);
        EXPECT_TRUE (thread.manager.wasStopped());
        EXPECT_EQ (thread.manager.getErrorText(), DataConversionManager::stoppedText);
        EXPECT_TRUE (thread.manager.getErrors()[16] && thread.manager.getErrors()[31]);
        EXPECT_EQ (thread.presets.load(), 1);
    }
    EXPECT_EQ (stored (*unit), before);

    // Or another thread asks the manager to stop; every later operation then fails too.
    {
        ConversionThread thread (w, *unit, veloce, build200);
        thread.startThread();
        ASSERT_TRUE (waitFor ([&] { return thread.presets.load() == 1; }, 20000));
        thread.manager.requestStop();
        EXPECT_TRUE (waitFor ([&] { return thread.finished.load(); }, 10000));
        EXPECT_TRUE (thread.stopThread (10000));
        EXPECT_EQ (thread.result, nullptr);
        EXPECT_TRUE (thread.manager.wasStopped());

        w.rewrite ("p12.js", presetScript (2, { "0" }));
        EXPECT_EQ (thread.manager.convertDeviceData (*unit, veloce, build200), nullptr);
        EXPECT_TRUE (thread.manager.wasStopped());
        EXPECT_EQ (thread.manager.getErrorText(), DataConversionManager::stoppedText);
    }
    EXPECT_EQ (stored (*unit), before);
}

TEST (DataConversionManager, ListenersRunFromTheLastAddedAndMayLeave)
{
    VeloceWorld w;
    auto unit = versionUnit (versionFormat (veloce, 2, 1), { 1, 2 });
    DataConversionManager m (w);

    std::vector<juce::String> calls;
    struct Named : DataConversionManager::Listener
    {
        Named (std::vector<juce::String>& c, const char* n) : calls (c), name (n) {}
        void presetConverted (int done, int) override
        {
            calls.push_back (name + juce::String (done));
            if (leave != nullptr)
                manager->removeListener (leave);
        }
        void setupConverted() override { calls.push_back (name + "s"); }
        std::vector<juce::String>& calls;
        juce::String name;
        DataConversionManager* manager = nullptr;
        Listener* leave = nullptr;
    };
    Named a (calls, "a"), b (calls, "b");
    m.addListener (&a);
    m.addListener (&b);
    m.addListener (&a);   // once only
    // b, called first, removes a during the first call.
    b.manager = &m;
    b.leave = &a;
    ASSERT_NE (m.convertDeviceData (*unit, veloce, build200), nullptr);
    EXPECT_EQ (calls, (std::vector<juce::String> { "b1", "b2", "bs" }));

    calls.clear();
    b.leave = nullptr;
    m.addListener (&a);
    ASSERT_NE (m.convertDeviceData (*unit, veloce, build200), nullptr);
    EXPECT_EQ (calls, (std::vector<juce::String> { "a1", "b1", "a2", "b2", "as", "bs" }));
}
