#include <gtest/gtest.h>
#include "content/ContentManager.h"
#include "content/ContentTypes.h"
#include "core/InfoCodes.h"
#include "core/Settings.h"
#include "device/DeviceObject.h"
#include "device/VirtualMidiPortLayer.h"
#include "archive/LocalArchiveManager.h"
#include "ui/AppCommandIds.h"
#include "ui/CommandManager.h"
#include "support/ContentComponentWorld.h"
#include "support/FirmwareUpdateRig.h"
#include "ui/ContentMessagesSupport.h"

using namespace testing_support;
using Icon = DialogService::Icon;

namespace
{
    // A port layer on which the input ports named `refused` cannot be opened (held elsewhere).
    class BusyPortLayer : public VirtualMidiPortLayer
    {
    public:
        explicit BusyPortLayer (const juce::String& refusedName) : refused (refusedName) {}
        std::unique_ptr<MidiInputPort> openInput (const MidiPortId& port, juce::MidiInputCallback& callback) override
        {
            if (port.name == refused)
                return {};
            return VirtualMidiPortLayer::openInput (port, callback);
        }
        juce::String refused;
    };
}

//==============================================================================
TEST (ContentMessages, TheStartUpScanThatFindsNothingShowsNoBox)
{
    ContentComponentWorld w;
    w.devices.content.host.applicationState = 1;   // the program is starting
    w.devices.addPorts ("Keyboard", "Keyboard");

    ASSERT_TRUE (w.scan());
    EXPECT_TRUE (w.boxes.boxes.empty());
    EXPECT_EQ (w.devices.content.host.getApplicationState(), 0);
    EXPECT_EQ (w.changes.states(), (std::vector<int> { 2, 0 }));

    // A scan the user starts later says what it found.
    ASSERT_TRUE (w.scan());
    ASSERT_EQ (w.boxes.boxes.size(), 1u);
    EXPECT_EQ (w.boxes.boxes[0].title, "Device Scan");
    EXPECT_EQ (w.boxes.boxes[0].icon, Icon::warning);
    EXPECT_EQ (w.boxes.boxes[0].buttons, juce::StringArray ({ "Ok", "More Info..." }));
    EXPECT_EQ (w.boxes.boxes[0].message, "No Ardentis devices were found.\n\nIf your device is properly connected and functioning normally try repeating the scan and/or restarting your device.\n\nFor more information on diagnosing connection problems click the 'More Info' button.");
    EXPECT_TRUE (w.boxes.openedUrls.empty());
}

TEST (ContentMessages, ScanResultBoxesSayWhatWasFound)
{
    {
        ContentComponentWorld w;
        w.boxes.answerWith ({ 1 });   // "More Info..."
        ASSERT_TRUE (w.scan());
        ASSERT_EQ (w.boxes.boxes.size(), 1u);
        EXPECT_EQ (w.boxes.boxes[0].title, "Device Scan");
        EXPECT_EQ (w.boxes.boxes[0].message, "There are no MIDI capable devices available to Larkspire. Make sure your device is turned on and properly connected.\n\nFor more information on diagnosing connection problems click the 'More Info' button.");
        ASSERT_EQ (w.boxes.openedUrls.size(), 1u);
        EXPECT_EQ (w.boxes.openedUrls[0], getContentManager()->getConnectionFaqLink());
        EXPECT_EQ (w.devices.content.host.getApplicationState(), 0);

        // A scan that did not end in time.
        w.deliver (info (InfoCode::scanFinished, 0));
        ASSERT_EQ (w.boxes.boxes.size(), 2u);
        EXPECT_EQ (w.boxes.boxes[1].title, "Device Scan Failed");
        EXPECT_EQ (w.boxes.boxes[1].message, "One or more MIDI devices have stopped responding. Please restart both Larkspire and your MIDI devices.");
    }
    {
        // A unit's port that another program holds, and a plain port that cannot be opened.
        ContentComponentWorld w;
        auto busy = std::make_shared<BusyPortLayer> ("Merle MIDI");
        auto unit = std::make_shared<SimulatedUnit> (DeviceWorld::profileOf (DeviceWorld::merle, 140), SimulatedUnit::Identity(), "Merle MIDI");
        busy->addDevice (unit);
        setDeviceManager (new DeviceManager (&w.component(), busy));
        getDeviceManager()->startThread();

        ASSERT_TRUE (w.scan());
        ASSERT_EQ (w.boxes.boxes.size(), 1u);
        EXPECT_EQ (w.boxes.boxes[0].title, "Device In Use");
        EXPECT_EQ (w.boxes.boxes[0].message, "Merle MIDI is being used by another application.\n\nNote: some applications (such as Google Chrome) automatically open MIDI devices. Larkspire will not be able to gain access until you close the application using your device.\n\nFor more information on diagnosing connection problems click the 'More Info' button.");

        busy->refused = "Keyboard";
        busy->removeDevice (unit);
        busy->addDevice (std::make_shared<VirtualMidiDevice> ("Keyboard", "Keyboard"));
        ASSERT_TRUE (w.scan());
        ASSERT_EQ (w.boxes.boxes.size(), 2u);
        EXPECT_EQ (w.boxes.boxes[1].title, "Device Scan");
        EXPECT_EQ (w.boxes.boxes[1].message, "No Ardentis devices were found.\n\nNote: MIDI device(s) have been detected on your system but they are not available to Larkspire. The most likely cause is that a different application is using the device.\n\nFor more information on diagnosing connection problems click the 'More Info' button.");
    }
}

