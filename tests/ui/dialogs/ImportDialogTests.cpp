#include <gtest/gtest.h>
#include "core/Settings.h"
#include "model/DeviceData.h"
#include "ui/ColourPalette.h"
#include "ui/LSLookAndFeel.h"
#include "ui/dialogs/ImportDialog.h"
#include "support/ConversionFixtures.h"
#include "support/RecordingDialogService.h"
#include "support/TestEnvironment.h"

using namespace juce;
using namespace testing_support;

namespace
{
    const char* const notValid = "The specified file does not contain valid SysEx data.";
    const char* const unsupported = "The specified file contains unsupported SysEx messages.";
    const char* const otherProduct =
        "The SysEx file is either meant for a different Ardentis product, or does not contain preset or setup data.";
    const char* const cannotImport = "The specified file cannot be imported.";

    struct ImportDialogTest : ::testing::Test
    {
        TempHome home;
        TempFolder files;
        RecordingDialogService service;
        RuleWorld rules;

        // The connected unit: five slots, presets in 1 and 2, preset version 3, setup version 2.
        const DeviceDataFormat unitFormat = versionFormat (veloce, 3, 2, 5);
        std::unique_ptr<DeviceData> unit = versionUnit (unitFormat, { 1, 2 });
        std::unique_ptr<DeviceData> workspace = versionUnit (unitFormat, { 1, 3, 4 });
        std::unique_ptr<DeviceData> backup = versionUnit (unitFormat, { 2 });

        const StringArray names { "<Send directly to Veloce...>", "<Create new backup...>", "To Workspace",
                                  "Backups - Monday" };
        Array<DeviceData*> destinations() const { return { unit.get(), nullptr, workspace.get(), backup.get() }; }

        void SetUp() override { configureApplicationProperties(); }
        void TearDown() override { deleteApplicationProperties(); }

        std::unique_ptr<ImportContent> make (const File& last = {}, int numDestinations = 4)
        {
            StringArray n;
            Array<DeviceData*> d;
            for (int i = 0; i < numDestinations; ++i)
            {
                n.add (names[i]);
                d.add (destinations()[i]);
            }
            return std::make_unique<ImportContent> (nullptr, unit.get(), "Veloce", n, d, last, &rules);
        }

        // Files written with the program's own writers.
        File presetFile (const String& name, const DeviceDataFormat& f)
        {
            auto data = versionUnit (f, { 1, 2, 3 });
            auto file = files.child (name);
            EXPECT_TRUE (data->exportPresetsSysEx (file, { 1, 2, 3 }));
            return file;
        }
        File setupFile (const String& name, const DeviceDataFormat& f)
        {
            auto data = versionUnit (f, {});
            auto file = files.child (name);
            EXPECT_TRUE (data->exportSetupSysEx (file));
            return file;
        }
        File rawFile (const String& name, const Bytes& bytes)
        {
            auto file = files.child (name);
            writeFile (file, bytes);
            return file;
        }

        void browse (ImportContent& c, const Array<File>& chosen)
        {
            service.chooseFileLists ({ chosen });
            c.buttonClicked (&c.chooseFolderButton);
        }

        void addPresetRule (int fromVersion)
        {
            rules.rule (1, veloce, fromVersion, veloce, 3, 1, rules.script ("p" + String (fromVersion) + ".js", presetScript (3)));
        }
    };
}

