#include <gtest/gtest.h>
#include "core/InfoCodes.h"
#include "core/Settings.h"
#include "ui/ColourPalette.h"
#include "ui/LSLookAndFeel.h"
#include "ui/dialogs/OptionsContent.h"
#include "ui/dialogs/ProgramDialogs.h"
#include "support/ContentComponentWorld.h"
#include "support/RecordingDialogService.h"
#include "support/TestEnvironment.h"

using namespace testing_support;

namespace
{
    // A temporary HOME with the settings store configured on it.
    struct SettingsHome
    {
        TempHome home;
        SettingsHome()  { configureApplicationProperties(); }
        ~SettingsHome() { deleteApplicationProperties(); }

        // What the settings file on disk holds for a key, after saving.
        juce::String onDisk (const char* key) const
        {
            getUserSettings()->saveIfNeeded();
            auto xml = juce::parseXML (getUserSettings()->getFile());
            if (xml == nullptr)
                return "<missing>";   // nothing stored yet
            for (auto* e : xml->getChildWithTagNameIterator ("VALUE"))
                if (e->getStringAttribute ("name") == key)
                    return e->getStringAttribute ("val");
            return "<missing>";
        }
    };

    // Clicks a button as the user would and lets the click arrive.
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

    juce::File documents() { return juce::File::getSpecialLocation (juce::File::userDocumentsDirectory); }
}

TEST (OptionsDialog, PagesShowTheStoredValuesAndOkStoresThemAgainWithoutRestart)
{
    SettingsHome s;
    TempFolder exportTo;
    setSetting (SettingsKeys::uiScalingFactor, 1.5);
    setSetting (SettingsKeys::onlyShowArdDevices, false);
    setSetting (SettingsKeys::autoConnectAtStartup, true);
    setSetting (SettingsKeys::dataTrackingOptIn, false);
    setSetting (SettingsKeys::exportFolder, exportTo.get().getFullPathName());
    setDataSyncMethod (2);

    OptionsContent content;
    EXPECT_EQ (content.getResult(), -1);

    // Tabs in order, the content sized by the look and feel's scale.
    ASSERT_EQ (content.tabbedComponent.getNumTabs(), 3);
    EXPECT_EQ (content.tabbedComponent.getTabNames(), (juce::StringArray { "General", "Devices", "Data" }));
    EXPECT_EQ (content.getWidth(), 825);
    EXPECT_EQ (content.getHeight(), 450);

    auto& general = content.getGeneralPage();
    EXPECT_EQ (general.sliderResolution.getValue(), 150.0);
    EXPECT_EQ (general.sliderResolution.getMinimum(), 75.0);
    EXPECT_EQ (general.sliderResolution.getMaximum(), 250.0);
    EXPECT_EQ (general.sliderResolution.getInterval(), 5.0);
    EXPECT_EQ (general.labelResolutionValue.getText(), "150%");
    EXPECT_FLOAT_EQ (general.labelTextSize.getFont().getHeight(), 21.0f);
    EXPECT_FALSE (general.toggleButtonUsageData.getToggleState());

    auto& devices = content.getDevicesPage();
    EXPECT_FALSE (devices.toggleButtonOnlyShowArdDevices.getToggleState());
    EXPECT_TRUE (devices.toggleButtonAutoConnect.getToggleState());

    auto& data = content.getDataPage();
    EXPECT_FALSE (data.toggleButtonSyncAuto.getToggleState());
    EXPECT_FALSE (data.toggleButtonSyncManual.getToggleState());
    EXPECT_TRUE (data.toggleButtonSyncPrevious.getToggleState());
    EXPECT_EQ (data.textEditorExportFolder.getText(), exportTo.get().getFullPathName());
    EXPECT_TRUE (data.textEditorExportFolder.isReadOnly());

    // The page that is not a tab stores nothing.
    EXPECT_EQ (content.getUpdatePage().getParentComponent(), nullptr);
    EXPECT_EQ (content.getUpdatePage().toggleButtonAutoBackup.getButtonText(), "Auto backup device data before update");

    click (content.textButtonOk);
    EXPECT_EQ (content.getResult(), 1);
    EXPECT_FALSE (general.isRestartNeeded());
    EXPECT_FALSE (content.wereDefaultsRestored());
    EXPECT_FALSE (devices.isClearHistoryRequested());

    EXPECT_EQ (s.onDisk (SettingsKeys::uiScalingFactor), "1.5");
    EXPECT_EQ (s.onDisk (SettingsKeys::onlyShowArdDevices), "0");
    EXPECT_EQ (s.onDisk (SettingsKeys::autoConnectAtStartup), "1");
    EXPECT_EQ (s.onDisk (SettingsKeys::dataSyncMethod), "previous");
    EXPECT_EQ (s.onDisk (SettingsKeys::exportFolder), exportTo.get().getFullPathName());
    EXPECT_EQ (s.onDisk (SettingsKeys::dataTrackingOptIn), "0");
}

