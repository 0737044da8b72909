#include <gtest/gtest.h>
#include "content/ContentDownloadThread.h"
#include "content/ContentManager.h"
#include "core/InfoCodes.h"
#include "core/Settings.h"
#include "ui/ColourPalette.h"
#include "ui/LSLookAndFeel.h"
#include "ui/dialogs/FirmwareChooserDialog.h"
#include "ui/dialogs/ProgramDialogs.h"
#include "support/DeviceWorld.h"
#include "support/RecordingDialogService.h"

using namespace testing_support;

namespace
{
    constexpr juce::uint8 merle = 17, piper = 12;

    // The program's look and feel as the desktop default, as the main window sets it.
    struct ProgramLookAndFeel
    {
        LSLookAndFeel laf;
        ProgramLookAndFeel()  { juce::LookAndFeel::setDefaultLookAndFeel (&laf); }
        ~ProgramLookAndFeel() { juce::LookAndFeel::setDefaultLookAndFeel (nullptr); }
    };

    // Sample content served over local HTTP, the Merle content downloaded by the
    // process-wide content manager, the settings store in the test's HOME.
    struct ChooserWorld
    {
        ContentWorld web;
        RecordingDialogService boxes;
        std::unique_ptr<ProgramLookAndFeel> look;
        bool synced = false;

        explicit ChooserWorld (bool developer = false, std::function<void (ContentWorld&)> editContent = {})
        {
            web.host.developer = developer;
            if (editContent)
                editContent (web);
            configureApplicationProperties();
            setContentManager (newFetchedContentManager());
            look = std::make_unique<ProgramLookAndFeel>();
            auto* cm = getContentManager();
            if (! cm->prepareProduct (merle))
                return;
            cm->getDownloadThread()->queueProduct (merle);
            pumpUntil ([&] { return ! web.host.eventsWithCode (InfoCode::productSyncSucceeded).empty()
                                 || ! web.host.eventsWithCode (InfoCode::productSyncFailed).empty(); }, 60000);
            synced = ! web.host.eventsWithCode (InfoCode::productSyncSucceeded).empty();
        }

        ~ChooserWorld()
        {
            look.reset();
            setContentManager (nullptr);
            deleteApplicationProperties();
        }
    };

    juce::StringArray rowTexts (FirmwareChooserContent& content)
    {
        juce::StringArray rows;
        for (auto& e : content.getFirmwareList())
            rows.add (formatFirmwareVersion (e.getVersion(), false));
        return rows;
    }

    juce::StringArray descriptionTexts (FirmwareChooserContent& content)
    {
        juce::StringArray lines;
        if (auto* d = content.getDescriptionComponent())
            for (auto* line : d->getChildren())
            {
                if (auto* label = dynamic_cast<juce::Label*> (line))
                    lines.add (label->getText());
                else if (auto* link = dynamic_cast<juce::Button*> (line))
                    lines.add ("link:" + link->getButtonText());
            }
        return lines;
    }

    void click (juce::Button& button)
    {
        bool clicked = false;
        auto previous = button.onClick;
        button.onClick = [&] { clicked = true; if (previous) previous(); };
        button.triggerClick();
        pumpUntil ([&] { return clicked; }, 10000);
        button.onClick = previous;
        ASSERT_TRUE (clicked);
    }

    juce::File writeImage (const juce::File& file)
    {
        file.getParentDirectory().createDirectory();
        const juce::uint8 bytes[] = { 0xF0, 0x00, 0x7A, 0x15, 0x00, 0x60, 0x70, 0xF7 };
        file.replaceWithData (bytes, sizeof (bytes));
        return file;
    }
}

