#include <gtest/gtest.h>
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

using namespace testing_support;

namespace
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

    std::vector<MenuEntry> entriesOf (const juce::PopupMenu& menu)
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

    juce::StringArray textsOf (const juce::PopupMenu& menu)
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

//==============================================================================
TEST (SourceBrowser, ShowsTheSourcesOfTheTreeWithTheirHeights)
{
    BrowserWorld w;
    auto* root = w.browser->getRootItem();
    ASSERT_NE (root, nullptr);
    EXPECT_FALSE (w.browser->getTreeView().isRootItemVisible());
    ASSERT_EQ (root->getNumSubItems(), 2);

    auto* device = dynamic_cast<SourceTreeItem*> (root->getSubItem (0));
    auto* archive = dynamic_cast<SourceTreeItem*> (root->getSubItem (1));
    ASSERT_NE (device, nullptr);
    ASSERT_NE (archive, nullptr);
    EXPECT_EQ (device->getNode(), w.deviceNode);
    EXPECT_EQ (archive->getNode()[SourceIds::label].toString(), "Backups");

    archive->setOpen (true);
    juce::StringArray labels;
    for (int i = 0; i < archive->getNumSubItems(); ++i)
        labels.add (dynamic_cast<SourceTreeItem*> (archive->getSubItem (i))->getNode()[SourceIds::label].toString());
    EXPECT_EQ (labels.joinIntoString ("|"), "Gigs|Studio|Demo");
    EXPECT_EQ (archive->getUniqueName(), w.archiveNode[SourceIds::id].toString());

    // Scale 1: the unit 120, a category 16 x 2.1, a group 14 x 1.92, an item 14 x 1.8.
    EXPECT_EQ (device->getItemHeight(), 120);
    EXPECT_EQ (archive->getItemHeight(), 34);
    EXPECT_EQ (w.item (w.gigs())->getItemHeight(), 27);
    EXPECT_EQ (w.item (w.studio())->getItemHeight(), 25);
    EXPECT_TRUE (w.item (w.gigs())->getFont().isBold());
    EXPECT_FALSE (w.item (w.studio())->getFont().isBold());

    // A node added to the tree shows up; a removed one goes.
    w.archiveNode.appendChild (createSourceNode (SourceIds::group, "Later"), nullptr);
    EXPECT_NE (w.item (w.child (w.archiveNode, "Later")), nullptr);
    w.archiveNode.removeChild (w.child (w.archiveNode, "Later"), nullptr);
    EXPECT_EQ (archive->getNumSubItems(), 3);

    // Open groups stay open when their parent's children change.
    w.item (w.gigs())->setOpen (true);
    w.archiveNode.appendChild (createSourceNode (SourceIds::group, "Other"), nullptr);
    EXPECT_TRUE (w.item (w.gigs())->isOpen());
}

TEST (SourceBrowser, TheUnitShowsHowManyPresetsItHolds)
{
    BrowserWorld w;
    auto* device = w.item (w.deviceNode);
    EXPECT_EQ (device->getPresetsLine(), "Presets: n/a");   // no profile yet

    auto features = juce::parseXML ("<features numPresets='10' isBuildValid='1'/>");
    w.page.caps = DeviceCaps (nullptr, features.get(), 0x21, 100, 200);
    EXPECT_EQ (device->getPresetsLine(), "Presets: 4/9");

    auto none = juce::parseXML ("<features numPresets='0' isBuildValid='1'/>");
    w.page.caps = DeviceCaps (nullptr, none.get(), 0x21, 100, 200);
    EXPECT_EQ (device->getPresetsLine(), "");

    w.page.caps = DeviceCaps (nullptr, features.get(), 0x21, 100, 200);
    w.live.reset();   // the unit's data is gone: the weak reference is empty
    EXPECT_EQ (device->getPresetsLine(), "Presets: n/a");
}

TEST (SourceBrowser, SelectionNotifiesListenersAndOnlyGrowsByLikeItems)
{
    BrowserWorld w;
    struct Listener : SourceBrowserListener
    {
        std::vector<int>* order; int id;
        void sourceSelectionChanged() override { order->push_back (id); }
    };
    std::vector<int> order;
    Listener a, b;
    a.order = b.order = &order;
    a.id = 1; b.id = 2;
    w.browser->addListener (&a);
    w.browser->addListener (&b);
    w.browser->addListener (nullptr);

    EXPECT_TRUE (w.browser->selectSource (w.studio()));
    EXPECT_EQ (order, std::vector<int> ({ 2, 1 }));
    EXPECT_EQ (w.browser->getSelectedNodes(), juce::Array<juce::ValueTree> ({ w.studio() }));
    EXPECT_FALSE (w.browser->selectSource (createSourceNode (SourceIds::node, "Elsewhere")));

    w.browser->removeListener (&b);
    order.clear();
    w.browser->selectSource (w.deviceNode);
    EXPECT_EQ (order, std::vector<int> ({ 1 }));

    // With Shift held an archive selection takes other archive items and groups only.
    w.browser->selectSource (w.studio());
    juce::ModifierKeys::currentModifiers = juce::ModifierKeys (juce::ModifierKeys::shiftModifier);
    EXPECT_TRUE (w.item (w.demo())->canBeSelected());
    EXPECT_TRUE (w.item (w.gigs())->canBeSelected());
    EXPECT_FALSE (w.item (w.deviceNode)->canBeSelected());
    EXPECT_FALSE (w.item (w.archiveNode)->canBeSelected());
    juce::ModifierKeys::currentModifiers = juce::ModifierKeys();
    EXPECT_TRUE (w.item (w.deviceNode)->canBeSelected());
}

