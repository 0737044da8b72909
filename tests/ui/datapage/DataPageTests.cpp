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
#include "support/ArchiveFixtures.h"
#include "support/ContentComponentWorld.h"
#include "ui/datapage/DataPageWorld.h"

using namespace testing_support;

namespace
{
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

    // The product's sample preset packs, where the content download puts them.
    juce::File unpackSamplePacks()
    {
        const juce::File packs (AppPaths::getPacksFolder (DeviceWorld::merle));
        const bool ok = juce::ZipFile (ContentWorld::sampleContent().getChildFile ("Merle/merle_packs.zip"))
                            .uncompressTo (packs).wasOk();
        return ok ? packs : juce::File();
    }

    juce::Array<juce::ValueTree> cloudPacks (const DataPage& page)
    {
        juce::Array<juce::ValueTree> packs;
        collectSourceDataNodes (findSourceNodeByCategory (page.getSourcesRoot(), SourceCategories::cloud), packs);
        return packs;
    }

    // A pack of its own (a new uuid) in a new folder of the packs, as a later download brings it.
    bool addPack (const juce::File& packs, const DeviceData& data, const juce::String& title)
    {
        const auto folder = packs.getChildFile (title);
        return folder.createDirectory() && writeArchiveItem (folder, "pack", data, title).existsAsFile();
    }

    // The end of the product's synchronisation, as the content thread tells the program.
    void endProductSync (PageWorld& s)
    {
        s.w.deliver (DeviceInfoMessage (InfoCode::productSyncSucceeded, DeviceWorld::merle, 0, {}));
    }
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
        ASSERT_TRUE (unpackSamplePacks().isDirectory());
        ASSERT_TRUE (s.connect());
        ASSERT_TRUE (s.waitForSynced());
        auto& grid = s.page->getWorkspace().getGrid();
        s.page->selectSlots (s.deviceNode(), { 2 });
        ASSERT_TRUE (grid.keyPressed (ctrl ('c')));

        // A preset pack of the cloud is read-only: nothing is cut from it or pasted into it.
        const auto packs = cloudPacks (*s.page);
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

// The ends of the product's synchronisation, while a pack is shown and while it is sent.
TEST (DataPage, AProductSyncKeepsTheShownPackAndWhatItSendsReachesTheUnitWhole)
{
    PageWorld s;
    const auto packsFolder = unpackSamplePacks();
    ASSERT_TRUE (s.connect());
    ASSERT_TRUE (s.waitForSynced());
    juce::Array<int> slots;
    juce::StringArray names;
    juce::String title;
    juce::WeakReference<DeviceData> shown;
    {
        const auto pack = cloudPacks (*s.page)[1];
        shown = getSourceNodeWorkingData (pack);
        ASSERT_NE (shown.get(), nullptr);
        slots = shown->getPresetIndices();
        names = presetNames (*shown, slots);
        title = getSourceNodeArchive (pack)->getTitle();
        ASSERT_GE (slots.size(), 2);
        ASSERT_NE (s.unit->getPreset (slots[1]).name, names[1]);
        ASSERT_TRUE (s.page->selectSourceInBrowser (pack));
        s.page->selectSlots (pack, slots);

        // Nothing changed: the very pack stays selected and shown, its presets still selected.
        endProductSync (s);
        EXPECT_EQ (s.page->getBrowser().getSelectedNodes(), juce::Array<juce::ValueTree> { pack });
        EXPECT_EQ (s.page->getSelectedSource(), pack);
        EXPECT_EQ (s.page->getSelectedSlots(), slots);
        ASSERT_TRUE (addPack (packsFolder, *shown, "Late Voices"));
    }

    // "Send Selected" to a slow unit; while the first preset waits for its answer the
    // synchronisation ends with the new pack: the packs are listed anew, and the shown pack's
    // data goes with the old list.
    auto faults = s.unit->getFaults();
    faults.replyDelayMs = 300;
    s.unit->setFaults (faults);
    s.unit->clearLog();
    const auto before = s.w.countEndings();
    s.click (DataToolbarItemFactory::sendSelectedItem);
    ASSERT_TRUE (pumpUntil ([&] { return s.unit->countReceived (0x20) >= 1; }, 60000));
    endProductSync (s);
    juce::StringArray titles;
    for (auto& node : cloudPacks (*s.page))
        titles.add (getSourceNodeArchive (node)->getTitle());
    EXPECT_EQ (titles.size(), 3);
    EXPECT_TRUE (titles.contains ("Late Voices"));
    EXPECT_TRUE (pumpUntil ([&] { return shown.get() == nullptr; }));

    EXPECT_EQ (s.w.waitForEnding (before).code, InfoCode::commandDone);
    EXPECT_EQ (s.presetsWritten(), slots);
    for (int i = 0; i < slots.size(); ++i)
        EXPECT_EQ (s.unit->getPreset (slots[i]).name, names[i]) << slots[i];

    // The user is still on the same pack, with the same presets selected.
    const auto now = s.page->getSelectedSource();
    ASSERT_NE (getSourceNodeArchive (now), nullptr);
    EXPECT_EQ (getSourceNodeArchive (now)->getTitle(), title);
    EXPECT_EQ (s.page->getBrowser().getSelectedNodes(), juce::Array<juce::ValueTree> { now });
    EXPECT_EQ (s.page->getSelectedSlots(), slots);
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

    // Two backups deleted in one step, whose files then cannot be written back: Undo tells of it
    // once, after the step, and the unit unplugged while that box is up harms nothing.
    s.click (DataToolbarItemFactory::backupAllItem);
    s.click (DataToolbarItemFactory::backupAllItem);
    const juce::Array<juce::ValueTree> two { archive.getChild (backupsBefore), archive.getChild (backupsBefore + 1) };
    s.page->deleteSourceNodes (two);
    ASSERT_EQ (archive.getNumChildren(), backupsBefore);
    for (auto& node : two)
        ASSERT_TRUE (juce::File (getSourceNodeArchive (node)->getLinkData()).withFileExtension ("xml").createDirectory());
    bool shownInTheStep = false;
    s.w.boxes.boxes.clear();
    s.w.boxes.onBox = [&] (const RecordingDialogService::Box& box)
    {
        if (box.title != "File Error")
            return;
        shownInTheStep = s.page->getUndoManager().isPerformingUndoRedo();
        s.w.devices.ports->removeDevice (s.unit);
        EXPECT_TRUE (pumpUntil ([&] { return s.page->getDataSet() == nullptr; }, 60000));
    };
    s.click (DataToolbarItemFactory::undoItem);
    EXPECT_FALSE (shownInTheStep);
    const auto titles = s.w.boxes.titles();
    EXPECT_EQ (titles[0], "File Error");
    EXPECT_EQ (std::count (titles.begin(), titles.end(), "File Error"), 1) << titles.joinIntoString ("|");
    EXPECT_EQ (s.page->getDataSet(), nullptr);
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
