#include <gtest/gtest.h>
#include "archive/DataSourceTree.h"
#include "content/ContentManager.h"
#include "archive/LocalArchiveManager.h"
#include "core/AppPaths.h"
#include "core/InfoCodes.h"
#include "core/Settings.h"
#include "device/DeviceObject.h"
#include "ui/AppCommandIds.h"
#include "ui/DataPage.h"
#include "ui/ToolbarButtonEx.h"
#include "ui/dialogs/ExportContent.h"
#include "ui/dialogs/SearchDialog.h"
#include "support/ContentComponentWorld.h"
#include "support/PresetGridFixtures.h"
#include "ui/datapage/DataPageWorld.h"

using namespace testing_support;

TEST (DataPage, ConnectReadsTheUnitShowsItsPresetsAndAppliesAnUndoableEdit)
{
    PageWorld s;
    ASSERT_NE (s.page, nullptr);
    ASSERT_TRUE (s.connect());
    ASSERT_TRUE (s.waitForSynced());

    // The automatic read asked the unit for its presets and the workspace shows them.
    EXPECT_GE (s.presetRequests(), 6);
    auto* working = s.working();
    ASSERT_NE (working, nullptr);
    for (int n = 1; n <= 6; ++n)
    {
        ASSERT_TRUE (working->hasPreset (n)) << n;
        EXPECT_EQ (working->getPreset (n)->getName(), s.unit->getPreset (n).name) << n;
    }
    EXPECT_FALSE (working->hasPreset (7));
    EXPECT_FALSE (s.page->getSyncButton().isVisible());
    EXPECT_TRUE (s.page->getToolbar().isVisible());
    EXPECT_EQ (s.page->getWorkspace().getViewType(), (int) DataViewPanel::gridView);
    EXPECT_EQ (s.page->getSelectedSource(), s.deviceNode());
    EXPECT_EQ (s.page->getWorkspace().getGrid().getWorkingData(), working);
    EXPECT_EQ (s.page->getSelectedDataSet(), working);

    // The finished read is on disk and reads back whole.
    const auto folder = s.page->getDeviceFolder();
    ASSERT_TRUE (folder.isNotEmpty());
    auto stored = DeviceData::createFromFile (AppPaths::getSyncFile (folder, false));
    ASSERT_NE (stored, nullptr);
    EXPECT_EQ (stored->getPresetIndices(), juce::Array<int> ({ 1, 2, 3, 4, 5, 6 }));
    EXPECT_FALSE (juce::File (AppPaths::getSyncFile (folder, true)).exists());

    // An edit through the page is undoable, and enables Apply Changes.
    const auto oldName = working->getPreset (2)->getName();
    EXPECT_FALSE (s.page->getToolbarItem (DataToolbarItemFactory::applyChangesItem)->isEnabled());
    ASSERT_TRUE (s.page->renamePresets (s.deviceNode(), { 2 }, "Night Choir", true, true));
    EXPECT_EQ (working->getPreset (2)->getName(), "Night Choir");
    EXPECT_TRUE (s.page->getDataSet()->hasUnsavedChanges());
    pumpFor (20);
    EXPECT_TRUE (s.page->getToolbarItem (DataToolbarItemFactory::applyChangesItem)->isEnabled());
    EXPECT_TRUE (s.page->getToolbarItem (DataToolbarItemFactory::undoItem)->isEnabled());

    s.click (DataToolbarItemFactory::undoItem);
    EXPECT_EQ (working->getPreset (2)->getName(), oldName);
    EXPECT_TRUE (s.page->getToolbarItem (DataToolbarItemFactory::redoItem)->isEnabled());
    s.click (DataToolbarItemFactory::redoItem);
    EXPECT_EQ (working->getPreset (2)->getName(), "Night Choir");
    EXPECT_TRUE (s.w.boxes.boxes.empty());

    // Apply Changes writes just that preset to the unit and leaves nothing unsent.
    s.unit->clearLog();
    const auto before = s.w.countEndings();
    s.click (DataToolbarItemFactory::applyChangesItem);
    const auto write = s.w.waitForEnding (before);
    EXPECT_EQ (write.code, InfoCode::commandDone);
    EXPECT_EQ (write.commandCode, DeviceCommand::writePresets);
    pumpFor (50);
    EXPECT_EQ (s.unit->getPreset (2).name, "Night Choir");
    EXPECT_EQ (s.unit->countReceived (0x45), 0);
    EXPECT_FALSE (s.page->getDataSet()->hasUnsavedChanges());
    EXPECT_FALSE (working->isPresetModified (2));

    // The unit's details show its product's picture, also one that comes after them.
    s.page->setSize (1000, 600);
    auto* details = dynamic_cast<DetailsPanel*> (s.page->getPanels().getPanel (1));
    ASSERT_NE (details, nullptr);
    details->showDetails (DetailsPanel::deviceDetails, s.deviceNode());
    auto& unitDetails = details->getDeviceDetails();
    const juce::Colour late (0xff20c040);
    const auto showsLatePicture = [&]
    {
        const auto area = unitDetails.getProductImage().getBounds();
        const auto image = unitDetails.createComponentSnapshot (unitDetails.getLocalBounds());
        return countPixelsNear (image, area, late, 8) > area.getWidth() * area.getHeight() * 8 / 10;
    };
    EXPECT_FALSE (showsLatePicture());
    bringLatePictures (DeviceWorld::merle, late);
    s.w.deliver (DeviceInfoMessage (InfoCode::productPicturesChanged, DeviceWorld::merle, 0, "Merle"));
    EXPECT_TRUE (showsLatePicture());

    // Letting the unit go stores the working copy and the read; both read back.
    ASSERT_TRUE (s.disconnect());
    auto storedWorking = DeviceData::createFromFile (AppPaths::getWorkingFile (folder, false));
    ASSERT_NE (storedWorking, nullptr);
    EXPECT_EQ (storedWorking->getPreset (2)->getName(), "Night Choir");
    EXPECT_EQ (storedWorking->getPresetIndices(), juce::Array<int> ({ 1, 2, 3, 4, 5, 6 }));
    auto storedSync = DeviceData::createFromFile (AppPaths::getSyncFile (folder, false));
    ASSERT_NE (storedSync, nullptr);
    EXPECT_EQ (storedSync->getPreset (2)->getName(), "Night Choir");
    EXPECT_TRUE (s.page->needsSync());
    EXPECT_FALSE (s.deviceNode().isValid());
    EXPECT_EQ (s.page->getArchiveManager(), nullptr);
    EXPECT_EQ (s.page->getWorkspace().getViewType(), (int) DataViewPanel::emptyView);
    EXPECT_FALSE (s.page->canUndo());
}

