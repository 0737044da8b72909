#include <gtest/gtest.h>
#include "core/AppPaths.h"
#include "core/InfoCodes.h"
#include "device/DeviceErrors.h"
#include "device/DeviceProfiler.h"
#include "device/sim/SimSysEx.h"
#include "support/FirmwareUpdateRig.h"

using namespace testing_support;

// Firmware updates of a simulated unit on the virtual MIDI ports, from the pre-check to the
// result, with the unit's log as the record of what crossed the wire.
namespace
{
    using State = FirmwareUpdateThread::State;

    juce::Array<int> states (std::initializer_list<int> list)
    {
        juce::Array<int> a;
        for (auto s : list)
            a.add (s);
        return a;
    }

    juce::String describe (const juce::Array<int>& a)
    {
        juce::StringArray s;
        for (auto v : a)
            s.add (juce::String (v));
        return s.joinIntoString (" ");
    }

    // The history with every unsuccessful rescan ("6 8") taken out, so that a unit that was
    // not back yet at the first scan of a loaded machine reads the same.
    juce::String withoutMissedScans (const juce::Array<int>& history)
    {
        juce::Array<int> out;
        for (int i = 0; i < history.size(); ++i)
        {
            if (history[i] == 6 && history[i + 1] == 8)
            {
                ++i;
                continue;
            }
            out.add (history[i]);
        }
        return describe (out);
    }

    // The loader's messages in the order the unit received them: 'A' the opening message,
    // 'H' a block header, 'B' a block, 'E' a block end.
    juce::String loaderTrace (const SimulatedUnit& unit)
    {
        juce::String trace;
        for (auto& e : unit.getLog())
        {
            if (e.deviceId() != 0x60)
                continue;
            switch (e.command())
            {
                case 0x51: trace << "A"; break;
                case 0x7E: trace << "H"; break;
                case 0x7D: trace << "E"; break;
                default:   trace << "B"; break;
            }
        }
        return trace;
    }

    int countStatus (const RecordingProgressView& view, const juce::String& start, bool isError)
    {
        int n = 0;
        for (auto& s : view.statuses)
            n += (s.text.startsWith (start) && s.isError == isError) ? 1 : 0;
        return n;
    }

    bool sawStatus (const RecordingProgressView& view, const juce::String& text)
    {
        for (auto& s : view.statuses)
            if (s.text == text)
                return true;
        return false;
    }
}

TEST (FirmwareUpdateEndToEnd, WithoutDataVersionChangeTheImageIsSentAndNothingElse)
{
    FirmwareUpdateRig rig (140);
    rig.w.content.host.developer = true;   // the beta entry is listed
    const auto entry = rig.listEntry (150);
    ASSERT_EQ (entry.getStatus(), FirmwareUpdateElement::statusBeta);

    ASSERT_TRUE (rig.start (entry));
    EXPECT_FALSE (rig.update->doPresetVersionsChange());
    EXPECT_FALSE (rig.update->doSetupVersionsChange());
    ASSERT_TRUE (rig.waitForEnd());

    EXPECT_EQ (rig.update->getResultCode(), FirmwareUpdateThread::resultFinished) << rig.update->getErrorText();
    EXPECT_EQ (rig.update->getState(), State::finished);
    EXPECT_EQ (withoutMissedScans (rig.update->getStateHistory()), describe (states ({ 0, 2, 4, 5, 6, 7, 10, 12 })));
    EXPECT_EQ (rig.host.endingText, "Merle");
    EXPECT_EQ (rig.host.endings, 1);

    // No read, no conversion, no write-back: only the image and the scans and connect.
    EXPECT_EQ (rig.host.count (FirmwareUpdateHost::downloadDeviceData), 0);
    EXPECT_GE (rig.host.count (FirmwareUpdateHost::scanForDevices), 1);
    EXPECT_EQ (rig.host.count (FirmwareUpdateHost::connectSelectedDevice), 1);
    EXPECT_EQ (rig.received (0x45), 0);
    EXPECT_EQ (rig.received (0x20), 0);
    EXPECT_EQ (rig.received (0x13), 0);

    // On the wire: the acknowledge message, then header, block and end for each of the nine
    // blocks of the image.
    juce::String expected ("A");
    for (int i = 0; i < 9; ++i)
        expected << "HBE";
    EXPECT_EQ (loaderTrace (*rig.unit), expected);
    EXPECT_EQ (rig.unit->getBlocksAccepted(), 9);
    EXPECT_EQ (rig.unit->getRebootCount(), 1);
    EXPECT_EQ (rig.w.manager().getFirmwareVersion (-1).build, 150);
    // The data layout did not change: the unit kept its presets through the reboot.
    EXPECT_EQ (rig.unit->getPresetNumbers(), juce::Array<int> ({ 1, 2, 3, 4, 5, 7, 12, 20 }));

    // The window was driven: modal while it ran, closed at the end, full at the last block.
    ASSERT_NE (rig.host.view, nullptr);
    EXPECT_TRUE (rig.host.view->closed);
    EXPECT_FALSE (rig.host.view->modal);
    EXPECT_TRUE (sawStatus (*rig.host.view, "Waiting for Merle to apply the update"));
    for (auto& p : rig.host.view->progress)
    {
        EXPECT_GE (p.first, 0.0);
        EXPECT_LE (p.first, 1.0);
        EXPECT_GE (p.second, 0.0);
        EXPECT_LE (p.second, 1.0);
    }
    EXPECT_EQ (rig.update->getOverallFraction(), 1.0);
}