TEST (ContentMessages, AUnitWhoseProfileIsRefusedIsToldOnceAndNotConnected)
{
    ContentComponentWorld w;
    // The stored profile of the newer Merle builds claims more presets than a data file holds.
    const auto caps = w.devices.content.productFolder ("Merle").getChildFile ("caps.xml");
    const auto text = caps.loadFileAsString();
    ASSERT_TRUE (caps.replaceWithText (text.replace ("setupPacketSize=\"56\"", "setupPacketSize=\"56\" numPresets=\"20000\"")));
    ASSERT_NE (getContentManager()->loadContent (DeviceWorld::merle, ContentType::caps, true), nullptr);
    addUnit (w, DeviceWorld::merle, 140, 4444);

    ASSERT_TRUE (w.scan());
    ASSERT_TRUE (pumpUntil ([&] { return ! w.boxes.boxes.empty(); }));
    EXPECT_EQ (w.boxes.boxes[0].title, "Device Not Supported");
    EXPECT_EQ (w.boxes.boxes[0].icon, Icon::warning);
    EXPECT_EQ (w.boxes.boxes[0].message, "Merle: the capability profile of builds 130 to 140 cannot be used: numPresets is 20000, "
                                         "above the limit of 16384, which the data file cannot hold.\n\nLarkspire does not use this device.");
    EXPECT_FALSE (isUnitConnected());

    // Every scan finds the unit again; the reason is told once.
    ASSERT_TRUE (w.scan());
    pumpFor (300);
    EXPECT_EQ (w.boxes.boxes.size(), 1u);
    EXPECT_FALSE (isUnitConnected());
}

TEST (ContentMessages, TheScanConnectsTheLastUnitElseTheFirstUsableOne)
{
    {
        ContentComponentWorld w;
        addUnit (w, DeviceWorld::merle, 140, 1111);
        addUnit (w, DeviceWorld::merleXT, 100, 2222);
        setSetting (SettingsKeys::lastConnectedDevice, 2222);
        ASSERT_TRUE (w.scan());
        ASSERT_TRUE (isUnitConnected());
        EXPECT_EQ (w.manager().getSerialNumber (-1), 2222);
        EXPECT_TRUE (w.boxes.boxes.empty());
        EXPECT_EQ (w.changes.states(), (std::vector<int> { 2, 0 }));
        // The connection came before the return to idle.
        const auto connected = w.changes.events (InfoCode::unitConnection);
        ASSERT_FALSE (connected.empty());
        EXPECT_EQ (connected.back().p1, 1);
    }
    {
        ContentComponentWorld w;
        addUnit (w, DeviceWorld::merle, 140, 1111);
        addUnit (w, DeviceWorld::merleXT, 100, 2222);
        setSetting (SettingsKeys::lastConnectedDevice, 9999);
        ASSERT_TRUE (w.scan());
        ASSERT_TRUE (isUnitConnected());
        EXPECT_EQ (w.manager().getCurrentIndex(), 0);
        EXPECT_EQ (getSettingInt (SettingsKeys::lastConnectedDevice, 0), w.manager().getSerialNumber (-1));
    }
    {
        ContentComponentWorld w;
        addUnit (w, DeviceWorld::merle, 140, 1111);
        setSetting (SettingsKeys::autoConnectAtStartup, false);
        ASSERT_TRUE (w.scan());
        EXPECT_FALSE (isUnitConnected());
        EXPECT_TRUE (w.boxes.boxes.empty());   // a unit was found: no box
    }
}

