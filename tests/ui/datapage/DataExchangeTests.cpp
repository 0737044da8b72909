#include <gtest/gtest.h>
#include "archive/DataSourceTree.h"
#include "core/Settings.h"
#include "model/SysExReader.h"
#include "ui/datapage/DataExchange.h"
#include "ui/dialogs/ExportDialog.h"
#include "ui/dialogs/ImportDialog.h"
#include "ui/dialogs/WarnFileReplaceDialog.h"
#include "support/BackupWorld.h"
#include "support/FakeEditingPage.h"
#include "support/RecordingDialogService.h"

using namespace juce;
using namespace testing_support;

namespace
{
    const String importError = "Import Error";

    struct ExchangeWorld
    {
        BackupWorld backups;
        RecordingDialogService dialogs;
        FakeEditingPage page;
        TempFolder out;
        std::unique_ptr<DeviceData> live;
        ValueTree deviceNode, archiveNode;
        std::unique_ptr<DataExchange> exchange;

        ExchangeWorld()
        {
            configureApplicationProperties();
            const auto studio = backups.writeItem ("studio", backups.newFormat, "Studio", { 2, 4 });
            XmlElement index ("BACKUP");
            auto* set = BackupWorld::addSet (index, backups.newFormat.presetVersion, backups.newFormat.setupVersion);
            BackupWorld::addEntry (*set, studio);
            backups.writeIndex (index);
            page.archiveManager = backups.makeManager();
            page.archiveManager->buildTree();

            live = unitData ({ 1, 2, 3, 5 });
            page.dataSet = new DataSet (live.get(), nullptr);
            deviceNode = createDeviceSourceNode (page.deviceName);
            deviceNode.setProperty (SourceIds::data, var (page.dataSet.get()), nullptr);
            archiveNode = page.archiveManager->getTree();
            page.root.appendChild (deviceNode, nullptr);
            page.root.appendChild (archiveNode, nullptr);
            exchange = std::make_unique<DataExchange> (page, nullptr, &backups.rules);
        }

        ~ExchangeWorld()
        {
            exchange.reset();
            deleteApplicationProperties();
        }

        // Data of the unit's build (new format) with presets in the slots and a setup.
        std::unique_ptr<DeviceData> unitData (const Array<int>& slots, const DeviceDataFormat* format = nullptr)
        {
            const auto& f = format != nullptr ? *format : backups.newFormat;
            auto made = versionUnit (f, slots);
            auto data = std::make_unique<DeviceData> (format != nullptr ? made->getVersion() : backups.newVersion, f, nullptr);
            data->mergeFrom (*made);
            data->clearModifiedFlags (false);
            return data;
        }

        DeviceData& workspace() { return *page.dataSet->getWorking(); }
        ValueTree studio() { return archiveNode.getChild (0); }

        // Reads a SysEx file back with the program's own reader.
        std::unique_ptr<DeviceData> readBack (const File& file, uint32& flags)
        {
            auto data = std::make_unique<DeviceData> (backups.newVersion, backups.newFormat, nullptr);
            Array<int> used;
            flags = data->importSysEx (file.getFullPathName(), used, -1);
            return data;
        }

        // A preset's stored form, apart from its modified flag.
        static Bytes presetBytes (const DeviceData& d, int slot)
        {
            auto* p = d.getPreset (slot);
            const bool modified = p->isModified();
            p->setModified (false);
            MemoryOutputStream s;
            p->writeToStream (s);
            p->setModified (modified);
            return bytesOf (s);
        }
        static Bytes setupBytes (const DeviceData& d)
        {
            MemoryOutputStream s;
            d.getSetup().writeToStream (s);
            return bytesOf (s);
        }

        // Plays the replace question: answers in order, recording whether "Apply to all" was offered.
        std::vector<bool> offeredAll;
        void answerReplace (std::vector<int> answers)
        {
            auto remaining = std::make_shared<std::vector<int>> (std::move (answers));
            dialogs.onModalWindow = [this, remaining] (DialogWindow& w)
            {
                auto* c = dynamic_cast<FileReplaceComponent*> (w.getContentComponent());
                if (c == nullptr || remaining->empty())
                    return -1;
                offeredAll.push_back (c->toggleButtonApplyToAll.isVisible());
                const int answer = remaining->front();
                remaining->erase (remaining->begin());
                c->toggleButtonApplyToAll.setToggleState ((answer & 2) != 0, dontSendNotification);
                c->buttonClicked ((answer & 1) != 0 ? &c->textButtonYes : &c->textButtonNo);
                return c->getChosenResult();
            };
        }

