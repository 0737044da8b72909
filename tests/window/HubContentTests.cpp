#include <gtest/gtest.h>
#include "app/Nexus.h"
#include "content/ContentManager.h"
#include "core/InfoCodes.h"
#include "core/Settings.h"
#include "device/DeviceManager.h"
#include "device/DeviceProfiler.h"
#include "ui/AppCommandIds.h"
#include "ui/CommandManager.h"
#include "ui/DevicePage.h"
#include "ui/LarkspireContentComponent.h"
#include "ui/MainAppWindow.h"
#include "ui/dialogs/MidiDevicesComp.h"
#include "support/ContentWorld.h"
#include "support/RecordingDialogService.h"
#include "support/TestAppHost.h"
#include "support/TestEnvironment.h"

using namespace testing_support;

namespace
{
    struct Seen : LarkspireChangeListener
    {
        void changeInfoCallback (const ChangeInfo& i) override
        {
            kinds.add (i.kind);
            codes.add (i.kind == ChangeInfo::deviceEvent ? i.event.code : (i.kind == ChangeInfo::commandPerformed ? i.commandId : i.newValue));
        }
        int count (int kind, int code) const
        {
            int n = 0;
            for (int i = 0; i < kinds.size(); ++i)
                if (kinds[i] == kind && codes[i] == code)
                    ++n;
            return n;
        }
        juce::Array<int> kinds, codes;
    };
}

// The hub builds the window around the main content component, gives it the device
// manager's messages and the start-up scan, relays what is posted to the hub, and asks it
// before a quit.
TEST (HubContent, TheMainContentGetsTheScanTheWorkersMessagesAndTheQuitQuestion)
{
    TempHome home;
    configureApplicationProperties();
    TestAppHost host;
    host.applicationState = 1;   // starting
    RecordingDialogService boxes;
    {
        Nexus hub;
        hub.startUp();
        auto* content = hub.getMainContent();
        ASSERT_NE (content, nullptr);
        EXPECT_EQ (content, hub.getMainWindow()->getContentComponent());
        Seen seen;
        content->addChangeListener (&seen);

        // The start-up scan runs through the component's command; its result comes from the
        // device manager straight to the component; the start-up's end is relayed by the hub.
        ASSERT_TRUE (pumpUntil ([&] { return seen.count (3, InfoCode::scanFinished) == 1
                                             && seen.count (3, InfoCode::startUpDone) == 1; }, 60000));
        EXPECT_EQ (seen.count (2, 0x36000), 1);
        EXPECT_EQ (seen.kinds[0], 2);   // the command came first
        EXPECT_EQ (host.getApplicationState(), 0);
        // No ports here, and the start-up scan finding nothing shows no box; offline, the
        // program says so.
        EXPECT_EQ (boxes.titles(), juce::StringArray ({ "No Internet Connection" }));
        EXPECT_TRUE (content->getStatusBar().isTimerRunning());

        // A worker's message posted to the hub reaches the component.
        hub.postMessage (new DeviceInfoMessage (InfoCode::backupConversionFinished, 1, 0, {}));
        ASSERT_TRUE (pumpUntil ([&] { return seen.count (3, InfoCode::backupConversionFinished) == 1; }));
        EXPECT_EQ (boxes.titles()[1], "Conversion Complete");

        // The quit question goes to the component, which tells its listeners.
        EXPECT_TRUE (hub.isQuitAllowed (false));
        EXPECT_EQ (seen.count (3, InfoCode::quitAccepted), 1);

        content->removeChangeListener (&seen);
        hub.shutDown();
        EXPECT_EQ (hub.getMainContent(), nullptr);
        // With no component, what is posted to the hub is dropped.
        hub.postMessage (new DeviceInfoMessage (InfoCode::backupConversionFinished, 1, 0, {}));
        pumpFor (50);
        EXPECT_TRUE (hub.isQuitAllowed (false));
    }
    EXPECT_EQ (boxes.boxes.size(), 2u);
    deleteApplicationProperties();
}