TEST (DataPage, ManualSyncWaitsOnTheSyncScreenUntilAsked)
{
    PageWorld s (1);
    ASSERT_TRUE (s.connect());
    pumpFor (300);

    EXPECT_TRUE (s.page->needsSync());
    EXPECT_EQ (s.presetRequests(), 0);
    auto& button = s.page->getSyncButton();
    EXPECT_TRUE (button.isVisible());
    EXPECT_EQ (button.getButtonText(), "Click To Sync With " + s.w.manager().getDeviceDisplayName());
    EXPECT_FALSE (s.page->getToolbar().isVisible());
    EXPECT_FALSE (s.page->getBrowser().isVisible());
    EXPECT_EQ (button.getCommandID(), (int) AppCommand::downloadDeviceData);

    // The button's command reads the unit.
    button.triggerClick();
    ASSERT_TRUE (s.waitForSynced());
    EXPECT_GE (s.presetRequests(), 6);
    EXPECT_FALSE (button.isVisible());
    EXPECT_TRUE (s.page->getToolbar().isVisible());
    EXPECT_EQ (s.working()->countPresets(), 6);
}

TEST (DataPage, PreviousSyncComesBackFromDiskWithoutReadingAndABrokenOneIsDeleted)
{
    PageWorld s;
    ASSERT_TRUE (s.connect());
    ASSERT_TRUE (s.waitForSynced());
    const auto folder = s.page->getDeviceFolder();

    // "Disconnect Anyway" lets the edit go: the working copy stored holds none.
    ASSERT_TRUE (s.page->renamePresets (s.deviceNode(), { 4 }, "Dropped Edit", false, false));
    s.w.boxes.answerWith ({ 0 });
    ASSERT_TRUE (s.disconnect());
    EXPECT_EQ (s.w.boxes.titles(), juce::StringArray ("Changes Will Be Lost"));
    auto dropped = DeviceData::createFromFile (AppPaths::getWorkingFile (folder, false));
    ASSERT_NE (dropped, nullptr);
    EXPECT_EQ (dropped->getPreset (4)->getName(), s.unit->getPreset (4).name);
    EXPECT_FALSE (dropped->isModified());

    // With "previous" the edits are kept on disk, and nothing asks.
    setDataSyncMethod (2);
    ASSERT_TRUE (s.connect());
    ASSERT_TRUE (pumpUntil ([&] { return s.page->getDataSet() != nullptr; }, 60000));
    ASSERT_TRUE (s.page->renamePresets (s.deviceNode(), { 4 }, "Kept Edit", false, false));
    s.w.boxes.boxes.clear();
    ASSERT_TRUE (s.disconnect());
    EXPECT_TRUE (s.w.boxes.boxes.empty());
    ASSERT_TRUE (juce::File (AppPaths::getSyncFile (folder, false)).existsAsFile());
    ASSERT_TRUE (juce::File (AppPaths::getWorkingFile (folder, false)).existsAsFile());

    // Connecting again with "previous": the stored read and working copy come back, the
    // unit is not read.
    s.unit->clearLog();
    ASSERT_TRUE (s.connect());
    ASSERT_TRUE (pumpUntil ([&] { return s.page->getDataSet() != nullptr; }, 60000));
    pumpFor (200);
    EXPECT_FALSE (s.page->needsSync());
    EXPECT_EQ (s.presetRequests(), 0);
    EXPECT_FALSE (s.page->getSyncButton().isVisible());
    ASSERT_NE (s.working(), nullptr);
    EXPECT_EQ (s.working()->getPreset (4)->getName(), "Kept Edit");
    EXPECT_EQ (s.working()->countPresets(), 6);
    // The unsent edit still counts as unsent.
    EXPECT_TRUE (s.page->getDataSet()->hasUnsavedChanges());
    EXPECT_EQ (s.page->getWorkspace().getViewType(), (int) DataViewPanel::gridView);

    // A working snapshot that cannot be written is reported, and its old file stays whole.
    const juce::File workingFile (AppPaths::getWorkingFile (folder, false));
    juce::MemoryBlock oldWorking;
    ASSERT_TRUE (workingFile.loadFileAsData (oldWorking));
    const juce::File blocked (AppPaths::getWorkingFile (folder, true));
    ASSERT_TRUE (blocked.createDirectory().wasOk());
    ASSERT_TRUE (blocked.getChildFile ("in the way").replaceWithText ("x"));
    ASSERT_TRUE (s.page->renamePresets (s.deviceNode(), { 5 }, "Lost Edit", false, false));
    s.w.boxes.boxes.clear();
    ASSERT_TRUE (s.disconnect());
    EXPECT_EQ (s.w.boxes.titles(), juce::StringArray ("File Error"));
    juce::MemoryBlock nowWorking;
    ASSERT_TRUE (workingFile.loadFileAsData (nowWorking));
    EXPECT_EQ (nowWorking, oldWorking);
    EXPECT_TRUE (juce::File (AppPaths::getSyncFile (folder, false)).existsAsFile());
    ASSERT_TRUE (blocked.deleteRecursively());

    // A stored read that cannot be loaded is deleted with the working copy, whose unsent edit
    // is kept as a backup first, and the unit must be read again.
    ASSERT_TRUE (juce::File (AppPaths::getSyncFile (folder, false)).replaceWithText ("not a data file"));
    s.w.boxes.boxes.clear();
    ASSERT_TRUE (s.connect());
    ASSERT_TRUE (pumpUntil ([&] { return s.page->getDataSet() != nullptr; }, 60000));
    pumpFor (100);
    EXPECT_EQ (s.w.boxes.titles(), juce::StringArray ("Preset Edits Kept"));
    const auto backups = s.page->getArchiveManager()->getTree();
    ASSERT_EQ (backups.getNumChildren(), 1);
    EXPECT_EQ (getSourceNodeWorkingData (backups.getChild (0))->getPreset (4)->getName(), "Kept Edit");
    EXPECT_TRUE (s.page->needsSync());
    EXPECT_TRUE (s.page->getSyncButton().isVisible());
    EXPECT_EQ (s.presetRequests(), 0);
    EXPECT_FALSE (juce::File (AppPaths::getSyncFile (folder, false)).exists());
    EXPECT_FALSE (juce::File (AppPaths::getWorkingFile (folder, false)).exists());
}