TEST (OptionsDialog, ChangedScaleIsStoredOnlyWithOkAndAsksForARestart)
{
    {
        SettingsHome s;
        OptionsContent content;
        auto& general = content.getGeneralPage();
        EXPECT_EQ (general.sliderResolution.getValue(), 100.0);   // nothing stored: the default

        general.sliderResolution.setValue (125.0, juce::sendNotificationSync);
        // The value label and the preview follow at once; nothing is stored yet.
        EXPECT_EQ (general.labelResolutionValue.getText(), "125%");
        EXPECT_FLOAT_EQ (general.labelTextSize.getFont().getHeight(), 17.5f);
        EXPECT_EQ (s.onDisk (SettingsKeys::uiScalingFactor), "<missing>");

        click (content.textButtonOk);
        EXPECT_TRUE (general.isRestartNeeded());
        EXPECT_EQ (s.onDisk (SettingsKeys::uiScalingFactor), "1.25");
        EXPECT_FLOAT_EQ (getUiScalingFactor(), 1.25f);
    }
    {
        SettingsHome s;
        setSetting (SettingsKeys::uiScalingFactor, 1.0);
        OptionsContent content;
        content.getGeneralPage().sliderResolution.setValue (125.0, juce::sendNotificationSync);
        content.getDevicesPage().toggleButtonAutoConnect.setToggleState (false, juce::dontSendNotification);
        click (content.textButtonCancel);
        EXPECT_EQ (content.getResult(), 0);
        EXPECT_FALSE (content.getGeneralPage().isRestartNeeded());
        EXPECT_EQ (s.onDisk (SettingsKeys::uiScalingFactor), "1.0");
        EXPECT_EQ (s.onDisk (SettingsKeys::autoConnectAtStartup), "<missing>");
    }
    {
        // A stored scale between two slider steps is kept when the slider is left alone.
        SettingsHome s;
        setSetting (SettingsKeys::uiScalingFactor, 1.23);
        OptionsContent content;
        click (content.textButtonOk);
        EXPECT_FALSE (content.getGeneralPage().isRestartNeeded());
        EXPECT_EQ (s.onDisk (SettingsKeys::uiScalingFactor), "1.23");
    }
}

TEST (OptionsDialog, RestoreDefaultsChangesTheControlsAndStoresOnlyWithOk)
{
    SettingsHome s;
    TempFolder exportTo;
    setSetting (SettingsKeys::uiScalingFactor, 2.0);
    setSetting (SettingsKeys::onlyShowArdDevices, false);
    setSetting (SettingsKeys::autoConnectAtStartup, false);
    setSetting (SettingsKeys::exportFolder, exportTo.get().getFullPathName());
    setDataSyncMethod (1);
    getUserSettings()->saveIfNeeded();
    const auto before = getUserSettings()->getFile().loadFileAsString();

    {
        OptionsContent content;
        click (content.textButtonRestoreDefaults);
        EXPECT_TRUE (content.wereDefaultsRestored());
        EXPECT_EQ (content.getResult(), -1);   // the dialog stays open
        EXPECT_EQ (content.getGeneralPage().sliderResolution.getValue(), 100.0);
        EXPECT_EQ (content.getGeneralPage().labelResolutionValue.getText(), "100%");
        EXPECT_TRUE (content.getDevicesPage().toggleButtonOnlyShowArdDevices.getToggleState());
        EXPECT_TRUE (content.getDevicesPage().toggleButtonAutoConnect.getToggleState());
        EXPECT_TRUE (content.getDataPage().toggleButtonSyncAuto.getToggleState());
        EXPECT_FALSE (content.getDataPage().toggleButtonSyncManual.getToggleState());
        EXPECT_EQ (content.getDataPage().textEditorExportFolder.getText(), documents().getFullPathName());

        click (content.textButtonCancel);
        getUserSettings()->saveIfNeeded();
        EXPECT_EQ (getUserSettings()->getFile().loadFileAsString(), before);
    }
    {
        OptionsContent content;
        click (content.textButtonRestoreDefaults);
        click (content.textButtonOk);
        EXPECT_TRUE (content.wereDefaultsRestored());
        EXPECT_TRUE (content.getGeneralPage().isRestartNeeded());
        EXPECT_EQ (s.onDisk (SettingsKeys::uiScalingFactor), "1.0");
        EXPECT_EQ (s.onDisk (SettingsKeys::onlyShowArdDevices), "1");
        EXPECT_EQ (s.onDisk (SettingsKeys::autoConnectAtStartup), "1");
        EXPECT_EQ (s.onDisk (SettingsKeys::dataSyncMethod), "auto");
        EXPECT_EQ (s.onDisk (SettingsKeys::exportFolder), documents().getFullPathName());
    }
}