TEST (ContentMessages, ConnectingTellsTheStatusBarAndTheListenersAndOpensThePresets)
{
    ContentComponentWorld w;
    auto& c = w.component();
    addUnit (w, DeviceWorld::merle, 140, 3333);
    setSetting (SettingsKeys::autoConnectAtStartup, false);
    ASSERT_TRUE (w.scan());
    w.changes.clear();

    // The status bar hears of the connection before the listeners do.
    bool barShowedItFirst = false;
    w.changes.onChange = [&] (const ChangeInfo& i)
    {
        if (i.kind == 3 && i.event.code == InfoCode::unitConnection && i.event.p1 == 1)
            barShowedItFirst = c.getStatusBar().isShowingConnected();
    };
    ASSERT_TRUE (c.connectToDevice (0));
    EXPECT_TRUE (barShowedItFirst);
    EXPECT_EQ (getSettingInt (SettingsKeys::lastConnectedDevice, 0), 3333);
    const auto connected = w.changes.events (InfoCode::unitConnection);
    ASSERT_EQ (connected.size(), 1u);
    EXPECT_EQ (connected[0].p1, 1);
    EXPECT_EQ (connected[0].p2, 0);
    EXPECT_TRUE (c.getTabs().getTabbedButtonBar().getTabButton (c.getPresetsTabIndex())->isEnabled());
    EXPECT_TRUE (w.parts.dataPage->page.isEnabled());
    EXPECT_TRUE (w.boxes.boxes.empty());
    EXPECT_TRUE (c.getStatusBar().getDeviceLabel().getText().startsWith ("Merle"));

    // A double click on the connected unit shows its presets.
    w.deliver (info (InfoCode::showPresetsTab));
    EXPECT_EQ (c.getTabs().getCurrentTabIndex(), c.getPresetsTabIndex());

    // Disconnecting: the unit closes, the pages fall back to the devices.
    w.changes.clear();
    EXPECT_TRUE (c.invokeDirectly (AppCommand::disconnectDevice, false));
    EXPECT_FALSE (isUnitConnected());
    EXPECT_EQ (c.getTabs().getCurrentTabIndex(), c.getDevicesTabIndex());
    EXPECT_FALSE (c.getTabs().getTabbedButtonBar().getTabButton (c.getPresetsTabIndex())->isEnabled());
    EXPECT_FALSE (w.parts.dataPage->page.isEnabled());
    ASSERT_EQ (w.changes.events (InfoCode::unitConnection).size(), 1u);
    EXPECT_EQ (w.changes.events (InfoCode::unitConnection)[0].p1, 0);
    EXPECT_EQ (c.getStatusBar().getDeviceLabel().getText(), "Nothing Connected");

    // The presets tab is not shown while the data page is disabled.
    w.deliver (info (InfoCode::showPresetsTab));
    EXPECT_EQ (c.getTabs().getCurrentTabIndex(), c.getDevicesTabIndex());

    // Connecting the port the user picked on the device page.
    w.parts.devicePage->toggledPort = 0;
    EXPECT_TRUE (c.invokeDirectly (AppCommand::connectSelectedDevice, false));
    EXPECT_TRUE (isUnitConnected());
}

