#include <gtest/gtest.h>
#include "archive/DataSourceTree.h"
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

using namespace testing_support;

namespace
{
    // The main content component with the real data page, on the virtual port layer with
    // one simulated Merle unit holding presets 1 to 6.
    struct PageWorld
    {
        explicit PageWorld (int syncMethod = 0, juce::uint8 productId = DeviceWorld::merle)
            : w ([this] (RecordingParts& p)
                 {
                     p.makeDataPage = [this]
                     {
                         auto made = std::make_unique<DataPage>();
                         page = made.get();
                         return made;
                     };
                 })
        {
            setDataSyncMethod (syncMethod);
            // Every Piper build answers the identity query sent to all units, and is asked only so.
            unit = w.devices.addUnit (productId, 140, 4321, productId == DeviceWorld::piper);
            unit->fillPresets ({ 1, 2, 3, 4, 5, 6 }, 7);
        }

        bool connect()
        {
            return w.scan() && isUnitConnected();
        }

        bool waitForSynced()
        {
            return pumpUntil ([this] { return page->getDataSet() != nullptr && ! page->needsSync() && ! page->isBusy(); },
                              60000);
        }

        bool disconnect()
        {
            w.component().invokeDirectly (AppCommand::disconnectDevice, false);
            return pumpUntil ([this] { return page->getDataSet() == nullptr; }, 60000);
        }

        DeviceData* working() const { return page->getDataSet()->getWorking(); }
        juce::ValueTree deviceNode() const { return findDeviceSourceNode (page->getSourcesRoot()); }
        int presetRequests() const { return unit->countReceived (0x45); }
        // The numbers of the presets the unit was sent, from its log.
        juce::Array<int> presetsWritten() const
        {
            juce::Array<int> numbers;
            for (auto& e : unit->getReceived (0x20))
                numbers.add (e.value14());
            return numbers;
        }
        // Runs what `start` sets going and waits for the command's ending.
        SeenChange endingOf (const std::function<void()>& start)
        {
            const auto before = w.countEndings();
            start();
            const auto ending = w.waitForEnding (before);
            pumpFor (50);
            return ending;
        }

        void click (int itemId)
        {
            auto* item = page->getToolbarItem (itemId);
            ASSERT_NE (item, nullptr) << itemId;
            page->buttonClicked (item);
        }

        DataPage* page = nullptr;   // made while `w` is built: declared first
        ContentComponentWorld w;
        std::shared_ptr<SimulatedUnit> unit;
    };

    // Drags the bar as the mouse would: pressed, then moved sideways.
    void dragResizerBy (juce::StretchableLayoutResizerBar& bar, int dx)
    {
        auto source = juce::Desktop::getInstance().getMainMouseSource();
        const auto now = juce::Time::getCurrentTime();
        auto event = [&] (float x, bool dragged)
        {
            return juce::MouseEvent (source, { x, 5.0f }, juce::ModifierKeys::leftButtonModifier, 1.0f, 0.0f, 0.0f,
                                     0.0f, 0.0f, &bar, &bar, now, { 0.0f, 5.0f }, now, 1, dragged);
        };
        bar.mouseDown (event (0.0f, false));
        bar.mouseDrag (event ((float) dx, true));
    }

    juce::StringArray presetNames (const DeviceData& data, const juce::Array<int>& slots)
    {
        juce::StringArray out;
        for (auto s : slots)
            out.add (data.hasPreset (s) ? data.getPreset (s)->getName() : juce::String ("<empty>"));
        return out;
    }
}

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

    // A stored read that cannot be loaded is deleted with the working copy, and the unit
    // must be read again.
    ASSERT_TRUE (juce::File (AppPaths::getSyncFile (folder, false)).replaceWithText ("not a data file"));
    ASSERT_TRUE (s.connect());
    ASSERT_TRUE (pumpUntil ([&] { return s.page->getDataSet() != nullptr; }, 60000));
    pumpFor (100);
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
    s.w.boxes.answerWith ({ 0 });   // Continue
    s.click (DataToolbarItemFactory::getDataItem);
    EXPECT_EQ (s.working()->countPresets(), 0);
    EXPECT_TRUE (gridShowsTheWorkingCopy());
    EXPECT_FALSE (s.page->canUndo());
    ASSERT_TRUE (pumpUntil ([&] { return s.page->isBusy(); }, 10000) || s.presetRequests() > 0);
    ASSERT_TRUE (s.waitForSynced());
    EXPECT_TRUE (s.working()->hasPreset (3));
    EXPECT_FALSE (s.page->getDataSet()->hasUnsavedChanges());
    EXPECT_TRUE (gridShowsTheWorkingCopy());

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