TEST (SourceBrowser, BackupsAreTitledByKindMadeUniqueAndSavedAtOnce)
{
    BrowserWorld w;
    // Slots 1 and 2 of the unit are factory presets.
    auto features = juce::parseXML ("<features numPresets='10'/>");
    DeviceCaps caps (nullptr, features.get(), w.backups.newFormat.productId, 100, 200);
    juce::XmlElement bankXml ("factoryBank");
    for (int slot : { 1, 2 })
    {
        auto* e = bankXml.createNewChildElement ("preset");
        e->setAttribute ("number", slot);
        e->setAttribute ("md5", w.live->getPreset (slot)->getMd5().toHexString());
    }
    FactoryBank bank (&bankXml, caps);
    auto banked = std::make_unique<DeviceData> (w.live->getVersion(), w.live->getFormat(), &bank);
    banked->mergeFrom (*w.live);
    banked->clearModifiedFlags (false);
    w.page.dataSet = new DataSet (banked.get(), nullptr);
    w.deviceNode.setProperty (SourceIds::data, juce::var (w.page.dataSet.get()), nullptr);
    ASSERT_EQ (w.unitWorking().getNonFactoryPresetIndices(), juce::Array<int> ({ 3, 5 }));

    w.browser->selectSource (w.gigs());
    w.page.gridSelection = { 1 };
    w.browser->backup (false, false, true);    // user presets, into the selected group
    w.browser->backup (false, true, false);    // the grid's selection
    w.browser->backup (false, true, true);     // both
    w.browser->backup (true, false, false);    // everything

    ASSERT_EQ (w.gigs().getNumChildren(), 5);
    auto itemOf = [&] (int i) { return getSourceNodeArchive (w.gigs().getChild (i)); };
    const auto date = itemOf (1)->getDateText();
    EXPECT_EQ (w.gigs().getChild (1)[SourceIds::label].toString(), date + " (User)");
    EXPECT_EQ (itemOf (1)->getData()->getPresetIndices(), juce::Array<int> ({ 3, 5 }));
    EXPECT_TRUE (itemOf (1)->getData()->getSetup().isComplete());
    EXPECT_FALSE (itemOf (1)->getData()->isModified());
    EXPECT_TRUE (w.gigs().getChild (2)[SourceIds::label].toString().endsWith (" (Selected)"));
    EXPECT_EQ (itemOf (2)->getData()->getPresetIndices(), juce::Array<int> ({ 1 }));
    EXPECT_TRUE (w.gigs().getChild (3)[SourceIds::label].toString().endsWith (" (\?\?\?)"));
    EXPECT_EQ (itemOf (3)->getData()->getPresetIndices(), juce::Array<int> ({ 1, 3, 5 }));
    EXPECT_EQ (itemOf (4)->getData()->getPresetIndices(), juce::Array<int> ({ 1, 2, 3, 5 }));

    // On disk at once: every backup listed in the index with its files written.
    const auto titles = w.indexedTitles();
    for (int i = 1; i < 5; ++i)
    {
        EXPECT_TRUE (titles.contains ("Gigs/" + itemOf (i)->getTitle())) << titles.joinIntoString ("; ");
        EXPECT_TRUE (juce::File (itemOf (i)->getLinkData()).existsAsFile());
    }

    // A second backup of the same kind in the same minute carries a number.
    w.browser->backup (true, false, false);
    const auto first = w.gigs().getChild (4)[SourceIds::label].toString();
    const auto second = w.gigs().getChild (5)[SourceIds::label].toString();
    if (itemOf (4)->getDateText() == itemOf (5)->getDateText())
        EXPECT_EQ (second, first + " (2)");
    else
        EXPECT_EQ (second, itemOf (5)->getDateText() + " (All)");

    // Each backup is its own transaction. Its undo takes its files off disk and out of the
    // index; its redo brings both back.
    const juce::File undone (itemOf (5)->getLinkData());
    ASSERT_TRUE (w.page.undoManager.undo());
    EXPECT_EQ (w.gigs().getNumChildren(), 5);
    EXPECT_FALSE (undone.exists() || undone.withFileExtension ("xml").exists());
    EXPECT_FALSE (w.indexedTitles().contains ("Gigs/" + second));
    ASSERT_TRUE (w.page.undoManager.redo());
    EXPECT_TRUE (undone.existsAsFile() && undone.withFileExtension ("xml").existsAsFile());
    EXPECT_TRUE (w.indexedTitles().contains ("Gigs/" + second));
}

TEST (SourceBrowser, UniqueTitlesCountTheNumberedSiblings)
{
    auto group = createSourceNode (SourceIds::group, "G");
    EXPECT_EQ (SourceDataBrowser::makeUniqueTitle (group, "Set"), "Set");
    group.appendChild (createSourceNode (SourceIds::node, "Set"), nullptr);
    EXPECT_EQ (SourceDataBrowser::makeUniqueTitle (group, "Set"), "Set (2)");
    group.appendChild (createSourceNode (SourceIds::node, "Set (2)"), nullptr);
    group.appendChild (createSourceNode (SourceIds::node, "Setlist"), nullptr);
    EXPECT_EQ (SourceDataBrowser::makeUniqueTitle (group, "Set"), "Set (3)");
    group.removeChild (0, nullptr);   // only "Set (2)" is left: the next free number
    EXPECT_EQ (SourceDataBrowser::makeUniqueTitle (group, "Set"), "Set (3)");
}

