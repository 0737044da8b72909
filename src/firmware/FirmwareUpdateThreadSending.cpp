// The image goes to the unit, and the unit applies it and reboots.

#include "firmware/FirmwareUpdateThread.h"
#include "core/InfoCodes.h"
#include "device/DeviceManager.h"
#include "firmware/FirmwareUpdateTexts.h"

using namespace FirmwareUpdateTexts;

bool FirmwareUpdateThread::send()
{
    if (! setState (sending))
        return false;

    if (machine.isStopRequested())
    {
        endAsStopped (resultStopped);
        return false;
    }

    auto* devices = getDeviceManager();
    if (image == nullptr || image->size() < 2 || devices == nullptr)
    {
        fail (image == nullptr ? juce::String (imageInvalid) : juce::String (internalErrorCode1A));
        return false;
    }

    setStatus ("Sending update to " + getDeviceName());
    setPhaseFraction (0.0);

    machine.beginDeviceCommand (DeviceCommand::rawSend);

    // A Stop that came in meanwhile ended the update before anything was posted.
    if (machine.isStopRequested() || ! isActive())
    {
        machine.forgetDeviceCommand();
        endAsStopped (resultStopped);
        return false;
    }
    imageSent = true;
    devices->postMessage (new DeviceCommandMessage (std::move (image), {}));
    return true;
}

bool FirmwareUpdateThread::waitForTransfer()
{
    bool silent = false;
    if (waitForDeviceCommand (DeviceCommand::rawSend, silent))
    {
        // Stop came while the last block was on its way: the update ends here, with the
        // unit applying what it received.
        if (machine.isStopRequested())
        {
            endAsStopped (resultStopped);
            return false;
        }
        return isActive();
    }
    // A running transfer reports every block and ends on the device thread's own time-outs
    // long before this limit; what reaches it is a command that has not started: it waits in
    // the device manager's queue behind that thread's other work (the web look-up of new
    // units after a scan has no overall deadline).
    if (silent && isActive())
        fail (getDeviceName() + " stopped responding while the firmware update was being sent. Please power cycle "
              + getDeviceName() + ", restart Larkspire and try the update again.");
    return false;
}

void FirmwareUpdateThread::waitForReboot()
{
    const int connectionsBefore = machine.getUnitConnections();
    const auto deadline = now() + (juce::uint32) juce::jmax (0.0, rebootWaitMs);

    // Ended early by a unit that connects, by Stop and by the thread's exit.
    while (isActive() && getState() == applying && machine.getUnitConnections() == connectionsBefore)
    {
        const int left = remainingUntil (deadline);
        if (left <= 0 || ! waitFor (juce::jmin (left, 200)))
            break;
    }
}