TEST (DataPage, CutPasteAndDeleteKeepOutOfReadOnlyDataAndOfAUnitThatCannotDelete)
{
    const auto ctrl = [] (char key) { return juce::KeyPress (key, juce::ModifierKeys::commandModifier, 0); };
    const auto clickMade = [] (DataPage& page, int itemId)
    {
        DataToolbarItemFactory factory;
        std::unique_ptr<juce::ToolbarItemComponent> item (factory.createItem (itemId));
        page.buttonClicked (item.get());
    };

    {
        PageWorld s;
        // The product's sample preset packs, where the content download puts them.
        const juce::File packsFolder (AppPaths::getPacksFolder (DeviceWorld::merle));
        ASSERT_TRUE (juce::ZipFile (ContentWorld::sampleContent().getChildFile ("Merle/merle_packs.zip"))
                         .uncompressTo (packsFolder).wasOk());
        ASSERT_TRUE (s.connect());
        ASSERT_TRUE (s.waitForSynced());
        auto& grid = s.page->getWorkspace().getGrid();
        s.page->selectSlots (s.deviceNode(), { 2 });
        ASSERT_TRUE (grid.keyPressed (ctrl ('c')));

        // A preset pack of the cloud is read-only: nothing is cut from it or pasted into it.
        juce::Array<juce::ValueTree> packs;
        collectSourceDataNodes (findSourceNodeByCategory (s.page->getSourcesRoot(), SourceCategories::cloud), packs);
        ASSERT_FALSE (packs.isEmpty());
        auto pack = packs.getFirst();
        auto* packData = getSourceNodeWorkingData (pack);
        ASSERT_NE (packData, nullptr);
        const auto filled = packData->getPresetIndices();
        ASSERT_FALSE (filled.isEmpty());
        const auto names = presetNames (*packData, { 1, 2, 3, 4, 5, 6 });
        ASSERT_TRUE (s.page->selectSourceInBrowser (pack));
        ASSERT_EQ (grid.getWorkingData(), packData);
        s.page->selectSlots (pack, { filled.getFirst() });
        ASSERT_FALSE (grid.getSelection().isEmpty());

        EXPECT_FALSE (grid.keyPressed (ctrl ('x')));
        EXPECT_FALSE (grid.keyPressed (juce::KeyPress (juce::KeyPress::deleteKey)));
        for (int id : { DataToolbarItemFactory::cutItem, DataToolbarItemFactory::deletePresetsItem,
                        DataToolbarItemFactory::pasteItem })
            clickMade (*s.page, id);
        for (int id : { PresetButtonContainer::pasteToSelectedId, PresetButtonContainer::pasteToOriginalId,
                        PresetButtonContainer::pasteToEmptyId })
            grid.performMenuCommand (id);
        EXPECT_FALSE (grid.insertClipboardAt (filled.getFirst()));

        EXPECT_EQ (packData->getPresetIndices(), filled);
        EXPECT_EQ (presetNames (*packData, { 1, 2, 3, 4, 5, 6 }), names);
        EXPECT_FALSE (packData->isModified());
        EXPECT_FALSE (s.page->canUndo());
        ASSERT_NE (grid.getClipboard(), nullptr);   // still what was copied from the unit
        EXPECT_EQ (grid.getClipboard()->getPresetIndices(), juce::Array<int> ({ 2 }));
    }

    // A unit whose profile forbids deleting presets: nothing is cut from its data.
    PageWorld s (0, DeviceWorld::piper);
    ASSERT_TRUE (s.connect());
    ASSERT_TRUE (s.waitForSynced());
    auto& grid = s.page->getWorkspace().getGrid();
    ASSERT_TRUE (grid.isShowingConnectedUnit());
    s.page->selectSlots (s.deviceNode(), { 2 });
    EXPECT_FALSE (grid.keyPressed (ctrl ('x')));
    for (int id : { DataToolbarItemFactory::cutItem, DataToolbarItemFactory::deletePresetsItem })
        clickMade (*s.page, id);
    EXPECT_TRUE (s.working()->hasPreset (2));
    EXPECT_EQ (grid.getClipboard(), nullptr);
    EXPECT_FALSE (s.page->getDataSet()->hasUnsavedChanges());
}