        // Plays the import dialog: browses to the files, picks the destination (by index)
        // and the starting slot (-1 original order), and starts.
        void scriptImport (const Array<File>& files, int destination, int startingSlot = -1)
        {
            dialogs.chooseFileLists ({ files });
            dialogs.onModalWindow = [destination, startingSlot] (DialogWindow& w)
            {
                auto* c = dynamic_cast<ImportContent*> (w.getContentComponent());
                if (c == nullptr)
                    return 0;
                c->buttonClicked (&c->chooseFolderButton);
                c->comboBoxDataDestination.setSelectedId (destination + 1, sendNotificationSync);
                if (startingSlot >= 0)
                    c->comboBoxPresetOrder.setSelectedId (startingSlot + 2, sendNotificationSync);
                c->buttonClicked (&c->textButtonStartImport);
                return c->getChosenResult();
            };
        }

        File presetFile (const String& name, const DeviceData& data, const Array<int>& slots)
        {
            const auto file = out.child (name);
            EXPECT_TRUE (data.exportPresetsSysEx (file, slots));
            return file;
        }

        std::vector<RecordingDialogService::Box> boxesTitled (const String& title) const
        {
            std::vector<RecordingDialogService::Box> found;
            for (auto& b : dialogs.boxes)
                if (b.title == title)
                    found.push_back (b);
            return found;
        }
    };
}

//==============================================================================
TEST (DataExchange, PresetAndSetupFilesReadBackByteForByte)
{
    ExchangeWorld w;
    auto source = w.unitData ({ 1, 3, 4, 7 });

    // One file with the name as entered (no extension added); empty slots are passed over.
    EXPECT_EQ (w.exchange->writePresetFiles (*source, w.out.get(), "Gig set", true, { 1, 2, 3, 7 }), DataExchange::done);
    const auto one = w.out.child ("Gig set");
    ASSERT_TRUE (one.existsAsFile());
    uint32 flags = 0;
    auto back = w.readBack (one, flags);
    EXPECT_EQ (flags & SysExFlags::failureMask, 0u);
    EXPECT_EQ (back->getPresetIndices(), Array<int> ({ 1, 3, 7 }));
    for (auto slot : { 1, 3, 7 })
        EXPECT_EQ (ExchangeWorld::presetBytes (*back, slot), ExchangeWorld::presetBytes (*source, slot)) << slot;

    // One file per preset, with and without a base name.
    EXPECT_EQ (w.exchange->writePresetFiles (*source, w.out.get(), "live", false, { 3, 4, 5 }), DataExchange::done);
    EXPECT_EQ (w.exchange->writePresetFiles (*source, w.out.get(), {}, false, { 7 }), DataExchange::done);
    Array<File> written;
    for (auto& f : w.out.get().findChildFiles (File::findFiles, false, "Preset_*"))
        written.add (f);
    StringArray names;
    for (auto& f : written)
        names.add (f.getFileName());
    names.sort (false);
    EXPECT_EQ (names, StringArray ({ "Preset_3_live.syx", "Preset_4_live.syx", "Preset_7.syx" }));
    for (auto [name, slot] : { std::pair<const char*, int> { "Preset_3_live.syx", 3 }, { "Preset_4_live.syx", 4 }, { "Preset_7.syx", 7 } })
    {
        auto single = w.readBack (w.out.child (name), flags);
        EXPECT_EQ (flags & SysExFlags::failureMask, 0u) << name;
        ASSERT_EQ (single->getPresetIndices(), Array<int> (slot)) << name;
        EXPECT_EQ (ExchangeWorld::presetBytes (*single, slot), ExchangeWorld::presetBytes (*source, slot));
    }

    // The setup.
    EXPECT_EQ (w.exchange->writeSetupFile (*source, w.out.get(), "setup.syx"), DataExchange::done);
    auto setup = w.readBack (w.out.child ("setup.syx"), flags);
    EXPECT_EQ (flags & SysExFlags::failureMask, 0u);
    EXPECT_TRUE (setup->getSetup().isComplete());
    EXPECT_EQ (ExchangeWorld::setupBytes (*setup), ExchangeWorld::setupBytes (*source));
    EXPECT_EQ (setup->countPresets(), 0);

    // Nothing to write: no question, no file, result 3; data without a setup is refused.
    EXPECT_EQ (w.exchange->writePresetFiles (*source, w.out.get(), "none", true, { 2, 9 }), DataExchange::nothingWritten);
    EXPECT_FALSE (w.out.child ("none").exists());
    auto noSetup = versionUnit (w.backups.newFormat, { 1 }, false);
    EXPECT_EQ (w.exchange->writeSetupFile (*noSetup, w.out.get(), "empty.syx"), DataExchange::internalError);
    EXPECT_FALSE (w.out.child ("empty.syx").exists());
    // A preset that cannot be written whole: result 1 and no file at all, in either form.
    ASSERT_NE (source->createPreset (9), nullptr);
    ASSERT_FALSE (source->getPreset (9)->isComplete());
    EXPECT_EQ (w.exchange->writePresetFiles (*source, w.out.get(), "broken", true, { 1, 9 }), DataExchange::internalError);
    EXPECT_EQ (w.exchange->writePresetFiles (*source, w.out.get(), "broken", false, { 1, 9 }), DataExchange::internalError);
    EXPECT_FALSE (w.out.child ("broken").exists());
    EXPECT_FALSE (w.out.child ("Preset_1_broken.syx").exists());
    EXPECT_TRUE (w.dialogs.modalWindowTitles.isEmpty());
    EXPECT_EQ (DataExchange::makePresetFileName (12, {}), "Preset_12.syx");
    EXPECT_EQ (DataExchange::makePresetFileName (5, "a b"), "Preset_5_a b.syx");
}