TEST (DataPage, AFailedReadEmptiesTheWorkspaceAndShowsTheSyncScreen)
{
    PageWorld s;
    ASSERT_TRUE (s.connect());
    ASSERT_TRUE (s.waitForSynced());
    ASSERT_EQ (s.working()->countPresets(), 6);

    auto faults = s.unit->getFaults();
    faults.silent = true;
    s.unit->setFaults (faults);

    const auto before = s.w.countEndings();
    s.page->syncWithWarning();
    const auto ending = s.w.waitForEnding (before, 120000);
    EXPECT_EQ (ending.code, InfoCode::commandFailed);
    ASSERT_TRUE (pumpUntil ([&] { return s.page->getSyncButton().isVisible(); }, 30000));

    EXPECT_TRUE (s.page->needsSync());
    EXPECT_FALSE (s.page->isBusy());
    ASSERT_NE (s.page->getDataSet(), nullptr);
    EXPECT_EQ (s.working()->countPresets(), 0);
    EXPECT_EQ (s.page->getDataSet()->getDevice()->countPresets(), 0);
    const auto titles = s.w.boxes.titles();
    EXPECT_TRUE (titles.contains ("Device Error") || titles.contains ("Internal Error")) << titles.joinIntoString ("|").toStdString();

    // A read that finds the unit's ports closed while their names stay listed is lost, and
    // no box of a lost unit follows: it says so itself.
    s.unit->setFaults ({});
    s.w.boxes.boxes.clear();
    s.w.manager().getDeviceObject()->closePorts();
    EXPECT_EQ (s.endingOf ([&] { s.page->invokeCommand (AppCommand::downloadDeviceData); }).code, InfoCode::commandFailed);
    pumpFor (300);
    EXPECT_EQ (s.w.boxes.titles(), juce::StringArray ("Device Error")) << s.w.boxes.titles().joinIntoString ("|");
}