TEST (FirmwareChooser, ListsTheDownloadedVersionsWithDatesAndDescriptions)
{
    ChooserWorld w;
    ASSERT_TRUE (w.synced);

    FirmwareChooserDialog dialog (merle, nullptr, false);
    EXPECT_EQ (dialog.getTitle(), "Merle Firmware Updates");
    auto& content = dialog.getContent();

    // Usable public versions only, highest build first; the first row is selected.
    EXPECT_EQ (rowTexts (content), (juce::StringArray { "1.2.00 build 140", "1.1.00 build 120", "1.0.00 build 100" }));
    EXPECT_EQ (content.listBoxVersions.getSelectedRow(), 0);
    EXPECT_EQ (content.labelReleaseDate.getText(), "Release Date: Sep 14, 2020 - 10:00 AM");
    EXPECT_EQ (descriptionTexts (content), (juce::StringArray { "New setup layout with per-input gain.", "Faster preset switching." }));
    EXPECT_TRUE (content.textButtonStartUpdate.isEnabled());
    EXPECT_FALSE (content.textButtonCustomUpdate.isVisible());

    content.listBoxVersions.selectRow (2);
    EXPECT_EQ (content.labelReleaseDate.getText(), "Release Date: Mar 01, 2019 - 12:30 PM");
    EXPECT_EQ (descriptionTexts (content), juce::StringArray { "First release." });
    EXPECT_EQ (content.getSelectedUpdate().getBuild(), 100);

    // "Start Update" accepts the selected row.
    click (content.textButtonStartUpdate);
    EXPECT_TRUE (dialog.wasAccepted());
    const auto chosen = dialog.getSelectedUpdate();
    EXPECT_EQ (chosen.getBuild(), 100);
    EXPECT_TRUE (chosen.isUsable());
    EXPECT_TRUE (juce::File (chosen.getImageFile()).isAChildOf (w.web.productFolder ("Merle")));

    FirmwareChooserContent other (merle, true);
    EXPECT_TRUE (other.textButtonCustomUpdate.isVisible());
    click (other.textButtonCancel);
    EXPECT_FALSE (other.isAccepted());
}

TEST (FirmwareChooser, BetaVersionsOnlyForDevelopers)
{
    ChooserWorld w (true);
    ASSERT_TRUE (w.synced);
    FirmwareChooserContent content (merle, true);
    EXPECT_EQ (rowTexts (content), (juce::StringArray { "1.3.00 build 150  [beta]", "1.2.00 build 140",
                                                        "1.1.00 build 120", "1.0.00 build 100" }));
    EXPECT_EQ (descriptionTexts (content), (juce::StringArray { "Preview of the next release.", "Adds a second harmony voice." }));
}

TEST (FirmwareChooser, DescriptionLinksOpenOnlyWebAddresses)
{
    ChooserWorld w (false, [] (ContentWorld& web)
    {
        editServedFile (web.servedContent().getChildFile ("Merle/firmware.xml"), "<line>First release.</line>",
                        "<line>First release.</line>"
                        "<line href=\"https://www.ardentis.example/notes/100\">Release notes</line>"
                        "<line href=\"/bin/sh\">Local file</line>"
                        "<line href=\"\">No address</line>");
    });
    ASSERT_TRUE (w.synced);

    FirmwareChooserContent content (merle, false);
    content.listBoxVersions.selectRow (2);
    EXPECT_EQ (descriptionTexts (content), (juce::StringArray { "First release.", "link:Release notes",
                                                                "link:Local file", "link:No address" }));
    for (int i = 1; i < 4; ++i)
        click (*dynamic_cast<juce::Button*> (content.getDescriptionComponent()->getChildComponent (i)));

    ASSERT_EQ (w.boxes.openedUrls.size(), 3u);
    EXPECT_EQ (w.boxes.openedUrls[0], "https://www.ardentis.example/notes/100");
    EXPECT_EQ (w.boxes.openedUrls[1], "https://www.ardentis.example");
    EXPECT_EQ (w.boxes.openedUrls[2], "https://www.ardentis.example");

    // Link and text colours of the description.
    auto* text = dynamic_cast<juce::Label*> (content.getDescriptionComponent()->getChildComponent (0));
    auto* link = dynamic_cast<juce::HyperlinkButton*> (content.getDescriptionComponent()->getChildComponent (1));
    ASSERT_NE (text, nullptr);
    ASSERT_NE (link, nullptr);
    EXPECT_EQ (text->findColour (juce::Label::textColourId), paletteColour044);
    EXPECT_EQ (link->findColour (juce::HyperlinkButton::textColourId), paletteColour078);
}