TEST (DataExchange, ReplaceQuestionsForOneFileAndTheSetup)
{
    ExchangeWorld w;
    auto source = w.unitData ({ 1, 2 });
    const auto file = w.out.child ("mine.syx");
    writeFile (file, { 1, 2, 3 });

    // Kept: result 3, the file untouched; the question names the file, without "Apply to all".
    w.answerReplace ({ FileReplaceComponent::keep });
    EXPECT_EQ (w.exchange->writePresetFiles (*source, w.out.get(), "mine.syx", true, { 1, 2 }), DataExchange::nothingWritten);
    EXPECT_EQ (fileBytes (file), Bytes ({ 1, 2, 3 }));
    EXPECT_EQ (w.dialogs.modalWindowTitles, StringArray ("Replace File"));
    EXPECT_EQ (w.offeredAll, std::vector<bool> { false });

    // "Apply to all" does not count for a single file: a plain "No" stays a keep.
    w.answerReplace ({ FileReplaceComponent::keepAll });
    EXPECT_EQ (w.exchange->writeSetupFile (*source, w.out.get(), "mine.syx"), DataExchange::nothingWritten);
    EXPECT_EQ (fileBytes (file), Bytes ({ 1, 2, 3 }));

    // Replaced.
    w.answerReplace ({ FileReplaceComponent::replace });
    EXPECT_EQ (w.exchange->writePresetFiles (*source, w.out.get(), "mine.syx", true, { 1, 2 }), DataExchange::done);
    uint32 flags = 0;
    EXPECT_EQ (w.readBack (file, flags)->getPresetIndices(), Array<int> ({ 1, 2 }));

    w.answerReplace ({ FileReplaceComponent::replace });
    EXPECT_EQ (w.exchange->writeSetupFile (*source, w.out.get(), "mine.syx"), DataExchange::done);
    auto back = w.readBack (file, flags);
    EXPECT_TRUE (back->getSetup().isComplete());
    EXPECT_EQ (back->countPresets(), 0);
    EXPECT_EQ (w.dialogs.modalWindowTitles.size(), 4);
}

TEST (DataExchange, ReplaceQuestionsForOneFilePerPreset)
{
    ExchangeWorld w;
    auto source = w.unitData ({ 1, 2, 3, 4 });
    const Bytes old { 9, 9 };
    auto reset = [&]
    {
        for (auto slot : { 1, 2, 3 })
            writeFile (w.out.child (DataExchange::makePresetFileName (slot, "x")), old);
        w.out.child (DataExchange::makePresetFileName (4, "x")).deleteFile();
        w.offeredAll.clear();
        w.dialogs.modalWindowTitles.clear();
    };
    auto kept = [&] (int slot) { return fileBytes (w.out.child (DataExchange::makePresetFileName (slot, "x"))) == old; };

    // "No" with "Apply to all": no further question, the new file is still written.
    reset();
    w.answerReplace ({ FileReplaceComponent::keepAll });
    EXPECT_EQ (w.exchange->writePresetFiles (*source, w.out.get(), "x", false, { 1, 2, 3, 4 }), DataExchange::done);
    EXPECT_EQ (w.dialogs.modalWindowTitles.size(), 1);
    EXPECT_EQ (w.offeredAll, std::vector<bool> { true });
    EXPECT_TRUE (kept (1) && kept (2) && kept (3));
    EXPECT_TRUE (w.out.child ("Preset_4_x.syx").existsAsFile());

    // Every existing file kept and nothing new: result 3.
    reset();
    w.answerReplace ({ FileReplaceComponent::keepAll });
    EXPECT_EQ (w.exchange->writePresetFiles (*source, w.out.get(), "x", false, { 1, 2, 3 }), DataExchange::nothingWritten);
    EXPECT_TRUE (kept (1) && kept (2) && kept (3));

    // "Yes" with "Apply to all" replaces the rest without asking.
    reset();
    w.answerReplace ({ FileReplaceComponent::replaceAll });
    EXPECT_EQ (w.exchange->writePresetFiles (*source, w.out.get(), "x", false, { 1, 2, 3 }), DataExchange::done);
    EXPECT_EQ (w.dialogs.modalWindowTitles.size(), 1);
    EXPECT_FALSE (kept (1) || kept (2) || kept (3));

    // Answers one by one.
    reset();
    w.answerReplace ({ FileReplaceComponent::replace, FileReplaceComponent::keep, FileReplaceComponent::replace });
    EXPECT_EQ (w.exchange->writePresetFiles (*source, w.out.get(), "x", false, { 1, 2, 3 }), DataExchange::done);
    EXPECT_EQ (w.dialogs.modalWindowTitles.size(), 3);
    EXPECT_FALSE (kept (1));
    EXPECT_TRUE (kept (2));
    EXPECT_FALSE (kept (3));

    // A single preset is asked about without "Apply to all".
    reset();
    w.answerReplace ({ FileReplaceComponent::keep });
    EXPECT_EQ (w.exchange->writePresetFiles (*source, w.out.get(), "x", false, { 2 }), DataExchange::nothingWritten);
    EXPECT_EQ (w.offeredAll, std::vector<bool> { false });
}

