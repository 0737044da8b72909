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

using namespace testing_support;
using Icon = DialogService::Icon;

namespace
{
    DeviceInfoMessage info (int code, int p1 = 0, int p2 = 0, const juce::String& text = {})
    {
        return DeviceInfoMessage (code, p1, p2, text);
    }

    void addUnit (ContentComponentWorld& w, juce::uint8 product, int build, int serial)
    {
        w.devices.addUnit (product, build, serial, product == DeviceWorld::piper);
    }

    struct Listener : LarkspireChangeListener
    {
        Listener (juce::StringArray& log, const juce::String& name) : calls (log), id (name) {}
        void changeInfoCallback (const ChangeInfo&) override
        {
            calls.add (id);
            if (onCall)
                onCall();
        }
        juce::StringArray& calls;
        juce::String id;
        std::function<void()> onCall;
    };

    // A port layer on which the input ports named `refused` cannot be opened (held elsewhere).
    class BusyPortLayer : public VirtualMidiPortLayer
    {
    public:
        explicit BusyPortLayer (const juce::String& refusedName) : refused (refusedName) {}
        std::unique_ptr<MidiInputPort> openInput (int index, juce::MidiInputCallback& callback) override
        {
            if (getInputNames()[index] == refused)
                return {};
            return VirtualMidiPortLayer::openInput (index, callback);
        }
        juce::String refused;
    };
}

//==============================================================================
TEST (ContentMessages, ListenersAreCalledFromTheLastToTheFirstAndMayLeaveDuringTheCall)
{
    ContentComponentWorld w ([] (RecordingParts& p) { p.withDataPage = false; p.withDevicePage = false; });
    auto& c = w.component();
    c.removeChangeListener (&w.changes);

    juce::StringArray calls;
    Listener a (calls, "a"), b (calls, "b"), d (calls, "d");
    c.addChangeListener (&a);
    c.addChangeListener (&b);
    c.addChangeListener (&d);
    c.addChangeListener (&d);   // once only
    c.addChangeListener (nullptr);
    ASSERT_EQ (c.getChangeListeners().size(), 4);   // the status bar first

    c.sendChangeInfo (*ChangeInfo::command (1));
    EXPECT_EQ (calls, juce::StringArray ({ "d", "b", "a" }));

    // d removes itself and b while it is called: a is still reached, b is not.
    calls.clear();
    d.onCall = [&] { c.removeChangeListener (&d); c.removeChangeListener (&b); };
    c.sendChangeInfo (*ChangeInfo::command (2));
    EXPECT_EQ (calls, juce::StringArray ({ "d", "a" }));
}

TEST (ContentMessages, EveryMessageIsBroadcastBeforeItIsActedOn)
{
    ContentComponentWorld w;
    auto& c = w.component();

    bool boxShownAtBroadcast = true;
    w.changes.onChange = [&] (const ChangeInfo& i)
    {
        if (i.kind == 3 && i.event.code == InfoCode::backupConversionFinished)
            boxShownAtBroadcast = ! w.boxes.boxes.empty();
    };
    DeviceInfoMessage m (InfoCode::backupConversionFinished, 1, 0, "text");
    m.command = DeviceCommandMessage (DeviceCommand::readAll, { 1, 2 });
    c.postMessage (new DeviceInfoMessage (m));
    c.postMessage (new juce::Message());   // not a DeviceInfoMessage: ignored
    ASSERT_TRUE (w.waitForEvents (InfoCode::backupConversionFinished, 1));
    pumpFor (20);

    EXPECT_FALSE (boxShownAtBroadcast);
    const auto seen = w.changes.events (InfoCode::backupConversionFinished)[0];
    EXPECT_EQ (seen.p1, 1);
    EXPECT_EQ (seen.text, "text");
    EXPECT_EQ (seen.commandCode, DeviceCommand::readAll);
    EXPECT_EQ (seen.slots, juce::Array<int> ({ 1, 2 }));
    // The pages saw it too.
    EXPECT_EQ (w.parts.dataPage->countEvents (InfoCode::backupConversionFinished), 1);
    EXPECT_EQ (w.parts.devicePage->countEvents (InfoCode::backupConversionFinished), 1);
    EXPECT_EQ (w.changes.seen.size(), 1u);
}

