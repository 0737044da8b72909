#include "support/BackupWorld.h"
#include "core/AppPaths.h"
#include "core/InfoCodes.h"

namespace testing_support
{
    BackupWorld::BackupWorld()
    {
        rules.profile (oldFormat, 100, 199);
        rules.profile (newFormat, 200, -1);
        rules.rule (1, veloce, 1, veloce, 2, 1, rules.script ("preset_1_to_2.js", presetRuleScript()));
        rules.rule (2, veloce, 1, veloce, 2, 1, rules.script ("setup_1_to_2.js", setupScript (2, 2)));
        dataFolder().createDirectory();
    }

    juce::String BackupWorld::presetRuleScript()
    {
        return "var name = PresetConversion.getHeader().name;\n"
               "if (name == \"Bad\")\n"
               "    Larkspire.scriptError(\"bad preset\");\n"
               "if (name == \"Loop\")\n"
               "{\n"
               "    var spin = 0;\n"
               "    while (true) { spin = spin + 1; }\n"
               "}\n"
             + presetScript (2, { "0" });
    }

    juce::File BackupWorld::dataFolder() const
    {
        return juce::File (AppPaths::getDataFolder (veloce));
    }

    juce::File BackupWorld::indexFile() const
    {
        return juce::File (AppPaths::getBackupIndexFile (veloce));
    }

    juce::File BackupWorld::writeItem (const juce::String& name, const DeviceDataFormat& format, const juce::String& title,
                                       const juce::Array<int>& slots, int specialSlot, const juce::String& specialName)
    {
        auto unit = versionUnit (format, slots);
        if (specialSlot >= 0)
            unit->getPreset (specialSlot)->setName (specialName);
        unit->clearModifiedFlags (false);
        return writeArchiveItem (dataFolder(), name, *unit, title);
    }

    juce::XmlElement* BackupWorld::addSet (juce::XmlElement& index, int presetVersion, int setupVersion)
    {
        auto* set = index.createNewChildElement ("set");
        set->setAttribute ("presetVersion", presetVersion);
        set->setAttribute ("setupVersion", setupVersion);
        return set->createNewChildElement ("group");
    }

    juce::XmlElement* BackupWorld::addGroup (juce::XmlElement& parent, const juce::String& name)
    {
        auto* g = parent.createNewChildElement ("group");
        g->setAttribute ("name", name);
        return g;
    }

    void BackupWorld::addEntry (juce::XmlElement& group, const juce::File& description)
    {
        group.createNewChildElement ("archive")->addTextElement (description.getFullPathName());
    }

    void BackupWorld::writeIndex (const juce::XmlElement& index) const
    {
        index.writeTo (indexFile());
    }

    std::unique_ptr<LocalArchiveManager> BackupWorld::makeManager (const juce::String& unitName)
    {
        auto m = std::make_unique<LocalArchiveManager> (newFormat, unitName);
        m->setConversionContent (&rules);
        return m;
    }

    bool BackupWorld::waitForReport (int timeoutMs)
    {
        return pumpUntil ([this] { return ! host.eventsWithCode (InfoCode::backupConversionFinished).empty(); },
                          timeoutMs);
    }

    TestAppHost::Event BackupWorld::lastReport() const
    {
        auto events = host.eventsWithCode (InfoCode::backupConversionFinished);
        return events.empty() ? TestAppHost::Event { 0, -1, -1, {} } : events.back();
    }
}
