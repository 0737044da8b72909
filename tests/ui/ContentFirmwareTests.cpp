#include <gtest/gtest.h>
#include "content/ContentManager.h"
#include "core/InfoCodes.h"
#include "core/Settings.h"
#include "firmware/FirmwareUpdateThread.h"
#include "ui/AppCommandIds.h"
#include "support/ContentComponentWorld.h"

using namespace testing_support;
using Icon = DialogService::Icon;

namespace
{
    // A Merle at `build`, connected, with the sample firmware images installed; on a reboot
    // it takes the profile of its new build.
    struct UpdateWorld
    {
        ScopedFirmwareUpdateTimings timings { ScopedFirmwareUpdateTimings::fast() };
        ContentComponentWorld w;
        std::shared_ptr<SimulatedUnit> unit;
        juce::String name;

        explicit UpdateWorld (int build)
        {
            w.installFirmware (DeviceWorld::merle, "Merle");
            unit = w.devices.addUnit (DeviceWorld::merle, build, 40123);
            unit->setProfileForBuild ([] (int b) { return DeviceWorld::profileOf (DeviceWorld::merle, b); });
            auto f = unit->getFaults();
            f.rebootQuietMs = 100;
            f.rebootDownMs = 150;
            unit->setFaults (f);
            w.boxes.answerWith ({ 2 });   // "No" to an offer at connection
            if (w.scan())
                name = w.manager().getDeviceDisplayName();
            w.boxes.boxes.clear();
            w.boxes.answerWith ({});
        }

        LarkspireContentComponent& c() { return w.component(); }

        FirmwareUpdateElement entry (int build) const
        {
            for (auto& e : getContentManager()->getFirmwareList (DeviceWorld::merle))
                if (e.getBuild() == build)
                    return e;
            return {};
        }

        // Until the end is reported and the update is gone with its window.
        bool waitForTheEnd (int timeoutMs = 120000)
        {
            return pumpUntil ([this] { return w.changes.countEvents (InfoCode::firmwareUpdateEnded) > 0
                                              && w.parts.progressView == nullptr; }, timeoutMs);
        }
    };

    const juce::String warning (const juce::String& name)
    {
        return "\n\rWARNING:  Do not stop the update once it starts. Halting the transfer or turning off " + name
             + " before it completes could result in data loss or an inoperative device. " + name
             + " will restart on its own after the update is complete.";
    }
}

TEST (ContentFirmware, AnUpdateChosenFromTheListRunsToTheEnd)
{
    UpdateWorld u (140);
    ASSERT_TRUE (u.name.isNotEmpty());
    auto& c = u.c();
    auto& dialogs = *u.w.parts.dialogs;
    dialogs.chooseUpdate = true;
    dialogs.updateToChoose = u.entry (140);
    ASSERT_TRUE (dialogs.updateToChoose.isUsable());
    u.w.trackUsage();

    // The same build again: the question says so.
    ASSERT_TRUE (c.invokeDirectly (AppCommand::showFirmwareUpdates, false));
    ASSERT_EQ (dialogs.chooserCalls.size(), 1u);
    EXPECT_EQ (dialogs.chooserCalls[0], std::make_pair ((int) DeviceWorld::merle, false));
    ASSERT_EQ (u.w.boxes.boxes.size(), 1u);
    EXPECT_EQ (u.w.boxes.boxes[0].title, "Firmware Update!");
    EXPECT_EQ (u.w.boxes.boxes[0].icon, Icon::question);
    EXPECT_EQ (u.w.boxes.boxes[0].message, "Your firmware is already up to date. Do you want to reapply the update anyway?" + warning (u.name));
    EXPECT_EQ (u.w.boxes.boxes[0].buttons, juce::StringArray ({ "Start Update", "Cancel" }));

    // "Start Update": the update runs, listening first, with the application in state 4.
    ASSERT_NE (u.w.parts.progressView, nullptr);
    EXPECT_TRUE (u.w.parts.progressView->modal);
    EXPECT_EQ (u.w.devices.content.host.getApplicationState(), 4);
    EXPECT_NE (dynamic_cast<FirmwareUpdateThread*> (c.getChangeListeners().getLast()), nullptr);
    EXPECT_EQ (u.w.parts.progressOwner, &c);

    ASSERT_TRUE (u.waitForTheEnd());
    ASSERT_GE (u.w.boxes.boxes.size(), 2u);
    EXPECT_EQ (u.w.boxes.boxes[1].title, "Firmware Update Complete");
    EXPECT_EQ (u.w.boxes.boxes[1].message, u.name + " updated successfully.");
    EXPECT_EQ (u.w.boxes.boxes[1].icon, Icon::info);
    EXPECT_FALSE (c.getChangeListeners().contains (nullptr));
    EXPECT_EQ (c.getChangeListeners().size(), 4);   // the update left

    // The image went to the unit, and a scan follows the end.
    EXPECT_GT (u.unit->getBlocksAccepted(), 0);
    EXPECT_EQ (u.unit->getRebootCount(), 1);
    const auto states = u.w.changes.states();
    ASSERT_GE (states.size(), 2u);
    EXPECT_NE (std::find (states.begin(), states.end(), 4), states.end());
    EXPECT_TRUE (pumpUntil ([&] { return u.w.devices.content.host.getApplicationState() == 0
                                         && isUnitConnected(); }));

    // The usage event of the update says that the list was opened for the unit.
    const auto updates = u.w.waitForUsageEvents ("db_device_update.php", 1);
    ASSERT_EQ (updates.size(), 1);
    EXPECT_TRUE (updates[0].contains ("start_build=140&target_build=140&exit_code=1&description_read=1")) << updates[0];

    // A unit that was just updated is not offered a newer build (a beta, for developers) again.
    u.w.devices.content.host.developer = true;
    u.w.boxes.boxes.clear();
    ASSERT_TRUE (c.connectToDevice (-1));
    ASSERT_TRUE (c.connectToDevice (u.w.manager().findDevice (DeviceWorld::merle, 40123)));
    EXPECT_FALSE (u.w.boxes.titles().contains ("New Firmware Available"));
}

