// After the reboot: the unit is found again, its new version checked and the converted
// presets and setup written back to it.

#include "firmware/FirmwareUpdateThread.h"
#include "core/InfoCodes.h"
#include "device/DeviceManager.h"

bool FirmwareUpdateThread::rescan()
{
    for (;;)
    {
        {
            const int s = getState();
            if (s == unitFound || s == finished)
                return true;
        }

        for (int tries = 0; tries < rescanTries; ++tries)
        {
            if (! setState (rescanning) || ! isActive())
                return false;

            const int resultsBefore = machine.getScanResults();
            bool refused = false;
            if (! runCommand (FirmwareUpdateHost::scanForDevices, refused))
            {
                if (isActive())
                    fail ("The firmware update was sent to " + getDeviceName() + ", but Larkspire could not scan for the "
                          "device afterwards. Please restart Larkspire and check that " + getDeviceName()
                          + " has restarted." + describeUnrestoredData());
                return false;
            }

            const auto deadline = now() + (juce::uint32) timings.scanTimeoutMs;
            while (isActive() && machine.getScanResults() == resultsBefore && getState() == rescanning)
            {
                const int left = remainingUntil (deadline);
                if (left <= 0 || ! waitFor (juce::jmin (left, 200)))
                    break;
            }
            if (! isActive())
                return false;
            if (getState() == unitFound)
                return true;

            // A scan whose result never came counts as one that did not find the unit.
            moveState (rescanning, unitNotFound);
            if (! waitFor (timings.rescanGapMs))
                return false;
        }

        if (! isActive())
            return false;

        juce::String text = "Larkspire is unable to find your " + getDeviceName() + ". It should have rebooted by now. "
            "Would you like Larkspire to keep scanning for the device or do you want to stop the update?\n\r"
            "Typically a firmware update is complete once the LEDs stop blinking and the device reboots. If the "
            "device seems to be inoperative for several minutes you can power cycle it and when your " + getDeviceName()
            + " boots up you can then click 'Continue Scanning'. If Larkspire still fails to detect the device, "
              "restart Larkspire and reboot your " + getDeviceName() + " again. If " + getDeviceName()
            + " hasn't updated to the new version, try the update again.";
        if (convertedData != nullptr)
            text << "\n\rNote: Larkspire still needs to update preset and/or setup data on your " << getDeviceName()
                 << ". If you stop the update now, this data may be lost.";

        if (! ask (askingToScan, text, rescanning))
            return false;   // "Stop" (state stopped, result 0) or the end of the thread
    }
}

bool FirmwareUpdateThread::checkVersion()
{
    if (machine.isStopRequested())
    {
        endAsStopped (resultStopped);
        return false;
    }

    for (int attempt = 0; attempt < connectTries; ++attempt)
    {
        if (! isActive())
            return false;

        const int connectionsBefore = machine.getUnitConnections();
        bool refused = false;
        if (runCommand (FirmwareUpdateHost::connectSelectedDevice, refused))
        {
            const auto deadline = now() + (juce::uint32) timings.connectWaitMs;
            while (isActive() && machine.getUnitConnections() == connectionsBefore)
            {
                const int left = remainingUntil (deadline);
                if (left <= 0 || ! waitFor (juce::jmin (left, 200)))
                    break;
            }
        }
        if (! isActive())
            return false;
        if (machine.isStopRequested())
        {
            endAsStopped (resultStopped);
            return false;
        }

        auto* devices = getDeviceManager();
        if (devices == nullptr || devices->getDeviceObject (-1) == nullptr)
            continue;

        if (devices->getFirmwareVersion (-1).build != targetVersion.build
            || devices->getProductId (-1) != unitFormat.productId)
        {
            fail (getDeviceName() + " has rebooted, but the firmware update was rejected. Please try again.");
            return false;
        }
        return true;
    }

    fail (getDeviceName() + " has rebooted, but Larkspire could not connect to it again to check its new firmware."
          + describeUnrestoredData() + " Please restart Larkspire as well as " + getDeviceName() + ".");
    return false;
}

bool FirmwareUpdateThread::restore()
{
    if (! setState (restoring))
        return false;
    if (convertedData == nullptr)
        return true;

    machine.getProgress().startCountingWrites (convertedData->countPresets());
    setStatus ("Updating user data");
    setPhaseFraction (0.0);

    auto* devices = getDeviceManager();
    if (devices == nullptr)
    {
        fail ("Larkspire could not write your presets and/or setup data back to " + getDeviceName() + "."
              + describeUnrestoredData());
        return false;
    }

    machine.beginDeviceCommand (DeviceCommand::writeWholeData);
    devices->postMessage (new DeviceCommandMessage (DeviceCommand::writeWholeData, convertedData, {}));

    bool silent = false;
    const bool done = waitForDeviceCommand (DeviceCommand::writeWholeData, silent);

    if (! done)
    {
        // As with the transfer, the write-back can wait unstarted behind the device manager's
        // other work (the web look-up that follows the scan that found the unit).
        if (silent && isActive())
            fail (getDeviceName() + " stopped responding while Larkspire was writing your presets and/or setup data back."
                  + describeUnrestoredData() + " Please restart Larkspire as well as " + getDeviceName() + ".");
        return false;
    }
    return getState() == restored;
}