TEST_F (ImportDialogTest, PresetFileOffersDestinationAndStartingLocation)
{
    auto c = make();
    EXPECT_EQ (c->labelPath.getText(), "<Click 'Browse...' to select import file>");
    EXPECT_FALSE (c->textButtonStartImport.isEnabled());

    const auto file = presetFile ("presets.syx", unitFormat);
    browse (*c, { file });
    ASSERT_EQ (service.choosers.size(), 1u);
    EXPECT_EQ (service.choosers[0].title, "Select the import file(s)");
    EXPECT_EQ (service.choosers[0].patterns, "*.syx");
    // Nothing chosen yet: Browse starts in the user's documents, or home when there are none.
    const auto documents = File::getSpecialLocation (File::userDocumentsDirectory);
    EXPECT_EQ (service.choosers[0].initial,
               documents.isDirectory() ? documents : File::getSpecialLocation (File::userHomeDirectory));
    EXPECT_TRUE (service.boxes.empty());
    EXPECT_EQ (c->labelPath.getText(), file.getFullPathName());
    EXPECT_TRUE (c->textButtonStartImport.isEnabled());
    EXPECT_TRUE (c->comboBoxPresetOrder.isVisible());
    EXPECT_TRUE (c->labelStartingPosition.isVisible());
    EXPECT_TRUE (c->comboBoxDataDestination.isVisible());

    c->comboBoxPresetOrder.setSelectedId (5, sendNotificationSync);
    auto choices = c->getChoices();
    EXPECT_EQ (choices.files, Array<File> (file));
    EXPECT_EQ (choices.destinationIndex, 2);
    EXPECT_EQ (choices.startingSlot, 3);

    c->comboBoxPresetOrder.setSelectedId (1, sendNotificationSync);
    EXPECT_EQ (c->getChoices().startingSlot, -1);
}

TEST_F (ImportDialogTest, SetupFileHidesTheStartingLocation)
{
    auto c = make();
    browse (*c, { presetFile ("presets.syx", unitFormat) });
    const auto setup = setupFile ("setup.syx", unitFormat);
    browse (*c, { setup });
    EXPECT_TRUE (service.boxes.empty());
    EXPECT_EQ (c->labelPath.getText(), setup.getFullPathName());
    EXPECT_FALSE (c->comboBoxPresetOrder.isVisible());
    EXPECT_FALSE (c->labelStartingPosition.isVisible());
    EXPECT_TRUE (c->labelDestination.isVisible());
    EXPECT_TRUE (c->textButtonStartImport.isEnabled());
    c->comboBoxPresetOrder.setSelectedId (4, dontSendNotification);
    EXPECT_EQ (c->getChoices().startingSlot, -1);   // setup data has no starting slot
}

TEST_F (ImportDialogTest, OnlyTheFirstOfSeveralFilesIsChecked)
{
    auto c = make();
    const Array<File> chosen { presetFile ("a.syx", unitFormat), rawFile ("b.syx", { 1, 2, 3 }),
                               setupFile ("c.syx", unitFormat) };
    browse (*c, chosen);
    EXPECT_TRUE (service.boxes.empty());
    EXPECT_EQ (c->labelPath.getText(), "<Multiple Files Selected>");
    EXPECT_EQ (c->getChoices().files, chosen);

    // A bad first file refuses the whole choice.
    browse (*c, { chosen[1], chosen[0] });
    ASSERT_EQ (service.boxes.size(), 1u);
    EXPECT_EQ (c->labelPath.getText(), "<Multiple Files Selected>");
    EXPECT_FALSE (c->textButtonStartImport.isEnabled());
}

