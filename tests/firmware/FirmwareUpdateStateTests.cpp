#include <gtest/gtest.h>
#include "core/InfoCodes.h"
#include "support/FirmwareUpdateRig.h"

using namespace testing_support;

namespace
{
    using State = FirmwareUpdateThread::State;

    // The update behind a state machine: nothing converts, nothing waits, no user data.
    struct QuietOwner : public FirmwareUpdateStateMachine::Owner
    {
        void wakeUp() override {}
        juce::String describeUnrestoredData() const override { return {}; }
        void stopConversion() override {}
    };

    void feed (FirmwareUpdateStateMachine& t, int code, int p1 = 0, int p2 = 0, const juce::String& text = {},
               int commandCode = 0)
    {
        DeviceInfoMessage e (code, p1, p2, text);
        e.command = DeviceCommandMessage (commandCode);
        t.changeInfoCallback (ChangeInfo (e));
    }

    // The state machine of an update with no unit behind it: its reactions only.
    struct Bench
    {
        Bench()
        {
            update.setUnit ("Merle", 17, 26, -1);
        }

        QuietOwner owner;
        FirmwareUpdateStateMachine update { owner };
    };

    juce::String statusOf (const FirmwareUpdateStateMachine& t)   { return t.getProgress().getStatusText(); }
    bool isErrorStatus (const FirmwareUpdateStateMachine& t)      { return t.getProgress().isStatusError(); }
    double phaseOf (const FirmwareUpdateStateMachine& t)          { return t.getProgress().getPhaseFraction(); }
    double overallOf (const FirmwareUpdateStateMachine& t)        { return t.getProgress().getOverallFraction(); }
}

TEST (FirmwareUpdateState, PhaseWeightsAndOverallProgressByState)
{
    double sum = 0.0;
    for (int phase = 0; phase < 5; ++phase)
        sum += FirmwareUpdateProgress::getPhaseWeight (phase);
    EXPECT_DOUBLE_EQ (sum, 1.0);
    EXPECT_DOUBLE_EQ (FirmwareUpdateProgress::getPhaseWeight (2), 0.4);

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
        b.update.setState (c.state);
        b.update.setPhaseFraction (0.5);
        EXPECT_DOUBLE_EQ (phaseOf (b.update), c.phase) << "state " << c.state;
        EXPECT_DOUBLE_EQ (overallOf (b.update), c.overall) << "state " << c.state;
    }

    // A question keeps the overall progress where it was.
    Bench b;
    b.update.setState (State::sending);
    b.update.setPhaseFraction (1.0);
    b.update.setState (State::asking);
    b.update.setPhaseFraction (0.25);
    EXPECT_DOUBLE_EQ (phaseOf (b.update), 0.25);
    EXPECT_DOUBLE_EQ (overallOf (b.update), 0.55);

    // Fractions out of range are held to 0..1.
    b.update.setState (State::restoring);
    b.update.setPhaseFraction (1.7);
    EXPECT_DOUBLE_EQ (overallOf (b.update), 1.0);
}

