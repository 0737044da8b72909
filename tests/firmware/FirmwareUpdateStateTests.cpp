#include <gtest/gtest.h>
#include "core/InfoCodes.h"
#include "support/FirmwareUpdateRig.h"

using namespace testing_support;

// Reaches into the update to put it in a state and to read what the tests check, so that
// its reactions to the messages it listens to can be tried one by one, without a unit.
struct FirmwareUpdateThreadProbe
{
    static void setState (FirmwareUpdateThread& t, int s)
    {
        const juce::ScopedLock sl (t.stateLock);
        t.enterState (s);
    }

    static void setResult (FirmwareUpdateThread& t, int r)
    {
        const juce::ScopedLock sl (t.stateLock);
        t.resultCode = r;
    }

    static void setRunningCommand (FirmwareUpdateThread& t, int code)
    {
        t.runningDeviceCommand = code;
        t.deviceCommandEnding = 0;
    }

    static int commandEnding (FirmwareUpdateThread& t) { return t.deviceCommandEnding.load(); }

    static void setUnit (FirmwareUpdateThread& t, const juce::String& name, int numPresets, juce::uint8 productId)
    {
        t.deviceName = name;
        t.unitFormat.numPresets = numPresets;
        t.unitFormat.productId = productId;
    }

    static void setPresetsToWrite (FirmwareUpdateThread& t, int n)
    {
        const juce::ScopedLock sl (t.progressLock);
        t.presetsToWrite = n;
        t.presetsWritten = 0;
    }

    static void setPhaseFraction (FirmwareUpdateThread& t, double f) { t.setPhaseFraction (f); }
    static bool stopRequested (FirmwareUpdateThread& t)               { return t.stopRequested.load(); }

};

namespace
{
    using State = FirmwareUpdateThread::State;
    using Probe = FirmwareUpdateThreadProbe;

    DeviceCommandMessage commandOf (int code) { return DeviceCommandMessage (code); }

    void feed (FirmwareUpdateThread& t, int code, int p1 = 0, int p2 = 0, const juce::String& text = {},
               int commandCode = 0)
    {
        DeviceInfoMessage e (code, p1, p2, text);
        e.command = commandOf (commandCode);
        t.changeInfoCallback (ChangeInfo (e));
    }

    // An update with no unit behind it: its reactions only.
    struct Bench
    {
        Bench()
        {
            update = std::make_unique<FirmwareUpdateThread> (host, FirmwareUpdateElement());
            Probe::setUnit (*update, "Merle", 26, 17);
        }

        ScopedFirmwareUpdateTimings timings { ScopedFirmwareUpdateTimings::fast() };
        RecordingUpdateHost host;
        std::unique_ptr<FirmwareUpdateThread> update;
    };
}

TEST (FirmwareUpdateState, PhaseWeightsAndOverallProgressByState)
{
    double sum = 0.0;
    for (int phase = 0; phase < 5; ++phase)
        sum += FirmwareUpdateThread::getPhaseWeight (phase);
    EXPECT_DOUBLE_EQ (sum, 1.0);
    EXPECT_DOUBLE_EQ (FirmwareUpdateThread::getPhaseWeight (2), 0.4);

    struct Case { int state; double phase, overall; };
    const Case cases[] = {
        { State::preparing,    0.5, 0.05 },
        { State::converting,   0.5, 0.1 + 0.025 },
        { State::sending,      0.5, 0.15 + 0.2 },
        { State::applying,     0.5, 0.55 + 0.175 },
        { State::rescanning,   1.0, 0.55 + 0.175 },   // the phase bar is full while searching
        { State::unitFound,    1.0, 0.55 + 0.175 },
        { State::unitNotFound, 1.0, 0.55 + 0.175 },
        { State::askingToScan, 1.0, 0.55 + 0.175 },
        { State::restoring,    0.5, 0.9 + 0.05 },
        { State::finished,     1.0, 1.0 },
        { State::created,      0.5, 0.05 },
        { State::restored,     0.5, 0.05 },
    };
    for (auto c : cases)
    {
        Bench b;
        Probe::setState (*b.update, c.state);
        Probe::setPhaseFraction (*b.update, 0.5);
        EXPECT_DOUBLE_EQ (b.update->getPhaseFraction(), c.phase) << "state " << c.state;
        EXPECT_DOUBLE_EQ (b.update->getOverallFraction(), c.overall) << "state " << c.state;
    }

    // A question keeps the overall progress where it was.
    Bench b;
    Probe::setState (*b.update, State::sending);
    Probe::setPhaseFraction (*b.update, 1.0);
    Probe::setState (*b.update, State::asking);
    Probe::setPhaseFraction (*b.update, 0.25);
    EXPECT_DOUBLE_EQ (b.update->getPhaseFraction(), 0.25);
    EXPECT_DOUBLE_EQ (b.update->getOverallFraction(), 0.55);

    // Fractions out of range are held to 0..1.
    Probe::setState (*b.update, State::restoring);
    Probe::setPhaseFraction (*b.update, 1.7);
    EXPECT_DOUBLE_EQ (b.update->getOverallFraction(), 1.0);
}