TEST (FirmwareUpdateEndToEnd, WithDataVersionChangeUserPresetsAreReadConvertedAndWrittenBack)
{
    FirmwareUpdateRig rig (100, { 7, 12, 20 });
    const auto entry = rig.listEntry (120);
    ASSERT_TRUE (entry.isUsable());

    ASSERT_TRUE (rig.start (entry));
    EXPECT_TRUE (rig.update->doPresetVersionsChange());
    EXPECT_FALSE (rig.update->doSetupVersionsChange());
    ASSERT_TRUE (rig.waitForEnd());

    EXPECT_EQ (rig.update->getResultCode(), FirmwareUpdateThread::resultFinished) << rig.update->getErrorText();
    EXPECT_EQ (withoutMissedScans (rig.update->getStateHistory()), describe (states ({ 0, 2, 3, 4, 5, 6, 7, 10, 11, 12 })));
    EXPECT_EQ (rig.host.count (FirmwareUpdateHost::downloadDeviceData), 1);

    // Every slot was read before anything went to the loader.
    const auto log = rig.unit->getLog();
    int lastRead = -1, firstLoader = -1;
    for (int i = 0; i < (int) log.size(); ++i)
    {
        if (log[(size_t) i].command() == 0x45)
            lastRead = i;
        if (log[(size_t) i].deviceId() == 0x60 && firstLoader < 0)
            firstLoader = i;
    }
    EXPECT_EQ (rig.received (0x45), 25);
    ASSERT_GE (firstLoader, 0);
    EXPECT_LT (lastRead, firstLoader);

    // The reboot into build 120 cleared the unit's presets; the user's own came back in the
    // new data version (the unit takes no other), the factory ones were not written.
    EXPECT_EQ (rig.unit->getProfile().presetVersion, 2);
    EXPECT_EQ (rig.unit->getPresetNumbers(), juce::Array<int> ({ 7, 12, 20 }));
    EXPECT_EQ (rig.unit->getPreset (12).name, "Sim 12");
    EXPECT_EQ (rig.received (0x20), 3);
    EXPECT_EQ (rig.received (0x13), 0);   // the setup's version does not change
    EXPECT_EQ (rig.update->getStatusText(), "Updating preset 20: Sim 20");
}

TEST (FirmwareUpdateEndToEnd, WithSetupVersionChangeTheSetupIsConvertedAndWrittenBack)
{
    FirmwareUpdateRig rig (100, { 9 });
    const auto setupBefore = rig.unit->getSetup();
    ASSERT_TRUE (rig.start (rig.listEntry (140)));
    EXPECT_TRUE (rig.update->doPresetVersionsChange());
    EXPECT_TRUE (rig.update->doSetupVersionsChange());
    ASSERT_TRUE (rig.waitForEnd());

    EXPECT_EQ (rig.update->getResultCode(), FirmwareUpdateThread::resultFinished) << rig.update->getErrorText();
    EXPECT_EQ (rig.unit->getProfile().setupVersion, 2);
    EXPECT_EQ (rig.unit->getPresetNumbers(), juce::Array<int> ({ 9 }));
    EXPECT_EQ (rig.received (0x13), 2);   // both packets of the converted setup
    const auto setupAfter = rig.unit->getSetup();
    EXPECT_EQ (setupAfter.size(), (size_t) (2 * 56 / 4));
    EXPECT_NE (std::count (setupAfter.begin(), setupAfter.end(), 0), (long) setupAfter.size());
}