TEST (SourceBrowser, RenamingAnItemWritesItsNewTitleAndUndoes)
{
    BrowserWorld w;
    auto studio = w.studio();
    w.browser->selectSource (studio);
    w.item (studio)->itemDoubleClicked (juce::MouseEvent (juce::Desktop::getInstance().getMainMouseSource(), {}, {},
                                             0.0f, 0.0f, 0.0f, 0.0f, 0.0f, w.browser.get(), w.browser.get(),
                                             juce::Time(), {}, juce::Time(), 2, false));
    auto& editor = w.browser->getRenameEditor();
    ASSERT_TRUE (editor.isVisible());
    EXPECT_EQ (editor.getText(), "Studio");
    EXPECT_TRUE (editor.getHighlightedRegion().isEmpty());   // a double-click does not select the text

    editor.setText ("Studio Rig", false);
    w.browser->textEditorReturnKeyPressed (editor);
    EXPECT_FALSE (editor.isVisible());
    EXPECT_EQ (studio[SourceIds::label].toString(), "Studio Rig");
    EXPECT_EQ (getSourceNodeArchive (studio)->getTitle(), "Studio Rig");
    EXPECT_EQ (readXml (w.studioFile)->getChildByName ("title")->getAllSubText(), "Studio Rig");
    EXPECT_EQ (w.page.archiveNotices.size(), 1u);

    // Escape leaves everything as it is.
    w.browser->startRename (true);
    EXPECT_EQ (editor.getHighlightedRegion().getLength(), juce::String ("Studio Rig").length());
    editor.setText ("Discarded", false);
    w.browser->textEditorEscapeKeyPressed (editor);
    EXPECT_FALSE (editor.isVisible());
    w.browser->textEditorFocusLost (editor);
    EXPECT_EQ (studio[SourceIds::label].toString(), "Studio Rig");

    ASSERT_TRUE (w.page.undoManager.undo());
    EXPECT_EQ (studio[SourceIds::label].toString(), "Studio");
    EXPECT_EQ (getSourceNodeArchive (studio)->getTitle(), "Studio");
}

TEST (SourceBrowser, AFailedSaveIsReportedAndLeavesTheOldFiles)
{
    BrowserWorld w;
    auto studio = w.studio();
    // The data file becomes a link: the item may no longer write there.
    const auto data = w.studioFile.withFileExtension ("ard");
    const auto real = w.backups.home.getFolder().getChildFile ("elsewhere.ard");
    ASSERT_TRUE (data.moveFileTo (real));
    ASSERT_TRUE (real.createSymbolicLink (data, true));
    const auto metaBefore = fileBytes (w.studioFile);
    const auto dataBefore = fileBytes (real);

    w.browser->selectSource (studio);
    w.browser->startRename (true);
    w.browser->getRenameEditor().setText ("Renamed", false);
    w.browser->textEditorReturnKeyPressed (w.browser->getRenameEditor());

    EXPECT_EQ (w.dialogs.titles(), juce::StringArray ({ "File Error" }));
    EXPECT_EQ (fileBytes (w.studioFile), metaBefore);
    EXPECT_EQ (fileBytes (real), dataBefore);
    EXPECT_TRUE (data.isSymbolicLink());
    EXPECT_EQ (studio[SourceIds::label].toString(), "Renamed");   // kept in memory for the next save
}

TEST (SourceBrowser, DeletingBackupsRemovesTheirFilesAndUndoBringsThemBack)
{
    BrowserWorld w;
    const auto studioData = w.studioFile.withFileExtension ("ard");
    const auto gigData = w.gigFile.withFileExtension ("ard");
    const auto studioBytes = fileBytes (studioData);
    const auto gigBytes = fileBytes (gigData);

    w.select ({ w.studio(), w.gigs() });
    w.browser->deleteSelected();
    EXPECT_FALSE (w.studio().isValid());
    EXPECT_FALSE (w.gigs().isValid());
    EXPECT_FALSE (w.studioFile.exists());
    EXPECT_FALSE (studioData.exists());
    EXPECT_FALSE (gigData.exists());
    EXPECT_EQ (w.indexedTitles(), juce::StringArray ({ "Demo" }));
    EXPECT_EQ (w.browser->getSelectedNodes(), juce::Array<juce::ValueTree> ({ w.archiveNode }));

    // One transaction: both come back, in their places, with their files.
    ASSERT_TRUE (w.page.undoManager.undo());
    EXPECT_EQ (w.archiveNode.getChild (0), w.gigs());
    EXPECT_EQ (w.archiveNode.getChild (1), w.studio());
    EXPECT_EQ (fileBytes (studioData), studioBytes);
    EXPECT_EQ (fileBytes (gigData), gigBytes);
    EXPECT_TRUE (w.studioFile.existsAsFile());
    // The index lists them again at once: a fresh manager finds all three.
    EXPECT_EQ (w.indexedTitles(), juce::StringArray ({ "Gigs/Gig A", "Studio", "Demo" }));
    auto again = w.backups.makeManager();
    ASSERT_TRUE (again->buildTree());
    EXPECT_EQ (again->getTree().getNumChildren(), 3);
    // Redone, the delete takes them off disk and out of the index again; undone, it brings them back.
    ASSERT_TRUE (w.page.undoManager.redo());
    EXPECT_FALSE (studioData.exists() || gigData.exists());
    EXPECT_FALSE (w.backups.indexFile().loadFileAsString().contains (w.studioFile.getFullPathName()));
    ASSERT_TRUE (w.page.undoManager.undo());

    // An undo that cannot write the files back says so.
    w.select ({ w.studio() });
    w.browser->deleteSelected();
    ASSERT_TRUE (w.studioFile.createDirectory());   // the description's place is taken
    ASSERT_TRUE (w.page.undoManager.undo());
    EXPECT_EQ (w.dialogs.titles(), juce::StringArray ({ "File Error" }));
    w.studioFile.deleteRecursively();

    // Neither the unit nor the categories can be deleted; the keys delete too.
    w.select ({ w.deviceNode });
    w.browser->deleteSelected();
    w.select ({ w.archiveNode });
    w.browser->deleteSelected();
    EXPECT_TRUE (w.deviceNode.getParent().isValid());
    EXPECT_TRUE (w.archiveNode.getParent().isValid());

    w.select ({ w.demo() });
    EXPECT_FALSE (w.browser->keyPressed (juce::KeyPress (juce::KeyPress::deleteKey)));
    EXPECT_FALSE (w.demo().isValid());
    EXPECT_FALSE (w.demoFile.exists());
}

