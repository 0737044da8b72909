#pragma once

#include "conversion/ConversionContent.h"
#include "conversion/DataConversionManager.h"
#include "support/DataFixtures.h"
#include "support/TestEnvironment.h"
#include <vector>

// Hand-made conversion content for the conversion tests: rules, real script files in a
// temporary folder, and capability profiles made from formats.
namespace testing_support
{
    constexpr juce::uint8 veloce = 0x21, cantor = 0x22, aria = 0x23;

    // A format whose preset steps hold presetVersion + 1 values (one packet) and whose
    // setup holds 2 x (setupVersion + 2) values (two packets); up to 6 steps.
    DeviceDataFormat versionFormat (juce::uint8 product, int presetVersion, int setupVersion, int numPresets = 12);

    // A complete preset of the format: `steps` steps, values seed * 100 + step * 10 + i.
    std::unique_ptr<Preset> versionPreset (const DeviceDataFormat& f, int number, const juce::String& name,
                                           int steps, int seed);
    // A unit's data with presets in the given slots (2 steps each, seeded by the slot) and
    // a complete setup.
    std::unique_ptr<DeviceData> versionUnit (const DeviceDataFormat& f, const juce::Array<int>& slots,
                                             bool withSetup = true);

    // A preset rule script: the header with the new version, every step's values followed
    // by `extra` (a script expression per value), nothing else.
    juce::String presetScript (int targetVersion, const juce::StringArray& extra = {}, int keep = -1);
    // A setup rule script: the values followed by `extraCount` zeros, then the new version.
    juce::String setupScript (int targetVersion, int extraCount);

    class RuleWorld : public ConversionContent
    {
    public:
        RuleWorld() = default;

        // Writes a script file and gives its full path.
        juce::String script (const juce::String& name, const juce::String& text);
        void rule (int kind, juce::uint8 product, int sourceVersion, juce::uint8 targetProduct, int targetVersion,
                   int cost, const juce::String& scriptFile);
        // A build profile of the format's product; lastBuild -1 leaves the range open.
        void profile (const DeviceDataFormat& format, int firstBuild, int lastBuild);

        juce::Array<ConversionRuleInfo> getConversionRules (juce::uint8 productId, int kind) const override;
        std::unique_ptr<DeviceCaps> createDeviceCaps (juce::uint8 productId, int build) const override;
        std::unique_ptr<DeviceCaps> createDeviceCapsForDataVersion (juce::uint8 productId, int kind,
                                                                    int version) const override;

        mutable std::atomic<int> ruleLookups { 0 };
        TempFolder folder;

    private:
        struct Profile
        {
            DeviceDataFormat format;
            int first, last;
        };
        std::vector<ConversionRuleInfo> rules;
        std::vector<Profile> profiles;
    };

    // Shortens the script time limit for the scope.
    struct ScopedScriptTimeLimit
    {
        explicit ScopedScriptTimeLimit (int ms)  { DataConversionManager::setScriptTimeLimitMs (ms); }
        ~ScopedScriptTimeLimit()                 { DataConversionManager::setScriptTimeLimitMs (0); }
    };

    // Records what a conversion tells its listeners.
    struct RecordingListener : DataConversionManager::Listener
    {
        void presetConverted (int done, int total) override  { presets.push_back ({ done, total }); }
        void setupConverted() override                       { ++setups; }
        std::vector<std::pair<int, int>> presets;
        int setups = 0;
    };
}
