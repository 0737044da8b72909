#include <gtest/gtest.h>
#include "content/ContentDownloadThread.h"
#include "content/ContentManager.h"
#include "conversion/DataConversionManager.h"
#include "support/ContentWorld.h"

using namespace testing_support;

// The sample content's rules and scripts, downloaded from the local web service by the
// real content manager and run by a conversion manager that takes its rules and profiles
// from it, as the program does.
namespace
{
    constexpr juce::uint8 merle = 17, merleXT = 18;

    struct SyncedContent
    {
        SyncedContent()
        {
            setContentManager (newFetchedContentManager());
            cm = getContentManager();
            for (auto id : { merle, merleXT })
            {
                EXPECT_TRUE (cm->prepareProduct (id));
                cm->getDownloadThread()->queueProduct (id);
                EXPECT_TRUE (pumpUntil ([this, id] { return cm->isProductSynced (id); }, 60000));
            }
        }

        ContentWorld world;
        ContentManager* cm = nullptr;
    };

    DeviceDataFormat formatOf (ContentManager& cm, juce::uint8 id, int build)
    {
        auto caps = cm.createDeviceCaps (id, build);
        return caps != nullptr ? caps->getFormat() : DeviceDataFormat();
    }

    std::unique_ptr<Preset> makeMerlePreset (const DeviceDataFormat& f, int number, int tags, const juce::Array<int>& mixes)
    {
        auto p = std::make_unique<Preset> (f);
        PresetInfo info;
        info.number = number;
        info.dataVersion = f.presetVersion;
        info.tags = tags;
        info.setNameBytes (nullptr, f.presetNameLength);
        info.writeName ("Voice " + juce::String (number));
        p->setInfo (info);
        for (int step = 0; step < mixes.size(); ++step)
        {
            juce::Array<int> values;
            for (int k = 0; k < p->getStepCapacity(); ++k)
                values.add (number * 10 + step + k);
            if (values.size() >= 10)
                values.set (9, mixes[step]);
            p->setStepData (step, values);
        }
        return p;
    }

    juce::Array<int> concat (juce::Array<int> a, std::initializer_list<int> more)
    {
        for (auto v : more)
            a.add (v);
        return a;
    }
}

TEST (SampleConversion, ProfilesByDataVersion)
{
    SyncedContent content;
    auto& cm = *content.cm;

    auto presetTwo = cm.createDeviceCapsForDataVersion (merle, 1, 2);
    ASSERT_NE (presetTwo, nullptr);
    EXPECT_EQ (presetTwo->getPresetVersion(), 2);
    EXPECT_EQ (presetTwo->getFirstBuild(), 110);
    EXPECT_EQ (presetTwo->getLastBuild(), 129);

    auto setupTwo = cm.createDeviceCapsForDataVersion (merle, 2, 2);
    ASSERT_NE (setupTwo, nullptr);
    EXPECT_EQ (setupTwo->getSetupVersion(), 2);
    EXPECT_EQ (setupTwo->getFirstBuild(), 130);   // an open range ends at its start
    EXPECT_EQ (setupTwo->getLastBuild(), 130);

    // A profile that does not name the key takes the base definition's value.
    auto xtPresets = cm.createDeviceCapsForDataVersion (merleXT, 1, 1);
    ASSERT_NE (xtPresets, nullptr);
    EXPECT_EQ (xtPresets->getPresetVersion(), 1);
    EXPECT_EQ (xtPresets->getLastBuild(), 209);

    // No profile holds the version: the base definition alone.
    auto none = cm.createDeviceCapsForDataVersion (merle, 1, 9);
    ASSERT_NE (none, nullptr);
    EXPECT_EQ (none->getPresetVersion(), 1);
    EXPECT_EQ (none->getLastBuild(), 0);

    EXPECT_EQ (cm.createDeviceCapsForDataVersion (merle, 3, 1), nullptr);
    EXPECT_EQ (cm.createDeviceCapsForDataVersion (99, 1, 1), nullptr);
}

