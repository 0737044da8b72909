#include <gtest/gtest.h>
#include "core/Settings.h"
#include "ui/ColourPalette.h"
#include "ui/LSLookAndFeel.h"
#include "ui/dialogs/ExportDialog.h"
#include "support/RecordingDialogService.h"
#include "support/TestEnvironment.h"

using namespace juce;
using testing_support::RecordingDialogService;
using testing_support::TempFolder;
using testing_support::TempHome;

namespace
{
    // The fourth of May: neither month nor day may be zero-padded.
    const Time mayFourth (2026, 4, 4, 10, 30);

    struct ExportDialogTest : ::testing::Test
    {
        TempHome home;
        TempFolder exportFolder;
        RecordingDialogService service;

        void SetUp() override
        {
            configureApplicationProperties();
            setSetting (SettingsKeys::exportFolder, exportFolder.get().getFullPathName());
        }
        void TearDown() override { deleteApplicationProperties(); }

        // Workspace with setup, a backup without, a backup with.
        static std::unique_ptr<ExportContent> make (int current = 0, bool selection = true,
                                                    Array<bool> setups = { true, false, true })
        {
            return std::make_unique<ExportContent> (StringArray { "Workspace", "Backups - Monday", "Backups - Friday" },
                                                    setups, current, selection, mayFourth);
        }

        // A click as the user makes it: the toggle goes on and its group follows.
        static void click (ToggleButton& toggle) { toggle.setToggleState (true, sendNotificationSync); }

        // Types at the caret; the editor tells its listener on the message loop, which runs
        // until the text reads as expected.
        static void type (TextEditor& editor, const String& text, const String& expected)
        {
            editor.insertTextAtCaret (text);
            EXPECT_TRUE (testing_support::pumpUntil ([&] { return editor.getText() == expected; })) << editor.getText();
        }

        // Empties an editor the way the user does; the dialog hears of it on the message loop.
        static void empty (ExportContent& c, TextEditor& editor, const std::function<bool()>& heard)
        {
            editor.setText ({}, true);
            EXPECT_TRUE (testing_support::pumpUntil (heard));
        }
    };
}

TEST_F (ExportDialogTest, DefaultNamesCarryTheUnpaddedDate)
{
    EXPECT_EQ (ExportContent::makeDateText (mayFourth), "2026_5_4");
    EXPECT_EQ (ExportContent::makeDateText (Time (2026, 11, 31, 0, 0)), "2026_12_31");

    auto c = make();
    EXPECT_EQ (c->getDefaultPresetsName(), "AllPresets_2026_5_4.syx");
    EXPECT_EQ (c->getDefaultSetupName(), "Setup_2026_5_4.syx");
    EXPECT_EQ (c->textEditorFilename.getText(), "AllPresets_2026_5_4.syx");
    EXPECT_EQ (c->textEditorSuffix.getText(), "2026_5_4");
    EXPECT_EQ (c->textEditorSuffix.getName(), "new text editor");
    EXPECT_FALSE (c->textEditorSuffix.isVisible());
    EXPECT_FALSE (c->labelSuffix.isVisible());
    EXPECT_FALSE (c->labelFilenameExample.isVisible());
    EXPECT_EQ (c->labelFilenameExample.getText(), "(e.g. Preset_1_2026_5_4.syx)");
}