TEST (FirmwareChooser, LayoutAtScaleOne)
{
    ChooserWorld w;
    ASSERT_TRUE (w.synced);
    FirmwareChooserContent content (merle, true);
    content.resized();

    EXPECT_EQ (content.getWidth(), 700);
    EXPECT_EQ (content.getHeight(), 400);
    EXPECT_EQ (content.labelVersions.getBounds(), juce::Rectangle<int> (10, 15, 190, 15));
    EXPECT_EQ (content.listBoxVersions.getBounds(), juce::Rectangle<int> (10, 35, 175, 312));
    EXPECT_EQ (content.listBoxVersions.getRowHeight(), 19);
    EXPECT_EQ (content.labelDetails.getBounds(), juce::Rectangle<int> (200, 15, 485, 15));
    for (auto* b : { &content.textButtonCustomUpdate, &content.textButtonStartUpdate, &content.textButtonCancel })
    {
        EXPECT_EQ (b->getY(), 362);
        EXPECT_EQ (b->getBottom(), 390);
        EXPECT_GE (b->getWidth(), 100);
        EXPECT_EQ (b->getWidth(), content.textButtonCancel.getWidth());
    }
    EXPECT_EQ (content.textButtonCustomUpdate.getX(), 10);
    EXPECT_EQ (content.textButtonCancel.getRight(), 690);
    EXPECT_EQ (content.textButtonStartUpdate.getRight(), content.textButtonCancel.getX() - 10);
    EXPECT_EQ (content.getDetailsArea(), juce::Rectangle<int> (200, 35, 490, 312));
    EXPECT_EQ (content.labelReleaseDate.getBounds(), juce::Rectangle<int> (200, 45, 470, 15));
    EXPECT_EQ (content.viewportDescription.getBounds(), juce::Rectangle<int> (210, 70, 470, 277));
    EXPECT_EQ (content.viewportDescription.getViewPosition(), juce::Point<int>());

    // Painted: the details area in its colour, the selected row on the selection colour.
    auto image = content.createComponentSnapshot (content.getLocalBounds(), true, 1.0f);
    EXPECT_EQ (image.getPixelAt (content.getDetailsArea().getRight() - 2, content.getDetailsArea().getBottom() - 2).getARGB(),
               paletteColour092.getARGB());
    const auto list = content.listBoxVersions.getBounds();
    EXPECT_EQ (image.getPixelAt (list.getRight() - 4, list.getY() + 5).getARGB(), paletteColour072.getARGB());
    EXPECT_NE (image.getPixelAt (list.getRight() - 4, list.getY() + 19 + 5).getARGB(), paletteColour072.getARGB());
}

TEST (FirmwareChooser, ScalesWithTheUserInterface)
{
    TempHome home;
    configureApplicationProperties();
    setSetting (SettingsKeys::uiScalingFactor, 1.5);
    {
        ProgramLookAndFeel look;
        FirmwareChooserContent content (merle, true);   // no content manager: an empty list
        EXPECT_EQ (content.getWidth(), 1050);
        EXPECT_EQ (content.getHeight(), 600);
        content.resized();
        EXPECT_EQ (content.listBoxVersions.getX(), 15);
        EXPECT_EQ (content.listBoxVersions.getWidth(), 300 - 22 - 15);   // 22.5 rounds to even
        EXPECT_EQ (content.textButtonCancel.getHeight(), 42);
        EXPECT_EQ (content.listBoxVersions.getRowHeight(), 28);
    }
    deleteApplicationProperties();
}