TEST (SourceBrowser, GroupsAreNamedInTurnAndGroupingMovesTheSelection)
{
    BrowserWorld w;
    w.browser->selectSource (w.archiveNode);
    w.browser->createGroup();
    auto first = w.child (w.archiveNode, "New Group");
    ASSERT_TRUE (first.isValid());
    EXPECT_TRUE (first.hasType (SourceIds::group));
    EXPECT_TRUE (w.browser->getRenameEditor().isVisible());
    EXPECT_EQ (w.browser->getRenameEditor().getHighlightedText(), "New Group");
    w.browser->textEditorEscapeKeyPressed (w.browser->getRenameEditor());

    w.select ({ w.studio(), w.demo() });
    w.browser->groupSelected();
    auto second = w.child (w.archiveNode, "New Group 2");
    ASSERT_TRUE (second.isValid());
    EXPECT_EQ (second.getNumChildren(), 2);
    EXPECT_EQ (w.studio().getParent(), juce::ValueTree());   // no longer at the top
    EXPECT_TRUE (w.indexedTitles().contains ("New Group 2/Studio"));
    EXPECT_TRUE (w.indexedTitles().contains ("New Group 2/Demo"));

    // One undo puts them back where they were.
    w.browser->textEditorEscapeKeyPressed (w.browser->getRenameEditor());
    ASSERT_TRUE (w.page.undoManager.undo());
    EXPECT_FALSE (w.child (w.archiveNode, "New Group 2").isValid());
    EXPECT_TRUE (w.studio().isValid());
    EXPECT_TRUE (w.demo().isValid());

    // A group selected with its own contents is never moved into itself.
    auto gigs = w.gigs();
    w.item (gigs)->setOpen (true);
    auto gigItem = gigs.getChild (0);
    w.select ({ gigs, gigItem });
    w.browser->groupSelected();
    auto third = w.child (w.archiveNode, "New Group 3");
    ASSERT_TRUE (third.isValid());
    EXPECT_EQ (gigs.getParent(), third);
    EXPECT_EQ (gigItem.getParent(), gigs);
}

TEST (SourceBrowser, DuplicatesAreNewItemsWithTheirOwnFiles)
{
    BrowserWorld w;
    const auto before = snapshotFolder (w.backups.dataFolder());
    w.browser->selectSource (w.studio());
    w.browser->duplicateSelected();
    w.browser->selectSource (w.studio());
    w.browser->duplicateSelected();

    auto copy = w.child (w.archiveNode, "Studio copy");
    auto copy2 = w.child (w.archiveNode, "Studio copy (2)");
    ASSERT_TRUE (copy.isValid());
    ASSERT_TRUE (copy2.isValid());
    auto* item = getSourceNodeArchive (copy);
    EXPECT_NE (item->getUuid(), getSourceNodeArchive (w.studio())->getUuid());
    EXPECT_NE (item->getLinkData(), getSourceNodeArchive (w.studio())->getLinkData());
    EXPECT_TRUE (juce::File (item->getLinkData()).existsAsFile());
    EXPECT_EQ (getSourceNodeWorkingData (copy)->getPresetIndices(), juce::Array<int> ({ 2, 4 }));

    // The original's files are untouched.
    for (auto& [path, bytes] : before)
        if (path.startsWith ("studio"))
            EXPECT_EQ (fileBytes (w.backups.dataFolder().getChildFile (path)), bytes) << path;

    // Copies never share data.
    getSourceNodeWorkingData (copy)->removeAllPresets();
    EXPECT_EQ (getSourceNodeWorkingData (w.studio())->countPresets(), 2);
}