namespace
{
    // A rule script that refuses every preset it is given.
    void breakPresetRule()
    {
        EXPECT_TRUE (juce::File (AppPaths::getScriptFolder (DeviceWorld::merle)).getChildFile ("merle_preset_1_to_2.js")
                         .replaceWithText ("function convert()\n{\n    Larkspire.scriptError(\"Tone table missing.\");\n}\n"));
    }
}

TEST (FirmwareUpdateEndToEnd, ConversionFailureAnsweredNoSendsNothing)
{
    FirmwareUpdateRig rig (100);
    breakPresetRule();
    rig.dialogs.answerWith ({ 1 });   // "No"

    ASSERT_TRUE (rig.start (rig.listEntry (120)));
    ASSERT_TRUE (rig.waitForEnd());

    // The user ended it: stopped, with no result of its own.
    EXPECT_EQ (rig.update->getState(), State::stopped);
    EXPECT_EQ (rig.update->getResultCode(), FirmwareUpdateThread::resultNone);
    EXPECT_EQ (describe (rig.update->getStateHistory()), describe (states ({ 0, 2, 3, 1, 3, 13 })));

    ASSERT_EQ (rig.dialogs.boxes.size(), 1u);
    const auto& box = rig.dialogs.boxes[0];
    EXPECT_EQ (box.title, "Firmware Update");
    EXPECT_EQ (box.buttons, juce::StringArray ({ "Yes", "No" }));
    EXPECT_EQ (box.icon, DialogService::Icon::question);
    EXPECT_TRUE (box.message.startsWith ("Larkspire has encountered an error while preparing your device's preset and/or "
                                         "setup data for the firmware update.")) << box.message;
    // The conversion's error bits in hexadecimal and its text.
    EXPECT_TRUE (box.message.endsWith ("anyway?\n\nError code: 80\nError info: An error occurred during preset conversion."))
        << box.message;

    // Nothing reached the loader; the unit keeps its firmware and its presets.
    EXPECT_EQ (loaderTrace (*rig.unit), "");
    EXPECT_EQ (rig.unit->getRebootCount(), 0);
    EXPECT_EQ (rig.unit->getPresetNumbers(), juce::Array<int> ({ 1, 2, 3, 4, 5, 7, 12, 20 }));
}

TEST (FirmwareUpdateEndToEnd, ConversionFailureAnsweredYesUpdatesWithoutWritingBackAndAsksOnce)
{
    FirmwareUpdateRig rig (100);
    breakPresetRule();
    rig.dialogs.answerWith ({ 0 });   // "Yes"

    // The box runs a modal loop in which the timers of every update keep firing: they must
    // neither ask again nor close an update that is not running.
    RecordingUpdateHost otherHost;
    FirmwareUpdateThread other (otherHost, FirmwareUpdateElement());
    int depth = 0, deepest = 0;
    rig.dialogs.onBox = [&] (const RecordingDialogService::Box&)
    {
        deepest = juce::jmax (deepest, ++depth);
        rig.update->timerCallback();
        other.timerCallback();
        --depth;
    };

    ASSERT_TRUE (rig.start (rig.listEntry (120)));
    ASSERT_TRUE (rig.waitForEnd());
    rig.dialogs.onBox = nullptr;

    EXPECT_EQ (rig.dialogs.boxes.size(), 1u);
    EXPECT_EQ (deepest, 1);
    EXPECT_EQ (otherHost.endings, 0);
    EXPECT_FALSE (otherHost.view->closed);

    EXPECT_EQ (rig.update->getResultCode(), FirmwareUpdateThread::resultFinished) << rig.update->getErrorText();
    EXPECT_EQ (rig.unit->getRebootCount(), 1);
    EXPECT_EQ (rig.w.manager().getFirmwareVersion (-1).build, 120);
    // Nothing was converted, so nothing was written back.
    EXPECT_EQ (rig.received (0x20), 0);
    EXPECT_TRUE (rig.unit->getPresetNumbers().isEmpty());
}