TEST (ContentFirmware, ARefusedUpdateEndsWithItsErrorText)
{
    UpdateWorld u (140);
    auto& c = u.c();
    TempFolder folder;
    const auto image = folder.child ("broken.syx");
    ASSERT_TRUE (image.replaceWithText ("not firmware"));
    auto version = u.w.manager().getFirmwareVersion (-1);
    version.build = 141;
    const FirmwareUpdateElement custom (image.getFullPathName(), version);
    ASSERT_TRUE (custom.isUsable());

    u.w.changes.clear();
    EXPECT_TRUE (c.startFirmwareUpdate (custom));
    EXPECT_FALSE (c.startFirmwareUpdate (custom));   // one at a time
    ASSERT_TRUE (u.waitForTheEnd (30000));
    ASSERT_EQ (u.w.boxes.boxes.size(), 1u);
    EXPECT_EQ (u.w.boxes.boxes[0].title, "Firmware Update Error");
    EXPECT_EQ (u.w.boxes.boxes[0].icon, Icon::warning);
    EXPECT_EQ (u.w.boxes.boxes[0].message, "The firmware update image does not contain valid firmware data.");
    EXPECT_EQ (u.unit->getBlocksAccepted(), 0);
    EXPECT_EQ (u.w.changes.states().front(), 4);
    EXPECT_TRUE (pumpUntil ([&] { return u.w.devices.content.host.getApplicationState() == 0; }));
}

TEST (ContentFirmware, StopDuringTheRebootWaitInterruptsTheUpdate)
{
    ScopedFirmwareUpdateTimings slow ([] { auto t = ScopedFirmwareUpdateTimings::fast(); t.rebootWaitScale = 1.0; return t; }());
    UpdateWorld u (140);
    auto& c = u.c();
    ASSERT_TRUE (c.startFirmwareUpdate (u.entry (140)));

    // Once the image is on the unit, the user presses Stop in the progress window.
    ASSERT_TRUE (pumpUntil ([&] { return u.w.parts.progressView != nullptr
                                         && ! u.w.parts.progressView->statuses.empty()
                                         && u.w.parts.progressView->statuses.back().text
                                                == "Waiting for " + u.name + " to apply the update"; }, 60000));
    c.postMessage (new DeviceInfoMessage (InfoCode::stopFirmwareUpdate, 0, 0, {}));
    ASSERT_TRUE (u.waitForTheEnd (60000));
    // (The scan that follows the end may already have found the unit still rebooting and said so.)
    ASSERT_GE (u.w.boxes.boxes.size(), 1u);
    EXPECT_EQ (u.w.boxes.boxes[0].title, "Firmware Update Interrupted");
    EXPECT_EQ (u.w.boxes.boxes[0].message, "You should power cycle " + u.name
               + " and you may have to restart Larkspire before trying the update again.");

    // The unit was not updated: once it is back from its reboot and connected again, a newer
    // build (a beta, for developers) is offered.
    ASSERT_TRUE (pumpUntil ([&] { return u.unit->getRebootCount() == 1 && u.unit->isPresent(); }));
    u.w.devices.content.host.developer = true;
    u.w.boxes.answerWith ({ 2, 2, 2 });   // "No" (a box of the scan that followed the end may come first)
    ASSERT_TRUE (u.w.scan());
    EXPECT_TRUE (pumpUntil ([&] { return u.w.boxes.titles().contains ("New Firmware Available"); }))
        << u.w.boxes.titles().joinIntoString ("|");
}