TEST (DataExchange, WriteErrorsGiveResultTwoAndKeepWhatWasThere)
{
    ExchangeWorld w;
    auto source = w.unitData ({ 1, 2 });
    // A folder that is not there yet (the documents folder of a new account) is made.
    const auto fresh = w.out.child ("Documents");
    EXPECT_EQ (w.exchange->writePresetFiles (*source, fresh, "a.syx", true, { 1, 2 }), DataExchange::done);
    EXPECT_TRUE (fresh.getChildFile ("a.syx").existsAsFile());

    // A folder that cannot exist: its parent is a plain file.
    const auto blocker = w.out.child ("blocker");
    writeFile (blocker, { 7 });
    const auto missing = blocker.getChildFile ("sub");

    EXPECT_EQ (w.exchange->writePresetFiles (*source, missing, "a.syx", true, { 1, 2 }), DataExchange::writeError);
    EXPECT_EQ (w.exchange->writePresetFiles (*source, missing, "b", false, { 1, 2 }), DataExchange::writeError);
    EXPECT_EQ (w.exchange->writeSetupFile (*source, missing, "s.syx"), DataExchange::writeError);
    EXPECT_EQ (fileBytes (blocker), Bytes { 7 });

    // A folder in the way of a preset file: the others are still written, the result is 2.
    ASSERT_TRUE (w.out.child ("Preset_1_d.syx").createDirectory());
    w.answerReplace ({ FileReplaceComponent::replaceAll });
    EXPECT_EQ (w.exchange->writePresetFiles (*source, w.out.get(), "d", false, { 1, 2 }), DataExchange::writeError);
    EXPECT_TRUE (w.out.child ("Preset_1_d.syx").isDirectory());
    EXPECT_TRUE (w.out.child ("Preset_2_d.syx").existsAsFile());

    // The boxes of the results.
    w.exchange->showExportResult (DataExchange::writeError);
    w.exchange->showExportResult (DataExchange::internalError);
    w.exchange->showExportResult (DataExchange::nothingWritten);
    w.exchange->showExportResult (DataExchange::done);
    ASSERT_EQ (w.dialogs.boxes.size(), 3u);
    EXPECT_EQ (w.dialogs.boxes[0].title, "Export Error");
    EXPECT_EQ (w.dialogs.boxes[0].message,
               "An error occurred while saving the data. Please make sure there is enough free disk space.");
    EXPECT_EQ (w.dialogs.boxes[0].icon, DialogService::Icon::warning);
    EXPECT_EQ (w.dialogs.boxes[1].message,
               "An internal error occurred. The source data is corrupt. Please restart Larkspire and try again.");
    EXPECT_EQ (w.dialogs.boxes[2].title, "Export");
    EXPECT_EQ (w.dialogs.boxes[2].message, "Export completed successfully.");
    EXPECT_EQ (w.dialogs.boxes[2].icon, DialogService::Icon::info);
}