TEST_F (ExportDialogTest, InitialStateFollowsSelectionAndSetups)
{
    auto withSelection = make (2, true);
    EXPECT_EQ (withSelection->comboBoxDataSource.getNumItems(), 3);
    EXPECT_EQ (withSelection->comboBoxDataSource.getText(), "Backups - Friday");
    EXPECT_TRUE (withSelection->toggleButtonSelectedPresets.getToggleState());
    EXPECT_TRUE (withSelection->toggleButtonSelectedPresets.isEnabled());
    EXPECT_TRUE (withSelection->toggleButtonSingleFile.getToggleState());
    EXPECT_TRUE (withSelection->toggleButtonSetupData.isVisible());
    EXPECT_TRUE (withSelection->toggleButtonSetupData.isEnabled());

    auto without = make (0, false);
    EXPECT_FALSE (without->toggleButtonSelectedPresets.isEnabled());
    EXPECT_TRUE (without->toggleButtonAllPresets.getToggleState());
    EXPECT_EQ (without->getChoices().data, ExportContent::Data::allPresets);

    auto noSetups = make (0, false, { false, false, false });
    EXPECT_FALSE (noSetups->toggleButtonSetupData.isVisible());

    // A preselected source without setup data does not offer it.
    auto backupFirst = make (1, false);
    EXPECT_TRUE (backupFirst->toggleButtonSetupData.isVisible());
    EXPECT_FALSE (backupFirst->toggleButtonSetupData.isEnabled());

    auto empty = std::make_unique<ExportContent> (StringArray(), Array<bool>(), 0, false, mayFourth);
    EXPECT_EQ (empty->comboBoxDataSource.getText(), "");
    EXPECT_FALSE (empty->textButtonStartExport.isEnabled());
}

TEST_F (ExportDialogTest, FolderComesFromTheSettingOrDocuments)
{
    auto c = make();
    EXPECT_EQ (c->getFolder(), exportFolder.get());
    EXPECT_EQ (c->labelPath.getText(), exportFolder.get().getFullPathName());

    for (auto stored : { exportFolder.child ("gone").getFullPathName(), String ("relative/folder"), String() })
    {
        setSetting (SettingsKeys::exportFolder, stored);
        auto d = make();
        EXPECT_EQ (d->getFolder(), File::getSpecialLocation (File::userDocumentsDirectory)) << stored;
    }
}

TEST_F (ExportDialogTest, DataChoiceSwitchesNamesAndFileHandling)
{
    auto c = make();
    click (c->toggleButtonOneFilePer);
    EXPECT_FALSE (c->textEditorFilename.isVisible());
    EXPECT_TRUE (c->textEditorSuffix.isVisible());
    EXPECT_TRUE (c->labelSuffix.isVisible());
    EXPECT_TRUE (c->labelFilenameExample.isVisible());
    EXPECT_FALSE (c->getChoices().singleFile);

    click (c->toggleButtonSetupData);
    EXPECT_EQ (c->textEditorFilename.getText(), "Setup_2026_5_4.syx");
    EXPECT_FALSE (c->toggleButtonOneFilePer.isEnabled());
    EXPECT_TRUE (c->toggleButtonSingleFile.getToggleState());
    EXPECT_FALSE (c->toggleButtonOneFilePer.getToggleState());
    EXPECT_TRUE (c->textEditorFilename.isVisible());
    EXPECT_FALSE (c->textEditorSuffix.isVisible());
    EXPECT_FALSE (c->labelFilenameExample.isVisible());
    auto choices = c->getChoices();
    EXPECT_EQ (choices.data, ExportContent::Data::setup);
    EXPECT_TRUE (choices.singleFile);
    EXPECT_EQ (choices.fileName, "Setup_2026_5_4.syx");

    click (c->toggleButtonAllPresets);
    EXPECT_EQ (c->textEditorFilename.getText(), "AllPresets_2026_5_4.syx");
    EXPECT_TRUE (c->toggleButtonOneFilePer.isEnabled());
    EXPECT_FALSE (c->toggleButtonSetupData.getToggleState());
    EXPECT_EQ (c->getChoices().data, ExportContent::Data::allPresets);
}