TEST (FirmwareChooser, EmptyListDisablesStartButStillTakesACustomImage)
{
    ChooserWorld w;
    TempFolder files;
    FirmwareChooserDialog dialog (piper, nullptr, true);
    EXPECT_EQ (dialog.getTitle(), "Piper Firmware Updates");
    EXPECT_EQ (FirmwareChooserDialog (99, nullptr, true).getTitle(), "Product Firmware Updates");

    auto& content = dialog.getContent();
    content.resized();
    EXPECT_EQ (content.getFirmwareList().size(), 0);
    EXPECT_FALSE (content.textButtonStartUpdate.isEnabled());
    EXPECT_EQ (content.listBoxVersions.getSelectedRow(), -1);
    EXPECT_EQ (content.getDescriptionComponent(), nullptr);
    EXPECT_TRUE (content.labelReleaseDate.getBounds().isEmpty());
    EXPECT_TRUE (content.viewportDescription.getBounds().isEmpty());
    EXPECT_EQ (content.getSelectedUpdate().getStatus(), FirmwareUpdateElement::statusUnknown);

    auto image = writeImage (files.child ("piper build 321.syx"));
    w.boxes.chooseFiles ({ image });
    click (content.textButtonCustomUpdate);
    EXPECT_TRUE (dialog.wasAccepted());
    EXPECT_EQ (dialog.getSelectedUpdate().getStatus(), FirmwareUpdateElement::statusCustom);
    EXPECT_EQ (dialog.getSelectedUpdate().getBuild(), 321);
}

TEST (FirmwareChooser, CustomImageTakesATypedBuildNumberAndOverridesTheList)
{
    ChooserWorld w;
    ASSERT_TRUE (w.synced);
    TempFolder files;
    auto image = writeImage (files.child ("builds").getChildFile ("merle-build_177.syx"));

    FirmwareChooserContent content (merle, true);

    // Cancel in the build-number box: the dialog stays open and nothing is made.
    w.boxes.chooseFiles ({ image });
    w.boxes.answerTextBoxesWith ({ { 1, "177" } });
    click (content.textButtonCustomUpdate);
    ASSERT_EQ (w.boxes.textBoxes.size(), 1u);
    EXPECT_EQ (w.boxes.textBoxes[0].title, "Specify Build Number");
    EXPECT_EQ (w.boxes.textBoxes[0].message, "Please enter the build number for the selected file.");
    EXPECT_EQ (w.boxes.textBoxes[0].fieldLabel, "Build Number");
    EXPECT_EQ (w.boxes.textBoxes[0].offeredText, "177");
    EXPECT_EQ (w.boxes.textBoxes[0].buttons, (juce::StringArray { "Ok", "Cancel" }));
    EXPECT_EQ (w.boxes.choosers[0].title, "Select update file...");
    EXPECT_EQ (w.boxes.choosers[0].patterns, "*.syx");
    EXPECT_EQ (w.boxes.choosers[0].mode, DialogService::ChooserMode::openFile);
    EXPECT_FALSE (content.isAccepted());
    EXPECT_EQ (content.getCustomElement(), nullptr);
    EXPECT_EQ (getSettingText (SettingsKeys::lastFirmwareFile), "");

    // Numbers that cannot be a build are refused with a box; the dialog stays open.
    for (auto typed : { "abc", "0", "-5", "16384", "12a" })
    {
        w.boxes.chooseFiles ({ image });
        w.boxes.answerTextBoxesWith ({ { 0, typed } });
        click (content.textButtonCustomUpdate);
        EXPECT_EQ (w.boxes.titles().joinIntoString ("|").getLastCharacters (20), "Invalid Build Number") << typed;
        EXPECT_FALSE (content.isAccepted()) << typed;
        EXPECT_EQ (content.getCustomElement(), nullptr) << typed;
    }

    // Ok with a typed number: the custom element replaces the selected row.
    w.boxes.chooseFiles ({ image });
    w.boxes.answerTextBoxesWith ({ { 0, " 180 " } });
    click (content.textButtonCustomUpdate);
    EXPECT_TRUE (content.isAccepted());
    const auto chosen = content.getSelectedUpdate();
    EXPECT_EQ (chosen.getStatus(), FirmwareUpdateElement::statusCustom);
    EXPECT_EQ (chosen.getBuild(), 180);
    EXPECT_EQ (chosen.getImageFile(), image.getFullPathName());
    EXPECT_TRUE (chosen.isUsable());
    EXPECT_EQ (content.listBoxVersions.getSelectedRow(), 0);
    EXPECT_EQ (getSettingText (SettingsKeys::lastFirmwareFile), image.getFullPathName());

    // The next chooser starts at the last file; once it is gone, at its folder.
    FirmwareChooserContent again (merle, true);
    click (again.textButtonCustomUpdate);
    EXPECT_EQ (w.boxes.choosers.back().initial, image);
    ASSERT_TRUE (image.deleteFile());
    click (again.textButtonCustomUpdate);
    EXPECT_EQ (w.boxes.choosers.back().initial, image.getParentDirectory());
    ASSERT_TRUE (image.getParentDirectory().deleteRecursively());
    click (again.textButtonCustomUpdate);
    EXPECT_EQ (w.boxes.choosers.back().initial, juce::File());

    // A chosen file that does not exist.
    const auto boxesBefore = w.boxes.textBoxes.size();
    w.boxes.chooseFiles ({ files.child ("missing build 5.syx") });
    click (again.textButtonCustomUpdate);
    EXPECT_EQ (w.boxes.boxes.back().title, "File Not Found");
    EXPECT_EQ (w.boxes.boxes.back().message, "The specified file does not exist.");
    EXPECT_EQ (w.boxes.textBoxes.size(), boxesBefore);
    EXPECT_FALSE (again.isAccepted());
}