TEST_F (ImportDialogTest, BadFilesAreRefusedWithTheirReason)
{
    // A full preset file of another maker, and one whose first message is a data packet.
    auto good = fileBytes (presetFile ("good.syx", unitFormat));
    auto otherMaker = good;
    otherMaker[2] = 0x11;
    Bytes dataFirst;
    {
        // Skip the header: the data packets follow it.
        const auto end = std::find (good.begin(), good.end(), (uint8) 0xF7);
        dataFirst.assign (end + 1, good.end());
    }
    auto otherCommand = good;
    otherCommand[6] = 0x33;

    struct Case { File file; const char* text; };
    const Case cases[] =
    {
        { rawFile ("empty.syx", {}), notValid },
        { rawFile ("five.syx", { 0xF0, 0x00, 0x7A, 0x15, 0x00 }), notValid },
        { rawFile ("text.syx", { 'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd' }), notValid },
        { rawFile ("maker.syx", otherMaker), notValid },
        { rawFile ("data.syx", dataFirst), notValid },
        { rawFile ("command.syx", otherCommand), unsupported },
        { rawFile ("ack.syx", { 0xF0, 0x00, 0x7A, 0x15, 0x00, 0x60, 0x51, 0x00, 0xF7 }), cannotImport },
        { presetFile ("older.syx", versionFormat (veloce, 2, 2, 5)), otherProduct },
        { setupFile ("oldsetup.syx", versionFormat (veloce, 3, 1, 5)), otherProduct },
        { presetFile ("cantor.syx", versionFormat (cantor, 3, 2, 5)), otherProduct },
        { files.child ("missing.syx"), notValid },
    };

    auto c = make();
    const auto good1 = presetFile ("good1.syx", unitFormat);
    for (auto& k : cases)
    {
        browse (*c, { good1 });
        ASSERT_TRUE (c->textButtonStartImport.isEnabled());
        service.boxes.clear();

        browse (*c, { k.file });
        ASSERT_EQ (service.boxes.size(), 1u) << k.file.getFileName();
        EXPECT_EQ (service.boxes[0].title, "SysEx File Error");
        EXPECT_EQ (service.boxes[0].message, k.text) << k.file.getFileName();
        EXPECT_EQ (service.boxes[0].icon, DialogService::Icon::warning);
        // The path stays as it was; nothing can be imported until a file passes.
        EXPECT_EQ (c->labelPath.getText(), good1.getFullPathName());
        EXPECT_FALSE (c->textButtonStartImport.isEnabled()) << k.file.getFileName();
        EXPECT_TRUE (c->getChoices().files.isEmpty());
    }
}

TEST_F (ImportDialogTest, TruncatedAndCorruptDataFilesPassTheQuickLook)
{
    // Only the first message is looked at; the import itself reads and reports the rest.
    auto bytes = fileBytes (presetFile ("p.syx", unitFormat));
    bytes.resize (bytes.size() / 2);
    auto c = make();
    browse (*c, { rawFile ("half.syx", bytes) });
    EXPECT_TRUE (service.boxes.empty());
    EXPECT_TRUE (c->textButtonStartImport.isEnabled());
}

TEST_F (ImportDialogTest, OtherVersionsPassWhenRulesLeadToTheUnit)
{
    auto c = make();
    const auto older = presetFile ("older.syx", versionFormat (veloce, 2, 2, 5));
    browse (*c, { older });
    ASSERT_EQ (service.boxes.size(), 1u);

    addPresetRule (2);
    browse (*c, { older });
    EXPECT_EQ (service.boxes.size(), 1u);
    EXPECT_EQ (c->labelPath.getText(), older.getFullPathName());
    EXPECT_TRUE (c->textButtonStartImport.isEnabled());

    // A rule whose script file is gone is no way to the unit.
    addPresetRule (1);
    ASSERT_TRUE (rules.folder.child ("p1.js").deleteFile());
    EXPECT_EQ (c->checkFile (presetFile ("oldest.syx", versionFormat (veloce, 1, 2, 5))), 0x100000u);
    EXPECT_EQ (c->checkFile (older), 2u);
}