TEST (DataExchange, ExportThroughTheDialog)
{
    ExchangeWorld w;
    setSetting (SettingsKeys::exportFolder, w.out.get().getFullPathName());
    const auto target = w.out.child ("chosen");
    ASSERT_TRUE (target.createDirectory());

    // The backup "Studio" (selected in the browser) with the grid's selection, one file per preset.
    w.page.gridSelection = { 4 };
    StringArray sources;
    w.dialogs.chooseFiles ({ target });
    w.dialogs.onModalWindow = [&] (DialogWindow& win)
    {
        auto& c = *dynamic_cast<ExportContent*> (win.getContentComponent());
        for (int i = 0; i < c.comboBoxDataSource.getNumItems(); ++i)
            sources.add (c.comboBoxDataSource.getItemText (i));
        EXPECT_EQ (c.comboBoxDataSource.getSelectedItemIndex(), 1);
        EXPECT_TRUE (c.toggleButtonSelectedPresets.isEnabled());
        c.toggleButtonSelectedPresets.setToggleState (true, sendNotificationSync);
        c.toggleButtonOneFilePer.setToggleState (true, sendNotificationSync);
        c.textEditorSuffix.setText ("studio", sendNotificationSync);
        c.buttonClicked (&c.chooseFolderButton);
        c.buttonClicked (&c.textButtonStartExport);
        return c.getChosenResult();
    };
    w.exchange->exportData (w.studio());
    EXPECT_EQ (sources, StringArray (String ("Workspace"), makeSourceNodeTitle (w.studio())));
    EXPECT_EQ (getSettingText (SettingsKeys::exportFolder), target.getFullPathName());
    EXPECT_EQ (target.findChildFiles (File::findFiles, false).size(), 1);
    uint32 flags = 0;
    auto back = w.readBack (target.getChildFile ("Preset_4_studio.syx"), flags);
    ASSERT_TRUE (back->hasPreset (4));
    EXPECT_EQ (ExchangeWorld::presetBytes (*back, 4), ExchangeWorld::presetBytes (*getSourceNodeWorkingData (w.studio()), 4));
    ASSERT_EQ (w.dialogs.boxes.size(), 1u);
    EXPECT_EQ (w.dialogs.boxes[0].message, "Export completed successfully.");

    // The workspace's setup into the stored folder.
    w.dialogs.boxes.clear();
    w.dialogs.onModalWindow = [&] (DialogWindow& win)
    {
        auto& c = *dynamic_cast<ExportContent*> (win.getContentComponent());
        EXPECT_EQ (c.comboBoxDataSource.getSelectedItemIndex(), 0);
        c.toggleButtonSetupData.setToggleState (true, sendNotificationSync);
        c.textEditorFilename.setText ("unit setup.syx", sendNotificationSync);
        c.buttonClicked (&c.textButtonStartExport);
        return c.getChosenResult();
    };
    w.exchange->exportData (w.deviceNode);
    auto setup = w.readBack (target.getChildFile ("unit setup.syx"), flags);
    EXPECT_EQ (ExchangeWorld::setupBytes (*setup), ExchangeWorld::setupBytes (w.workspace()));
    ASSERT_EQ (w.dialogs.boxes.size(), 1u);
    EXPECT_EQ (w.dialogs.boxes[0].title, "Export");

    // Cancelled: nothing written, no box.
    w.dialogs.boxes.clear();
    w.dialogs.onModalWindow = [] (DialogWindow& win)
    {
        auto& c = *dynamic_cast<ExportContent*> (win.getContentComponent());
        c.buttonClicked (&c.textButtonCancel);
        return c.getChosenResult();
    };
    w.exchange->exportData ({});
    EXPECT_TRUE (w.dialogs.boxes.empty());
    EXPECT_EQ (target.findChildFiles (File::findFiles, false).size(), 2);
}

//==============================================================================
TEST (DataExchange, ImportIntoTheWorkspaceIsOneUndoableMerge)
{
    ExchangeWorld w;
    auto other = w.unitData ({ 4, 6, 7 });
    const auto file = w.presetFile ("three.syx", *other, { 4, 6, 7 });
    const auto before = stateOf (w.workspace());

    w.scriptImport ({ file }, 2);
    w.exchange->importData();
    EXPECT_EQ (w.dialogs.modalWindowTitles, StringArray ("Import"));
    EXPECT_EQ (w.workspace().getPresetIndices(), Array<int> ({ 1, 2, 3, 4, 5, 6, 7 }));
    for (auto slot : { 4, 6, 7 })
    {
        EXPECT_EQ (ExchangeWorld::presetBytes (w.workspace(), slot), ExchangeWorld::presetBytes (*other, slot));
        EXPECT_TRUE (w.workspace().isPresetModified (slot));
    }
    EXPECT_EQ (getSettingText (SettingsKeys::lastImportFile), file.getFullPathName());
    ASSERT_EQ (w.dialogs.boxes.size(), 1u);
    EXPECT_EQ (w.dialogs.boxes[0].title, "Import");
    EXPECT_EQ (w.dialogs.boxes[0].message, "Import complete");

    ASSERT_TRUE (w.page.undoManager.undo());
    EXPECT_TRUE (stateOf (w.workspace()) == before);

    // Into a backup, starting at slot 8 (the order kept).
    w.dialogs.boxes.clear();
    w.scriptImport ({ file }, 3, 8);
    w.exchange->importData();
    auto& studio = *getSourceNodeWorkingData (w.studio());
    EXPECT_EQ (studio.getPresetIndices(), Array<int> ({ 2, 4, 8, 9, 10 }));
    EXPECT_EQ (ExchangeWorld::presetBytes (studio, 8).size(), ExchangeWorld::presetBytes (*other, 4).size());
    EXPECT_EQ (studio.getPreset (9)->getName(), other->getPreset (6)->getName());
    EXPECT_EQ (w.dialogs.boxes.size(), 1u);

    // Sent directly: handed to the page, no closing box.
    w.dialogs.boxes.clear();
    w.scriptImport ({ file }, 0);
    w.exchange->importData();
    ASSERT_EQ (w.page.sends.size(), 1u);
    EXPECT_FALSE (w.page.sends[0].wholeImage);
    EXPECT_EQ (w.page.sends[0].data->getPresetIndices(), Array<int> ({ 4, 6, 7 }));
    EXPECT_TRUE (w.dialogs.boxes.empty());
}

