// The state of a firmware update, its moves, and what the device events do to it.

#include "firmware/FirmwareUpdateStateMachine.h"
#include "core/InfoCodes.h"
#include "device/DeviceErrors.h"
#include "device/DeviceManager.h"
#include "device/DeviceObject.h"

namespace
{
    constexpr int maxDeviceAttempts = 10;   // the device threads' attempts, shown in retry texts
}

FirmwareUpdateStateMachine::FirmwareUpdateStateMachine (Owner& o) : owner (o)
{
}

void FirmwareUpdateStateMachine::setUnit (const juce::String& name, juce::uint8 product, int presets, int serial)
{
    deviceName = name;
    productId = product;
    numPresets = presets;
    serialNumber = serial;
}

//==============================================================================
// State

int FirmwareUpdateStateMachine::getState() const
{
    const juce::ScopedLock sl (stateLock);
    return state;
}

int FirmwareUpdateStateMachine::getResultCode() const
{
    const juce::ScopedLock sl (stateLock);
    return resultCode;
}

juce::String FirmwareUpdateStateMachine::getErrorText() const
{
    const juce::ScopedLock sl (stateLock);
    return errorText;
}

juce::Array<int> FirmwareUpdateStateMachine::getStateHistory() const
{
    const juce::ScopedLock sl (stateLock);
    return stateHistory;
}

void FirmwareUpdateStateMachine::enterState (int newState)
{
    if (newState != state)
        stateHistory.add (newState);
    state = newState;
}

bool FirmwareUpdateStateMachine::setState (int newState)
{
    const juce::ScopedLock sl (stateLock);
    if (isFinalState (state))
        return false;
    enterState (newState);
    return true;
}

bool FirmwareUpdateStateMachine::moveState (int from, int to)
{
    const juce::ScopedLock sl (stateLock);
    if (state != from || isFinalState (state))
        return false;
    enterState (to);
    return true;
}

void FirmwareUpdateStateMachine::fail (const juce::String& text)
{
    {
        const juce::ScopedLock sl (stateLock);
        if (isFinalState (state))
            return;
        enterState (failed);
        errorText = text;
        resultCode = resultFailed;
    }
    owner.wakeUp();
}

void FirmwareUpdateStateMachine::endAsStopped (int result)
{
    {
        const juce::ScopedLock sl (stateLock);
        if (isFinalState (state))
            return;
        enterState (stopped);
        resultCode = result;
    }
    owner.wakeUp();
}

bool FirmwareUpdateStateMachine::finish()
{
    const juce::ScopedLock sl (stateLock);
    if (isFinalState (state))
        return false;
    enterState (finished);
    resultCode = resultFinished;
    return true;
}

void FirmwareUpdateStateMachine::setQuestion (const juce::String& text, int resumeState)
{
    const juce::ScopedLock sl (stateLock);
    questionText = text;
    questionResumeState = resumeState;
}

juce::String FirmwareUpdateStateMachine::getQuestion (int& resumeState) const
{
    const juce::ScopedLock sl (stateLock);
    resumeState = questionResumeState;
    return questionText;
}

void FirmwareUpdateStateMachine::setPhaseFraction (double fraction)
{
    progress.setPhaseFraction (getState(), fraction);   // the state is never read under the progress lock
}

//==============================================================================
// The device command

void FirmwareUpdateStateMachine::beginDeviceCommand (int code)
{
    runningDeviceCommand = code;
    deviceCommandEnding = 0;
    noteDeviceActivity();
}

bool FirmwareUpdateStateMachine::isDeviceCommandRunning() const noexcept
{
    return runningDeviceCommand.load() != 0 && deviceCommandEnding.load() == 0;
}

void FirmwareUpdateStateMachine::noteDeviceActivity()
{
    lastDeviceActivity = juce::Time::getMillisecondCounter();
}

//==============================================================================
// Device events, on the message thread

void FirmwareUpdateStateMachine::changeInfoCallback (const ChangeInfo& info)
{
    if (info.kind != ChangeInfo::deviceEvent)
        return;
    handleDeviceEvent (info.event);
}