TEST (FirmwareUpdateState, StatusTextsOfTheDeviceEvents)
{
    Bench b;
    auto& t = *b.update;
    Probe::setState (t, State::preparing);

    feed (t, InfoCode::presetRead, 13, 25, "Bright Lead");
    EXPECT_EQ (t.getStatusText(), "Analyzing preset 13: Bright Lead");
    EXPECT_FALSE (t.isStatusError());
    EXPECT_DOUBLE_EQ (t.getPhaseFraction(), 13.0 / 26.0);

    feed (t, InfoCode::presetEmpty, 14, 25);
    EXPECT_EQ (t.getStatusText(), "Analyzing preset 14: <empty>");

    // Retry texts carry the attempt and the device threads' limit of ten.
    feed (t, InfoCode::presetReadAttemptFailed, 15, 3);
    EXPECT_EQ (t.getStatusText(), "Transmission error on preset 15  [retry 3/10]");
    EXPECT_TRUE (t.isStatusError());
    feed (t, InfoCode::presetWriteAttemptFailed, 4, 9, "Warm Double");
    EXPECT_EQ (t.getStatusText(), "Transmission error on preset 4  [retry 9/10]");
    feed (t, InfoCode::setupReadAttemptFailed, 0, 2);
    EXPECT_EQ (t.getStatusText(), "Transmission error on setup data  [retry 2/10]");
    EXPECT_TRUE (t.isStatusError());
    feed (t, InfoCode::setupWriteAttemptFailed, 0, 10);
    EXPECT_EQ (t.getStatusText(), "Transmission error on setup data  [retry 10/10]");

    feed (t, InfoCode::setupPacketSent, 1, 2);
    EXPECT_EQ (t.getStatusText(), "Updating setup");
    EXPECT_FALSE (t.isStatusError());

    // Written presets count up against the number to write, before this one counts.
    Probe::setState (t, State::restoring);
    Probe::setPresetsToWrite (t, 4);
    feed (t, InfoCode::presetWritten, 7, 0, "Sim 7");
    EXPECT_EQ (t.getStatusText(), "Updating preset 7: Sim 7");
    EXPECT_DOUBLE_EQ (t.getPhaseFraction(), 0.0);
    feed (t, InfoCode::presetWritten, 12, 0, "Sim 12");
    EXPECT_DOUBLE_EQ (t.getPhaseFraction(), 0.25);

    // Firmware blocks 2 to n of an image of n messages: the last one fills the phase, no more.
    Probe::setState (t, State::sending);
    feed (t, InfoCode::firmwareBlockSent, 2, 10);
    EXPECT_EQ (t.getStatusText(), "Sending update to Merle");
    EXPECT_DOUBLE_EQ (t.getPhaseFraction(), 1.0 / 9.0);
    feed (t, InfoCode::firmwareBlockSent, 10, 10);
    EXPECT_DOUBLE_EQ (t.getPhaseFraction(), 1.0);
    EXPECT_DOUBLE_EQ (t.getOverallFraction(), 0.55);
    feed (t, InfoCode::firmwareBlockResent, 6, 2);
    EXPECT_EQ (t.getStatusText(), "Transmission error on packet 6, attempt 2");
    EXPECT_TRUE (t.isStatusError());

    // A one-message image reports no fraction rather than dividing by zero.
    feed (t, InfoCode::firmwareBlockSent, 1, 1);
    EXPECT_DOUBLE_EQ (t.getPhaseFraction(), 1.0);

    // Events of other kinds and codes change nothing.
    const auto before = t.getStatusText();
    ChangeInfo::Ptr command = ChangeInfo::command (0x3D000);
    t.changeInfoCallback (*command);
    t.changeInfoCallback (*ChangeInfo::stateChange (4, 0));
    feed (t, InfoCode::presetDeleteSent, 3);
    EXPECT_EQ (t.getStatusText(), before);
    EXPECT_EQ (t.getState(), State::sending);
}