TEST (OptionsDialog, ExportFolderFallsBackToDocumentsAndBrowseFillsTheField)
{
    SettingsHome s;
    TempFolder scratch;
    auto gone = scratch.child ("deleted");
    ASSERT_TRUE (gone.createDirectory());
    setSetting (SettingsKeys::exportFolder, gone.getFullPathName());
    ASSERT_TRUE (gone.deleteRecursively());

    RecordingDialogService boxes;
    OptionsContent content;
    auto& data = content.getDataPage();
    EXPECT_EQ (data.textEditorExportFolder.getText(), documents().getFullPathName());

    // A cancelled chooser leaves the field; a chosen folder replaces it.
    click (data.textButtonBrowse);
    EXPECT_EQ (data.textEditorExportFolder.getText(), documents().getFullPathName());
    auto chosen = scratch.child ("exports");
    ASSERT_TRUE (chosen.createDirectory());
    boxes.chooseFiles ({ chosen });
    click (data.textButtonBrowse);
    EXPECT_EQ (data.textEditorExportFolder.getText(), chosen.getFullPathName());

    ASSERT_EQ (boxes.choosers.size(), 2u);
    EXPECT_EQ (boxes.choosers[0].mode, DialogService::ChooserMode::chooseFolder);
    EXPECT_EQ (boxes.choosers[0].title, "Select the export folder");
    EXPECT_EQ (boxes.choosers[0].initial, documents());
    EXPECT_EQ (boxes.choosers[0].patterns, "*.syx");

    // The synchronisation choices are one radio group.
    click (data.toggleButtonSyncManual);
    EXPECT_TRUE (data.toggleButtonSyncManual.getToggleState());
    EXPECT_FALSE (data.toggleButtonSyncAuto.getToggleState());
    EXPECT_FALSE (data.toggleButtonSyncPrevious.getToggleState());

    click (content.textButtonOk);
    EXPECT_EQ (s.onDisk (SettingsKeys::exportFolder), chosen.getFullPathName());
    EXPECT_EQ (s.onDisk (SettingsKeys::dataSyncMethod), "manual");

    // A stored text that is not a folder at all shows the documents folder too.
    setSetting (SettingsKeys::exportFolder, "not a path");
    EXPECT_EQ (DataOptionsComp::getInitialExportFolder(), documents());
}

TEST (OptionsDialog, ClearDeviceHistoryFollowsTheAnswerAndMoreInfoOpensTheWebSite)
{
    SettingsHome s;
    RecordingDialogService boxes;
    OptionsContent content;
    auto& devices = content.getDevicesPage();

    boxes.answerWith ({ 0, 1 });   // Yes, then No
    click (devices.textButtonClearDeviceHistory);
    EXPECT_TRUE (devices.isClearHistoryRequested());
    click (devices.textButtonClearDeviceHistory);
    EXPECT_FALSE (devices.isClearHistoryRequested());

    ASSERT_EQ (boxes.boxes.size(), 2u);
    EXPECT_EQ (boxes.boxes[0].title, "Reset Device History");
    EXPECT_EQ (boxes.boxes[0].message, "Are you sure you want to reset the connection history?");
    EXPECT_EQ (boxes.boxes[0].buttons, (juce::StringArray { "Yes", "No" }));
    EXPECT_EQ (boxes.boxes[0].icon, DialogService::Icon::question);

    click (content.getGeneralPage().textButtonMoreInfo);
    ASSERT_EQ (boxes.openedUrls.size(), 1u);
    EXPECT_TRUE (boxes.openedUrls[0].startsWith ("https://"));
}

TEST (OptionsDialog, PagesPaintOnThePanelColourBelowFlatSelectedTab)
{
    SettingsHome s;
    OptionsContent content;
    auto image = content.createComponentSnapshot (content.getLocalBounds(), true, 1.0f);

    // The buttons' strip is the content's own colour, the page area the panel colour.
    const auto& ok = content.textButtonOk.getBounds();
    EXPECT_EQ (image.getPixelAt (ok.getX() - 3, ok.getCentreY()).getARGB(), paletteColour063.getARGB());
    const auto pageArea = content.tabbedComponent.getBounds();
    EXPECT_EQ (image.getPixelAt (pageArea.getRight() - 3, pageArea.getBottom() - 3).getARGB(), paletteColour090.getARGB());

    // The selected tab is flat; an unselected one keeps its light gradient.
    auto& bar = content.tabbedComponent.getTabbedButtonBar();
    const auto selected = bar.getTabButton (0)->getBounds() + pageArea.getPosition();
    EXPECT_EQ (image.getPixelAt (selected.getX() + 4, selected.getY() + 3).getARGB(), paletteColour090.getARGB());
    EXPECT_EQ (image.getPixelAt (selected.getX() + 4, selected.getBottom() - 4).getARGB(), paletteColour090.getARGB());
    const auto other = bar.getTabButton (1)->getBounds() + pageArea.getPosition();
    EXPECT_NE (image.getPixelAt (other.getX() + 4, other.getY() + 3).getARGB(),
               image.getPixelAt (other.getX() + 4, other.getBottom() - 4).getARGB());
}