TEST (DataPage, BackupsAppearInTheBrowserAndToolbarItemsFollowTheSelection)
{
    PageWorld s;
    ASSERT_TRUE (s.connect());
    ASSERT_TRUE (s.waitForSynced());

    auto archive = findSourceNodeByCategory (s.page->getSourcesRoot(), SourceCategories::archive);
    ASSERT_TRUE (archive.isValid());
    const int backupsBefore = archive.getNumChildren();
    EXPECT_TRUE (s.page->getToolbarItem (DataToolbarItemFactory::backupAllItem)->isEnabled());

    s.click (DataToolbarItemFactory::backupAllItem);
    pumpFor (50);
    ASSERT_EQ (archive.getNumChildren(), backupsBefore + 1);
    auto backup = archive.getChild (archive.getNumChildren() - 1);
    auto* copy = getSourceNodeWorkingData (backup);
    ASSERT_NE (copy, nullptr);
    EXPECT_EQ (presetNames (*copy, { 1, 2, 6 }), presetNames (*s.working(), { 1, 2, 6 }));
    // The backup is a file of the product's backups, listed in its index on disk.
    ASSERT_NE (s.page->getArchiveManager(), nullptr);

    // Selecting the backup shows it in the grid; the unit's own items follow.
    ASSERT_TRUE (s.page->selectSourceInBrowser (backup));
    pumpFor (20);
    EXPECT_EQ (s.page->getSelectedSource(), backup);
    EXPECT_EQ (s.page->getSelectedDataSet(), copy);
    EXPECT_FALSE (s.page->getToolbarItem (DataToolbarItemFactory::backupSelectedItem)->isEnabled());
    EXPECT_TRUE (s.page->getToolbarItem (DataToolbarItemFactory::exportItem)->isEnabled());

    // The group of backups itself shows as a group view of archive buttons.
    ASSERT_TRUE (s.page->selectSourceInBrowser (archive));
    pumpFor (20);
    EXPECT_EQ (s.page->getWorkspace().getViewType(), (int) DataViewPanel::groupView);
    EXPECT_FALSE (s.page->getSelectedSource().isValid());
    EXPECT_EQ (s.page->getSelectedSlots(), juce::Array<int>());
    EXPECT_FALSE (s.page->getToolbarItem (DataToolbarItemFactory::exportItem)->isEnabled());

    // Undo takes the backup away again.
    s.click (DataToolbarItemFactory::undoItem);
    EXPECT_EQ (archive.getNumChildren(), backupsBefore);
}

TEST (DataPage, ToolbarItemsAndTheirFixedAnswers)
{
    PageWorld s;
    auto& toolbar = s.page->getToolbar();

    int buttons = 0, bars = 0;
    for (int i = 0; i < toolbar.getNumItems(); ++i)
    {
        const int id = toolbar.getItemId (i);
        if (id == juce::ToolbarItemFactory::separatorBarId)
            ++bars;
        else
        {
            ++buttons;
            auto* b = dynamic_cast<ToolbarButtonEx*> (toolbar.getItemComponent (i));
            ASSERT_NE (b, nullptr) << id;
            EXPECT_NE (b->getNormalImage(), nullptr) << id;
            EXPECT_EQ (b->getTooltip(), DataToolbarItemFactory::getTooltip (id));
        }
    }
    EXPECT_EQ (buttons, 15);
    EXPECT_EQ (bars, 5);
    EXPECT_EQ (s.page->getToolbarItem (DataToolbarItemFactory::syncItem), nullptr);
    EXPECT_NE (dynamic_cast<ToolbarButtonEx*> (s.page->getToolbarItem (DataToolbarItemFactory::toggleViewItem))->getToggledImage(),
               nullptr);

    // Every item the factory knows can be made, and nothing else.
    DataToolbarItemFactory factory;
    juce::Array<int> all;
    factory.getAllToolbarItemIds (all);
    EXPECT_EQ (all.size(), 30);
    for (int id = 1; id <= 27; ++id)
    {
        std::unique_ptr<juce::ToolbarItemComponent> item (factory.createItem (id));
        EXPECT_NE (item, nullptr) << id;
        EXPECT_TRUE (all.contains (id));
    }
    EXPECT_EQ (std::unique_ptr<juce::ToolbarItemComponent> (factory.createItem (28)), nullptr);

    // Items that are not built answer so, and change nothing; undo with no history says so.
    for (int id : { 13, 26, 27 })
    {
        std::unique_ptr<juce::ToolbarItemComponent> item (factory.createItem (id));
        s.page->buttonClicked (item.get());
    }
    s.click (DataToolbarItemFactory::undoItem);
    s.click (DataToolbarItemFactory::redoItem);
    EXPECT_EQ (s.w.boxes.titles(), juce::StringArray ({ "Feature", "Feature", "Feature", "Undo", "Redo" }));
    EXPECT_EQ (s.w.boxes.boxes[0].message, "Not Implemented Yet!");
    EXPECT_EQ (s.w.boxes.boxes[3].message, "Nothing to undo");

    // Grid items do nothing while there is no grid.
    s.w.boxes.boxes.clear();
    for (int id : { 17, 18, 19, 20, 21 })
    {
        std::unique_ptr<juce::ToolbarItemComponent> item (factory.createItem (id));
        s.page->buttonClicked (item.get());
    }
    EXPECT_TRUE (s.w.boxes.boxes.empty());
    EXPECT_EQ (s.page->getWorkspace().getViewType(), (int) DataViewPanel::emptyView);
}