TEST (DataPage, UnsentEditsAskBeforeAReadAndCancelKeepsThem)
{
    PageWorld s;
    ASSERT_TRUE (s.connect());
    ASSERT_TRUE (s.waitForSynced());
    ASSERT_TRUE (s.page->deletePresets (s.deviceNode(), { 3 }, true, true));
    ASSERT_TRUE (s.page->getDataSet()->hasUnsavedChanges());

    s.unit->clearLog();
    s.w.boxes.answerWith ({ 1 });   // Cancel
    s.click (DataToolbarItemFactory::getDataItem);
    pumpFor (200);
    ASSERT_EQ (s.w.boxes.boxes.size(), 1u);
    EXPECT_EQ (s.w.boxes.boxes[0].title, "Changes Will Be Lost");
    EXPECT_EQ (s.w.boxes.boxes[0].buttons, juce::StringArray ({ "Continue", "Cancel" }));
    EXPECT_TRUE (s.w.boxes.boxes[0].message.contains (s.page->getDeviceName()));
    EXPECT_EQ (s.presetRequests(), 0);
    EXPECT_FALSE (s.working()->hasPreset (3));

    // The read replaces the working copy: the grid shows it emptied at once, and no edit
    // made before it can be undone into the data read.
    auto& grid = s.page->getWorkspace().getGrid();
    const auto gridShowsTheWorkingCopy = [&]
    {
        for (int slot = 1; slot < grid.getNumButtons(); ++slot)
        {
            auto* preset = s.working()->getPreset (slot);
            auto* button = grid.getButton (slot);
            if (button->isEmpty() != (preset == nullptr)
                || (preset != nullptr && ! button->getButtonText().contains (preset->getName())))
                return false;
        }
        return true;
    };
    // The grid's context menu offers to send all changes while there are some.
    const auto allChangesOffered = [&]
    {
        const auto menu = grid.createContextMenu();
        for (juce::PopupMenu::MenuItemIterator i (menu, true); i.next();)
            if (i.getItem().text == "All Changes")
                return i.getItem().isEnabled;
        return false;
    };
    EXPECT_TRUE (allChangesOffered());
    auto faults = s.unit->getFaults();
    faults.replyDelayMs = 20;
    s.unit->setFaults (faults);
    s.w.boxes.answerWith ({ 0 });   // Continue
    s.click (DataToolbarItemFactory::getDataItem);
    EXPECT_EQ (s.working()->countPresets(), 0);
    EXPECT_TRUE (gridShowsTheWorkingCopy());
    EXPECT_FALSE (s.page->canUndo());
    ASSERT_TRUE (pumpUntil ([&] { return s.page->isBusy(); }, 10000) || s.presetRequests() > 0);

    // The grid's context menu, made while the read fills the unit's data, counts the changes
    // not sent against that data: none once the read is through.
    int menus = 0;
    for (; s.page->isBusy(); ++menus)
    {
        allChangesOffered();
        pumpFor (5);
    }
    EXPECT_GT (menus, 1);
    faults.replyDelayMs = 0;
    s.unit->setFaults (faults);
    ASSERT_TRUE (s.waitForSynced());
    EXPECT_TRUE (s.working()->hasPreset (3));
    EXPECT_FALSE (s.page->getDataSet()->hasUnsavedChanges());
    EXPECT_TRUE (gridShowsTheWorkingCopy());
    EXPECT_FALSE (allChangesOffered());

    s.w.boxes.boxes.clear();
    EXPECT_TRUE (s.page->keyPressed (juce::KeyPress ('z', juce::ModifierKeys::commandModifier, 0)));
    EXPECT_EQ (s.w.boxes.titles(), juce::StringArray ("Undo"));
    EXPECT_TRUE (s.working()->hasPreset (3));
    EXPECT_FALSE (s.page->getDataSet()->hasUnsavedChanges());

    // A unit that comes back while unsent edits wait on disk beside its data asks before
    // the automatic read: "Cancel" keeps them, "Continue" reads.
    const auto storeUnsentEdit = [&]
    {
        ASSERT_TRUE (s.page->renamePresets (s.deviceNode(), { 2 }, "Unsent Two", false, false));
        setDataSyncMethod (2);   // kept on disk without a question
        ASSERT_TRUE (s.disconnect());
        setDataSyncMethod (0);
        s.w.boxes.boxes.clear();
        s.unit->clearLog();
    };
    storeUnsentEdit();
    s.w.boxes.answerWith ({ 1 });   // Cancel
    ASSERT_TRUE (s.connect());
    ASSERT_TRUE (pumpUntil ([&] { return s.page->getDataSet() != nullptr; }, 60000));
    pumpFor (200);
    ASSERT_EQ (s.w.boxes.boxes.size(), 1u);
    EXPECT_EQ (s.w.boxes.boxes[0].title, "Changes Will Be Lost");
    EXPECT_EQ (s.w.boxes.boxes[0].buttons, juce::StringArray ({ "Continue", "Cancel" }));
    EXPECT_TRUE (s.w.boxes.boxes[0].message.contains ("If you synchronize now"));
    EXPECT_EQ (s.presetRequests(), 0);
    EXPECT_FALSE (s.page->needsSync());
    EXPECT_EQ (s.working()->getPreset (2)->getName(), "Unsent Two");
    EXPECT_TRUE (s.page->getDataSet()->hasUnsavedChanges());

    // With manual reads they are shown at once, without a read, and "Get Data" asks first.
    storeUnsentEdit();
    setDataSyncMethod (1);
    ASSERT_TRUE (s.connect());
    ASSERT_TRUE (pumpUntil ([&] { return s.page->getDataSet() != nullptr; }, 60000));
    pumpFor (200);
    EXPECT_TRUE (s.w.boxes.boxes.empty());
    EXPECT_FALSE (s.page->needsSync());
    EXPECT_EQ (s.working()->getPreset (2)->getName(), "Unsent Two");
    s.w.boxes.answerWith ({ 1 });   // Cancel
    s.click (DataToolbarItemFactory::getDataItem);
    EXPECT_EQ (s.w.boxes.titles(), juce::StringArray ("Changes Will Be Lost"));
    EXPECT_EQ (s.presetRequests(), 0);
    setDataSyncMethod (0);

    storeUnsentEdit();
    s.w.boxes.answerWith ({ 0 });   // Continue
    ASSERT_TRUE (s.connect());
    ASSERT_TRUE (s.waitForSynced());
    EXPECT_EQ (s.w.boxes.titles(), juce::StringArray ("Changes Will Be Lost"));
    EXPECT_GE (s.presetRequests(), 6);
    EXPECT_EQ (s.working()->getPreset (2)->getName(), s.unit->getPreset (2).name);
    EXPECT_FALSE (s.page->getDataSet()->hasUnsavedChanges());

    // Back with another firmware build, the unit no longer fits the data the edits were made
    // on: "Cancel" keeps them as a backup, which a box names, and then the unit is read.
    const auto comeBackWithBuild = [&] (int build)
    {
        auto identity = s.unit->getIdentity();
        identity.build = build;
        s.unit->setIdentity (identity);
        ASSERT_TRUE (s.connect());
        ASSERT_TRUE (pumpUntil ([&] { return s.page->getDataSet() != nullptr; }, 60000));
    };
    const auto keptEdits = [] (const juce::ValueTree& backups)
    {
        juce::StringArray names;
        for (const auto& node : backups)
            names.add (getSourceNodeWorkingData (node)->getPreset (2)->getName());
        return names;
    };
    storeUnsentEdit();
    s.w.boxes.answerWith ({ 1 });   // Cancel
    comeBackWithBuild (141);
    ASSERT_TRUE (s.waitForSynced());
    EXPECT_GE (s.presetRequests(), 6);
    EXPECT_EQ (s.w.boxes.titles(), juce::StringArray ({ "Changes Will Be Lost", "Preset Edits Kept" }));
    const auto backups = s.page->getArchiveManager()->getTree();
    ASSERT_EQ (keptEdits (backups), juce::StringArray ("Unsent Two"));
    EXPECT_TRUE (s.w.boxes.boxes[1].message.contains ("'" + backups.getChild (0)[SourceIds::label].toString() + "'"));

    // With manual reads, on a build of another data format: they join the backups of their
    // own format, which the question about mismatched backups offers to convert.
    storeUnsentEdit();
    setDataSyncMethod (1);
    comeBackWithBuild (120);
    pumpFor (200);
    EXPECT_EQ (s.w.boxes.titles(), juce::StringArray ("Preset Edits Kept"));
    EXPECT_EQ (s.presetRequests(), 0);
    EXPECT_EQ (s.w.devices.content.host.eventsWithCode (InfoCode::mismatchedBackupData).size(), 1u);
    LocalArchiveManager stored (getContentManager()->createDeviceCaps (DeviceWorld::merle, 141)->getFormat(), {});
    ASSERT_TRUE (stored.buildTree());
    EXPECT_EQ (keptEdits (stored.getTree()), juce::StringArray ({ "Unsent Two", "Unsent Two" }));

    // An index cut off inside its opening tag (by a copy tool, say) is damaged too: a unit
    // attached over it and disconnected leaves it as it is, and put back, it lists every backup.
    const juce::File index (AppPaths::getBackupIndexFile (DeviceWorld::merle));
    ASSERT_TRUE (s.disconnect());
    const auto whole = index.loadFileAsString();
    const juce::String cut ("<BACKUP nextFileNum=\"42\"");
    ASSERT_TRUE (index.replaceWithText (cut));
    ASSERT_TRUE (s.connect());
    ASSERT_TRUE (pumpUntil ([&] { return s.page->getDataSet() != nullptr; }, 60000));
    ASSERT_TRUE (s.disconnect());
    EXPECT_EQ (index.loadFileAsString(), cut);
    ASSERT_TRUE (index.replaceWithText (whole));
    LocalArchiveManager restored (getContentManager()->createDeviceCaps (DeviceWorld::merle, 141)->getFormat(), {});
    ASSERT_TRUE (restored.buildTree());
    EXPECT_EQ (keptEdits (restored.getTree()), juce::StringArray ({ "Unsent Two", "Unsent Two" }));

    // While the backup index does not parse, edits that no longer fit are set aside in a file of
    // their own, which the box names; the unit is read, and neither a read nor a disconnect goes
    // over them. Edits that are only a deleted preset count too, beside a stored read that cannot
    // be opened at all.
    setDataSyncMethod (0);
    comeBackWithBuild (141);
    ASSERT_TRUE (s.waitForSynced());
    const auto folder = juce::File (s.page->getDeviceFolder());
    storeUnsentEdit();
    ASSERT_TRUE (index.replaceWithText ("not an index"));
    s.w.boxes.answerWith ({ 1 });   // Cancel
    comeBackWithBuild (140);
    ASSERT_TRUE (s.waitForSynced());
    EXPECT_EQ (s.w.boxes.titles(), juce::StringArray ({ "Changes Will Be Lost", "Preset Edits Kept" }));
    EXPECT_TRUE (s.w.boxes.boxes[1].message.contains ("cannot read the backup index"));
    EXPECT_FALSE (s.w.boxes.boxes[1].message.contains ("drive"));
    const auto setAside = [&] { return folder.findChildFiles (juce::File::findFiles, false, "Unsent Edits *.ard"); };
    ASSERT_EQ (setAside().size(), 1);
    const auto first = setAside()[0];
    EXPECT_TRUE (s.w.boxes.boxes[1].message.contains ("'" + first.getFullPathName() + "'"));

    ASSERT_TRUE (s.page->deletePresets (s.deviceNode(), { 3 }, false, false));
    setDataSyncMethod (2);
    ASSERT_TRUE (s.disconnect());
    setDataSyncMethod (0);
    ASSERT_TRUE (folder.getChildFile ("sync.ard").replaceWithText ("not a data file"));
    s.w.boxes.boxes.clear();
    s.w.boxes.answerWith ({ 1 });   // Cancel
    ASSERT_TRUE (s.connect());
    ASSERT_TRUE (s.waitForSynced());
    ASSERT_TRUE (s.disconnect());
    EXPECT_EQ (s.w.boxes.titles(), juce::StringArray ({ "Changes Will Be Lost", "Preset Edits Kept" }));
    EXPECT_EQ (index.loadFileAsString(), "not an index");
    ASSERT_EQ (setAside().size(), 2);
    for (auto& file : setAside())
    {
        auto kept = DeviceData::createFromFile (file.getFullPathName());
        ASSERT_NE (kept, nullptr);
        if (file == first)
            EXPECT_EQ (kept->getPreset (2)->getName(), "Unsent Two");
        else
            EXPECT_FALSE (kept->hasPreset (3));
    }
}