TEST (ContentMessages, DeviceStateChangesAreStoredAndBroadcastOnce)
{
    ContentComponentWorld w;
    auto& c = w.component();
    auto& host = w.devices.content.host;

    c.setDeviceState (2);
    c.setDeviceState (2);
    EXPECT_EQ (host.getApplicationState(), 2);
    ASSERT_EQ (w.changes.ofKind (1).size(), 1u);
    EXPECT_EQ (w.changes.ofKind (1)[0].newValue, 2);
    EXPECT_EQ (w.changes.ofKind (1)[0].oldValue, 0);

    // Back to idle: the status bar goes idle, unless content is being downloaded.
    c.getStatusBar().setStatus (true, {}, "x", 0.5);
    c.setDeviceState (0);
    EXPECT_FALSE (c.getStatusBar().getProgressBar().isVisible());

    w.deliver (info (InfoCode::productSyncStarted, 17, 0, "Merle"));
    c.setDeviceState (3);
    c.setDeviceState (0);
    EXPECT_TRUE (c.getStatusBar().getProgressBar().isVisible());
    EXPECT_EQ (w.changes.states(), (std::vector<int> { 2, 0, 3, 0 }));
}

TEST (ContentMessages, StartUpDoneOfflineWarnsAndStartsTheIndicators)
{
    ContentComponentWorld w;
    auto& c = w.component();
    EXPECT_FALSE (c.getStatusBar().isTimerRunning());

    w.deliver (info (InfoCode::startUpDone));
    EXPECT_FALSE (c.getSignInButton().isEnabled());
    ASSERT_EQ (w.boxes.boxes.size(), 1u);
    EXPECT_EQ (w.boxes.boxes[0].icon, Icon::warning);
    EXPECT_EQ (w.boxes.boxes[0].title, "No Internet Connection");
    EXPECT_EQ (w.boxes.boxes[0].message, "Larkspire is unable to establish an internet connection with the Ardentis server. Product updates, account details, online presets, and manuals will not be available. This may also disrupt connectivity with your Ardentis product(s). An internet connection must be available the first time you connect a new product to your system.");
    EXPECT_EQ (w.boxes.boxes[0].associated, &c);
    EXPECT_TRUE (c.getStatusBar().isTimerRunning());
    EXPECT_EQ (c.getStatusBar().getTimerInterval(), 100);
}

TEST (ContentMessages, StartUpDoneOnlineBindsSignInAndOffersTheNewProgram)
{
    ContentWorld world;
    editServedFile (world.servedContent().getChildFile ("masterDescriptor.xml"),
                    "<latestBuildNo>139</latestBuildNo>\n    <latestBuildInfo></latestBuildInfo>\n    <updateUrlPc></updateUrlPc>",
                    "<latestBuildNo>150</latestBuildNo>\n    <latestBuildInfo>Version 1.2 build 150</latestBuildInfo>\n    <updateUrlPc>https://www.ardentis.example/get</updateUrlPc>");
    world.installSampleContent();
    configureApplicationProperties();
    setContentManager (newFetchedContentManager());
    ASSERT_TRUE (getContentManager()->isOnline());
    {
        RecordingDialogService boxes;
        RecordingParts parts;
        LarkspireContentComponent c (parts);

        boxes.answerWith ({ 1 });   // "No": keep running
        c.handleMessage (info (InfoCode::startUpDone));
        ASSERT_EQ (boxes.boxes.size(), 1u);
        EXPECT_EQ (boxes.boxes[0].title, "Larkspire Update!");
        EXPECT_EQ (boxes.boxes[0].message, "A new version of Larkspire is available. \n\nVersion 1.2 build 150\n\nWould you like to quit Larkspire and download the new update?");
        EXPECT_EQ (boxes.boxes[0].buttons, juce::StringArray ({ "Yes", "No" }));
        EXPECT_TRUE (boxes.openedUrls.empty());
        EXPECT_EQ (c.getSignInButton().getCommandID(), AppCommand::signIn);
        EXPECT_TRUE (c.getStatusBar().isTimerRunning());

        // "Yes" opens the download page (there is no application here to quit).
        c.handleMessage (info (InfoCode::startUpDone));
        ASSERT_EQ (boxes.openedUrls.size(), 1u);
        EXPECT_EQ (boxes.openedUrls[0], "https://www.ardentis.example/get");
    }
    setCommandManager (nullptr);
    setContentManager (nullptr);
    deleteApplicationProperties();
}