TEST (FirmwareUpdateEndToEnd, UnitNeverReturnsAskAfterFiveRescansAndStop)
{
    FirmwareUpdateRig rig (100);
    rig.setFaults ([] (SimulatedUnit::Faults& f) { f.rebootDownMs = 600000; });
    rig.dialogs.answerWith ({ 1 });   // "Stop"

    ASSERT_TRUE (rig.start (rig.listEntry (120)));
    ASSERT_TRUE (rig.waitForEnd());

    EXPECT_EQ (rig.host.count (FirmwareUpdateHost::scanForDevices), FirmwareUpdateThread::rescanTries);
    EXPECT_EQ (rig.host.count (FirmwareUpdateHost::connectSelectedDevice), 0);
    ASSERT_EQ (rig.dialogs.boxes.size(), 1u);
    const auto& box = rig.dialogs.boxes[0];
    EXPECT_EQ (box.title, "Device Detection Failure");
    EXPECT_EQ (box.buttons, juce::StringArray ({ "Continue Scanning", "Stop" }));
    EXPECT_TRUE (box.message.startsWith ("Larkspire is unable to find your Merle. It should have rebooted by now."));
    // Converted user data waits to be written back: the box says so.
    EXPECT_TRUE (box.message.endsWith ("\n\rNote: Larkspire still needs to update preset and/or setup data on your "
                                       "Merle. If you stop the update now, this data may be lost.")) << box.message;

    EXPECT_EQ (rig.update->getState(), State::stopped);
    EXPECT_EQ (rig.update->getResultCode(), FirmwareUpdateThread::resultNone);
    const auto history = rig.update->getStateHistory();
    EXPECT_EQ (history.getLast(), (int) State::stopped);
    EXPECT_EQ (history[history.size() - 2], (int) State::askingToScan);
    EXPECT_EQ (history.indexOf (State::unitFound), -1);
}

TEST (FirmwareUpdateEndToEnd, ContinueScanningFindsTheUnitOnceItIsBack)
{
    FirmwareUpdateRig rig (100);
    rig.setFaults ([] (SimulatedUnit::Faults& f) { f.rebootDownMs = 600000; });
    rig.dialogs.answerWith ({ 0 });   // "Continue Scanning"

    // While the question is up the user power cycles the unit: it comes back with the new build.
    rig.dialogs.onBox = [&] (const RecordingDialogService::Box& box)
    {
        if (box.title != "Device Detection Failure")
            return;
        rig.setFaults ([] (SimulatedUnit::Faults& f) { f.rebootDownMs = 100; });
        rig.unit->reboot (120);
    };

    ASSERT_TRUE (rig.start (rig.listEntry (120)));
    ASSERT_TRUE (rig.waitForEnd());
    rig.dialogs.onBox = nullptr;

    EXPECT_EQ (rig.update->getResultCode(), FirmwareUpdateThread::resultFinished) << rig.update->getErrorText();
    EXPECT_EQ (rig.dialogs.boxes.size(), 1u);
    EXPECT_GT (rig.host.count (FirmwareUpdateHost::scanForDevices), FirmwareUpdateThread::rescanTries);
    const auto history = rig.update->getStateHistory();
    EXPECT_GT (history.indexOf (State::unitFound), history.indexOf (State::askingToScan));
    // The user data reached the unit after all.
    EXPECT_EQ (rig.unit->getPresetNumbers(), juce::Array<int> ({ 7, 12, 20 }));
}

TEST (FirmwareUpdateEndToEnd, UnitBackWithItsOldBuildIsRejected)
{
    FirmwareUpdateRig rig (140);
    // An image that really holds build 140, offered as build 150.
    const auto element = rig.customImage ("merle_150_custom.syx", FirmwareUpdateRig::sampleImage ("merle_140.syx"), 150);
    ASSERT_TRUE (rig.start (element));
    ASSERT_TRUE (rig.waitForEnd());

    EXPECT_EQ (rig.unit->getRebootCount(), 1);
    EXPECT_EQ (rig.w.manager().getFirmwareVersion (-1).build, 140);
    EXPECT_EQ (rig.update->getState(), State::failed);
    EXPECT_EQ (rig.update->getResultCode(), FirmwareUpdateThread::resultFailed);
    EXPECT_EQ (rig.update->getErrorText(), "Merle has rebooted, but the firmware update was rejected. Please try again.");
}