TEST (OptionsDialog, ProgramDialogsReportWhatTheUserDid)
{
    SettingsHome s;
    RecordingDialogService boxes;
    ProgramDialogs dialogs;
    juce::Component owner;

    EXPECT_TRUE (dialogs.isAvailable (ContentDialogs::Kind::options));
    EXPECT_TRUE (dialogs.isAvailable (ContentDialogs::Kind::midiDevices));
    EXPECT_TRUE (dialogs.isAvailable (ContentDialogs::Kind::firmwareChooser));
    EXPECT_TRUE (dialogs.isAvailable (ContentDialogs::Kind::about));
    dialogs.runAboutBox (owner);
    EXPECT_EQ (boxes.dialogTitles, juce::StringArray ("About Larkspire"));
    boxes.dialogTitles.clear();

    // Closed without "Ok" (the window's close button): nothing stored, nothing to do.
    boxes.onDialog = [] (juce::Component& content)
    {
        dynamic_cast<OptionsContent&> (content).getGeneralPage().sliderResolution.setValue (150.0, juce::sendNotificationSync);
        return 0;
    };
    auto result = dialogs.runOptionsDialog (owner);
    EXPECT_FALSE (result.accepted);
    EXPECT_EQ (s.onDisk (SettingsKeys::uiScalingFactor), "<missing>");

    boxes.answerWith ({ 0 });   // Yes to the history question
    boxes.onDialog = [] (juce::Component& c)
    {
        auto& content = dynamic_cast<OptionsContent&> (c);
        click (content.textButtonRestoreDefaults);
        click (content.getDevicesPage().textButtonClearDeviceHistory);
        content.getGeneralPage().sliderResolution.setValue (125.0, juce::sendNotificationSync);
        click (content.textButtonOk);
        return content.getResult();
    };
    result = dialogs.runOptionsDialog (owner);
    EXPECT_TRUE (result.accepted);
    EXPECT_TRUE (result.clearDeviceHistory);
    EXPECT_TRUE (result.restoreDefaults);
    EXPECT_TRUE (result.restartNeeded);
    EXPECT_EQ (s.onDisk (SettingsKeys::uiScalingFactor), "1.25");
    EXPECT_EQ (boxes.dialogTitles, (juce::StringArray { "Options", "Options" }));
}

TEST (OptionsDialog, OptionsCommandOfTheMainComponentActsOnTheResult)
{
    ContentComponentWorld w ([] (RecordingParts& parts) { parts.makeDialogs = [] { return std::make_unique<ProgramDialogs>(); }; });
    setSetting (SettingsKeys::presetCellButtonScale, 1.7);
    setPresetButtonViewType (0);

    w.boxes.answerWith ({ 1, 0 });   // No to the history question, then OK to the restart notice
    w.boxes.onDialog = [] (juce::Component& c)
    {
        auto& content = dynamic_cast<OptionsContent&> (c);
        click (content.getDevicesPage().textButtonClearDeviceHistory);
        content.getGeneralPage().sliderResolution.setValue (200.0, juce::sendNotificationSync);
        click (content.textButtonOk);
        return content.getResult();
    };
    ASSERT_TRUE (w.component().invokeDirectly (0x31000, false));

    EXPECT_EQ (w.boxes.titles(), (juce::StringArray { "Reset Device History", "Restart Larkspire" }));
    EXPECT_EQ (w.boxes.boxes.back().message, "Please restart Larkspire to have the changes take effect.");
    EXPECT_FLOAT_EQ (getUiScalingFactor(), 2.0f);
    // No history clearing after "No"; no defaults restored; the options-closed message goes out.
    pumpUntil ([&] { return ! w.devices.content.host.eventsWithCode (InfoCode::optionsClosed).empty(); }, 10000);
    EXPECT_EQ (w.devices.content.host.eventsWithCode (InfoCode::optionsClosed).size(), 1u);
    EXPECT_TRUE (w.devices.content.host.eventsWithCode (InfoCode::removeKnownUnit).empty());
    EXPECT_EQ (getSettingDouble (SettingsKeys::presetCellButtonScale, 0.0), 1.7);
    EXPECT_EQ (getPresetButtonViewType(), 0);
}
