#pragma once

#include "archive/DataSourceTree.h"
#include "support/BackupWorld.h"
#include "support/FakeEditingPage.h"
#include "support/RecordingDialogService.h"
#include "support/TestEnvironment.h"
#include "ui/AppCommandIds.h"
#include "ui/ColourPalette.h"
#include "ui/CommandManager.h"
#include "ui/LSLookAndFeel.h"
#include "ui/datapage/PresetDragSource.h"
#include "ui/datapage/SourceDataBrowser.h"

// The source browser over a fake page with real backups on disk: three archive items (one in
// a group), the unit's data, and a dialog service that records boxes and answers menus.
namespace testing_support
{
    // Records every box and menu and answers menus with scripted item ids (0 once they run out).
    struct MenuScript : RecordingDialogService
    {
        std::vector<int> menuAnswers;
        int showPopupMenu (const juce::PopupMenu& menu, juce::Component* target) override
        {
            RecordingDialogService::showPopupMenu (menu, target);
            if (menuAnswers.empty())
                return 0;
            const int answer = menuAnswers.front();
            menuAnswers.erase (menuAnswers.begin());
            return answer;
        }
    };

    struct MenuEntry
    {
        int id;
        juce::String text;
        bool enabled;
        bool isCommand;
    };

    inline std::vector<MenuEntry> entriesOf (const juce::PopupMenu& menu)
    {
        std::vector<MenuEntry> entries;
        for (juce::PopupMenu::MenuItemIterator it (menu, true); it.next();)
        {
            auto& item = it.getItem();
            if (item.isSeparator || item.isSectionHeader || item.subMenu != nullptr)
                continue;
            entries.push_back ({ item.itemID, item.text, item.isEnabled, item.commandManager != nullptr });
        }
        return entries;
    }

    inline juce::StringArray textsOf (const juce::PopupMenu& menu)
    {
        juce::StringArray texts;
        for (auto& e : entriesOf (menu))
            texts.add (juce::String (e.id) + (e.enabled ? " " : " (off) ") + e.text);
        return texts;
    }

    struct BrowserWorld
    {
        BackupWorld backups;
        MenuScript dialogs;
        FakeEditingPage page;
        std::unique_ptr<DeviceData> live;
        juce::ValueTree deviceNode, archiveNode;
        juce::File gigFile, studioFile, demoFile;
        std::unique_ptr<SourceDataBrowser> browser;

        BrowserWorld (bool unitHasPresets = true)
        {
            gigFile = backups.writeItem ("gig", backups.newFormat, "Gig A", { 1, 2 });
            studioFile = backups.writeItem ("studio", backups.newFormat, "Studio", { 2, 4 });
            demoFile = backups.writeItem ("demo", backups.newFormat, "Demo", { 6 });
            juce::XmlElement index ("BACKUP");
            auto* set = BackupWorld::addSet (index, backups.newFormat.presetVersion, backups.newFormat.setupVersion);
            BackupWorld::addEntry (*BackupWorld::addGroup (*set, "Gigs"), gigFile);
            BackupWorld::addEntry (*set, studioFile);
            BackupWorld::addEntry (*set, demoFile);
            backups.writeIndex (index);

            page.archiveManager = backups.makeManager();
            page.archiveManager->buildTree();

            live = versionUnit (backups.newFormat, unitHasPresets ? juce::Array<int> { 1, 2, 3, 5 } : juce::Array<int> {});
            live->clearModifiedFlags (false);
            page.dataSet = new DataSet (live.get(), nullptr);
            page.deviceName = "Veloce 1";
            deviceNode = createDeviceSourceNode (page.deviceName);
            deviceNode.setProperty (SourceIds::data, juce::var (page.dataSet.get()), nullptr);
            archiveNode = page.archiveManager->getTree();
            page.root.appendChild (deviceNode, nullptr);
            page.root.appendChild (archiveNode, nullptr);

            browser = std::make_unique<SourceDataBrowser>();
            browser->setSize (300, 600);
            browser->setRoot (&page, page.root);
        }

        ~BrowserWorld()
        {
            browser.reset();
        }

        juce::ValueTree child (const juce::ValueTree& parent, const juce::String& label)
        {
            for (const auto& c : parent)
                if (c[SourceIds::label].toString() == label)
                    return c;
            return {};
        }
        juce::ValueTree gigs()   { return child (archiveNode, "Gigs"); }
        juce::ValueTree studio() { return child (archiveNode, "Studio"); }
        juce::ValueTree demo()   { return child (archiveNode, "Demo"); }
        SourceTreeItem* item (const juce::ValueTree& node) { return browser->getRootItem()->findItemFor (node); }
        DeviceData& unitWorking() { return *page.dataSet->getWorking(); }

        // Selects the nodes, the first alone and the others added.
        void select (std::initializer_list<juce::ValueTree> nodes)
        {
            bool first = true;
            for (auto& n : nodes)
            {
                ASSERT_NE (item (n), nullptr);
                item (n)->setSelected (true, first);
                first = false;
            }
        }

        juce::StringArray indexedTitles()
        {
            juce::StringArray titles;
            auto index = juce::parseXML (backups.indexFile());
            if (index == nullptr)
                return titles;
            std::function<void (const juce::XmlElement&, const juce::String&)> walk = [&] (const juce::XmlElement& e, const juce::String& path) {
                for (auto* c : e.getChildIterator())
                {
                    if (c->hasTagName ("group"))
                        walk (*c, path + (c->hasAttribute ("name") ? c->getStringAttribute ("name") + "/" : juce::String()));
                    else if (c->hasTagName ("archive"))
                        if (auto meta = juce::parseXML (juce::File (c->getAllSubText().trim())))
                            if (auto* t = meta->getChildByName ("title"))
                                titles.add (path + t->getAllSubText());
                }
            };
            if (auto* set = index->getChildByName ("set"))
                walk (*set, {});
            return titles;
        }
    };
}