TEST (FirmwareUpdateEndToEnd, BlocksTheUnitAsksForAgainAreResent)
{
    FirmwareUpdateRig rig (140);
    rig.setFaults ([] (SimulatedUnit::Faults& f) { f.firmwareResends = 2; });
    rig.w.content.host.developer = true;
    ASSERT_TRUE (rig.start (rig.listEntry (150)));
    ASSERT_TRUE (rig.waitForEnd());

    EXPECT_EQ (rig.update->getResultCode(), FirmwareUpdateThread::resultFinished) << rig.update->getErrorText();
    EXPECT_EQ (rig.unit->getBlocksAccepted(), 9);
    EXPECT_EQ (rig.received (0x7D, 0x60), 27);
    EXPECT_EQ (rig.w.recorder.count (InfoCode::firmwareBlockResent), 18);
    EXPECT_TRUE (rig.host.sawStatus ("Transmission error on packet 2, attempt 1", true));
    EXPECT_TRUE (rig.host.sawStatus ("Transmission error on packet 10, attempt 2", true));
    EXPECT_TRUE (rig.host.sawStatus ("Sending update to Merle", false));
    EXPECT_EQ (rig.w.manager().getFirmwareVersion (-1).build, 150);
}

TEST (FirmwareUpdateEndToEnd, StopDuringTheTransferEndsWhenTheUnitReportsTheCancel)
{
    FirmwareUpdateRig rig (140);
    rig.unit->setLinkRate (1500);   // a block takes its time on the wire
    rig.w.content.host.developer = true;
    ASSERT_TRUE (rig.start (rig.listEntry (150)));

    ASSERT_TRUE (pumpUntil ([&] { return rig.w.recorder.count (InfoCode::firmwareBlockSent) >= 2; }));
    rig.host.postMessage (new DeviceInfoMessage (InfoCode::stopFirmwareUpdate, 0, 0, {}));
    ASSERT_TRUE (rig.waitForEnd());

    EXPECT_TRUE (rig.host.sawStatus ("Stopping update!!!", false));
    EXPECT_EQ (rig.update->getState(), State::stopped);
    EXPECT_EQ (rig.update->getResultCode(), FirmwareUpdateThread::resultStopped);
    const auto history = rig.update->getStateHistory();
    EXPECT_EQ (history[history.size() - 2], (int) State::sending);
    EXPECT_EQ (rig.w.recorder.count (InfoCode::commandCancelled), 1);
    EXPECT_LT (rig.unit->getBlocksAccepted(), 9);
    EXPECT_EQ (rig.host.count (FirmwareUpdateHost::scanForDevices), 0);
}

TEST (FirmwareUpdateEndToEnd, StopDuringTheRebootWaitEndsAtOnce)
{
    // The reboot wait at its real length, from the profiles: Merle boots in 4 s and
    // programs in 6 s, plus 3 s.
    auto t = ScopedFirmwareUpdateTimings::fast();
    t.rebootWaitScale = 1.0;
    FirmwareUpdateRig rig (140, { 7 }, t);
    rig.w.content.host.developer = true;
    ASSERT_TRUE (rig.start (rig.listEntry (150)));
    EXPECT_DOUBLE_EQ (rig.update->getRebootWaitSeconds(), 13.0);

    ASSERT_TRUE (pumpUntil ([&] { return rig.update->getState() == State::applying; }));
    // The timer follows the wait: the phase bar moves between 0 and 1, the overall bar
    // within the reboot phase's share. (The view may still show the sending phase for a
    // tick after the state changed, so wait for a value of this phase.)
    ASSERT_TRUE (pumpUntil ([&] { return rig.host.view->progress.size() > 0
                                         && rig.host.view->progress.back().first > 0.0
                                         && rig.host.view->progress.back().second > 0.55; }));
    EXPECT_LT (rig.host.view->progress.back().first, 1.0);
    EXPECT_LT (rig.host.view->progress.back().second, 0.9);

    rig.host.postMessage (new DeviceInfoMessage (InfoCode::stopFirmwareUpdate, 0, 0, {}));
    ASSERT_TRUE (rig.waitForEnd());
    EXPECT_EQ (rig.update->getState(), State::stopped);
    EXPECT_EQ (rig.update->getResultCode(), FirmwareUpdateThread::resultStopped);
    EXPECT_EQ (describe (rig.update->getStateHistory()), describe (states ({ 0, 2, 4, 5, 13 })));
    EXPECT_EQ (rig.host.count (FirmwareUpdateHost::scanForDevices), 0);
}

TEST (FirmwareUpdateEndToEnd, StopJustAsTheReadEndsSendsNothing)
{
    FirmwareUpdateRig rig (100);
    rig.host.stopBeforeEndOf = DeviceCommand::readAll;
    ASSERT_TRUE (rig.start (rig.listEntry (120)));
    ASSERT_TRUE (rig.waitForEnd());

    EXPECT_EQ (rig.update->getState(), State::stopped);
    EXPECT_EQ (rig.update->getResultCode(), FirmwareUpdateThread::resultStopped);
    EXPECT_EQ (loaderTrace (*rig.unit), "");
    EXPECT_EQ (rig.unit->getPresetNumbers(), juce::Array<int> ({ 1, 2, 3, 4, 5, 7, 12, 20 }));
}