TEST (ContentMessages, ContentSynchronisationShowsInTheStatusBar)
{
    ContentComponentWorld w;
    auto& c = w.component();
    auto& bar = c.getStatusBar();

    w.deliver (info (InfoCode::contentStatusText, 0, 0, "Checking for updates"));
    EXPECT_EQ (bar.getMessage(), "Checking for updates");
    EXPECT_EQ (bar.getProgressValue(), 1.0);

    w.deliver (info (InfoCode::productSyncStarted, 17, 0, "Merle"));
    EXPECT_TRUE (bar.getTitleLabel().isVisible());
    EXPECT_EQ (bar.getTitleLabel().getText(), "Downloading");
    EXPECT_EQ (bar.getMessage(), "Merle");
    // The device going idle meanwhile leaves the download in the status bar.
    c.setDeviceState (3);
    c.setDeviceState (0);
    EXPECT_TRUE (bar.getProgressBar().isVisible());
    EXPECT_EQ (bar.getMessage(), "Merle");

    w.deliver (info (InfoCode::productSyncSucceeded, 17));
    EXPECT_FALSE (bar.getProgressBar().isVisible());

    // A failure: one box, even when another failure arrives while it is up.
    w.boxes.onBox = [&] (const RecordingDialogService::Box&) { w.deliver (info (InfoCode::productSyncFailed, 18, 0, "Merle XT")); };
    w.deliver (info (InfoCode::productSyncStarted, 17, 0, "Merle"));
    w.deliver (info (InfoCode::productSyncFailed, 17, 0, "Merle"));
    w.boxes.onBox = nullptr;
    ASSERT_EQ (w.boxes.boxes.size(), 1u);
    EXPECT_EQ (w.boxes.boxes[0].title, "Download Failed");
    EXPECT_EQ (w.boxes.boxes[0].message, "Larkspire was unable to synchronize content for Merle. Please restart Larkspire. If the error persists, please contact Ardo Support.");
    EXPECT_FALSE (bar.getProgressBar().isVisible());

    // The guard is down again once the box is closed.
    w.deliver (info (InfoCode::productSyncFailed, 12, 0, "Piper"));
    EXPECT_EQ (w.boxes.boxes.size(), 2u);
}