TEST (DataPage, APartialSendUnmarksOnlyWhatWasWrittenAndApplySendsTheRest)
{
    PageWorld s;
    ASSERT_TRUE (s.connect());
    ASSERT_TRUE (s.waitForSynced());
    s.click (DataToolbarItemFactory::backupAllItem);   // the unit as read, sent from below
    auto archive = findSourceNodeByCategory (s.page->getSourcesRoot(), SourceCategories::archive);
    ASSERT_GT (archive.getNumChildren(), 0);
    auto backup = archive.getChild (archive.getNumChildren() - 1);

    auto* working = s.working();
    ASSERT_TRUE (s.page->renamePresets (s.deviceNode(), { 2 }, "Edit Two", true, true));
    ASSERT_TRUE (s.page->renamePresets (s.deviceNode(), { 4 }, "Edit Four", true, true));
    const auto fourStillUnsent = [&]
    {
        return working->isPresetModified (4) && s.page->getDataSet()->hasUnsavedChanges();
    };

    // Send Selected writes slot 2 alone; the edit of slot 4 stays marked.
    ASSERT_TRUE (s.page->selectSourceInBrowser (s.deviceNode()));
    s.page->selectSlots (s.deviceNode(), { 2 });
    s.unit->clearLog();
    EXPECT_EQ (s.endingOf ([&] { s.click (DataToolbarItemFactory::sendSelectedItem); }).commandCode,
               DeviceCommand::writePresetsFrom);
    EXPECT_EQ (s.presetsWritten(), juce::Array<int> ({ 2 }));
    EXPECT_EQ (s.unit->getPreset (2).name, "Edit Two");
    EXPECT_FALSE (working->isPresetModified (2));
    EXPECT_TRUE (fourStillUnsent());

    // So does a staged import, and a setup write.
    auto image = working->createCopy ({ 6 }, false, true);
    ASSERT_TRUE (image->getPreset (6)->setName ("Imported Six"));
    s.unit->clearLog();
    EXPECT_EQ (s.endingOf ([&] { s.page->sendDataToDevice (std::move (image), false); }).commandCode,
               DeviceCommand::writeWholeData);
    EXPECT_EQ (s.presetsWritten(), juce::Array<int> ({ 6 }));
    EXPECT_TRUE (fourStillUnsent());

    s.unit->clearLog();
    EXPECT_EQ (s.endingOf ([&] { s.click (DataToolbarItemFactory::sendSetupItem); }).commandCode,
               DeviceCommand::writeSetupFrom);
    EXPECT_GT (s.unit->countReceived (0x13), 0);
    EXPECT_TRUE (s.presetsWritten().isEmpty());
    EXPECT_TRUE (fourStillUnsent());

    // Get Data still warns; Apply Changes is offered and sends exactly the rest.
    EXPECT_TRUE (s.page->getToolbarItem (DataToolbarItemFactory::applyChangesItem)->isEnabled());
    s.w.boxes.boxes.clear();
    s.w.boxes.answerWith ({ 1 });   // Cancel
    s.click (DataToolbarItemFactory::getDataItem);
    EXPECT_EQ (s.w.boxes.titles(), juce::StringArray ("Changes Will Be Lost"));
    s.unit->clearLog();
    EXPECT_EQ (s.endingOf ([&] { s.click (DataToolbarItemFactory::applyChangesItem); }).commandCode,
               DeviceCommand::writePresets);
    EXPECT_EQ (s.presetsWritten(), juce::Array<int> ({ 4 }));
    EXPECT_EQ (s.unit->getPreset (4).name, "Edit Four");
    EXPECT_FALSE (s.page->getDataSet()->hasUnsavedChanges());

    // A send from a backup that the unit stops half-way: the workspace's own edit of a slot
    // the backup wrote is not what the unit got, and keeps its mark.
    ASSERT_TRUE (s.page->renamePresets (s.deviceNode(), { 3 }, "Edit Three", true, true));
    auto faults = s.unit->getFaults();
    faults.writeStatus[5] = 6;
    s.unit->setFaults (faults);
    ASSERT_TRUE (s.page->selectSourceInBrowser (backup));
    s.page->selectSlots (backup, { 3, 5 });
    s.unit->clearLog();
    EXPECT_EQ (s.endingOf ([&] { s.click (DataToolbarItemFactory::sendSelectedItem); }).code, InfoCode::commandFailed);
    juce::Array<int> tried;
    for (auto n : s.presetsWritten())
        tried.addIfNotAlreadyThere (n);
    EXPECT_EQ (tried, juce::Array<int> ({ 3, 5 }));   // 5 as often as the unit refused it
    ASSERT_NE (working->getPreset (3), nullptr);
    EXPECT_EQ (working->getPreset (3)->getName(), "Edit Three");
    EXPECT_TRUE (working->isPresetModified (3));
    EXPECT_TRUE (s.page->getDataSet()->hasUnsavedChanges());
}