TEST (FirmwareUpdateEndToEnd, StopDuringTheReadCancelsIt)
{
    FirmwareUpdateRig rig (100);
    rig.setFaults ([] (SimulatedUnit::Faults& f) { f.replyDelayMs = 30; });
    ASSERT_TRUE (rig.start (rig.listEntry (120)));
    ASSERT_TRUE (pumpUntil ([&] { return rig.w.recorder.count (InfoCode::presetRead) >= 2; }));
    rig.host.postMessage (new DeviceInfoMessage (InfoCode::stopFirmwareUpdate, 0, 0, {}));
    ASSERT_TRUE (rig.waitForEnd());

    EXPECT_EQ (rig.update->getResultCode(), FirmwareUpdateThread::resultStopped);
    EXPECT_LT (rig.received (0x45), 25);
    EXPECT_EQ (loaderTrace (*rig.unit), "");
}

TEST (FirmwareUpdateEndToEnd, NoUnitAfterTheRebootFailsAndSaysTheDataWasNotRestored)
{
    auto t = ScopedFirmwareUpdateTimings::fast();
    t.connectWaitMs = 200;
    FirmwareUpdateRig rig (100, { 7, 12, 20 }, t);
    rig.host.idleCommands = { FirmwareUpdateHost::connectSelectedDevice };
    ASSERT_TRUE (rig.start (rig.listEntry (120)));
    ASSERT_TRUE (rig.waitForEnd());

    EXPECT_EQ (rig.host.count (FirmwareUpdateHost::connectSelectedDevice), FirmwareUpdateThread::connectTries);
    EXPECT_EQ (rig.update->getState(), State::failed);
    EXPECT_EQ (rig.update->getResultCode(), FirmwareUpdateThread::resultFailed);
    const auto text = rig.update->getErrorText();
    EXPECT_TRUE (text.startsWith ("Merle has rebooted, but Larkspire could not connect to it again")) << text;
    EXPECT_TRUE (text.contains ("Your presets and/or setup data were not written back to Merle")) << text;
    EXPECT_EQ (rig.received (0x20), 0);
}

TEST (FirmwareUpdateEndToEnd, ADisabledCommandIsNotWaitedFor)
{
    // With the program's own pause between the tries.
    auto t = ScopedFirmwareUpdateTimings::fast();
    t.commandRetryPauseMs = FirmwareUpdateTimings().commandRetryPauseMs;
    FirmwareUpdateRig rig (100, { 7, 12, 20 }, t);
    rig.host.disabledCommands = { FirmwareUpdateHost::downloadDeviceData };
    ASSERT_TRUE (rig.start (rig.listEntry (120)));
    ASSERT_TRUE (rig.waitForEnd());

    EXPECT_EQ (rig.host.count (FirmwareUpdateHost::downloadDeviceData), FirmwareUpdateThread::commandTries);
    EXPECT_EQ (rig.update->getResultCode(), FirmwareUpdateThread::resultFailed);
    EXPECT_TRUE (rig.update->getErrorText().startsWith ("Larkspire could not start reading the presets and setup data of Merle"))
        << rig.update->getErrorText();
    EXPECT_EQ (rig.received (0x45), 0);
    EXPECT_EQ (loaderTrace (*rig.unit), "");
}

TEST (FirmwareUpdateEndToEnd, AReadThatNeverStartsEndsTheUpdateAtTheDeadline)
{
    auto t = ScopedFirmwareUpdateTimings::fast();
    t.deviceSilenceLimitMs = 1500;
    FirmwareUpdateRig rig (100, { 7 }, t);
    // The sync command runs, but nothing reaches the unit (as with no unit connected).
    rig.host.idleCommands = { FirmwareUpdateHost::downloadDeviceData };

    ASSERT_TRUE (rig.start (rig.listEntry (120)));
    ASSERT_TRUE (rig.waitForEnd());
    EXPECT_EQ (rig.update->getResultCode(), FirmwareUpdateThread::resultFailed);
    EXPECT_TRUE (rig.update->getErrorText().startsWith ("Larkspire did not receive the presets and setup data of Merle in time"))
        << rig.update->getErrorText();
    EXPECT_EQ (rig.received (0x45), 0);
    EXPECT_EQ (loaderTrace (*rig.unit), "");
}