TEST (SourceBrowser, TheContextMenuFollowsWhatIsSelected)
{
    BrowserWorld w;
    w.page.dataSet->getWorking()->removePreset (1);   // an unsent change
    w.browser->selectSource (w.deviceNode);
    EXPECT_EQ (textsOf (w.browser->createContextMenu()),
               juce::StringArray ({ "1 Get Preset and Setup Data From Veloce 1", "2 Send Changes To Veloce 1",
                                    "3 Backup All Data", "5 Backup User Presets", "4 (off) Backup Selected Presets" }));

    w.browser->selectSource (w.archiveNode);
    EXPECT_EQ (textsOf (w.browser->createContextMenu()), juce::StringArray ({ "6 Create An Empty Group" }));

    w.browser->selectSource (w.studio());
    EXPECT_EQ (textsOf (w.browser->createContextMenu()),
               juce::StringArray ({ "6 Create An Empty Group", "7 Create A Group From Selected", "8 Duplicate Selected",
                                    "9 Delete Selected", "10 Rename", "12 Restore 'Studio' To Veloce 1",
                                    "11 Send 'Studio' To Veloce 1", "13 Copy 'Studio' To Workspace" }));

    w.select ({ w.studio(), w.demo() });
    auto several = textsOf (w.browser->createContextMenu());
    EXPECT_TRUE (several.contains ("10 (off) Rename"));
    EXPECT_TRUE (several.contains ("12 (off) Restore All Selected To Veloce 1"));
    EXPECT_TRUE (several.contains ("11 Send All Selected To Veloce 1"));

    // Groups have no data to send; the developer tools appear only for developers.
    w.browser->selectSource (w.gigs());
    EXPECT_EQ (textsOf (w.browser->createContextMenu()).size(), 5);
    w.backups.host.developer = true;
    auto developer = textsOf (w.browser->createContextMenu());
    EXPECT_TRUE (developer.contains ("17 Import .ard file(s)..."));
    EXPECT_TRUE (developer.contains ("19 Convert LS1 preset pack(s)..."));
    w.browser->performContextMenuItem (17);
    w.browser->performContextMenuItem (19);
    EXPECT_EQ (w.page.developerCalls, std::vector<juce::String> ({ "ard:Gigs", "convert" }));
}

TEST (SourceBrowser, AUnitNotReadYetOffersOnlyToSynchronise)
{
    BrowserWorld w (false);
    juce::ApplicationCommandInfo info (AppCommand::downloadDeviceData);
    info.setInfo ("Download Device Data", {}, "Data", 0);
    getCommandManager().registerCommand (info);
    w.browser->selectSource (w.deviceNode);
    auto entries = entriesOf (w.browser->createContextMenu());
    ASSERT_EQ (entries.size(), 1u);
    EXPECT_EQ (entries[0].text, "Synchronize With Veloce 1");
    EXPECT_TRUE (entries[0].isCommand);
    EXPECT_EQ (entries[0].id, (int) AppCommand::downloadDeviceData);
    getCommandManager().removeCommand (AppCommand::downloadDeviceData);

    // And an archive item cannot be sent to it.
    w.browser->selectSource (w.studio());
    for (auto& text : textsOf (w.browser->createContextMenu()))
        if (text.contains ("Veloce 1") || text.contains ("Workspace"))
            EXPECT_TRUE (text.contains ("(off)")) << text;
}

TEST (SourceBrowser, MenuChoicesReachThePageAndTheUnit)
{
    BrowserWorld w;
    w.browser->selectSource (w.deviceNode);
    w.dialogs.menuAnswers = { 1 };
    w.browser->showContextMenu();
    EXPECT_EQ (w.page.syncRequests, 1);
    w.browser->performContextMenuItem (2);
    EXPECT_EQ (w.page.commands, std::vector<juce::CommandID> ({ AppCommand::applyChanges }));

    // Restore sends the whole image of the one selected item; send sends it directly.
    w.browser->selectSource (w.studio());
    w.browser->performContextMenuItem (12);
    w.select ({ w.studio(), w.demo() });
    w.browser->performContextMenuItem (11);
    ASSERT_EQ (w.page.sends.size(), 2u);
    EXPECT_TRUE (w.page.sends[0].wholeImage);
    EXPECT_EQ (w.page.sends[0].data->getPresetIndices(), juce::Array<int> ({ 2, 4 }));
    EXPECT_FALSE (w.page.sends[1].wholeImage);
    EXPECT_EQ (w.page.sends[1].data->getPresetIndices(), juce::Array<int> ({ 2, 4, 6 }));

    // Copy to workspace merges undoably into the unit's working copy.
    const auto before = stateOf (w.unitWorking());
    w.browser->performContextMenuItem (13);
    EXPECT_TRUE (w.unitWorking().hasPreset (6));
    ASSERT_TRUE (w.page.undoManager.undo());
    EXPECT_EQ (stateOf (w.unitWorking()), before);
}