TEST (SampleConversion, MerleUnitsConvertAcrossVersionsAndProducts)
{
    SyncedContent content;
    auto& cm = *content.cm;
    const auto v1 = formatOf (cm, merle, 100);
    ASSERT_TRUE (v1.isValid());
    ASSERT_EQ (v1.presetVersion, 1);

    // Presets 1 and 2 are Harmony presets (tag 2), 5 is not. The setup starts with preset
    // 9, which is not stored, and holds harmony key 7.
    DeviceData unit (VersionNumber (0, 1, 0, 0, 100, 0), v1, nullptr);
    unit.setPreset (1, makeMerlePreset (v1, 1, 2, { 0, 0 }));
    unit.setPreset (2, makeMerlePreset (v1, 2, 3, { 0 }));
    unit.setPreset (5, makeMerlePreset (v1, 5, 1, { 0, 0, 0 }));
    SetupData setup (v1);
    juce::Array<int> setupValues;
    for (int k = 0; k < 24; ++k)
        setupValues.add (k == 0 ? 9 : (k == 1 ? 7 : 30 + k));
    setup.setSetupDataVersion (1);
    ASSERT_TRUE (setup.setData (setupValues));
    ASSERT_TRUE (unit.setSetup (setup, false));

    // To preset and setup data 2: the unit's key goes into every step, the start-up preset
    // becomes the first stored one.
    DataConversionManager manager;
    auto merle140 = manager.convertDeviceData (unit, merle, VersionNumber (0, 1, 2, 0, 140, 0));
    ASSERT_NE (merle140, nullptr) << manager.getErrorText();
    EXPECT_FALSE (manager.hasErrors()) << manager.getErrorText();
    auto* p1 = merle140->getPreset (1);
    ASSERT_NE (p1, nullptr);
    EXPECT_EQ (p1->getInfo().dataVersion, 2);
    EXPECT_EQ (p1->getName(), "Voice 1");
    EXPECT_EQ (p1->getStepData (1), concat (unit.getPreset (1)->getStepData (1), { 7, 64 }));
    EXPECT_EQ (merle140->getSetup().getSetupDataVersion(), 2);
    auto expectedSetup = setupValues;
    expectedSetup.set (0, 1);
    EXPECT_EQ (merle140->getSetup().getData(), concat (expectedSetup, { 64, 64, 0, 1 }));

    // To the Merle XT, through Merle preset data 2: each preset links to the next stored one,
    // Harmony presets crossfade into a linked Harmony preset. No setup rule leads to the XT.
    auto xt = manager.convertDeviceData (unit, merleXT, VersionNumber (0, 2, 1, 0, 210, 0));
    ASSERT_NE (xt, nullptr) << manager.getErrorText();
    EXPECT_EQ (manager.getErrors().toInt64(), 1 << 8);
    EXPECT_EQ (xt->getProductId(), merleXT);
    EXPECT_EQ (xt->getPresetIndices(), (juce::Array<int> { 1, 2, 5 }));
    struct Expect { int slot, link, crossfade; };
    for (auto e : { Expect { 1, 2, 1 }, Expect { 2, 5, 0 }, Expect { 5, 1, 0 } })
    {
        auto* p = xt->getPreset (e.slot);
        ASSERT_NE (p, nullptr);
        EXPECT_EQ (p->getStepCount(), unit.getPreset (e.slot)->getStepCount());
        EXPECT_EQ (p->getStepData (0), concat (unit.getPreset (e.slot)->getStepData (0), { 7, 64, e.link, e.crossfade }))
            << e.slot;
    }
    EXPECT_FALSE (xt->getSetup().isComplete());

    // A single preset has no unit to refer to: key 0, and it links to itself.
    juce::Array<ConversionRuleInfo> chain;
    ASSERT_TRUE (manager.findConversionPath (chain, merle, 1, merleXT, 1, 1));
    ASSERT_EQ (chain.size(), 2);
    auto single = manager.convertPreset (*unit.getPreset (2), chain);
    ASSERT_NE (single, nullptr) << manager.getErrorText();
    EXPECT_EQ (single->getStepData (0), concat (unit.getPreset (2)->getStepData (0), { 0, 64, 2, 0 }));
}

TEST (SampleConversion, SilentStepsAreLeftOutOnTheWayBack)
{
    SyncedContent content;
    auto& cm = *content.cm;
    const auto v2 = formatOf (cm, merle, 125);
    ASSERT_EQ (v2.presetVersion, 2);
    DeviceData unit (VersionNumber (0, 1, 1, 0, 125, 0), v2, nullptr);
    unit.setPreset (1, makeMerlePreset (v2, 1, 0, { 64, 0, 80 }));
    unit.setPreset (2, makeMerlePreset (v2, 2, 0, { 0, 0 }));

    DataConversionManager manager;
    auto back = manager.convertDeviceData (unit, merle, VersionNumber (0, 1, 0, 0, 100, 0));
    ASSERT_NE (back, nullptr) << manager.getErrorText();
    EXPECT_FALSE (manager.hasErrors()) << manager.getErrorText();
    auto* p1 = back->getPreset (1);
    ASSERT_EQ (p1->getStepCount(), 2);
    auto firstEight = [] (juce::Array<int> v) { v.removeRange (8, v.size()); return v; };
    EXPECT_EQ (p1->getStepData (0), firstEight (unit.getPreset (1)->getStepData (0)));
    EXPECT_EQ (p1->getStepData (1), firstEight (unit.getPreset (1)->getStepData (2)));
    // Every step silent: the first one stays.
    ASSERT_EQ (back->getPreset (2)->getStepCount(), 1);
    EXPECT_EQ (back->getPreset (2)->getStepData (0), firstEight (unit.getPreset (2)->getStepData (0)));
}

TEST (SampleConversion, TheSampleScriptsUseEveryNativeMethod)
{
    juce::String scripts;
    for (auto& f : ContentWorld::sampleContent().findChildFiles (juce::File::findFiles, true, "*.js"))
        scripts << f.loadFileAsString();
    for (auto method : { "Larkspire.scriptError(", "Larkspire.debugPrint(",
                         "PresetConversion.getProductId(", "PresetConversion.getHeader(", "PresetConversion.getStep(",
                         "PresetConversion.setHeader(", "PresetConversion.setStep(", "PresetConversion.deleteStep(",
                         "SetupConversion.getProductId(", "SetupConversion.getVersion(", "SetupConversion.getData(",
                         "SetupConversion.setVersion(", "SetupConversion.setData(",
                         "ReferenceData.getProductId(", "ReferenceData.getPresetVersion(", "ReferenceData.getSetupVersion(",
                         "ReferenceData.isPresetAvailable(", "ReferenceData.isSetupAvailable(", "ReferenceData.getPreset(",
                         "ReferenceData.getSetup(" })
        EXPECT_TRUE (scripts.contains (method)) << method;
    // Written for the program's interpreter.
    for (auto word : { "let ", "const ", "switch (", "switch(", "===", "!==" })
        EXPECT_FALSE (scripts.contains (word)) << word;
}