TEST (FirmwareUpdateEndToEnd, ADeviceInErrorFailsTheUpdateWithItsErrorText)
{
    FirmwareUpdateRig rig (100, { 7 });

    // A failed command leaves the device with its error: it takes no further command.
    ASSERT_EQ (rig.w.run (DeviceCommandMessage (DeviceCommand::readPresets, juce::Array<int> ({ 26 }))),
               InfoCode::commandFailed);
    ASSERT_EQ (rig.w.device()->getErrorCode(), 0xA00002);
    rig.unit->clearLog();

    ASSERT_TRUE (rig.start (rig.listEntry (120)));
    ASSERT_TRUE (rig.waitForEnd());
    EXPECT_EQ (rig.update->getResultCode(), FirmwareUpdateThread::resultFailed);
    EXPECT_EQ (rig.update->getErrorText(), getDeviceErrorText (0xA00002, "Merle"));
    EXPECT_EQ (rig.received (0x45), 0);
    EXPECT_EQ (loaderTrace (*rig.unit), "");
}

TEST (FirmwareUpdateEndToEnd, AFailedWriteBackSaysTheDataWasNotRestored)
{
    FirmwareUpdateRig rig (100, { 7, 12 });
    rig.setFaults ([] (SimulatedUnit::Faults& f) { f.writeStatus[7] = 3; });   // memory full
    ASSERT_TRUE (rig.start (rig.listEntry (120)));
    ASSERT_TRUE (rig.waitForEnd());

    EXPECT_EQ (rig.update->getResultCode(), FirmwareUpdateThread::resultFailed);
    const auto text = rig.update->getErrorText();
    EXPECT_TRUE (text.startsWith ("There is insufficient memory available onMerle")) << text;
    EXPECT_TRUE (text.contains ("\nCode: " + juce::String (0xA00008))) << text;
    EXPECT_TRUE (text.endsWith ("Your presets and/or setup data were not written back to Merle: they have not been restored."))
        << text;
    EXPECT_EQ (rig.w.manager().getFirmwareVersion (-1).build, 120);
}

TEST (FirmwareUpdateEndToEnd, ShutdownStopsARunningUpdateWithoutReportingIt)
{
    FirmwareUpdateRig rig (140);
    rig.unit->setLinkRate (1500);
    rig.w.content.host.developer = true;
    ASSERT_TRUE (rig.start (rig.listEntry (150)));
    ASSERT_TRUE (pumpUntil ([&] { return rig.w.recorder.count (InfoCode::firmwareBlockSent) >= 1; }));

    FirmwareUpdateThread::stopAllUpdates (10000);
    EXPECT_FALSE (rig.update->isThreadRunning());
    EXPECT_FALSE (rig.update->isTimerRunning());
    EXPECT_EQ (rig.update->getState(), State::stopped);
    EXPECT_EQ (rig.update->getResultCode(), FirmwareUpdateThread::resultStopped);
    EXPECT_TRUE (rig.host.view->closed);

    // The running transfer is cancelled; the owner hears nothing of an update it is deleting.
    ASSERT_TRUE (pumpUntil ([&] { return rig.w.recorder.count (InfoCode::commandCancelled) == 1; }));
    pumpFor (300);
    EXPECT_EQ (rig.host.endings, 0);
    EXPECT_LT (rig.unit->getBlocksAccepted(), 9);
}

TEST (FirmwareUpdateEndToEnd, StopJustAsTheTransferEndsGoesNoFurther)
{
    FirmwareUpdateRig rig (140);
    rig.w.content.host.developer = true;
    rig.host.stopBeforeEndOf = DeviceCommand::rawSend;
    ASSERT_TRUE (rig.start (rig.listEntry (150)));
    ASSERT_TRUE (rig.waitForEnd());

    EXPECT_EQ (rig.update->getState(), State::stopped);
    EXPECT_EQ (rig.update->getResultCode(), FirmwareUpdateThread::resultStopped);
    EXPECT_EQ (rig.unit->getBlocksAccepted(), 9);
    EXPECT_EQ (rig.host.count (FirmwareUpdateHost::scanForDevices), 0);
    EXPECT_EQ (rig.host.count (FirmwareUpdateHost::connectSelectedDevice), 0);
}