TEST (DataExchange, ImportIntoANewBackupIsSaved)
{
    ExchangeWorld w;
    auto other = w.unitData ({ 3, 9 });
    const auto presets = w.presetFile ("a.syx", *other, { 3, 9 });
    const auto setup = w.out.child ("b.syx");
    ASSERT_TRUE (other->exportSetupSysEx (setup));

    w.scriptImport ({ presets, setup }, 1);
    w.exchange->importData();
    ASSERT_EQ (w.archiveNode.getNumChildren(), 2);
    const auto node = w.archiveNode.getChild (1);
    auto* item = getSourceNodeArchive (node);
    ASSERT_NE (item, nullptr);
    EXPECT_EQ (item->getDescription(), "Imported from:\na.syx\nb.syx\n");
    auto& data = *getSourceNodeWorkingData (node);
    EXPECT_EQ (data.getPresetIndices(), Array<int> ({ 3, 9 }));
    EXPECT_EQ (ExchangeWorld::setupBytes (data), ExchangeWorld::setupBytes (*other));
    EXPECT_EQ (w.dialogs.titles(), StringArray ("Import"));

    // On disk: the index names the new item's description, which reads back whole.
    auto index = parseXML (w.backups.indexFile());
    ASSERT_NE (index, nullptr);
    EXPECT_TRUE (index->toString().contains (File (item->getLinkData()).getFileNameWithoutExtension()));
    auto reread = w.backups.makeManager();
    ASSERT_TRUE (reread->buildTree());
    ASSERT_EQ (reread->getTree().getNumChildren(), 2);
    EXPECT_EQ (getSourceNodeWorkingData (reread->getTree().getChild (1))->getPresetIndices(), Array<int> ({ 3, 9 }));

    // The append is undoable.
    ASSERT_TRUE (w.page.undoManager.undo());
    EXPECT_EQ (w.archiveNode.getNumChildren(), 1);
}

TEST (DataExchange, BadFilesAreReportedAndNeverStopTheOthers)
{
    ExchangeWorld w;
    auto other = w.unitData ({ 4, 6 });
    const auto good = w.presetFile ("good.syx", *other, { 4, 6 });

    // Not SysEx at all: named, skipped, and the final box says not everything went in.
    const auto text = w.out.child ("notes.syx");
    ASSERT_TRUE (text.replaceWithText ("just some words"));
    w.scriptImport ({ good, text }, 2);
    w.exchange->importData();
    EXPECT_EQ (w.dialogs.titles(), StringArray (importError, importError));
    EXPECT_EQ (w.dialogs.boxes[0].message, "Unable to import notes.syx. The file will be skipped.");
    EXPECT_EQ (w.dialogs.boxes[1].message, "Not all file(s) could be imported");
    EXPECT_TRUE (w.workspace().hasPreset (4) && w.workspace().hasPreset (6));

    // Truncated in the middle of the second preset: the first stays in use.
    ASSERT_TRUE (w.page.undoManager.undo());
    auto bytes = fileBytes (good);
    bytes.resize (bytes.size() * 3 / 4);
    const auto cut = w.out.child ("cut.syx");
    writeFile (cut, bytes);
    w.dialogs.boxes.clear();
    w.scriptImport ({ cut }, 2);
    w.exchange->importData();
    ASSERT_EQ (w.dialogs.boxes.size(), 1u);
    EXPECT_EQ (w.dialogs.boxes[0].title, importError);
    EXPECT_TRUE (w.dialogs.boxes[0].message.startsWith ("Not all data could be imported from 'cut.syx'. "));
    EXPECT_NE (w.dialogs.boxes[0].message, "Not all data could be imported from 'cut.syx'. ");
    EXPECT_TRUE (w.workspace().hasPreset (4));
    EXPECT_FALSE (w.workspace().hasPreset (6));

    // Corrupt: a flipped data byte breaks the checksum.
    ASSERT_TRUE (w.page.undoManager.undo());
    bytes = fileBytes (good);
    int flipAt = -1;
    for (int i = (int) bytes.size() - 3; i > 0; --i)
        if (bytes[(size_t) i] != 0xF7 && bytes[(size_t) i] != 0xF0 && bytes[(size_t) i + 1] != 0xF7)
        {
            flipAt = i;
            break;
        }
    ASSERT_GT (flipAt, 0);
    bytes[(size_t) flipAt] ^= 0x01;
    const auto bad = w.out.child ("bad.syx");
    writeFile (bad, bytes);
    w.dialogs.boxes.clear();
    w.scriptImport ({ bad }, 2);
    w.exchange->importData();
    ASSERT_EQ (w.dialogs.boxes.size(), 1u);
    EXPECT_EQ (w.dialogs.boxes[0].message, "Not all data could be imported from 'bad.syx'. The SysEx data is corrupt.");
}