TEST_F (ImportDialogTest, DestinationsAndStartingLocations)
{
    auto c = make();
    EXPECT_EQ (c->comboBoxDataDestination.getNumItems(), 4);
    EXPECT_EQ (c->comboBoxDataDestination.getText(), "To Workspace");

    // Five slots: the original order, then slots 1 to 4 with the workspace's names.
    auto& order = c->comboBoxPresetOrder;
    ASSERT_EQ (order.getNumItems(), 5);
    EXPECT_EQ (order.getItemId (0), 1);
    EXPECT_EQ (order.getItemText (0), "<original order>");
    const char* const workspaceTexts[] = { "1: Preset 1", "2: <empty>", "3: Preset 3", "4: Preset 4" };
    for (int i = 0; i < 4; ++i)
    {
        EXPECT_EQ (order.getItemId (i + 1), i + 3);
        EXPECT_EQ (order.getItemText (i + 1), workspaceTexts[i]);
    }
    EXPECT_EQ (order.getSelectedId(), 1);

    order.setSelectedId (4, dontSendNotification);
    c->comboBoxDataDestination.setSelectedId (4, sendNotificationSync);
    EXPECT_EQ (order.getItemText (1), "1: <empty>");
    EXPECT_EQ (order.getItemText (2), "2: Preset 2");
    EXPECT_EQ (order.getSelectedId(), 1);

    // A new backup has no data yet: every slot is empty.
    c->comboBoxDataDestination.setSelectedId (2, sendNotificationSync);
    ASSERT_EQ (order.getNumItems(), 5);
    for (int i = 1; i < 5; ++i)
        EXPECT_TRUE (order.getItemText (i).endsWith (": <empty>"));
    EXPECT_EQ (c->getChoices().destinationIndex, 1);
}

TEST_F (ImportDialogTest, FewerThanThreeDestinationsSelectNone)
{
    auto c = make ({}, 2);
    EXPECT_EQ (c->comboBoxDataDestination.getSelectedId(), 0);
    EXPECT_EQ (c->comboBoxDataDestination.getText(), "");
    EXPECT_EQ (c->comboBoxDataDestination.getTextWhenNothingSelected(), "<select destination>");

    // A file alone is not enough to start: the data needs somewhere to go.
    browse (*c, { presetFile ("p.syx", unitFormat) });
    EXPECT_FALSE (c->textButtonStartImport.isEnabled());
    c->comboBoxDataDestination.setSelectedId (1, sendNotificationSync);
    EXPECT_TRUE (c->textButtonStartImport.isEnabled());
    EXPECT_EQ (c->comboBoxPresetOrder.getItemText (1), "1: Preset 1");

    auto none = make ({}, 0);
    EXPECT_EQ (none->comboBoxDataDestination.getTextWhenNoChoicesAvailable(), "(no choices)");
}

TEST_F (ImportDialogTest, LastImportFileIsOfferedWhileItStillFits)
{
    const auto presets = presetFile ("last.syx", unitFormat);
    auto c = make (presets);
    EXPECT_EQ (c->labelPath.getText(), presets.getFullPathName());
    EXPECT_TRUE (c->textButtonStartImport.isEnabled());
    EXPECT_TRUE (c->comboBoxPresetOrder.isVisible());
    EXPECT_EQ (c->getChoices().files, Array<File> (presets));

    const auto setup = setupFile ("lastsetup.syx", unitFormat);
    auto s = make (setup);
    EXPECT_FALSE (s->comboBoxPresetOrder.isVisible());
    EXPECT_FALSE (s->labelStartingPosition.isVisible());
    EXPECT_TRUE (s->textButtonStartImport.isEnabled());

    auto gone = make (files.child ("gone.syx"));
    EXPECT_EQ (gone->labelPath.getText(), "<Click 'Browse...' to select import file>");
    EXPECT_FALSE (gone->textButtonStartImport.isEnabled());

    // A file for another product is not offered, but Browse starts beside it; no box at opening.
    const auto foreign = presetFile ("foreign.syx", versionFormat (cantor, 3, 2, 5));
    auto f = make (foreign);
    EXPECT_TRUE (service.boxes.empty());
    EXPECT_EQ (f->labelPath.getText(), "<Click 'Browse...' to select import file>");
    EXPECT_FALSE (f->textButtonStartImport.isEnabled());
    EXPECT_TRUE (f->getChoices().files.isEmpty());
    browse (*f, {});
    ASSERT_EQ (service.choosers.size(), 1u);
    EXPECT_EQ (service.choosers.back().initial, foreign);
    EXPECT_EQ (f->labelPath.getText(), "<Click 'Browse...' to select import file>");

    // Browse starts at the shown path.
    browse (*c, {});
    EXPECT_EQ (service.choosers.back().initial, presets);
}