TEST (SourceBrowser, PresetsDroppedOnTheUnitGoWhereTheMenuSays)
{
    BrowserWorld w;   // the unit holds 1, 2, 3 and 5; "Studio" holds 2 and 4
    const auto before = stateOf (w.unitWorking());
    const auto studioPreset = getSourceNodeWorkingData (w.studio())->getPreset (4)->getName();

    w.dialogs.menuAnswers = { 1 };
    w.browser->dropPresetsOnDevice (w.studio(), { 4 });
    auto texts = textsOf (w.dialogs.menus.back());
    juce::StringArray expected ({ "2 Paste Preset to Empty Slot", "3 Paste Preset to Empty Range [4-4]",
                                  "4 Restore Data", "5 Send Presets", "6 Send Setup", "7 Cancel" });
    expected.insert (0, "1 Replace 4: " + studioPreset);
    EXPECT_EQ (texts, expected);
    EXPECT_EQ (w.unitWorking().getPreset (4)->getName(), studioPreset);
    ASSERT_FALSE (w.page.selections.empty());
    EXPECT_EQ (w.page.selections.back().slots, juce::Array<int> ({ 4 }));
    ASSERT_TRUE (w.page.undoManager.undo());
    EXPECT_EQ (stateOf (w.unitWorking()), before);

    // Two presets into the first empty range: 6 and 7.
    w.dialogs.menuAnswers = { 3 };
    w.browser->dropPresetsOnDevice (w.studio(), { 2, 4 });
    EXPECT_TRUE (textsOf (w.dialogs.menus.back()).contains ("3 Paste Presets to Empty Range [6-7]"));
    EXPECT_TRUE (textsOf (w.dialogs.menus.back()).contains ("2 Paste Presets to Empty Slots"));
    EXPECT_EQ (w.unitWorking().getPreset (6)->getNumber(), 6);
    EXPECT_EQ (w.unitWorking().getPresetIndices(), juce::Array<int> ({ 1, 2, 3, 5, 6, 7 }));

    // An empty slot dropped alone is named as such; the sends go to the page.
    w.dialogs.menuAnswers = { 6 };
    w.browser->dropPresetsOnDevice (w.studio(), { 3 });
    EXPECT_TRUE (textsOf (w.dialogs.menus.back()).contains ("1 Replace 3: <empty>"));
    ASSERT_EQ (w.page.sends.size(), 1u);
    EXPECT_EQ (w.page.sends[0].data->countPresets(), 0);
    EXPECT_TRUE (w.page.sends[0].data->getSetup().isComplete());

    w.dialogs.menuAnswers = { 4 };
    w.browser->dropPresetsOnDevice (w.studio(), { 2, 4 });
    ASSERT_EQ (w.page.sends.size(), 2u);
    EXPECT_TRUE (w.page.sends[1].wholeImage);
    EXPECT_EQ (w.page.sends[1].data->getPresetIndices(), juce::Array<int> ({ 2, 4 }));

    // Cancel changes nothing.
    const auto now = stateOf (w.unitWorking());
    w.dialogs.menuAnswers = { 7 };
    w.browser->dropPresetsOnDevice (w.studio(), { 2 });
    EXPECT_EQ (stateOf (w.unitWorking()), now);
}

TEST (SourceBrowser, TreeDragsBackUpCopyAndMove)
{
    BrowserWorld w;
    auto& tree = w.browser->getTreeView();
    auto details = [&] (juce::var description) {
        return juce::DragAndDropTarget::SourceDetails (description, &tree, { 10, 10 });
    };

    // The unit dragged onto a group: a backup of everything in that group.
    w.browser->selectSource (w.deviceNode);
    tree.dragStarted();
    const auto unitDrag = w.item (w.deviceNode)->getDragSourceDescription();
    EXPECT_EQ (unitDrag.toString(), SourceTreeItem::dragDescription);
    EXPECT_TRUE (w.item (w.gigs())->isInterestedInDragSource (details (unitDrag)));
    EXPECT_FALSE (w.item (w.studio())->isInterestedInDragSource (details (unitDrag)));
    w.browser->dropOnto (w.gigs(), 0, true, details (unitDrag));
    ASSERT_EQ (w.gigs().getNumChildren(), 2);
    EXPECT_TRUE (w.gigs().getChild (1)[SourceIds::label].toString().endsWith (" (All)"));
    tree.dragEnded();

    // An archive item dropped onto a group is copied there; between rows it moves.
    w.browser->selectSource (w.studio());
    tree.dragStarted();
    const auto itemDrag = w.item (w.studio())->getDragSourceDescription();
    EXPECT_FALSE (w.item (w.studio())->isInterestedInDragSource (details (itemDrag)));
    w.browser->dropOnto (w.gigs(), 0, true, details (itemDrag));
    EXPECT_TRUE (w.child (w.gigs(), "Studio copy").isValid());
    EXPECT_TRUE (w.studio().isValid());

    w.browser->dropOnto (w.gigs(), 0, false, details (itemDrag));
    EXPECT_EQ (w.gigs().getChild (0)[SourceIds::label].toString(), "Studio");
    EXPECT_FALSE (w.studio().isValid());
    EXPECT_TRUE (w.indexedTitles().contains ("Gigs/Studio"));
    ASSERT_TRUE (w.page.undoManager.undo());
    EXPECT_TRUE (w.studio().isValid());
    tree.dragEnded();

    // A group never goes into itself; an item's data dropped on the unit opens the drop menu.
    w.browser->selectSource (w.gigs());
    tree.dragStarted();
    EXPECT_FALSE (w.item (w.gigs())->isInterestedInDragSource (details (w.item (w.gigs())->getDragSourceDescription())));
    tree.dragEnded();
    w.browser->selectSource (w.demo());
    tree.dragStarted();
    w.dialogs.menuAnswers = { 7 };
    w.item (w.deviceNode)->itemDropped (details (w.item (w.demo())->getDragSourceDescription()), 0);
    ASSERT_FALSE (w.dialogs.menus.empty());
    EXPECT_TRUE (textsOf (w.dialogs.menus.back()).contains ("1 Replace 6: Preset 6"));
    tree.dragEnded();

    // Grid presets may be dropped on the unit only; a category cannot be dragged.
    const auto gridDrag = SourceDataBrowser::makePresetDragDescription (w.studio(), { 2 });
    EXPECT_TRUE (w.item (w.deviceNode)->isInterestedInDragSource (details (gridDrag)));
    EXPECT_FALSE (w.item (w.gigs())->isInterestedInDragSource (details (gridDrag)));
    EXPECT_TRUE (w.item (w.archiveNode)->getDragSourceDescription().isVoid());
    EXPECT_FALSE (w.item (w.deviceNode)->isInterestedInFileDrag ({ "/tmp/x.syx" }));
    EXPECT_FALSE (tree.isInterestedInFileDrag ({ "/tmp/x.syx" }));
}