TEST (DataExchange, ForeignProductAndFullSlots)
{
    ExchangeWorld w;
    auto other = w.unitData ({ 4 });
    const auto good = w.presetFile ("good.syx", *other, { 4 });

    // Data of another product (rules exist, no profile for its data): the unit's own
    // format reads it and says why nothing fits.
    const auto cantorFormat = versionFormat (cantor, 2, 2);
    auto foreignData = versionUnit (cantorFormat, { 1, 2 });
    const auto foreign = w.presetFile ("cantor.syx", *foreignData, { 1, 2 });
    w.scriptImport ({ good, foreign }, 2);
    w.exchange->importData();
    ASSERT_EQ (w.dialogs.boxes.size(), 1u);
    EXPECT_EQ (w.dialogs.boxes[0].title, importError);
    EXPECT_EQ (w.dialogs.boxes[0].message,
               "Not all data could be imported from 'cantor.syx'. The SysEx data is intended for a different device.");
    EXPECT_EQ (w.workspace().getPresetIndices(), Array<int> ({ 1, 2, 3, 4, 5 }));

    // More presets than there are slots after the starting slot: a warning, the rest in use.
    auto many = w.unitData ({ 1, 2, 3 });
    const auto file = w.presetFile ("many.syx", *many, { 1, 2, 3 });
    const int last = w.backups.newFormat.numPresets - 1;
    w.dialogs.boxes.clear();
    w.scriptImport ({ file }, 2, last - 1);
    w.exchange->importData();
    ASSERT_EQ (w.dialogs.boxes.size(), 1u);
    EXPECT_EQ (w.dialogs.boxes[0].title, "Import Warning");
    EXPECT_EQ (w.dialogs.boxes[0].message,
               "Not all data could be imported from 'many.syx'. There are not enough free preset slots available.");
    EXPECT_EQ (w.workspace().getPreset (last - 1)->getName(), many->getPreset (1)->getName());
    EXPECT_EQ (w.workspace().getPreset (last)->getName(), many->getPreset (2)->getName());
}

TEST (DataExchange, OlderDataIsConvertedOrDropped)
{
    ExchangeWorld w;
    auto old = w.unitData ({ 6, 8 }, &w.backups.oldFormat);
    const auto file = w.presetFile ("old.syx", *old, { 6, 8 });

    w.scriptImport ({ file }, 2);
    w.exchange->importData();
    EXPECT_EQ (w.dialogs.titles(), StringArray ("Import"));
    ASSERT_TRUE (w.workspace().hasPreset (8));
    // The rule appends a value to every step: the converted preset is of the new version.
    EXPECT_EQ (w.workspace().getPreset (8)->getName(), old->getPreset (8)->getName());
    EXPECT_EQ (w.workspace().getPreset (8)->getDataVersion(), w.backups.newFormat.presetVersion);

    // A rule that fails drops the file, with the conversion box alone.
    ASSERT_TRUE (w.page.undoManager.undo());
    ASSERT_TRUE (w.backups.rules.folder.child ("preset_1_to_2.js").replaceWithText ("Larkspire.scriptError(\"no\");\n"));
    w.dialogs.boxes.clear();
    w.scriptImport ({ file }, 2);
    w.exchange->importData();
    ASSERT_EQ (w.dialogs.boxes.size(), 1u);
    EXPECT_EQ (w.dialogs.boxes[0].title, importError);
    EXPECT_EQ (w.dialogs.boxes[0].message, "An error occurred when trying to convert old.syx to a compatible format.\n\r"
                                           "The required translation rules are not available.");
    EXPECT_FALSE (w.workspace().hasPreset (8));
}

