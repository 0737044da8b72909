#pragma once

#include "archive/LocalArchiveManager.h"
#include "support/ArchiveFixtures.h"
#include "support/ConversionFixtures.h"
#include "support/TestAppHost.h"

// A user's local backups of the test product "Veloce" in a temporary home: archive
// items written into the product's data folder, an index built by hand, and rules that
// convert preset version 1 to 2 and setup version 1 to 2 (builds 100-199 use version 1,
// builds from 200 on version 2).
namespace testing_support
{
    class BackupWorld
    {
    public:
        BackupWorld();

        TempHome home;
        ScopedProductNames names;
        TestAppHost host;
        RuleWorld rules;

        DeviceDataFormat oldFormat = versionFormat (veloce, 1, 1);
        DeviceDataFormat newFormat = versionFormat (veloce, 2, 2);
        VersionNumber newVersion { 0, 1, 0, 0, 200, 0 };

        juce::File dataFolder() const;
        juce::File indexFile() const;

        // Writes "<name>.ard" and "<name>.xml" into the data folder: an item of the format with
        // presets in the slots; a slot of `specialSlot` gets the name `specialName`.
        juce::File writeItem (const juce::String& name, const DeviceDataFormat& format, const juce::String& title,
                              const juce::Array<int>& slots = { 1, 2 }, int specialSlot = -1,
                              const juce::String& specialName = {});

        // Index helpers: a set of the versions with its root group; entries and groups below it.
        static juce::XmlElement* addSet (juce::XmlElement& index, int presetVersion, int setupVersion);
        static juce::XmlElement* addGroup (juce::XmlElement& parent, const juce::String& name);
        static void addEntry (juce::XmlElement& group, const juce::File& description);
        void writeIndex (const juce::XmlElement& index) const;

        // A manager for the unit (new format) that converts with the world's rules.
        std::unique_ptr<LocalArchiveManager> makeManager (const juce::String& unitName = "Veloce 1");

        // Waits for the conversion's report to the hub; true when it came.
        bool waitForReport (int timeoutMs = 60000);
        TestAppHost::Event lastReport() const;

        // The preset rule stops a script with an error for presets named "Bad", never ends
        // for presets named "Loop", and otherwise appends a 0 to every step.
        static juce::String presetRuleScript();
    };
}