TEST (SourceBrowser, SelectedDataCombinesTheWorkingCopies)
{
    BrowserWorld w;
    w.select ({ w.studio(), w.demo() });
    auto data = w.browser->getSelectedData();
    ASSERT_NE (data, nullptr);
    EXPECT_EQ (data->getPresetIndices(), juce::Array<int> ({ 2, 4, 6 }));
    EXPECT_TRUE (data->getSetup().isComplete());

    w.browser->selectSource (w.gigs());
    EXPECT_EQ (w.browser->getSelectedData(), nullptr);
}

TEST (SourceBrowser, PaintsTheTreeInThePaletteColours)
{
    BrowserWorld w;
    LSLookAndFeel laf;
    w.browser->setLookAndFeel (&laf);
    w.browser->setRoot (&w.page, w.page.root);
    w.browser->setSize (300, 500);
    w.browser->selectSource (w.studio());
    // The tree lays out its rows asynchronously.
    ASSERT_TRUE (pumpUntil ([&] {
        auto* rows = w.browser->getTreeView().getViewport()->getViewedComponent();
        return rows != nullptr && rows->getHeight() >= 120 + 34 + 27 + 25 + 25;
    }));

    auto image = w.browser->createComponentSnapshot (w.browser->getLocalBounds());
    if (auto* out = std::getenv ("LARKSPIRE_SNAPSHOT"))
    {
        juce::File (out).deleteFile();
        juce::FileOutputStream stream ((juce::File (out)));
        juce::PNGImageFormat().writeImageToStream (image, stream);
    }
    const auto rowArea = w.item (w.studio())->getItemPosition (true).translated (w.browser->getTreeView().getX(),
                                                                                w.browser->getTreeView().getY());
    // The selected row is filled in the dark slate; its text is drawn in the light colour.
    EXPECT_EQ (image.getPixelAt (rowArea.getRight() - 3, rowArea.getCentreY()), paletteColour099);
    bool lightText = false;
    for (int x = rowArea.getX(); x < rowArea.getRight() && ! lightText; ++x)
        for (int y = rowArea.getY(); y < rowArea.getBottom() && ! lightText; ++y)
            lightText = image.getPixelAt (x, y).getBrightness() > 0.8f;
    EXPECT_TRUE (lightText);

    // The tree's empty area below the rows shows the panel background.
    const auto tree = w.browser->getTreeView().getBounds();
    EXPECT_EQ (image.getPixelAt (tree.getCentreX(), tree.getBottom() - 3), paletteColour096);

    // An unselected row: background with dark text in it.
    const auto demoRow = w.item (w.demo())->getItemPosition (true).translated (tree.getX(), tree.getY());
    EXPECT_EQ (image.getPixelAt (demoRow.getRight() - 3, demoRow.getCentreY()), paletteColour096);
    bool darkText = false;
    for (int x = demoRow.getX(); x < demoRow.getRight() && ! darkText; ++x)
        for (int y = demoRow.getY(); y < demoRow.getBottom() && ! darkText; ++y)
            darkText = image.getPixelAt (x, y).getBrightness() < 0.4f;
    EXPECT_TRUE (darkText);

    // The header: the panel header's gradient from 0xffccd3d7 at the top to 0xffb7bfc4 at the bottom.
    auto near = [] (juce::Colour a, juce::Colour b) {
        return std::abs (a.getRed() - b.getRed()) <= 4 && std::abs (a.getGreen() - b.getGreen()) <= 4
               && std::abs (a.getBlue() - b.getBlue()) <= 4;
    };
    EXPECT_TRUE (near (image.getPixelAt (250, 0), paletteColour007)) << image.getPixelAt (250, 0).toDisplayString (true);
    EXPECT_TRUE (near (image.getPixelAt (250, 18), paletteColour003)) << image.getPixelAt (250, 18).toDisplayString (true);
    w.browser->setLookAndFeel (nullptr);
}