//==============================================================================
TEST (DataExchange, DataFilesBecomeArchiveItems)
{
    ExchangeWorld w;
    auto a = w.unitData ({ 1, 6 });
    auto old = w.unitData ({ 3 }, &w.backups.oldFormat);
    const auto fileA = w.out.child ("Stage A.ard");
    const auto fileOld = w.out.child ("older.ard");
    const auto broken = w.out.child ("broken.ard");
    ASSERT_EQ (a->writeToFile (fileA), 0);
    ASSERT_EQ (old->writeToFile (fileOld), 0);
    writeFile (broken, { 1, 2, 3, 4 });

    w.dialogs.chooseFileLists ({ { fileA, broken, fileOld } });
    w.exchange->importDataFiles (w.archiveNode);
    ASSERT_EQ (w.dialogs.choosers.size(), 1u);
    EXPECT_EQ (w.dialogs.choosers[0].title, "Import ARD Binary Files");
    EXPECT_EQ (w.dialogs.choosers[0].patterns, "*.ard");
    EXPECT_EQ (getSettingText (SettingsKeys::developerLastARDImportFile), fileA.getFullPathName());
    ASSERT_EQ (w.dialogs.boxes.size(), 1u);
    EXPECT_EQ (w.dialogs.boxes[0].message, "Unable to load broken.ard. Skipping this file.");

    ASSERT_EQ (w.archiveNode.getNumChildren(), 3);
    auto* itemA = getSourceNodeArchive (w.archiveNode.getChild (1));
    auto* itemOld = getSourceNodeArchive (w.archiveNode.getChild (2));
    ASSERT_TRUE (itemA != nullptr && itemOld != nullptr);
    EXPECT_EQ (itemA->getTitle(), "Stage A");
    EXPECT_EQ (itemA->getDescription(), "FILL THIS IN");
    EXPECT_EQ (itemOld->getTitle(), "older");
    auto& converted = *getSourceNodeWorkingData (w.archiveNode.getChild (2));
    EXPECT_TRUE (converted.hasSameFormat (w.backups.newFormat));
    EXPECT_EQ (converted.getPresetIndices(), Array<int> (3));
    EXPECT_FALSE (converted.isModified());
    EXPECT_EQ (ExchangeWorld::presetBytes (*getSourceNodeWorkingData (w.archiveNode.getChild (1)), 6),
               ExchangeWorld::presetBytes (*a, 6));

    // Saved with the backups, and one undo takes both away.
    auto reread = w.backups.makeManager();
    ASSERT_TRUE (reread->buildTree());
    EXPECT_EQ (reread->getTree().getNumChildren(), 3);
    ASSERT_TRUE (w.page.undoManager.undo());
    EXPECT_EQ (w.archiveNode.getNumChildren(), 1);
}

TEST (DataExchange, PresetPackFilesStayInTheirFolder)
{
    ExchangeWorld w;
    const auto packFolder = w.out.child ("pack");
    ASSERT_TRUE (packFolder.createDirectory());
    auto a = w.unitData ({ 2 });
    ASSERT_EQ (a->writeToFile (packFolder.getChildFile ("one.ard")), 0);
    auto outside = w.unitData ({ 7 });
    ASSERT_EQ (outside->writeToFile (w.out.child ("secret.ard")), 0);

    auto writeList = [&] (const String& productName)
    {
        const auto list = packFolder.getChildFile ("presets.xml");
        EXPECT_TRUE (list.replaceWithText (
            "<PRESETS><product name=\"" + productName + "\"/>"
            "<archive><title>One</title><description>First</description><date>20260102030405</date>"
            "<dataURL>one.ard</dataURL></archive>"
            "<archive><title>Escape</title><dataURL>../secret.ard</dataURL></archive>"
            "<archive><title>Absolute</title><dataURL>" + w.out.child ("secret.ard").getFullPathName() + "</dataURL></archive>"
            "</PRESETS>"));
        return list;
    };

    // Another product's control file.
    w.dialogs.chooseFiles ({ writeList ("Cantor") });
    w.exchange->importPresetPack (w.archiveNode);
    ASSERT_EQ (w.dialogs.boxes.size(), 1u);
    EXPECT_EQ (w.dialogs.boxes[0].title, "Error");
    EXPECT_EQ (w.dialogs.boxes[0].message, "The presets.xml control file doesn't match the product you're working with.");
    EXPECT_EQ (w.archiveNode.getNumChildren(), 1);

    // The unit's product: the entry inside the folder is taken, the two pointing out are refused.
    w.dialogs.boxes.clear();
    w.dialogs.chooseFiles ({ writeList (w.live->getProductName()) });
    w.exchange->importPresetPack (w.archiveNode);
    ASSERT_EQ (w.dialogs.choosers.size(), 2u);
    EXPECT_EQ (w.dialogs.choosers[1].title, "Import Preset Pack");
    EXPECT_EQ (w.dialogs.choosers[1].patterns, "*.xml");
    EXPECT_EQ (w.dialogs.titles(), StringArray ({ "Error", "Error" }));
    EXPECT_EQ (w.dialogs.boxes[0].message, "Couldn't load Escape. The archive will be skipped.");
    EXPECT_EQ (w.dialogs.boxes[1].message, "Couldn't load Absolute. The archive will be skipped.");
    ASSERT_EQ (w.archiveNode.getNumChildren(), 2);
    auto* item = getSourceNodeArchive (w.archiveNode.getChild (1));
    ASSERT_NE (item, nullptr);
    EXPECT_EQ (item->getTitle(), "One");
    EXPECT_EQ (item->getDescription(), "First");
    EXPECT_EQ (Time (item->getPubDate()).getYear(), 2026);
    EXPECT_EQ (getSourceNodeWorkingData (w.archiveNode.getChild (1))->getPresetIndices(), Array<int> (2));
}