TEST_F (ExportDialogTest, SourceChoiceWithdrawsSelectionAndSetup)
{
    auto c = make (0, true);
    click (c->toggleButtonSetupData);

    // A source without setup data while "Setup Data" is on switches to "All Presets".
    c->comboBoxDataSource.setSelectedId (2, sendNotificationSync);
    EXPECT_FALSE (c->toggleButtonSetupData.isEnabled());
    EXPECT_FALSE (c->toggleButtonSetupData.getToggleState());
    EXPECT_TRUE (c->toggleButtonAllPresets.getToggleState());
    EXPECT_EQ (c->textEditorFilename.getText(), "AllPresets_2026_5_4.syx");
    EXPECT_FALSE (c->toggleButtonSelectedPresets.isEnabled());
    EXPECT_EQ (c->getChoices().sourceIndex, 1);

    // Back at the source of the grid's selection both come back, the choice stays.
    c->comboBoxDataSource.setSelectedId (1, sendNotificationSync);
    EXPECT_TRUE (c->toggleButtonSelectedPresets.isEnabled());
    EXPECT_TRUE (c->toggleButtonSetupData.isEnabled());
    EXPECT_TRUE (c->toggleButtonAllPresets.getToggleState());

    click (c->toggleButtonSelectedPresets);
    c->comboBoxDataSource.setSelectedId (3, sendNotificationSync);
    EXPECT_FALSE (c->toggleButtonSelectedPresets.isEnabled());
    EXPECT_TRUE (c->toggleButtonAllPresets.getToggleState());
    EXPECT_TRUE (c->toggleButtonSetupData.isEnabled());
}

TEST_F (ExportDialogTest, TypedNamesAreCleanedAndKept)
{
    auto c = make();
    auto presetsNameIsEmpty = [&] { return c->getDefaultPresetsName().isEmpty(); };
    empty (*c, c->textEditorFilename, presetsNameIsEmpty);
    type (c->textEditorFilename, "My/Set:list?.syx", "MySetlist.syx");
    EXPECT_EQ (c->textEditorFilename.getCaretPosition(), c->textEditorFilename.getTotalNumChars());

    // The typed name is the presets' default now; the setup keeps its own.
    click (c->toggleButtonSetupData);
    EXPECT_EQ (c->textEditorFilename.getText(), "Setup_2026_5_4.syx");
    empty (*c, c->textEditorFilename, [&] { return c->getDefaultSetupName().isEmpty(); });
    type (c->textEditorFilename, "Rig \"A\".syx", "Rig A.syx");
    click (c->toggleButtonAllPresets);
    EXPECT_EQ (c->textEditorFilename.getText(), "MySetlist.syx");
    click (c->toggleButtonSetupData);
    EXPECT_EQ (c->textEditorFilename.getText(), "Rig A.syx");
    EXPECT_EQ (c->getChoices().fileName, "Rig A.syx");

    click (c->toggleButtonAllPresets);
    click (c->toggleButtonOneFilePer);
    empty (*c, c->textEditorSuffix, [&] { return c->labelFilenameExample.getText() == "(e.g. Preset_1.syx)"; });
    type (c->textEditorSuffix, "li|ve*", "live");
    EXPECT_TRUE (testing_support::pumpUntil ([&] { return c->labelFilenameExample.getText() == "(e.g. Preset_1_live.syx)"; }))
        << c->labelFilenameExample.getText();
    EXPECT_EQ (c->getChoices().suffix, "live");
}

TEST_F (ExportDialogTest, EmptiedNameFallsBackToTheRecomputedDefault)
{
    auto c = make();
    c->textEditorSuffix.setText ("gig", false);
    empty (*c, c->textEditorFilename, [&] { return c->getDefaultPresetsName().isEmpty(); });
    c->textEditorFocusLost (c->textEditorFilename);
    EXPECT_EQ (c->textEditorFilename.getText(), "");
    EXPECT_EQ (c->getDefaultPresetsName(), "AllPresets_gig.syx");
    // The caller gets a file name, never the bare folder.
    EXPECT_EQ (c->getChoices().fileName, "AllPresets_gig.syx");

    click (c->toggleButtonSetupData);
    empty (*c, c->textEditorFilename, [&] { return c->getDefaultSetupName().isEmpty(); });
    c->textEditorFocusLost (c->textEditorFilename);
    EXPECT_EQ (c->getDefaultSetupName(), "Setup_gig.syx");
    EXPECT_EQ (c->getChoices().fileName, "Setup_gig.syx");
    click (c->toggleButtonAllPresets);
    EXPECT_EQ (c->textEditorFilename.getText(), "AllPresets_gig.syx");
}