TEST (FirmwareUpdateState, CommandEndingsMoveOnlyTheStateTheyBelongTo)
{
    Bench b;
    auto& t = *b.update;

    // The read's end moves preparing to converting; a done of another command does nothing.
    Probe::setState (t, State::preparing);
    Probe::setRunningCommand (t, DeviceCommand::readAll);
    feed (t, InfoCode::commandDone, 0, 0, {}, DeviceCommand::readPresets);
    EXPECT_EQ (t.getState(), State::preparing);
    EXPECT_EQ (Probe::commandEnding (t), 0);
    feed (t, InfoCode::commandDone, 0, 0, {}, DeviceCommand::readAll);
    EXPECT_EQ (t.getState(), State::converting);
    EXPECT_EQ (Probe::commandEnding (t), InfoCode::commandDone);

    // The transfer's end starts the wait for the reboot.
    Probe::setState (t, State::sending);
    Probe::setRunningCommand (t, DeviceCommand::rawSend);
    feed (t, InfoCode::commandDone, 0, 0, {}, DeviceCommand::rawSend);
    EXPECT_EQ (t.getState(), State::applying);
    EXPECT_EQ (t.getStatusText(), "Waiting for Merle to apply the update");
    EXPECT_DOUBLE_EQ (t.getPhaseFraction(), 1.0);

    // A late second ending of the transfer does not bring the update back to "applying".
    Probe::setState (t, State::rescanning);
    feed (t, InfoCode::commandDone, 0, 0, {}, DeviceCommand::rawSend);
    EXPECT_EQ (t.getState(), State::rescanning);

    // The write-back's end.
    Probe::setState (t, State::restoring);
    Probe::setRunningCommand (t, DeviceCommand::writeWholeData);
    feed (t, InfoCode::commandDone, 0, 0, {}, DeviceCommand::writeWholeData);
    EXPECT_EQ (t.getState(), State::restored);

    // The failure of the re-identification is not the update's.
    Probe::setState (t, State::rescanning);
    feed (t, InfoCode::commandFailed, 0, 0, {}, DeviceCommand::reidentify);
    EXPECT_EQ (t.getState(), State::rescanning);

    // Any other failure fails the update with the device's error text (no device: internal).
    feed (t, InfoCode::commandFailed, 0, 0, {}, DeviceCommand::readAll);
    EXPECT_EQ (t.getState(), State::failed);
    EXPECT_EQ (t.getResultCode(), FirmwareUpdateThread::resultFailed);
    EXPECT_TRUE (t.getErrorText().contains ("unexpected internal error with Merle"));
    EXPECT_TRUE (t.getErrorText().endsWith ("\nCode: " + juce::String (0xA00002)));
}

TEST (FirmwareUpdateState, ScanResultsAreTakenOnlyWhileRescanning)
{
    Bench b;
    auto& t = *b.update;

    // Without a device manager no unit is connected: not found.
    Probe::setState (t, State::rescanning);
    feed (t, InfoCode::scanFinished, 1);
    EXPECT_EQ (t.getState(), State::unitNotFound);
    EXPECT_DOUBLE_EQ (t.getPhaseFraction(), 1.0);

    // A scan result in any other state leaves it be.
    for (int s : { (int) State::sending, (int) State::applying, (int) State::askingToScan, (int) State::restoring })
    {
        Probe::setState (t, s);
        feed (t, InfoCode::scanFinished, 1);
        EXPECT_EQ (t.getState(), s);
    }
}

TEST (FirmwareUpdateState, StopInEachState)
{
    // Without a device command under way the update ends at once, as stopped by the user.
    for (int s : { (int) State::created, (int) State::preparing, (int) State::converting, (int) State::applying,
                   (int) State::rescanning, (int) State::unitFound, (int) State::unitNotFound, (int) State::restoring })
    {
        Bench b;
        auto& t = *b.update;
        Probe::setState (t, s);
        feed (t, InfoCode::stopFirmwareUpdate);
        EXPECT_EQ (t.getStatusText(), "Stopping update!!!") << "state " << s;
        EXPECT_EQ (t.getState(), State::stopped) << "state " << s;
        EXPECT_EQ (t.getResultCode(), FirmwareUpdateThread::resultStopped) << "state " << s;
        EXPECT_TRUE (Probe::stopRequested (t));
    }

    // With one, the update waits for the command to end as cancelled.
    for (auto c : { std::make_pair ((int) State::preparing, (int) DeviceCommand::readAll),
                    std::make_pair ((int) State::sending, (int) DeviceCommand::rawSend),
                    std::make_pair ((int) State::restoring, (int) DeviceCommand::writeWholeData) })
    {
        Bench b;
        auto& t = *b.update;
        Probe::setState (t, c.first);
        Probe::setRunningCommand (t, c.second);
        feed (t, InfoCode::stopFirmwareUpdate);
        EXPECT_EQ (t.getStatusText(), "Stopping update!!!");
        EXPECT_EQ (t.getState(), c.first);
        EXPECT_TRUE (t.isActive());

        // A cancelled command of someone else is not the update's.
        feed (t, InfoCode::commandCancelled, 0, 0, {}, DeviceCommand::readPresets);
        EXPECT_EQ (t.getState(), c.first);

        feed (t, InfoCode::commandCancelled, 0, 0, {}, c.second);
        EXPECT_EQ (t.getState(), State::stopped);
        EXPECT_EQ (t.getResultCode(), FirmwareUpdateThread::resultStopped);
        EXPECT_EQ (Probe::commandEnding (t), InfoCode::commandCancelled);
    }
}