TEST (FirmwareUpdateState, StatusTextsOfTheDeviceEvents)
{
    Bench b;
    auto& t = b.update;
    t.setState (State::preparing);

    feed (t, InfoCode::presetRead, 13, 25, "Bright Lead");
    EXPECT_EQ (statusOf (t), "Analyzing preset 13: Bright Lead");
    EXPECT_FALSE (isErrorStatus (t));
    EXPECT_DOUBLE_EQ (phaseOf (t), 13.0 / 26.0);

    feed (t, InfoCode::presetEmpty, 14, 25);
    EXPECT_EQ (statusOf (t), "Analyzing preset 14: <empty>");

    // Retry texts carry the attempt and the device threads' limit of ten.
    feed (t, InfoCode::presetReadAttemptFailed, 15, 3);
    EXPECT_EQ (statusOf (t), "Transmission error on preset 15  [retry 3/10]");
    EXPECT_TRUE (isErrorStatus (t));
    feed (t, InfoCode::presetWriteAttemptFailed, 4, 9, "Warm Double");
    EXPECT_EQ (statusOf (t), "Transmission error on preset 4  [retry 9/10]");
    feed (t, InfoCode::setupReadAttemptFailed, 0, 2);
    EXPECT_EQ (statusOf (t), "Transmission error on setup data  [retry 2/10]");
    EXPECT_TRUE (isErrorStatus (t));
    feed (t, InfoCode::setupWriteAttemptFailed, 0, 10);
    EXPECT_EQ (statusOf (t), "Transmission error on setup data  [retry 10/10]");

    feed (t, InfoCode::setupPacketSent, 1, 2);
    EXPECT_EQ (statusOf (t), "Updating setup");
    EXPECT_FALSE (isErrorStatus (t));

    // Written presets count up against the number to write, before this one counts.
    t.setState (State::restoring);
    t.getProgress().startCountingWrites (4);
    feed (t, InfoCode::presetWritten, 7, 0, "Sim 7");
    EXPECT_EQ (statusOf (t), "Updating preset 7: Sim 7");
    EXPECT_DOUBLE_EQ (phaseOf (t), 0.0);
    feed (t, InfoCode::presetWritten, 12, 0, "Sim 12");
    EXPECT_DOUBLE_EQ (phaseOf (t), 0.25);

    // Firmware blocks 2 to n of an image of n messages: the last one fills the phase, no more.
    t.setState (State::sending);
    feed (t, InfoCode::firmwareBlockSent, 2, 10);
    EXPECT_EQ (statusOf (t), "Sending update to Merle");
    EXPECT_DOUBLE_EQ (phaseOf (t), 1.0 / 9.0);
    feed (t, InfoCode::firmwareBlockSent, 10, 10);
    EXPECT_DOUBLE_EQ (phaseOf (t), 1.0);
    EXPECT_DOUBLE_EQ (overallOf (t), 0.55);
    feed (t, InfoCode::firmwareBlockResent, 6, 2);
    EXPECT_EQ (statusOf (t), "Transmission error on packet 6, attempt 2");
    EXPECT_TRUE (isErrorStatus (t));

    // A one-message image reports no fraction rather than dividing by zero.
    feed (t, InfoCode::firmwareBlockSent, 1, 1);
    EXPECT_DOUBLE_EQ (phaseOf (t), 1.0);

    // Events of other kinds and codes change nothing.
    const auto before = statusOf (t);
    ChangeInfo::Ptr command = ChangeInfo::command (0x3D000);
    t.changeInfoCallback (*command);
    t.changeInfoCallback (*ChangeInfo::stateChange (4, 0));
    feed (t, InfoCode::presetDeleteSent, 3);
    EXPECT_EQ (statusOf (t), before);
    EXPECT_EQ (t.getState(), State::sending);
}