TEST_F (ExportDialogTest, BrowseReplacesTheFolderOnlyWhenOneIsChosen)
{
    auto c = make();
    service.chooseFiles ({ File() });
    c->buttonClicked (&c->chooseFolderButton);
    ASSERT_EQ (service.choosers.size(), 1u);
    EXPECT_EQ (service.choosers[0].mode, DialogService::ChooserMode::chooseFolder);
    EXPECT_EQ (service.choosers[0].title, "Select the export folder");
    EXPECT_EQ (service.choosers[0].initial, exportFolder.get());
    EXPECT_EQ (c->getFolder(), exportFolder.get());

    const auto other = exportFolder.child ("other");
    ASSERT_TRUE (other.createDirectory());
    service.chooseFiles ({ other });
    c->buttonClicked (&c->chooseFolderButton);
    EXPECT_EQ (c->labelPath.getText(), other.getFullPathName());
    EXPECT_EQ (c->getChoices().folder, other);
    EXPECT_EQ (service.choosers[1].initial, exportFolder.get());
}

TEST_F (ExportDialogTest, RunStoresTheFolderOnlyOnStartExport)
{
    const auto other = exportFolder.child ("chosen");
    ASSERT_TRUE (other.createDirectory());
    service.chooseFiles ({ other });
    service.onModalWindow = [] (DialogWindow& w)
    {
        auto& c = *dynamic_cast<ExportContent*> (w.getContentComponent());
        c.buttonClicked (&c.chooseFolderButton);
        c.toggleButtonOneFilePer.setToggleState (true, sendNotificationSync);
        c.buttonClicked (&c.textButtonStartExport);
        return c.getChosenResult();
    };
    ExportContent::Choices choices;
    ASSERT_TRUE (ExportDialog::run (nullptr, { "Workspace", "Backups - Monday" }, { true, false }, 1, false, choices));
    EXPECT_EQ (service.modalWindowTitles, StringArray ("Export"));
    EXPECT_EQ (choices.sourceIndex, 1);
    EXPECT_FALSE (choices.singleFile);
    EXPECT_EQ (choices.folder, other);
    EXPECT_EQ (getSettingText (SettingsKeys::exportFolder), other.getFullPathName());

    // Cancel (or Escape, which ends with 0) stores nothing.
    setSetting (SettingsKeys::exportFolder, exportFolder.get().getFullPathName());
    service.chooseFiles ({ other });
    service.onModalWindow = [] (DialogWindow& w)
    {
        auto& c = *dynamic_cast<ExportContent*> (w.getContentComponent());
        c.buttonClicked (&c.chooseFolderButton);
        c.buttonClicked (&c.textButtonCancel);
        return c.getChosenResult();
    };
    EXPECT_FALSE (ExportDialog::run (nullptr, { "Workspace" }, { true }, 0, false, choices));
    EXPECT_EQ (getSettingText (SettingsKeys::exportFolder), exportFolder.get().getFullPathName());
}

TEST_F (ExportDialogTest, WindowIsTheExportDialog)
{
    ExportDialog dialog (nullptr, { "Workspace" }, { true }, 0, false);
    EXPECT_EQ (dialog.getName(), "Export");
    EXPECT_EQ (dialog.getBackgroundColour(), paletteColour090);
    EXPECT_FALSE (dialog.isResizable());
    EXPECT_TRUE (dialog.escapeKeyPressed());
    EXPECT_EQ (dialog.getContentComponent(), &dialog.getContent());
    EXPECT_EQ (dialog.getContent().getBounds().getWidth(), 600);
}

