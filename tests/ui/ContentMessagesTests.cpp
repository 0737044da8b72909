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