// While the web service keeps the control descriptor waiting, the window is there and the
// devices wait: no device manager, no scan (nor a scan the user asks for, and Scan looks so),
// no end of the start-up; the units known from earlier runs are listed meanwhile. Once the web
// copy has come it is in force for the first scan, and the start-up ends after that scan was
// invoked, online.
TEST (HubContent, TheDevicesStartOnTheWebCopyOnceItHasCome)
{
    ContentWorld w;
    configureApplicationProperties();
    w.host.applicationState = 1;   // starting
    w.installSampleContent();
    ASSERT_TRUE (w.appDataFolder().createDirectory());
    ASSERT_TRUE (w.appDataFolder().getChildFile ("deviceList.xml").replaceWithText (
        "<DEVICE_MANAGER><device name=\"Merle XT\" id=\"18\" activated=\"1\" detection=\"1600000000000\" "
        "version=\"0.2.1.0.210.0\" serial=\"31000\" manufacture=\"2020.11.30\"/></DEVICE_MANAGER>"));
    const juce::String descriptorPath = "/Larkspire2/masterDescriptor.xml";
    editServedFile (w.servedContent().getChildFile ("masterDescriptor.xml"), "</devices>",
                    "<product name=\"Wren\" sysexId=\"40\"/></devices>");
    w.server.stall (descriptorPath);
    RecordingDialogService boxes;
    {
        Nexus hub;
        hub.startUp();
        auto* content = hub.getMainContent();
        ASSERT_NE (content, nullptr);

        // What the scan command finds in force when it runs.
        struct AtTheScan : Seen
        {
            void changeInfoCallback (const ChangeInfo& i) override
            {
                if (i.kind == ChangeInfo::commandPerformed && i.commandId == AppCommand::scanForDevices)
                    webCopyInForce = getContentManager()->findProductIndex (40) >= 0 && getContentManager()->isOnline();
                Seen::changeInfoCallback (i);
            }
            bool webCopyInForce = false;
        } seen;
        content->addChangeListener (&seen);

        ASSERT_TRUE (pumpUntil ([&] { return w.server.countRequests ("GET", descriptorPath) == 1; }, 60000));
        pumpFor (300);
        EXPECT_EQ (getDeviceManager(), nullptr);
        EXPECT_FALSE (content->invokeDirectly (AppCommand::scanForDevices, false));
        auto* page = dynamic_cast<DevicePage*> (content->getDevicePage());
        ASSERT_NE (page, nullptr);
        auto* scan = page->findToolbarItem (DeviceToolbarItemFactory::scanItem);
        ASSERT_NE (scan, nullptr);
        EXPECT_FALSE (scan->isEnabled());
        EXPECT_EQ (page->getKnownDevicePanel().getNumButtons(), 1);
        {
            MidiDevicesComp list;
            ASSERT_EQ (list.getNumRows(), 1);
            EXPECT_EQ (list.getCell (0, MidiDevicesComp::status), "Not Connected");
        }
        EXPECT_TRUE (seen.kinds.isEmpty());
        EXPECT_FALSE (content->getStatusBar().isTimerRunning());
        EXPECT_TRUE (boxes.boxes.empty());

        w.server.clearBehaviour (descriptorPath);
        ASSERT_TRUE (pumpUntil ([&] { return seen.count (3, InfoCode::scanFinished) == 1
                                             && seen.count (3, InfoCode::startUpDone) == 1; }, 60000));
        EXPECT_TRUE (seen.webCopyInForce);
        EXPECT_EQ (seen.count (2, AppCommand::scanForDevices), 1);
        EXPECT_EQ (seen.kinds[0], 2);   // the scan command came first
        EXPECT_TRUE (getContentManager()->isOnline());
        EXPECT_EQ (content->getSignInButton().getCommandID(), AppCommand::signIn);
        EXPECT_TRUE (content->getStatusBar().isTimerRunning());
        EXPECT_TRUE (pumpUntil ([&] { return scan->isEnabled(); }));
        pumpFor (100);
        EXPECT_TRUE (boxes.boxes.empty()) << boxes.titles().joinIntoString (", ");

        content->removeChangeListener (&seen);
        hub.shutDown();
    }
    deleteApplicationProperties();
}