TEST (DataPage, ToggleViewFlipsTheGridAndIsStored)
{
    PageWorld s;
    ASSERT_TRUE (s.connect());
    ASSERT_TRUE (s.waitForSynced());
    auto* toggle = s.page->getToolbarItem (DataToolbarItemFactory::toggleViewItem);
    const bool wasOn = toggle->getToggleState();
    EXPECT_EQ (wasOn, getPresetButtonViewType() != 0);

    s.click (DataToolbarItemFactory::toggleViewItem);
    EXPECT_EQ (toggle->getToggleState(), ! wasOn);
    EXPECT_EQ (s.page->getWorkspace().getGrid().getViewType(), wasOn ? 0 : 1);
    EXPECT_EQ (getPresetButtonViewType(), wasOn ? 0 : 1);
    s.click (DataToolbarItemFactory::toggleViewItem);
    EXPECT_EQ (getPresetButtonViewType(), wasOn ? 1 : 0);
}

TEST (DataPage, ListenersAreToldLastFirstAndTheBrowserWidthIsKept)
{
    PageWorld s;
    struct Listener : PresetDataChangeListener
    {
        std::vector<int>* order; int tag;
        void presetDataChanged (const juce::ValueTree&, const juce::Array<int>&) override { order->push_back (tag); }
    };
    std::vector<int> order;
    Listener a, b;
    a.order = b.order = &order;
    a.tag = 1; b.tag = 2;
    s.page->addPresetDataChangeListener (&a);
    s.page->addPresetDataChangeListener (nullptr);
    s.page->addPresetDataChangeListener (&b);
    s.page->notifyPresetDataChanged (juce::ValueTree ("node"), 3);
    EXPECT_EQ (order, (std::vector<int> { 2, 1 }));
    s.page->removePresetDataChangeListener (&a);
    s.page->removePresetDataChangeListener (&b);

    // A dragged resizer is remembered when the unit goes.
    ASSERT_TRUE (s.connect());
    ASSERT_TRUE (s.waitForSynced());
    s.page->setSize (1000, 600);
    dragResizerBy (s.page->getResizerBar(), 200);
    const int browserWidth = s.page->getBrowser().getWidth();
    ASSERT_GT (browserWidth, 400);
    ASSERT_TRUE (s.disconnect());
    EXPECT_NEAR (getSettingDouble (SettingsKeys::browserWindowSize, 0.0), -browserWidth / 1000.0, 0.002);
}