TEST (FirmwareUpdateEndToEnd, StopWhileACommandNeverEndsEndsAfterTheGrace)
{
    auto t = ScopedFirmwareUpdateTimings::fast();
    t.stopGraceMs = 300;
    FirmwareUpdateRig rig (100, { 7 }, t);
    rig.host.idleCommands = { FirmwareUpdateHost::downloadDeviceData };   // the read never comes
    ASSERT_TRUE (rig.start (rig.listEntry (120)));
    ASSERT_TRUE (pumpUntil ([&] { return rig.host.count (FirmwareUpdateHost::downloadDeviceData) == 1; }));
    rig.host.postMessage (new DeviceInfoMessage (InfoCode::stopFirmwareUpdate, 0, 0, {}));
    ASSERT_TRUE (rig.waitForEnd());

    EXPECT_EQ (rig.update->getState(), State::stopped);
    EXPECT_EQ (rig.update->getResultCode(), FirmwareUpdateThread::resultStopped);
    EXPECT_EQ (loaderTrace (*rig.unit), "");
}

TEST (FirmwareUpdateEndToEnd, ScansWhoseResultNeverComesCountAsNotFound)
{
    auto t = ScopedFirmwareUpdateTimings::fast();
    t.scanTimeoutMs = 200;
    FirmwareUpdateRig rig (140, { 7 }, t);
    rig.w.content.host.developer = true;
    rig.host.idleCommands = { FirmwareUpdateHost::scanForDevices };
    rig.dialogs.answerWith ({ 1 });   // "Stop"
    ASSERT_TRUE (rig.start (rig.listEntry (150)));
    ASSERT_TRUE (rig.waitForEnd());

    EXPECT_EQ (rig.host.count (FirmwareUpdateHost::scanForDevices), FirmwareUpdateThread::rescanTries);
    ASSERT_EQ (rig.dialogs.boxes.size(), 1u);
    EXPECT_EQ (rig.dialogs.boxes[0].title, "Device Detection Failure");
    // Nothing waits to be written back: no note about it.
    EXPECT_FALSE (rig.dialogs.boxes[0].message.contains ("Note:"));
    EXPECT_EQ (rig.update->getState(), State::stopped);
    EXPECT_EQ (rig.update->getResultCode(), FirmwareUpdateThread::resultNone);
}

TEST (FirmwareUpdateEndToEnd, AQuestionNobodyAsksFailsTheUpdate)
{
    auto t = ScopedFirmwareUpdateTimings::fast();
    t.questionPickupMs = 300;
    FirmwareUpdateRig rig (100, { 7, 12, 20 }, t);
    breakPresetRule();
    ASSERT_TRUE (rig.start (rig.listEntry (120)));
    rig.update->stopTimer();   // nothing will put the question to the user

    ASSERT_TRUE (pumpUntil ([&] { return rig.update->getState() == State::failed; }));
    EXPECT_EQ (rig.update->getResultCode(), FirmwareUpdateThread::resultFailed);
    EXPECT_TRUE (rig.update->getErrorText().contains ("could not ask you how to go on")) << rig.update->getErrorText();
    EXPECT_TRUE (rig.dialogs.boxes.empty());
    EXPECT_EQ (loaderTrace (*rig.unit), "");
}

TEST (FirmwareUpdateEndToEnd, AWebLookUpTheServiceNeverAnswersHoldsNoCommand)
{
    // The web look-up of new units follows every scan; a service that says nothing holds
    // neither the device manager nor the unit: the transfer after a scan made just before the
    // update, and the write-back after the update's own scan, go through.
    const juce::String lookUp = "/lark-spire-2/php/tracking-1.0/db_query_find_device.php";
    auto t = ScopedFirmwareUpdateTimings::fast();
    t.deviceSilenceLimitMs = 2000;
    FirmwareUpdateRig rig (100, { 7, 12 }, t);
    ASSERT_TRUE (pumpUntil ([&] { return rig.w.content.server.countRequests ("POST", lookUp) >= 1; }));
    rig.w.content.server.stall (lookUp);
    ASSERT_TRUE (rig.w.scanAndSelect (0));
    ASSERT_TRUE (rig.start (rig.listEntry (120)));
    ASSERT_TRUE (rig.waitForEnd());
    EXPECT_EQ (rig.update->getResultCode(), FirmwareUpdateThread::resultFinished) << rig.update->getErrorText();
    EXPECT_GT (rig.received (0x20), 0);
    EXPECT_GE (rig.w.content.server.countRequests ("POST", lookUp), 2);
}