TEST_F (ExportDialogTest, LayoutAtScaleOne)
{
    LSLookAndFeel lnf;
    LookAndFeel::setDefaultLookAndFeel (&lnf);
    {
        auto c = make (0, true);
        EXPECT_EQ (c->getWidth(), 600);
        EXPECT_EQ (c->getHeight(), 310);
        for (auto* b : { &c->textButtonCancel, &c->textButtonStartExport, &c->chooseFolderButton })
        {
            EXPECT_EQ (b->getHeight(), 28);
            EXPECT_GE (b->getWidth(), 80);
        }
        EXPECT_EQ (c->textButtonCancel.getY(), 272);
        EXPECT_EQ (c->textButtonCancel.getRight(), 590);
        EXPECT_EQ (c->textButtonStartExport.getRight(), c->textButtonCancel.getX() - 10);
        EXPECT_EQ (c->textButtonStartExport.getY(), 272);
        EXPECT_EQ (c->labelLocation.getBounds(), Rectangle<int> (10, 10, 150, 24));
        EXPECT_EQ (c->labelPath.getPosition(), Point<int> (20, 40));
        EXPECT_EQ (c->chooseFolderButton.getY(), 40);
        EXPECT_EQ (c->labelFileHandling.getBounds(), Rectangle<int> (10, 80, 150, 24));
        EXPECT_EQ (c->labelFileNaming.getPosition(), Point<int> (300, 80));
        EXPECT_EQ (c->toggleButtonSingleFile.getBounds(), Rectangle<int> (20, 110, 150, 19));
        EXPECT_EQ (c->toggleButtonOneFilePer.getBounds(), Rectangle<int> (20, 130, 150, 19));
        EXPECT_EQ (c->labelFilename.getPosition(), Point<int> (310, 110));
        EXPECT_EQ (c->textEditorFilename.getRight(), c->chooseFolderButton.getRight());
        EXPECT_EQ (c->textEditorFilename.getHeight(), 21);
        EXPECT_EQ (c->labelFilenameExample.getBounds(), c->textEditorFilename.getBounds());
        EXPECT_EQ (c->labelSuffix.getY(), 139);
        EXPECT_EQ (c->textEditorSuffix.getBounds(), c->textEditorFilename.getBounds().translated (0, 29));
        EXPECT_EQ (c->labelData.getY(), c->textEditorSuffix.getBottom() + 12);
        EXPECT_EQ (c->labelData.getHeight(), 24);
        // "Selected Presets" above "All Presets" above "Setup Data".
        EXPECT_EQ (c->toggleButtonAllPresets.getY(), c->toggleButtonSelectedPresets.getY() + 20);
        EXPECT_EQ (c->toggleButtonSetupData.getY(), c->toggleButtonAllPresets.getY() + 20);
        EXPECT_EQ (c->labelSource.getPosition(), Point<int> (300, c->labelData.getY()));
        EXPECT_EQ (c->comboBoxDataSource.getBounds(),
                   Rectangle<int> (310, c->labelSource.getBottom() + 6, 590 - 310, 28));
        // Nothing runs off the bottom or into the buttons.
        EXPECT_LE (c->toggleButtonSetupData.getBottom(), 310);
        EXPECT_LE (c->comboBoxDataSource.getBottom(), c->textButtonCancel.getY());
    }
    LookAndFeel::setDefaultLookAndFeel (nullptr);
}

TEST_F (ExportDialogTest, SizeFollowsTheScale)
{
    setSetting (SettingsKeys::uiScalingFactor, 1.5);
    LSLookAndFeel lnf;
    LookAndFeel::setDefaultLookAndFeel (&lnf);
    {
        auto c = make();
        EXPECT_EQ (c->getWidth(), 900);
        EXPECT_EQ (c->getHeight(), 465);
        EXPECT_EQ (c->textButtonCancel.getHeight(), 42);
        EXPECT_EQ (c->textButtonCancel.getBottom(), 465 - 15);
        EXPECT_EQ (c->toggleButtonSingleFile.getHeight(), 28);
    }
    LookAndFeel::setDefaultLookAndFeel (nullptr);
}

TEST_F (ExportDialogTest, PaintsInThePaletteBackground)
{
    ExportDialog dialog (nullptr, { "Workspace" }, { true }, 0, false);
    const auto image = dialog.createComponentSnapshot (dialog.getLocalBounds(), true, 1.0f);
    const auto content = dialog.getContent().getBoundsInParent();
    // The gap between the location label and the section labels shows the window's background.
    EXPECT_EQ (image.getPixelAt (content.getX() + 5, content.getY() + 75), paletteColour090);
    EXPECT_EQ (image.getPixelAt (content.getRight() - 3, content.getBottom() - 3), paletteColour090);
}