TEST (ContentMessages, TransferProgressTextsAndSteps)
{
    ContentComponentWorld w;
    auto& c = w.component();
    auto& bar = c.getStatusBar();
    bar.setStatus (true, {}, {}, 0.0);
    bar.setSteps (100);

    struct Case { int code, p1, p2; const char* text; const char* expected; bool error; int steps; };
    const Case cases[] =
    {
        { InfoCode::presetRead, 3, 25, "Soft Choir", "3: Soft Choir", false, 1 },
        { InfoCode::presetEmpty, 4, 25, "", "4: <empty>", false, 1 },
        { InfoCode::presetWritten, 7, 0, "Robot", "7: Robot", false, 1 },
        { InfoCode::presetDeleteSent, 9, 0, "", "Deleting: 9", false, 1 },
        { InfoCode::presetReadAttemptFailed, 4, 2, "", "MIDI transmission error on preset 4  (retry 2)", true, 0 },
        { InfoCode::presetWriteAttemptFailed, 5, 3, "X", "MIDI transmission error on preset 5  (retry 3)", true, 0 },
        { InfoCode::setupReadAttemptFailed, 0, 4, "", "MIDI transmission error on setup data  (retry 4)", true, 0 },
        { InfoCode::setupWriteAttemptFailed, 0, 1, "", "MIDI transmission error on setup data  (retry 1)", true, 0 },
        { InfoCode::unitNeedsTime, 0, 0, "", "Optimizing device storage. Please wait...", false, 0 },
    };

    for (auto& k : cases)
    {
        SCOPED_TRACE (k.expected);
        const int before = bar.getStepsDone();
        w.deliver (info (k.code, k.p1, k.p2, k.text));
        EXPECT_EQ (bar.getMessage(), k.expected);
        EXPECT_EQ (bar.isMessageError(), k.error);
        EXPECT_EQ (bar.getStepsDone() - before, k.steps);
    }
    EXPECT_EQ (bar.getProgressValue(), 1.0);   // set by 0x80011

    // A setup packet counts only when it is the last.
    const int before = bar.getStepsDone();
    w.deliver (info (InfoCode::setupPacketSent, 1, 3));
    w.deliver (info (InfoCode::setupPacketSent, 2, 3));
    EXPECT_EQ (bar.getStepsDone(), before);
    w.deliver (info (InfoCode::setupPacketSent, 3, 3));
    EXPECT_EQ (bar.getStepsDone(), before + 1);

    // Firmware blocks and the stop request leave the status alone.
    const auto message = bar.getMessage();
    for (int code : { InfoCode::firmwareBlockSent, InfoCode::firmwareBlockResent, InfoCode::stopFirmwareUpdate,
                      InfoCode::quitAccepted, InfoCode::removeKnownUnit, InfoCode::optionsClosed })
        w.deliver (info (code, 2, 9, "z"));
    EXPECT_EQ (bar.getMessage(), message);
    EXPECT_EQ (bar.getStepsDone(), before + 1);
    EXPECT_TRUE (w.boxes.boxes.empty());
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

//==============================================================================
TEST (ContentMessages, ALostUnitAsksForAScanUnlessAScanOrUpdateRuns)
{
    ContentComponentWorld w;
    auto& c = w.component();
    auto& host = w.devices.content.host;
    addUnit (w, DeviceWorld::merle, 140, 7777);
    ASSERT_TRUE (w.scan());
    ASSERT_TRUE (isUnitConnected());

    for (int state : { 2, 4 })
    {
        host.applicationState = state;
        w.changes.clear();
        w.deliver (info (InfoCode::connectedUnitLost));
        w.deliver (info (InfoCode::portListsChanged));
        EXPECT_EQ (host.getApplicationState(), state);
        EXPECT_TRUE (w.boxes.boxes.empty());
        EXPECT_EQ (w.changes.seen.size(), 2u);   // the broadcasts only
    }
    host.applicationState = 0;

    // "Later": the unit is let go.
    w.boxes.answerWith ({ 1 });
    w.deliver (info (InfoCode::connectedUnitLost));
    EXPECT_EQ (host.getApplicationState(), 3);
    ASSERT_EQ (w.boxes.boxes.size(), 1u);
    EXPECT_EQ (w.boxes.boxes[0].title, "USB Device Connection Lost");
    EXPECT_EQ (w.boxes.boxes[0].icon, Icon::warning);
    EXPECT_EQ (w.boxes.boxes[0].message, "The MIDI connection to your device has been lost.\nPlease rescan MIDI devices.");
    EXPECT_EQ (w.boxes.boxes[0].buttons, juce::StringArray ({ "Scan Now", "Later" }));
    EXPECT_EQ (w.changes.events (InfoCode::unitConnection).back().p1, 0);
    EXPECT_TRUE (pumpUntil ([] { return ! isUnitConnected(); }));

    // "Scan Now": a scan runs (and connects the unit again).
    host.applicationState = 0;
    const int scans = w.changes.countEvents (InfoCode::scanFinished);
    w.deliver (info (InfoCode::connectedUnitLost));
    ASSERT_TRUE (w.waitForEvents (InfoCode::scanFinished, scans + 1));
    EXPECT_TRUE (pumpUntil ([] { return isUnitConnected(); }));

    // While another modal component is up: no box, the unit is let go.
    juce::Component blocker;
    blocker.setVisible (true);
    blocker.enterModalState (false);
    host.applicationState = 0;
    const auto boxes = w.boxes.boxes.size();
    w.deliver (info (InfoCode::connectedUnitLost));
    EXPECT_EQ (w.boxes.boxes.size(), boxes);
    EXPECT_EQ (host.getApplicationState(), 3);
    blocker.exitModalState (0);
    EXPECT_TRUE (pumpUntil ([] { return ! isUnitConnected(); }));
}

TEST (ContentMessages, APortChangeAdvisesARescan)
{
    ContentComponentWorld w;
    auto& host = w.devices.content.host;
    addUnit (w, DeviceWorld::merle, 140, 8888);
    ASSERT_TRUE (w.scan());
    const auto name = w.manager().getDeviceDisplayName();

    w.deliver (info (InfoCode::portListsChanged));
    EXPECT_EQ (host.getApplicationState(), 3);
    ASSERT_EQ (w.boxes.boxes.size(), 1u);
    EXPECT_EQ (w.boxes.boxes[0].title, "USB Device Change");
    EXPECT_EQ (w.boxes.boxes[0].icon, Icon::info);
    EXPECT_EQ (w.boxes.boxes[0].message, "A MIDI device change has been detected.\nThe connection to " + name
               + " is still open, but you must rescan before switching to a different device.");

    // Nothing connected: the question, and "Scan Now" scans.
    w.manager().closeCurrentDevice();
    setSetting (SettingsKeys::autoConnectAtStartup, false);
    host.applicationState = 0;
    const int scans = w.changes.countEvents (InfoCode::scanFinished);
    w.deliver (info (InfoCode::portListsChanged));
    ASSERT_EQ (w.boxes.boxes.size(), 2u);
    EXPECT_EQ (w.boxes.boxes[1].icon, Icon::question);
    EXPECT_EQ (w.boxes.boxes[1].message, "A MIDI device change has been detected.\nPlease rescan MIDI devices.");
    EXPECT_EQ (w.boxes.boxes[1].buttons, juce::StringArray ({ "Scan Now", "Later" }));
    EXPECT_TRUE (w.waitForEvents (InfoCode::scanFinished, scans + 1));
}

TEST (ContentMessages, CommandEndingsEnableThePagesAndEndTheStatus)
{
    ContentComponentWorld w;
    auto& c = w.component();
    auto& bar = c.getStatusBar();
    auto pagesEnabled = [&] { return w.parts.dataPage->page.isEnabled() && w.parts.devicePage->page.isEnabled(); };

    w.parts.dataPage->page.setEnabled (false);
    w.parts.devicePage->page.setEnabled (false);
    bar.setStatus (true, {}, "x", 0.5);
    w.deliver (DeviceInfoMessage (InfoCode::commandDone, DeviceCommandMessage (DeviceCommand::writePresets, { 1 })));
    EXPECT_TRUE (pagesEnabled());
    EXPECT_TRUE (bar.getProgressBar().isVisible());   // only a read's end sets the status idle
    w.deliver (DeviceInfoMessage (InfoCode::commandDone, DeviceCommandMessage (DeviceCommand::readAll)));
    EXPECT_FALSE (bar.getProgressBar().isVisible());

    // A failure always gives the pages back; a failed transfer ends the status.
    w.parts.dataPage->page.setEnabled (false);
    bar.setStatus (true, {}, "x", 0.5);
    w.deliver (DeviceInfoMessage (InfoCode::commandFailed, DeviceCommandMessage (DeviceCommand::reidentify)));
    EXPECT_TRUE (pagesEnabled());
    EXPECT_TRUE (bar.getProgressBar().isVisible());
    w.deliver (DeviceInfoMessage (InfoCode::commandFailed, DeviceCommandMessage (DeviceCommand::writeSetupFrom)));
    EXPECT_FALSE (bar.getProgressBar().isVisible());

    // A delete that ended with nothing to read back leaves nothing pending: the next ending
    // gives the pages back too.
    w.deliver (DeviceInfoMessage (InfoCode::commandDone, DeviceCommandMessage (DeviceCommand::deletePresets)));
    EXPECT_TRUE (pagesEnabled());
    w.parts.dataPage->page.setEnabled (false);
    w.deliver (DeviceInfoMessage (InfoCode::commandDone, DeviceCommandMessage (DeviceCommand::writePresets, { 1 })));
    EXPECT_TRUE (pagesEnabled());
}

//==============================================================================
TEST (ContentMessages, QuittingOrClosingTheUnitWithUnsavedEditsAsksFirst)
{
    ContentComponentWorld w;
    auto& c = w.component();

    // Nothing connected: allowed, and the listeners hear of it.
    EXPECT_TRUE (c.requestQuit (false));
    ASSERT_EQ (w.changes.events (InfoCode::quitAccepted).size(), 1u);
    EXPECT_EQ (w.changes.events (InfoCode::quitAccepted)[0].p1, 0);
    EXPECT_TRUE (w.boxes.boxes.empty());

    addUnit (w, DeviceWorld::merle, 140, 4444);
    addUnit (w, DeviceWorld::merle, 140, 5555);
    ASSERT_TRUE (w.scan());
    const int unitIndex = w.manager().getCurrentIndex();
    ASSERT_GE (unitIndex, 0);
    auto* live = w.manager().getDeviceData();
    ASSERT_NE (live, nullptr);
    w.parts.dataPage->dataSet = new DataSet (live, nullptr);
    auto& working = *w.parts.dataPage->dataSet->getWorking();
    working.createPreset (3)->setName ("Unsent");
    ASSERT_TRUE (w.parts.dataPage->dataSet->hasUnsavedChanges());
    auto message = [&] (const juce::String& ifYou)
    {
        return "Your preset edits have not been transferred to " + w.manager().getDeviceDisplayName() + " yet. If you " + ifYou
             + " now, these changes will be discarded. To avoid losing your changes use the 'Apply' or 'Backup' functions on the toolbar.";
    };

    w.boxes.answerWith ({ 1 });   // "Cancel"
    EXPECT_FALSE (c.requestQuit (false));
    ASSERT_EQ (w.boxes.boxes.size(), 1u);
    EXPECT_EQ (w.boxes.boxes[0].title, "Changes Will Be Lost");
    EXPECT_EQ (w.boxes.boxes[0].icon, Icon::warning);
    EXPECT_EQ (w.boxes.boxes[0].message, message ("quit"));
    EXPECT_EQ (w.boxes.boxes[0].buttons, juce::StringArray ({ "Quit Anyway", "Cancel" }));
    EXPECT_EQ (w.changes.events (InfoCode::quitAccepted).size(), 1u);

    // Every road that closes the unit asks the same, naming what it does; "Cancel" keeps the
    // unit connected with its edits.
    const int otherIndex = unitIndex == 0 ? 1 : 0;
    w.parts.devicePage->toggledPort = otherIndex;
    const auto connectionEvents = w.changes.events (InfoCode::unitConnection).size();
    w.boxes.answerWith ({ 1, 1, 1 });
    EXPECT_TRUE (c.invokeDirectly (AppCommand::connectSelectedDevice, false));
    EXPECT_TRUE (c.invokeDirectly (AppCommand::disconnectDevice, false));
    EXPECT_TRUE (c.invokeDirectly (AppCommand::scanForDevices, false));
    ASSERT_EQ (w.boxes.boxes.size(), 4u);
    EXPECT_EQ (w.boxes.boxes[1].message, message ("connect another unit"));
    EXPECT_EQ (w.boxes.boxes[1].buttons, juce::StringArray ({ "Connect Anyway", "Cancel" }));
    EXPECT_EQ (w.boxes.boxes[2].message, message ("disconnect"));
    EXPECT_EQ (w.boxes.boxes[2].buttons, juce::StringArray ({ "Disconnect Anyway", "Cancel" }));
    EXPECT_EQ (w.boxes.boxes[3].message, message ("scan for devices"));
    EXPECT_EQ (w.boxes.boxes[3].buttons, juce::StringArray ({ "Scan Anyway", "Cancel" }));
    EXPECT_EQ (w.manager().getCurrentIndex(), unitIndex);
    EXPECT_EQ (w.parts.devicePage->toggledPort, -1);   // the tiles show the connected unit again
    EXPECT_EQ (c.getDeviceState(), 0);
    EXPECT_EQ (w.changes.events (InfoCode::unitConnection).size(), connectionEvents);
    EXPECT_EQ (w.parts.dataPage->discards, 0);
    EXPECT_TRUE (w.parts.dataPage->dataSet->hasUnsavedChanges());

    // "Connect Anyway": the edits go, and the other unit comes.
    w.parts.devicePage->toggledPort = otherIndex;
    w.boxes.answerWith ({ 0 });
    EXPECT_TRUE (c.invokeDirectly (AppCommand::connectSelectedDevice, false));
    EXPECT_EQ (w.boxes.boxes.size(), 5u);
    EXPECT_EQ (w.parts.dataPage->discards, 1);
    EXPECT_EQ (w.manager().getCurrentIndex(), otherIndex);

    EXPECT_TRUE (c.requestQuit (false));   // "Quit Anyway"
    EXPECT_EQ (w.changes.events (InfoCode::quitAccepted).size(), 2u);
    EXPECT_EQ (w.parts.dataPage->discards, 2);

    // Forced: no question.
    EXPECT_TRUE (c.requestQuit (true));
    EXPECT_EQ (w.boxes.boxes.size(), 6u);
    EXPECT_EQ (w.changes.events (InfoCode::quitAccepted).back().p1, 1);

    // Edits kept between sessions: no question for quitting or closing the unit, but one for
    // a firmware update, whose "Update Anyway" leaves them to the update.
    setDataSyncMethod (2);
    EXPECT_TRUE (c.requestQuit (false));
    EXPECT_TRUE (c.invokeDirectly (AppCommand::disconnectDevice, false));
    EXPECT_EQ (w.boxes.boxes.size(), 6u);
    EXPECT_FALSE (isUnitConnected());
    ASSERT_TRUE (c.connectToDevice (otherIndex));
    w.boxes.answerWith ({ 1, 0 });
    EXPECT_FALSE (c.confirmDiscardEdits (LarkspireContentComponent::EditsAtRisk::firmwareUpdate));
    EXPECT_TRUE (c.confirmDiscardEdits (LarkspireContentComponent::EditsAtRisk::firmwareUpdate));
    ASSERT_EQ (w.boxes.boxes.size(), 8u);
    EXPECT_EQ (w.boxes.boxes[6].message, message ("update your firmware"));
    EXPECT_EQ (w.boxes.boxes[6].buttons, juce::StringArray ({ "Update Anyway", "Cancel" }));
    EXPECT_EQ (w.parts.dataPage->discards, 2);
}

TEST (ContentMessages, BackupConversionResults)
{
    ContentComponentWorld w;
    w.deliver (info (InfoCode::backupConversionFinished, 1));
    w.deliver (info (InfoCode::backupConversionFinished, 0, 0));
    w.deliver (info (InfoCode::backupConversionFinished, 0, 0, "3 left"));
    w.deliver (info (InfoCode::backupConversionFinished, 0, 7));
    w.deliver (info (InfoCode::backupConversionFinished, 0, 7, "rule failed"));

    ASSERT_EQ (w.boxes.boxes.size(), 5u);
    EXPECT_EQ (w.boxes.boxes[0].title, "Conversion Complete");
    EXPECT_EQ (w.boxes.boxes[0].icon, Icon::info);
    EXPECT_EQ (w.boxes.boxes[0].message, "Backup conversion completed successfully.");
    EXPECT_EQ (w.boxes.boxes[1].title, "Backup Conversion Interrupted");
    EXPECT_EQ (w.boxes.boxes[1].icon, Icon::warning);
    EXPECT_EQ (w.boxes.boxes[1].message, "Not all backups have been converted.");
    EXPECT_EQ (w.boxes.boxes[2].message, "Not all backups have been converted.\n\nInfo: 3 left");
    const juce::String error ("An error occurred during backup conversion. Please restart Larkspire and try again. If the error persists, please contact Ardentis support.");
    EXPECT_EQ (w.boxes.boxes[3].title, "Backup Conversion Error");
    EXPECT_EQ (w.boxes.boxes[3].message, error);
    EXPECT_EQ (w.boxes.boxes[4].message, error + "\n\nError Info: rule failed");
}

TEST (ContentMessages, OptionsDialogResultsAreApplied)
{
    ContentComponentWorld w;
    auto& c = w.component();
    auto& host = w.devices.content.host;

    // Cancelled: nothing.
    c.invokeDirectly (AppCommand::showOptions, false);
    EXPECT_EQ (w.parts.dialogs->calls, juce::StringArray ({ "options" }));
    pumpFor (20);
    EXPECT_TRUE (host.events().empty());

    // Ok without changes: only the notice that the dialog closed.
    w.parts.dialogs->optionsResult.accepted = true;
    c.invokeDirectly (AppCommand::showOptions, false);
    ASSERT_TRUE (pumpUntil ([&] { return host.events().size() == 1; }));
    EXPECT_EQ (host.events()[0].code, InfoCode::optionsClosed);
    EXPECT_TRUE (w.boxes.boxes.empty());

    // Everything at once.
    host.clearEvents();
    setSetting (SettingsKeys::presetCellButtonScale, 1.7);
    setPresetButtonViewType (0);
    w.parts.dialogs->optionsResult = { true, true, true, true };
    c.invokeDirectly (AppCommand::showOptions, false);
    ASSERT_TRUE (pumpUntil ([&] { return host.events().size() == 2; }));
    EXPECT_EQ (host.events()[0].code, InfoCode::removeKnownUnit);
    EXPECT_EQ (host.events()[0].p1, 255);
    EXPECT_EQ (host.events()[0].p2, -1);
    EXPECT_EQ (host.events()[1].code, InfoCode::optionsClosed);
    EXPECT_EQ (getSettingDouble (SettingsKeys::presetCellButtonScale, 0.0), 1.0);
    EXPECT_EQ (getSettingDouble (SettingsKeys::presetIconButtonScale, 0.0), 1.0);
    EXPECT_EQ (getPresetButtonViewType(), 1);
    ASSERT_EQ (w.boxes.boxes.size(), 1u);
    EXPECT_EQ (w.boxes.boxes[0].title, "Restart Larkspire");
    EXPECT_EQ (w.boxes.boxes[0].message, "Please restart Larkspire to have the changes take effect.");
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