void FirmwareUpdateStateMachine::handleDeviceEvent (const DeviceInfoMessage& e)
{
    const bool ownCommand = e.command.code != 0 && e.command.code == runningDeviceCommand.load();

    switch (e.code)
    {
        case InfoCode::unitConnection:
            if (e.p1 == 1)
            {
                ++unitConnections;
                owner.wakeUp();
            }
            break;

        case InfoCode::scanFinished:
        {
            const int s = getState();
            if (s == rescanning || s == unitNotFound)
            {
                auto* devices = getDeviceManager();
                const auto product = productId;
                if (devices != nullptr && devices->isDeviceConnected (product, serialNumber.load()))
                {
                    moveState (s, unitFound);
                }
                else if (devices != nullptr && devices->isDeviceConnected (product, 0))
                {
                    if (moveState (s, unitFound))
                        serialNumber = 0;
                }
                else
                {
                    moveState (s, unitNotFound);
                }
                setPhaseFraction (1.0);
            }
            ++scanResults;
            owner.wakeUp();
            break;
        }

        case InfoCode::presetRead:
        case InfoCode::presetEmpty:
            noteDeviceActivity();
            setStatus (juce::String::formatted ("Analyzing preset %d: ", e.p1)
                       + (e.code == InfoCode::presetEmpty ? juce::String ("<empty>") : e.text));
            if (numPresets > 0)
                setPhaseFraction ((double) e.p1 / (double) numPresets);
            break;

        case InfoCode::presetWritten:
        {
            noteDeviceActivity();
            setStatus (juce::String::formatted ("Updating preset %d: ", e.p1) + e.text);
            const double fraction = progress.countWrittenPreset();
            if (fraction >= 0.0)
                setPhaseFraction (fraction);
            break;
        }

        case InfoCode::presetReadAttemptFailed:
        case InfoCode::presetWriteAttemptFailed:
            noteDeviceActivity();
            setStatus (juce::String::formatted ("Transmission error on preset %d  [retry %d/%d]",
                                                e.p1, e.p2, maxDeviceAttempts), true);
            break;

        case InfoCode::setupPacketSent:
            noteDeviceActivity();
            setStatus ("Updating setup");
            break;

        case InfoCode::setupReadAttemptFailed:
        case InfoCode::setupWriteAttemptFailed:
            noteDeviceActivity();
            setStatus (juce::String::formatted ("Transmission error on setup data  [retry %d/%d]",
                                                e.p2, maxDeviceAttempts), true);
            break;

        case InfoCode::firmwareBlockSent:
            noteDeviceActivity();
            setStatus ("Sending update to " + deviceName);
            // Blocks 2 to n of n messages: the last one fills the phase.
            if (e.p2 > 1)
                setPhaseFraction ((double) (e.p1 - 1) / (double) (e.p2 - 1));
            break;

        case InfoCode::firmwareBlockResent:
            noteDeviceActivity();
            setStatus (juce::String::formatted ("Transmission error on packet %d, attempt %d", e.p1, e.p2), true);
            break;

        case InfoCode::unitNeedsTime:
            noteDeviceActivity();
            break;

        case InfoCode::commandDone:
            if (! ownCommand)
                break;
            noteDeviceActivity();
            if (e.command.code == DeviceCommand::writeWholeData)
            {
                moveState (restoring, restored);
            }
            else if (e.command.code == DeviceCommand::readAll)
            {
                moveState (preparing, converting);
            }
            else if (e.command.code == DeviceCommand::rawSend)
            {
                if (moveState (sending, applying))
                {
                    setStatus ("Waiting for " + deviceName + " to apply the update");
                    rebootWaitStartMs = juce::Time::getMillisecondCounterHiRes();
                    setPhaseFraction (1.0);
                }
            }
            deviceCommandEnding = InfoCode::commandDone;
            owner.wakeUp();
            break;

        case InfoCode::commandCancelled:
            if (! ownCommand)
                break;
            noteDeviceActivity();
            endAsStopped (resultStopped);
            deviceCommandEnding = InfoCode::commandCancelled;
            owner.wakeUp();
            break;

        case InfoCode::commandFailed:
        {
            if (e.command.code == DeviceCommand::reidentify)
                break;
            auto* devices = getDeviceManager();
            auto device = devices != nullptr ? devices->getDeviceObject (-1) : nullptr;
            const int code = device != nullptr && device->getErrorCode() != 0 ? device->getErrorCode()
                                                                               : (int) DeviceError::internalError;
            auto text = getDeviceErrorText (code, deviceName);
            if (getState() == restoring)
                text << owner.describeUnrestoredData();
            fail (text);
            if (ownCommand)
                deviceCommandEnding = InfoCode::commandFailed;
            owner.wakeUp();
            break;
        }

        case InfoCode::stopFirmwareUpdate:
            handleStopRequest();
            break;

        default:
            break;
    }
}

void FirmwareUpdateStateMachine::handleStopRequest()
{
    setStatus ("Stopping update!!!");
    stopRequestTime = juce::Time::getMillisecondCounter();
    stopRequested = true;

    if (auto* devices = getDeviceManager())
        devices->requestCancel();

    // With a device command under way the update ends when the command does (it ends as
    // cancelled; the thread gives it its time). Otherwise it ends now.
    if (! isDeviceCommandRunning())
    {
        endAsStopped (resultStopped);
        owner.stopConversion();
    }
    owner.wakeUp();
}
