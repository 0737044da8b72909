// The main content component's side of a firmware update: starting it, what the update
// asks of its owner while it runs, and its end.

#include "ui/LarkspireContentComponent.h"
#include "content/EventTracker.h"
#include "content/EventUpdate.h"
#include "core/InfoCodes.h"
#include "device/DeviceManager.h"
#include "firmware/FirmwareUpdateThread.h"
#include "ui/AppCommandIds.h"
#include "ui/MessageBoxes.h"

namespace
{
    constexpr int updateStopTimeoutMs = 10000;
}

bool LarkspireContentComponent::startFirmwareUpdate (const FirmwareUpdateElement& element)
{
    if (! isUnitConnected() || ! element.isUsable() || isUpdateRunning())
        return false;

    setDeviceState (4);
    runningUpdate = std::make_unique<FirmwareUpdateThread> (*this, element);

    if (runningUpdate->preCheck())
    {
        runningUpdate->startUpdate();   // the thread, its 100 ms timer, the modal progress window
        addChangeListener (runningUpdate.get());
    }
    else
    {
        // A refused update ends the way a finished one does, with its error text.
        postMessage (new DeviceInfoMessage (InfoCode::firmwareUpdateEnded, 0, 0, {}));
    }

    commandsChanged();
    return runningUpdate != nullptr;
}

void LarkspireContentComponent::handleFirmwareUpdateEnd (const DeviceInfoMessage& info)
{
    if (runningUpdate == nullptr)
        return;

    const auto name = info.text;

    switch (runningUpdate->getResultCode())
    {
        case FirmwareUpdateThread::resultFinished:
            showInfoBox (this, "Firmware Update Complete", name + " updated successfully.");
            offeredDevices.addIfNotAlreadyThere (name);
            break;

        case FirmwareUpdateThread::resultNone:
        case FirmwareUpdateThread::resultStopped:
            showInfoBox (this, "Firmware Update Interrupted",
                         "You should power cycle " + name + " and you may have to restart Larkspire before trying the update again.");
            break;

        case FirmwareUpdateThread::resultFailed:
            showWarningBox (this, "Firmware Update Error", runningUpdate->getErrorText());
            break;

        default:
            break;
    }

    // The box above runs a modal loop: the update may have been ended meanwhile.
    if (runningUpdate == nullptr)
        return;

    if (auto* tracker = getEventTracker())
        tracker->addEvent (std::make_unique<EventUpdate> (runningUpdate->getStartVersion(),
                                                          runningUpdate->getTargetVersion(),
                                                          listOpenedDevices.contains (name),
                                                          runningUpdate->getResultCode()));

    // The update is over: its thread has stopped and its window is closed.
    removeChangeListener (runningUpdate.get());
    runningUpdate.reset();

    setDeviceState (0);
    invokeAsync (AppCommand::scanForDevices);
}

void LarkspireContentComponent::stopFirmwareUpdate()
{
    if (runningUpdate == nullptr)
        return;

    removeChangeListener (runningUpdate.get());
    runningUpdate->stopUpdate (updateStopTimeoutMs);
    runningUpdate.reset();
}

std::unique_ptr<FirmwareUpdateProgressView> LarkspireContentComponent::createProgressView()
{
    return parts.createUpdateProgressView (*this);
}

int LarkspireContentComponent::findUpdatedUnit() const
{
    auto* devices = getDeviceManager();
    if (devices == nullptr || runningUpdate == nullptr)
        return -1;
    return devices->findDevice (runningUpdate->getProductId(), runningUpdate->getSerialNumber());
}

bool LarkspireContentComponent::performUpdateCommand (int commandId)
{
    auto* devices = getDeviceManager();
    if (devices == nullptr)
        return false;

    switch (commandId)
    {
        case AppCommand::downloadDeviceData:
            return isUnitConnected() && invokeDirectly (commandId, false);

        case AppCommand::scanForDevices:
            return invokeDirectly (commandId, false);

        case AppCommand::connectSelectedDevice:
        {
            // Runs only when the unit being updated is there to be connected.
            const int index = findUpdatedUnit();
            if (index < 0 || ! devices->isDeviceReady (index))
                return false;
            if (index == devices->getCurrentIndex())
                return true;
            return invokeDirectly (commandId, false) && devices->getCurrentIndex() == index;
        }

        default:
            return false;
    }
}