TEST (ContentMessages, AUnitWithAnInvalidBuildIsWarnedAbout)
{
    ContentComponentWorld w;
    auto& c = w.component();
    setSetting (SettingsKeys::autoConnectAtStartup, false);

    // Builds below 110 of this product are declared invalid.
    const auto caps = w.devices.content.productFolder ("Merle").getChildFile ("caps.xml");
    ASSERT_TRUE (caps.existsAsFile());
    auto text = caps.loadFileAsString();
    ASSERT_TRUE (text.contains ("<features presetVersion=\"1\" setupVersion=\"1\"/>"));
    caps.replaceWithText (text.replace ("<features presetVersion=\"1\" setupVersion=\"1\"/>",
                                        "<features presetVersion=\"1\" setupVersion=\"1\" isBuildValid=\"0\"/>"));
    getContentManager()->loadContent (DeviceWorld::merle, ContentType::caps, true);

    addUnit (w, DeviceWorld::merle, 100, 5555);
    ASSERT_TRUE (w.scan());
    ASSERT_TRUE (c.connectToDevice (0));
    const auto name = w.manager().getDeviceDisplayName();
    ASSERT_EQ (w.boxes.boxes.size(), 1u);
    EXPECT_EQ (w.boxes.boxes[0].title, "Firmware Version");
    EXPECT_EQ (w.boxes.boxes[0].icon, Icon::warning);
    EXPECT_EQ (w.boxes.boxes[0].message, "The firmware currently running on " + name
               + " must be updated. Please do so as soon as possible. Preset management is not available.");
    EXPECT_FALSE (c.getTabs().getTabbedButtonBar().getTabButton (c.getPresetsTabIndex())->isEnabled());
    EXPECT_FALSE (w.parts.dataPage->page.isEnabled());
}

TEST (ContentMessages, ANewerFirmwareIsOfferedOncePerUnit)
{
    ContentComponentWorld w;
    auto& c = w.component();
    setSetting (SettingsKeys::autoConnectAtStartup, false);
    addUnit (w, DeviceWorld::merle, 120, 6666);
    ASSERT_TRUE (w.scan());
    w.installFirmware (DeviceWorld::merle, "Merle");
    ASSERT_TRUE (getContentManager()->isFirmwareUpdateAvailable (DeviceWorld::merle, 120));
    w.trackUsage();

    w.boxes.answerWith ({ 2 });   // "No"
    ASSERT_TRUE (c.connectToDevice (0));
    const auto name = w.manager().getDeviceDisplayName();
    ASSERT_EQ (w.boxes.boxes.size(), 1u);
    const auto& box = w.boxes.boxes[0];
    EXPECT_EQ (box.title, "New Firmware Available");
    EXPECT_EQ (box.icon, Icon::question);
    EXPECT_EQ (box.buttons, juce::StringArray ({ "Show Details...", "Yes", "No" }));
    EXPECT_EQ (box.message, "There is a new version of firmware available for " + name + ". Do you want to update now?\n\rWARNING:  Do not stop the update once it starts. Halting the transfer or turning off "
               + name + " before it completes could result in data loss or an inoperative device. " + name + " will restart on its own after the update is complete.");
    EXPECT_EQ (w.changes.events (InfoCode::unitConnection).back().p2, 0);
    // The declined offer of the latest build goes out as a usage event.
    const auto offers = w.waitForUsageEvents ("db_device_update.php", 1);
    ASSERT_EQ (offers.size(), 1);
    EXPECT_TRUE (offers[0].contains ("start_build=120&target_build="
                                     + juce::String (getContentManager()->getLatestFirmware (DeviceWorld::merle).getBuild())
                                     + "&exit_code=0&description_read=0")) << offers[0];

    // The same unit again: no second offer.
    c.connectToDevice (-1);
    ASSERT_TRUE (c.connectToDevice (0));
    EXPECT_EQ (w.boxes.boxes.size(), 1u);
}