TEST_F (ImportDialogTest, RunGivesTheChoicesOnlyAfterStartImport)
{
    const auto file = presetFile ("p.syx", unitFormat);
    service.chooseFileLists ({ { file } });
    service.onModalWindow = [] (DialogWindow& w)
    {
        auto& c = *dynamic_cast<ImportContent*> (w.getContentComponent());
        c.buttonClicked (&c.chooseFolderButton);
        c.comboBoxDataDestination.setSelectedId (4, sendNotificationSync);
        c.comboBoxPresetOrder.setSelectedId (3, sendNotificationSync);
        c.buttonClicked (&c.textButtonStartImport);
        return c.getChosenResult();
    };
    ImportContent::Choices choices;
    ASSERT_TRUE (ImportDialog::run (nullptr, unit.get(), "Veloce", names, destinations(), {}, choices, &rules));
    EXPECT_EQ (service.modalWindowTitles, StringArray ("Import"));
    EXPECT_EQ (choices.files, Array<File> (file));
    EXPECT_EQ (choices.destinationIndex, 3);
    EXPECT_EQ (choices.startingSlot, 1);

    service.onModalWindow = [] (DialogWindow& w)
    {
        auto& c = *dynamic_cast<ImportContent*> (w.getContentComponent());
        c.buttonClicked (&c.textButtonCancel);
        return c.getChosenResult();
    };
    EXPECT_FALSE (ImportDialog::run (nullptr, unit.get(), "Veloce", names, destinations(), file, choices, &rules));
}

TEST_F (ImportDialogTest, WindowAndLayout)
{
    ImportDialog dialog (nullptr, unit.get(), "Veloce", names, destinations(), {}, &rules);
    EXPECT_EQ (dialog.getName(), "Import");
    EXPECT_EQ (dialog.getBackgroundColour(), paletteColour090);
    EXPECT_TRUE (dialog.escapeKeyPressed());

    LSLookAndFeel lnf;
    LookAndFeel::setDefaultLookAndFeel (&lnf);
    {
        auto c = make();
        const int W = c->getWidth(), H = c->getHeight();
        EXPECT_EQ (W, 560);
        EXPECT_EQ (c->labelFile.getBounds(), Rectangle<int> (10, 10, 180, 24));
        EXPECT_EQ (c->labelPath.getX(), 20);
        EXPECT_EQ (c->labelPath.getHeight(), 28);
        EXPECT_EQ (c->labelPath.getRight(), c->chooseFolderButton.getX() - 10);
        EXPECT_EQ (c->chooseFolderButton.getRight(), W - 10);
        EXPECT_EQ (c->textButtonCancel.getBounds().getBottomRight(), Point<int> (W - 10, H - 10));
        EXPECT_EQ (c->textButtonStartImport.getRight(), c->textButtonCancel.getX() - 10);
        EXPECT_GE (c->textButtonStartImport.getWidth(), 80);
        EXPECT_EQ (c->labelDestination.getY(), c->labelPath.getBottom() + 12);
        EXPECT_EQ (c->labelStartingPosition.getPosition(), Point<int> (W / 2, c->labelDestination.getY()));
        EXPECT_EQ (c->comboBoxDataDestination.getBounds(),
                   Rectangle<int> (16, c->labelDestination.getBottom() + 6, W / 2 - 32, 28));
        EXPECT_EQ (c->comboBoxPresetOrder.getX(), W / 2 + 10);
        EXPECT_EQ (c->comboBoxPresetOrder.getRight(), c->chooseFolderButton.getRight());
        EXPECT_LE (c->comboBoxPresetOrder.getBottom(), c->textButtonCancel.getY());
    }
    LookAndFeel::setDefaultLookAndFeel (nullptr);

    const auto image = dialog.createComponentSnapshot (dialog.getLocalBounds(), true, 1.0f);
    const auto content = dialog.getContent().getBoundsInParent();
    EXPECT_EQ (image.getPixelAt (content.getX() + 3, content.getBottom() - 3), paletteColour090);
}