TEST (SourceBrowser, CloudItemsAreCopiedToTheBackupsAndOnlyUploadsCanBeDeleted)
{
    BrowserWorld w;
    auto cloud = createCloudSourceNode();
    auto user = createSourceNode (SourceIds::subCategory, "Ana");
    user.setProperty (SourceIds::subCategory, SourceCategories::user, nullptr);
    auto uploads = createSourceNode (SourceIds::subCategory, "Uploads");
    uploads.setProperty (SourceIds::subCategory, SourceCategories::uploadFolder, nullptr);
    auto packs = createSourceNode (SourceIds::subCategory, "Packs");
    packs.setProperty (SourceIds::subCategory, "pack", nullptr);
    auto packData = versionUnit (w.backups.newFormat, { 3, 8 });
    auto packItem = makeArchiveNode (*packData, "Choir Pack");
    auto uploadData = versionUnit (w.backups.newFormat, { 9 });
    auto uploaded = makeArchiveNode (*uploadData, "My Upload");
    packs.appendChild (packItem, nullptr);
    uploads.appendChild (uploaded, nullptr);
    user.appendChild (uploads, nullptr);
    cloud.appendChild (user, nullptr);
    cloud.appendChild (packs, nullptr);
    w.page.root.appendChild (cloud, nullptr);
    w.browser->setRoot (&w.page, w.page.root);

    w.browser->selectSource (packItem);
    EXPECT_EQ (textsOf (w.browser->createContextMenu()),
               juce::StringArray ({ "11 Send 'Choir Pack' To Veloce 1", "13 Copy 'Choir Pack' To Workspace",
                                    "14 Create Local Archive Of 'Choir Pack'" }));
    w.browser->selectSource (user);
    EXPECT_EQ (textsOf (w.browser->createContextMenu()),
               juce::StringArray ({ "15 Synchronize", "16 Upload Data To My Account" }));

    // A pack item becomes a local backup of its own.
    w.browser->selectSource (packItem);
    w.browser->performContextMenuItem (14);
    auto local = w.child (w.archiveNode, "Choir Pack copy");
    ASSERT_TRUE (local.isValid());
    EXPECT_EQ (getSourceNodeWorkingData (local)->getPresetIndices(), juce::Array<int> ({ 3, 8 }));
    EXPECT_TRUE (w.indexedTitles().contains ("Choir Pack copy"));
    EXPECT_TRUE (packItem.getParent().isValid());

    // Packs stay; an upload goes, and the upload folder is selected afterwards.
    w.browser->deleteSelected();
    EXPECT_TRUE (packItem.getParent().isValid());
    w.browser->selectSource (uploaded);
    w.browser->deleteSelected();
    EXPECT_FALSE (uploaded.getParent().isValid());
    EXPECT_EQ (w.browser->getSelectedNodes(), juce::Array<juce::ValueTree> ({ uploads }));
    w.browser->deleteSelected();
    EXPECT_TRUE (uploads.getParent().isValid());

    // Groups are bold; inside an upload folder also italic.
    auto folder = createSourceNode (SourceIds::group, "Live");
    uploads.appendChild (folder, nullptr);
    ASSERT_NE (w.item (folder), nullptr);
    EXPECT_TRUE (w.item (folder)->getFont().isBold());
    EXPECT_TRUE (w.item (folder)->getFont().isItalic());
    EXPECT_FALSE (w.item (w.gigs())->getFont().isItalic());
}

TEST (SourceBrowser, PresetsDraggedFromTheGridOpenTheDropMenuOnTheUnitOnly)
{
    BrowserWorld w;
    struct Snapshot : juce::Component, PresetDragSource
    {
        juce::ValueTree node;
        juce::Array<int> slots;
        juce::ValueTree getDraggedSourceNode() const override { return node; }
        juce::Array<int> getDraggedSlots() const override { return slots; }
    } snapshot;
    snapshot.node = w.demo();
    snapshot.slots = { 6 };
    const juce::DragAndDropTarget::SourceDetails details ("Preset 6", &snapshot, { 5, 5 });

    EXPECT_TRUE (w.item (w.deviceNode)->isInterestedInDragSource (details));
    EXPECT_FALSE (w.item (w.gigs())->isInterestedInDragSource (details));
    EXPECT_FALSE (w.item (w.archiveNode)->isInterestedInDragSource (details));

    w.dialogs.menuAnswers = { 1 };
    w.item (w.deviceNode)->itemDropped (details, 0);
    ASSERT_EQ (w.dialogs.menus.size(), 1u);
    EXPECT_TRUE (textsOf (w.dialogs.menus[0]).contains ("1 Replace 6: Preset 6"));
    EXPECT_TRUE (w.unitWorking().hasPreset (6));
    EXPECT_EQ (w.unitWorking().getPreset (6)->getMd5(), getSourceNodeWorkingData (w.demo())->getPreset (6)->getMd5());

    // The group view deletes the nodes of its buttons through the browser.
    w.browser->deleteNodes ({ w.demo(), w.deviceNode });
    EXPECT_FALSE (w.demo().isValid());
    EXPECT_TRUE (w.deviceNode.getParent().isValid());
    EXPECT_FALSE (w.demoFile.exists());
}

TEST (SourceBrowser, AGroupUnderAHoveringDragOpens)
{
    BrowserWorld w;
    auto& tree = w.browser->getTreeView();
    ASSERT_TRUE (pumpUntil ([&] {
        auto* rows = tree.getViewport()->getViewedComponent();
        return rows != nullptr && rows->getHeight() >= 120 + 34 + 27 + 25 + 25;
    }));
    auto* gigs = w.item (w.gigs());
    ASSERT_FALSE (gigs->isOpen());

    w.browser->selectSource (w.studio());
    tree.dragStarted();
    const auto row = gigs->getItemPosition (true);
    const juce::DragAndDropTarget::SourceDetails details (SourceTreeItem::dragDescription, &tree, row.getCentre());
    tree.itemDragEnter (details);
    tree.itemDragMove (details);
    EXPECT_TRUE (pumpUntil ([&] { return w.item (w.gigs())->isOpen(); }));
    const auto started = juce::Time::getMillisecondCounter();

    // Leaving the tree stops the wait: a closed group stays closed.
    w.item (w.gigs())->setOpen (false);
    ASSERT_TRUE (pumpUntil ([&] { return juce::Time::getMillisecondCounter() - started > (juce::uint32) DataSetTreeView::sampleIntervalMs; }));
    const juce::DragAndDropTarget::SourceDetails moved (SourceTreeItem::dragDescription, &tree, row.getCentre().translated (40, 0));
    tree.itemDragMove (moved);   // a fast move starts the wait again
    tree.itemDragExit (moved);
    pumpFor (2 * DataSetTreeView::openDelayMs);
    EXPECT_FALSE (w.item (w.gigs())->isOpen());
    tree.dragEnded();
}