TEST (FirmwareChooser, SuggestedBuildNumberIsTheNumberAfterTheLastWordBuild)
{
    EXPECT_EQ (FirmwareChooserContent::suggestBuildNumber ("/fw/merle build 140.syx"), "140");
    EXPECT_EQ (FirmwareChooserContent::suggestBuildNumber ("/fw/build 99/merle_build-141.syx"), "141");
    EXPECT_EQ (FirmwareChooserContent::suggestBuildNumber ("/fw/Build=7/x.syx"), "7");
    EXPECT_EQ (FirmwareChooserContent::suggestBuildNumber ("/fw/build 12/merle_builder.syx"), "");
    EXPECT_EQ (FirmwareChooserContent::suggestBuildNumber ("/fw/merle.syx"), "");
}

TEST (FirmwareChooser, ProgramDialogsHandBackTheChoice)
{
    ChooserWorld w;
    ASSERT_TRUE (w.synced);
    ProgramDialogs dialogs;
    juce::Component owner;
    FirmwareUpdateElement chosen;

    // Closed without "Start Update".
    EXPECT_FALSE (dialogs.runFirmwareChooser (owner, merle, false, chosen));
    EXPECT_EQ (chosen.getStatus(), FirmwareUpdateElement::statusUnknown);

    w.boxes.onDialog = [] (juce::Component& c)
    {
        auto& content = dynamic_cast<FirmwareChooserContent&> (c);
        content.listBoxVersions.selectRow (1);
        click (content.textButtonStartUpdate);
        return 1;
    };
    EXPECT_TRUE (dialogs.runFirmwareChooser (owner, merle, false, chosen));
    EXPECT_EQ (chosen.getBuild(), 120);
    EXPECT_EQ (w.boxes.dialogTitles, (juce::StringArray { "Merle Firmware Updates", "Merle Firmware Updates" }));
}

TEST (FirmwareChooser, CustomImageKeepsTheConnectedUnitsVersionWithTheTypedBuild)
{
    DeviceWorld w;
    configureApplicationProperties();
    w.addUnit (DeviceWorld::merle, 140, 4242);
    w.startManager();
    ASSERT_EQ (w.scan(), 1);
    ASSERT_TRUE (w.manager().selectDevice (0));

    TempFolder files;
    auto image = writeImage (files.child ("merle.syx"));
    RecordingDialogService boxes;
    boxes.chooseFiles ({ image });
    boxes.answerTextBoxesWith ({ { 0, "150" } });
    {
        FirmwareChooserContent content (DeviceWorld::merle, true);
        click (content.textButtonCustomUpdate);
        ASSERT_EQ (boxes.textBoxes.size(), 1u);
        EXPECT_EQ (boxes.textBoxes[0].offeredText, "");   // no "build" in the path
        ASSERT_TRUE (content.isAccepted());
        const auto v = content.getSelectedUpdate().getVersion();
        EXPECT_EQ (v, VersionNumber (0, 1, 1, 40, 150, 0));
    }
    w.manager().closeCurrentDevice();
    deleteApplicationProperties();
}