TEST (ContentMessages, ShowDetailsOpensTheFirmwareChooser)
{
    ScopedFirmwareUpdateTimings timings { ScopedFirmwareUpdateTimings::fast() };
    ContentComponentWorld w;
    auto& c = w.component();
    setSetting (SettingsKeys::autoConnectAtStartup, false);
    addUnit (w, DeviceWorld::merle, 120, 6666);
    ASSERT_TRUE (w.scan());
    w.installFirmware (DeviceWorld::merle, "Merle");
    w.trackUsage();

    // "Show Details...", and the latest build chosen in the list: the update runs.
    w.parts.dialogs->chooseUpdate = true;
    w.parts.dialogs->updateToChoose = getContentManager()->getLatestFirmware (DeviceWorld::merle);
    w.boxes.answerWith ({ 0 });
    ASSERT_TRUE (c.connectToDevice (0));
    ASSERT_EQ (w.parts.dialogs->chooserCalls.size(), 1u);
    EXPECT_EQ (w.parts.dialogs->chooserCalls[0].first, DeviceWorld::merle);

    // Its usage event says that the list was opened for the unit.
    ASSERT_TRUE (pumpUntil ([&] { return w.changes.countEvents (InfoCode::firmwareUpdateEnded) > 0; }, 120000));
    const auto updates = w.waitForUsageEvents ("db_device_update.php", 1);
    ASSERT_EQ (updates.size(), 1);
    EXPECT_TRUE (updates[0].contains ("&description_read=1")) << updates[0];
}

TEST (ContentMessages, AnOfferWaitsWhileAQuestionOrAnUpdateIsOpen)
{
    ContentComponentWorld w;
    auto& c = w.component();
    setSetting (SettingsKeys::autoConnectAtStartup, false);
    addUnit (w, DeviceWorld::merle, 120, 6666);
    ASSERT_TRUE (w.scan());
    w.installFirmware (DeviceWorld::merle, "Merle");

    // The unit connects while the mismatched-backup question is up: no firmware box on top.
    w.boxes.onBox = [&] (const RecordingDialogService::Box& b)
    {
        if (b.title == "Mismatched Backup Data Found")
            c.connectToDevice (0);
    };
    w.deliver (info (InfoCode::mismatchedBackupData, 0, 0, "Convert your backups?"));
    w.boxes.onBox = nullptr;
    EXPECT_EQ (w.boxes.titles(), juce::StringArray ({ "Mismatched Backup Data Found" }));
    EXPECT_EQ (w.boxes.boxes[0].message, "Convert your backups?");
    EXPECT_TRUE (isUnitConnected());

    // The offer was not used up: the next connection makes it.
    ASSERT_TRUE (c.connectToDevice (-1));
    w.boxes.answerWith ({ 2 });   // "No"
    ASSERT_TRUE (c.connectToDevice (0));
    EXPECT_EQ (w.boxes.titles(), juce::StringArray ({ "Mismatched Backup Data Found", "New Firmware Available" }));
}

TEST (ContentMessages, TheBackupQuestionStartsTheConversionOnYes)
{
    ContentComponentWorld w;
    auto& c = w.component();
    addUnit (w, DeviceWorld::merle, 140, 4242);
    ASSERT_TRUE (w.scan());

    LocalArchiveManager archive (w.manager().getDeviceData()->getFormat(), w.manager().getDeviceDisplayName());
    archive.loadIndex();
    if (! archive.hasIndex())
    {
        archive.saveIndex();
        archive.loadIndex();
    }
    ASSERT_TRUE (archive.hasIndex());
    w.parts.dataPage->archive = &archive;

    w.boxes.answerWith ({ 1 });   // "No"
    w.deliver (info (InfoCode::mismatchedBackupData, 0, 0, "Convert 2 backups?"));
    EXPECT_FALSE (archive.isConversionRunning());
    pumpFor (50);
    EXPECT_TRUE (w.devices.content.host.eventsWithCode (InfoCode::backupConversionFinished).empty());

    w.deliver (info (InfoCode::mismatchedBackupData, 0, 0, "Convert 2 backups?"));
    ASSERT_EQ (w.boxes.boxes.size(), 2u);
    EXPECT_EQ (w.boxes.boxes[1].icon, Icon::question);
    EXPECT_EQ (w.boxes.boxes[1].buttons, juce::StringArray ({ "Yes", "No" }));
    // The conversion ran (nothing to convert here) and reported its end to the hub.
    EXPECT_TRUE (pumpUntil ([&] { return ! w.devices.content.host.eventsWithCode (InfoCode::backupConversionFinished).empty(); }));
    EXPECT_TRUE (pumpUntil ([&] { return ! archive.isConversionRunning(); }));
    juce::ignoreUnused (c);
}