TEST (FirmwareUpdateState, FinalStatesStayFinal)
{
    // Stopped: late endings, scan results and failures change neither state nor result.
    {
        Bench b;
        auto& t = *b.update;
        Probe::setState (t, State::sending);
        Probe::setRunningCommand (t, DeviceCommand::rawSend);
        feed (t, InfoCode::stopFirmwareUpdate);
        feed (t, InfoCode::commandCancelled, 0, 0, {}, DeviceCommand::rawSend);
        ASSERT_EQ (t.getState(), State::stopped);

        Probe::setRunningCommand (t, DeviceCommand::rawSend);
        feed (t, InfoCode::commandDone, 0, 0, {}, DeviceCommand::rawSend);
        feed (t, InfoCode::scanFinished, 1);
        feed (t, InfoCode::unitConnection, 1);
        feed (t, InfoCode::commandFailed, 0, 0, {}, DeviceCommand::rawSend);
        feed (t, InfoCode::stopFirmwareUpdate);
        EXPECT_EQ (t.getState(), State::stopped);
        EXPECT_EQ (t.getResultCode(), FirmwareUpdateThread::resultStopped);
        EXPECT_TRUE (t.getErrorText().isEmpty());
        EXPECT_FALSE (t.isActive());
    }

    // Failed: a later cancel does not turn it into "stopped", nor a done into "restored".
    {
        Bench b;
        auto& t = *b.update;
        Probe::setState (t, State::restoring);
        Probe::setRunningCommand (t, DeviceCommand::writeWholeData);
        feed (t, InfoCode::commandFailed, 0, 0, {}, DeviceCommand::writeWholeData);
        ASSERT_EQ (t.getState(), State::failed);
        const auto text = t.getErrorText();

        feed (t, InfoCode::commandCancelled, 0, 0, {}, DeviceCommand::writeWholeData);
        feed (t, InfoCode::commandDone, 0, 0, {}, DeviceCommand::writeWholeData);
        feed (t, InfoCode::commandFailed, 0, 0, {}, DeviceCommand::readAll);
        EXPECT_EQ (t.getState(), State::failed);
        EXPECT_EQ (t.getResultCode(), FirmwareUpdateThread::resultFailed);
        EXPECT_EQ (t.getErrorText(), text);
    }

    // Finished: nothing moves it either.
    {
        Bench b;
        auto& t = *b.update;
        Probe::setState (t, State::finished);
        Probe::setResult (t, FirmwareUpdateThread::resultFinished);
        feed (t, InfoCode::commandFailed, 0, 0, {}, DeviceCommand::writeWholeData);
        feed (t, InfoCode::stopFirmwareUpdate);
        EXPECT_EQ (t.getState(), State::finished);
        EXPECT_EQ (t.getResultCode(), FirmwareUpdateThread::resultFinished);
    }
}

TEST (FirmwareUpdateState, PreCheckWithoutUnitOrWindowIsRefused)
{
    ScopedFirmwareUpdateTimings timings (ScopedFirmwareUpdateTimings::fast());

    // No progress window.
    {
        RecordingUpdateHost host;
        host.noView = true;
        FirmwareUpdateThread t (host, FirmwareUpdateElement());
        EXPECT_FALSE (t.preCheck());
        EXPECT_EQ (t.getErrorText(), "Memory allocation error. Code: 3");
        EXPECT_EQ (t.getState(), State::failed);
        EXPECT_EQ (t.getResultCode(), FirmwareUpdateThread::resultFailed);
    }

    // No unit.
    {
        RecordingUpdateHost host;
        FirmwareUpdateThread t (host, FirmwareUpdateElement());
        EXPECT_FALSE (t.preCheck());
        EXPECT_TRUE (t.getErrorText().endsWith ("Code: 1A."));
        EXPECT_EQ (t.getResultCode(), FirmwareUpdateThread::resultFailed);

        // A refused update does not start.
        t.startUpdate();
        EXPECT_FALSE (t.isThreadRunning());
        EXPECT_FALSE (t.isTimerRunning());
    }
}