TEST (DataPage, StagedDataGoesToTheUnitAndIntoTheWorkingCopy)
{
    PageWorld s;
    ASSERT_TRUE (s.connect());
    ASSERT_TRUE (s.waitForSynced());

    auto image = s.working()->createCopy ({ 2 }, false, true);
    ASSERT_NE (image, nullptr);
    ASSERT_TRUE (image->getPreset (2)->setName ("Imported Voice"));
    ASSERT_FALSE (image->hasPreset (3));

    s.unit->clearLog();
    const auto before = s.w.countEndings();
    s.page->sendDataToDevice (std::move (image), false);
    ASSERT_NE (s.page->getStagedData(), nullptr);
    const auto ending = s.w.waitForEnding (before);
    EXPECT_EQ (ending.code, InfoCode::commandDone);
    EXPECT_EQ (ending.commandCode, DeviceCommand::writeWholeData);
    pumpFor (50);

    // Only that preset went out; the unit, its live data and the working copy now hold it,
    // with nothing left to apply and nothing staged.
    EXPECT_EQ (s.unit->getPreset (2).name, "Imported Voice");
    EXPECT_EQ (s.unit->getPreset (3).name, s.working()->getPreset (3)->getName());
    EXPECT_EQ (s.page->getDataSet()->getDevice()->getPreset (2)->getName(), "Imported Voice");
    EXPECT_EQ (s.working()->getPreset (2)->getName(), "Imported Voice");
    EXPECT_FALSE (s.working()->isPresetModified (2));
    EXPECT_FALSE (s.page->getDataSet()->hasUnsavedChanges());
    EXPECT_EQ (s.page->getStagedData(), nullptr);
}

TEST (DataPage, KeysUndoRedoAndOtherEventsChangeNothing)
{
    PageWorld s;
    ASSERT_TRUE (s.connect());
    ASSERT_TRUE (s.waitForSynced());
    const auto names = presetNames (*s.working(), { 1, 2, 3, 4, 5, 6 });

    // With no history the keys say so and change nothing.
    EXPECT_TRUE (s.page->keyPressed (juce::KeyPress ('z', juce::ModifierKeys::commandModifier, 0)));
    EXPECT_EQ (s.w.boxes.titles(), juce::StringArray ({ "Undo" }));
    EXPECT_EQ (presetNames (*s.working(), { 1, 2, 3, 4, 5, 6 }), names);
    EXPECT_FALSE (s.page->keyPressed (juce::KeyPress ('x', juce::ModifierKeys::commandModifier, 0)));

    ASSERT_TRUE (s.page->swapPresets (s.deviceNode(), 1, 2, true, true));
    EXPECT_EQ (s.working()->getPreset (1)->getName(), names[1]);
    EXPECT_TRUE (s.page->keyPressed (juce::KeyPress ('z', juce::ModifierKeys::commandModifier, 0)));
    EXPECT_EQ (presetNames (*s.working(), { 1, 2, 3, 4, 5, 6 }), names);
    EXPECT_TRUE (s.page->keyPressed (juce::KeyPress ('y', juce::ModifierKeys::commandModifier, 0)));
    EXPECT_EQ (s.working()->getPreset (2)->getName(), names[0]);
    EXPECT_EQ (s.w.boxes.boxes.size(), 1u);

    // Events that do not concern the data leave everything as it was.
    const auto* dataSetBefore = s.page->getDataSet();
    for (int code : { (int) InfoCode::optionsClosed, 0x85000 })
        s.page->changeInfoCallback (ChangeInfo (DeviceInfoMessage (code, 1, 1, {})));
    EXPECT_EQ (s.page->getDataSet(), dataSetBefore);
    EXPECT_FALSE (s.page->needsSync());
    EXPECT_EQ (s.working()->getPreset (2)->getName(), names[0]);
    EXPECT_TRUE (s.page->canUndo());
}

TEST (DataPage, TheGridTakesDragsFromTheBrowserAndTheBrowserTakesPresetsFromTheGrid)
{
    PageWorld s;
    ASSERT_TRUE (s.connect());
    ASSERT_TRUE (s.waitForSynced());
    s.click (DataToolbarItemFactory::backupAllItem);
    auto archive = findSourceNodeByCategory (s.page->getSourcesRoot(), SourceCategories::archive);
    ASSERT_GT (archive.getNumChildren(), 0);
    auto backup = archive.getChild (archive.getNumChildren() - 1);

    // A drag from the tree stands for the tree's selected node: the grid takes it when it
    // shows another, editable node.
    auto& tree = s.page->getBrowser().getTreeView();
    ASSERT_TRUE (s.page->selectSourceInBrowser (backup));
    EXPECT_EQ (tree.getSelectedSourceNode(), backup);
    auto& grid = s.page->getWorkspace().getGrid();
    const juce::DragAndDropTarget::SourceDetails fromTree ({}, &tree, {});
    EXPECT_FALSE (grid.isInterestedInDragSource (fromTree));   // the grid shows that backup itself
    s.page->getWorkspace().showView (DataViewPanel::gridView, s.deviceNode());
    EXPECT_TRUE (grid.isInterestedInDragSource (fromTree));

    // Presets dragged out of a backup's grid are offered to the unit, not to the backups.
    DataSetDragSnapShot snapshot;
    snapshot.set (backup, { 1, 2 });
    const juce::DragAndDropTarget::SourceDetails fromGrid ({}, &snapshot, {});
    EXPECT_EQ (snapshot.getDraggedSourceNode(), backup);
    EXPECT_EQ (snapshot.getDraggedSlots(), juce::Array<int> ({ 1, 2 }));
    EXPECT_TRUE (s.page->getBrowser().canDrop (s.deviceNode(), fromGrid));
    EXPECT_FALSE (s.page->getBrowser().canDrop (archive, fromGrid));
}