TEST (FirmwareUpdateState, CommandEndingsMoveOnlyTheStateTheyBelongTo)
{
    Bench b;
    auto& t = b.update;

    // The read's end moves preparing to converting; a done of another command does nothing.
    t.setState (State::preparing);
    t.beginDeviceCommand (DeviceCommand::readAll);
    feed (t, InfoCode::commandDone, 0, 0, {}, DeviceCommand::readPresets);
    EXPECT_EQ (t.getState(), State::preparing);
    EXPECT_EQ (t.getDeviceCommandEnding(), 0);
    feed (t, InfoCode::commandDone, 0, 0, {}, DeviceCommand::readAll);
    EXPECT_EQ (t.getState(), State::converting);
    EXPECT_EQ (t.getDeviceCommandEnding(), InfoCode::commandDone);

    // The transfer's end starts the wait for the reboot.
    t.setState (State::sending);
    t.beginDeviceCommand (DeviceCommand::rawSend);
    feed (t, InfoCode::commandDone, 0, 0, {}, DeviceCommand::rawSend);
    EXPECT_EQ (t.getState(), State::applying);
    EXPECT_EQ (statusOf (t), "Waiting for Merle to apply the update");
    EXPECT_DOUBLE_EQ (phaseOf (t), 1.0);

    // A late second ending of the transfer does not bring the update back to "applying".
    t.setState (State::rescanning);
    feed (t, InfoCode::commandDone, 0, 0, {}, DeviceCommand::rawSend);
    EXPECT_EQ (t.getState(), State::rescanning);

    // The write-back's end.
    t.setState (State::restoring);
    t.beginDeviceCommand (DeviceCommand::writeWholeData);
    feed (t, InfoCode::commandDone, 0, 0, {}, DeviceCommand::writeWholeData);
    EXPECT_EQ (t.getState(), State::restored);

    // The failure of the re-identification is not the update's.
    t.setState (State::rescanning);
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
    auto& t = b.update;

    // Without a device manager no unit is connected: not found.
    t.setState (State::rescanning);
    feed (t, InfoCode::scanFinished, 1);
    EXPECT_EQ (t.getState(), State::unitNotFound);
    EXPECT_DOUBLE_EQ (phaseOf (t), 1.0);

    // A scan result in any other state leaves it be.
    for (int s : { (int) State::sending, (int) State::applying, (int) State::askingToScan, (int) State::restoring })
    {
        t.setState (s);
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
        auto& t = b.update;
        t.setState (s);
        feed (t, InfoCode::stopFirmwareUpdate);
        EXPECT_EQ (statusOf (t), "Stopping update!!!") << "state " << s;
        EXPECT_EQ (t.getState(), State::stopped) << "state " << s;
        EXPECT_EQ (t.getResultCode(), FirmwareUpdateThread::resultStopped) << "state " << s;
        EXPECT_TRUE (t.isStopRequested());
    }

    // With one, the update waits for the command to end as cancelled.
    for (auto c : { std::make_pair ((int) State::preparing, (int) DeviceCommand::readAll),
                    std::make_pair ((int) State::sending, (int) DeviceCommand::rawSend),
                    std::make_pair ((int) State::restoring, (int) DeviceCommand::writeWholeData) })
    {
        Bench b;
        auto& t = b.update;
        t.setState (c.first);
        t.beginDeviceCommand (c.second);
        feed (t, InfoCode::stopFirmwareUpdate);
        EXPECT_EQ (statusOf (t), "Stopping update!!!");
        EXPECT_EQ (t.getState(), c.first);
        EXPECT_EQ (t.getResultCode(), FirmwareUpdateThread::resultNone);   // not over yet

        // A cancelled command of someone else is not the update's.
        feed (t, InfoCode::commandCancelled, 0, 0, {}, DeviceCommand::readPresets);
        EXPECT_EQ (t.getState(), c.first);

        feed (t, InfoCode::commandCancelled, 0, 0, {}, c.second);
        EXPECT_EQ (t.getState(), State::stopped);
        EXPECT_EQ (t.getResultCode(), FirmwareUpdateThread::resultStopped);
        EXPECT_EQ (t.getDeviceCommandEnding(), InfoCode::commandCancelled);
    }
}

TEST (FirmwareUpdateState, FinalStatesStayFinal)
{
    // Stopped: late endings, scan results and failures change neither state nor result.
    {
        Bench b;
        auto& t = b.update;
        t.setState (State::sending);
        t.beginDeviceCommand (DeviceCommand::rawSend);
        feed (t, InfoCode::stopFirmwareUpdate);
        feed (t, InfoCode::commandCancelled, 0, 0, {}, DeviceCommand::rawSend);
        ASSERT_EQ (t.getState(), State::stopped);

        t.beginDeviceCommand (DeviceCommand::rawSend);
        feed (t, InfoCode::commandDone, 0, 0, {}, DeviceCommand::rawSend);
        feed (t, InfoCode::scanFinished, 1);
        feed (t, InfoCode::unitConnection, 1);
        feed (t, InfoCode::commandFailed, 0, 0, {}, DeviceCommand::rawSend);
        feed (t, InfoCode::stopFirmwareUpdate);
        EXPECT_EQ (t.getState(), State::stopped);
        EXPECT_EQ (t.getResultCode(), FirmwareUpdateThread::resultStopped);
        EXPECT_TRUE (t.getErrorText().isEmpty());
    }

    // Failed: a later cancel does not turn it into "stopped", nor a done into "restored".
    {
        Bench b;
        auto& t = b.update;
        t.setState (State::restoring);
        t.beginDeviceCommand (DeviceCommand::writeWholeData);
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
        auto& t = b.update;
        ASSERT_TRUE (t.finish());
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