TEST (ContentFirmware, TheUpdateQuestionOffersItsDetails)
{
    UpdateWorld u (120);
    auto& c = u.c();

    // "Cancel": nothing starts.
    u.w.boxes.answerWith ({ 2 });
    ASSERT_TRUE (c.invokeDirectly (AppCommand::updateFirmware, false));
    ASSERT_EQ (u.w.boxes.boxes.size(), 1u);
    EXPECT_EQ (u.w.boxes.boxes[0].title, "Firmware Update!");
    EXPECT_EQ (u.w.boxes.boxes[0].message, "Are you sure you would like to update your firmware?" + warning (u.name));
    EXPECT_EQ (u.w.boxes.boxes[0].buttons, juce::StringArray ({ "Show Details...", "Start Update", "Cancel" }));
    EXPECT_EQ (u.w.parts.progressView, nullptr);

    // "Show Details...": the list opens, custom images allowed.
    u.w.boxes.answerWith ({ 0 });
    c.invokeDirectly (AppCommand::updateFirmware, false);
    ASSERT_TRUE (pumpUntil ([&] { return ! u.w.parts.dialogs->chooserCalls.empty(); }));
    EXPECT_EQ (u.w.parts.dialogs->chooserCalls[0], std::make_pair ((int) DeviceWorld::merle, true));
    EXPECT_EQ (u.w.parts.progressView, nullptr);

    // Unsaved preset edits: the update asks first, and "Cancel" keeps them.
    u.w.parts.dataPage->dataSet = new DataSet (u.w.manager().getDeviceData(), nullptr);
    u.w.parts.dataPage->dataSet->getWorking()->createPreset (9)->setName ("Unsent");
    u.w.boxes.boxes.clear();
    u.w.boxes.answerWith ({ 1 });
    c.invokeDirectly (AppCommand::updateFirmwareNow, false);
    EXPECT_TRUE (u.w.boxes.boxes.empty());   // the offered update runs without asking...
    EXPECT_NE (u.w.parts.progressView, nullptr);
    c.stopFirmwareUpdate();
    EXPECT_EQ (u.w.parts.progressView, nullptr);

    u.w.boxes.answerWith ({ 1 });
    c.invokeDirectly (AppCommand::updateFirmware, false);   // ...but the asking form checks the edits
    ASSERT_EQ (u.w.boxes.boxes.size(), 1u);
    EXPECT_EQ (u.w.boxes.boxes[0].title, "Changes Will Be Lost");
    EXPECT_EQ (u.w.parts.progressView, nullptr);
}

TEST (ContentFirmware, WithoutAProgressWindowTheUpdateIsRefused)
{
    ContentComponentWorld w ([] (RecordingParts& p) { p.noProgressView = true; });
    w.installFirmware (DeviceWorld::merle, "Merle");
    w.devices.addUnit (DeviceWorld::merle, 140, 777);
    ASSERT_TRUE (w.scan());
    auto& c = w.component();

    FirmwareUpdateElement entry;
    for (auto& e : getContentManager()->getFirmwareList (DeviceWorld::merle))
        if (e.getBuild() == 140)
            entry = e;
    ASSERT_TRUE (c.startFirmwareUpdate (entry));
    ASSERT_TRUE (pumpUntil ([&] { return w.devices.content.host.getApplicationState() == 0 && ! w.boxes.boxes.empty(); }));
    EXPECT_EQ (w.boxes.boxes[0].title, "Firmware Update Error");
    EXPECT_EQ (w.boxes.boxes[0].message, "Memory allocation error. Code: 3");
}
