#include <gtest/gtest.h>
#include "ui/datapage/SourceBrowserWorld.h"

using namespace testing_support;

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