TEST (DataPage, FindPresetSearchesTheUnitAndAChosenHitIsSelectedInTheGrid)
{
    PageWorld s;
    ASSERT_TRUE (s.connect());
    ASSERT_TRUE (s.waitForSynced());
    auto* preset = s.working()->getPreset (4);
    ASSERT_NE (preset, nullptr);
    const auto name = preset->getName();
    ASSERT_TRUE (name.isNotEmpty());

    s.page->findPreset();
    auto* dialog = s.page->getSearchDialog();
    ASSERT_NE (dialog, nullptr);
    auto* content = dialog->getSearchContent();
    ASSERT_NE (content, nullptr);

    const int before = content->getEngine().getGeneration();
    content->getSearchField().setText (name, true);
    ASSERT_TRUE (pumpUntil ([&] { return content->getEngine().getGeneration() != before
                                         && ! content->getEngine().isSearching(); }, 30000));
    auto& table = content->getTable();
    int row = -1;
    for (int i = 0; i < table.getModel()->getNumRows(); ++i)
        if (table.getResult (i)->number == 4 && table.getResult (i)->source == s.deviceNode())
            row = i;
    ASSERT_GE (row, 0) << "the unit's preset 4 is among the hits";

    // Choosing the hit selects the unit in the browser and slot 4 in the grid.
    table.selectRow (row);
    EXPECT_EQ (s.page->getSelectedSource(), s.deviceNode());
    EXPECT_EQ (s.page->getSelectedSlots(), juce::Array<int> ({ 4 }));

    // Ctrl+F again opens a fresh dialog over the sources of now; closing it lets it go.
    s.page->findPreset();
    dialog = s.page->getSearchDialog();
    ASSERT_NE (dialog, nullptr);
    dialog->closeDialog();
    EXPECT_TRUE (pumpUntil ([&] { return s.page->getSearchDialog() == nullptr; }, 10000));
}

TEST (DataPage, ExportItemWritesTheUnitsSetupThroughTheExportDialog)
{
    PageWorld s;
    ASSERT_TRUE (s.connect());
    ASSERT_TRUE (s.waitForSynced());
    TempFolder out;
    setSetting (SettingsKeys::exportFolder, out.get().getFullPathName());
    ASSERT_TRUE (s.page->selectSourceInBrowser (s.deviceNode()));

    s.w.boxes.onModalWindow = [] (juce::DialogWindow& win)
    {
        auto* c = dynamic_cast<ExportContent*> (win.getContentComponent());
        if (c == nullptr)
            return 0;
        c->toggleButtonSetupData.setToggleState (true, juce::sendNotificationSync);
        c->textEditorFilename.setText ("unit setup.syx", juce::sendNotificationSync);
        c->buttonClicked (&c->textButtonStartExport);
        return c->getChosenResult();
    };
    s.click (DataToolbarItemFactory::exportItem);

    // What the unit holds, written by the model's own writer, is what the page exported.
    const auto written = out.get().getChildFile ("unit setup.syx");
    const auto expected = out.get().getChildFile ("expected.syx");
    ASSERT_TRUE (s.working()->exportSetupSysEx (expected));
    juce::MemoryBlock a, b;
    ASSERT_TRUE (written.loadFileAsData (a));
    ASSERT_TRUE (expected.loadFileAsData (b));
    EXPECT_GT (a.getSize(), 0u);
    EXPECT_EQ (a, b);
    ASSERT_FALSE (s.w.boxes.boxes.empty());
    EXPECT_EQ (s.w.boxes.boxes.back().message, "Export completed successfully.");
}
