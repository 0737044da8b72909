#include "device/DeviceManager.h"
#include "content/ContentDownloadThread.h"
#include "content/ContentManager.h"
#include "content/EventConnection.h"
#include "content/EventTracker.h"
#include "content/TrackableDeviceManagerEvent.h"
#include "core/AppHost.h"
#include "core/AppPaths.h"
#include "core/DeviceInfoMessage.h"
#include "core/InfoCodes.h"
#include "core/Settings.h"
#include "device/DeviceObject.h"
#include "device/DeviceProfiler.h"

namespace
{
    std::unique_ptr<DeviceManager>& managerHolder()
    {
        static std::unique_ptr<DeviceManager> holder;
        return holder;
    }

    // The manager whose current device usage events describe. The lock keeps a manager
    // from going away while an event is reading it.
    std::mutex snapshotLock;
    DeviceManager* snapshotSource = nullptr;

    TrackableDeviceManagerEvent::DeviceSnapshot takeSnapshot()
    {
        TrackableDeviceManagerEvent::DeviceSnapshot snapshot;
        const std::lock_guard<std::mutex> l (snapshotLock);
        if (snapshotSource == nullptr)
            return snapshot;
        if (auto device = snapshotSource->getDeviceObject (-1))
        {
            snapshot.productId = device->getProductId();
            snapshot.serial = device->getSerialNumber();
            snapshot.firmware = device->getFirmwareVersion();
            snapshot.displayName = snapshotSource->getDeviceDisplayName();
        }
        return snapshot;
    }

    juce::uint32 millisecondCounter() { return juce::Time::getMillisecondCounter(); }

    int remainingUntil (juce::uint32 deadline)
    {
        const auto now = millisecondCounter();
        return (int) (deadline - now) > 0 ? (int) (deadline - now) : 0;
    }
}

namespace
{
    // Read by the manager's own thread (is it the process-wide one?) while the setter may run.
    std::atomic<DeviceManager*> currentManager { nullptr };
}

DeviceManager* getDeviceManager()
{
    return currentManager.load();
}

bool isUnitConnected()
{
    auto* devices = getDeviceManager();
    return devices != nullptr && devices->getCurrentIndex() >= 0;
}

void setDeviceManager (DeviceManager* manager)
{
    currentManager.store (manager);
    auto old = std::move (managerHolder());
    managerHolder().reset (manager);
    old.reset();
}

//==============================================================================
DeviceManager::DeviceManager (juce::MessageListener* l, std::shared_ptr<MidiPortLayer> layer)
    : juce::Thread ("DeviceManager"),
      listener (l),
      ports (layer != nullptr ? std::move (layer) : getMidiPortLayer()),
      timings (getDeviceTimings()),
      queue (*this)
{
    // Only initialised: nothing of the program plays or records audio.
    audioDevices.initialise (0, 0, nullptr, false);

    {
        const std::lock_guard<std::mutex> sl (snapshotLock);
        snapshotSource = this;
    }
    TrackableDeviceManagerEvent::setSnapshotProvider (takeSnapshot);
}

DeviceManager::~DeviceManager()
{
    stopThread (timings.managerStopTimeoutMs);

    {
        const std::lock_guard<std::mutex> sl (snapshotLock);
        if (snapshotSource == this)
            snapshotSource = nullptr;
    }

    releaseAllDevices();
}

void DeviceManager::releaseAllDevices()
{
    juce::Array<MidiPortPair> old;
    {
        const juce::ScopedLock sl (pairsLock);
        old.swapWith (pairs);
        currentIndex = -1;
    }
    for (auto& p : old)
    {
        if (p.device != nullptr)
        {
            p.device->stopThread (timings.deviceStopTimeoutMs);
            p.device->closePorts();
        }
    }
}

void DeviceManager::post (int code, int p1, int p2)
{
    if (listener != nullptr)
        listener->postMessage (new DeviceInfoMessage (code, p1, p2, {}));
}

bool DeviceManager::pauseFor (int ms)
{
    const auto deadline = millisecondCounter() + (juce::uint32) juce::jmax (0, ms);
    while (! threadShouldExit())
    {
        const int left = remainingUntil (deadline);
        if (left <= 0)
            return true;
        wait (left);
    }
    return false;
}

void DeviceManager::handleMessage (const juce::Message& message)
{
    if (auto* command = dynamic_cast<const DeviceCommandMessage*> (&message))
        queue.push (*command);
}

//==============================================================================
void DeviceManager::run()
{
    while (! threadShouldExit())
    {
        if (queue.isEmpty())
        {
            wait (timings.portPollMs);
            if (threadShouldExit())
                break;

            if (polling.load() && queue.isEmpty())
            {
                const auto current = getPair (-1);
                if (current.device == nullptr || current.device->isIdle())
                    checkPortLists();
                else
                    watchBusyUnitsPorts (current);
            }
        }

        DeviceCommandMessage command;
        if (queue.pop (command, true))
            handleCommand (command);
    }
}

void DeviceManager::handleCommand (const DeviceCommandMessage& command)
{
    switch (command.code)
    {
        case DeviceCommand::scan:
        {
            const bool allIdentified = scan();
            queue.setState (DeviceCommandQueue::idle);
            post (InfoCode::scanFinished, allIdentified ? 1 : 0, 0);

            // The web look-up of new units starts once the scan's result is out; it runs on a
            // thread of its own, so that a slow web service holds neither this thread nor a unit.
            if (! threadShouldExit() && getDeviceManager() == this)
                if (auto* profiler = getDeviceProfiler())
                    profiler->startLookUp();
            return;
        }

        case DeviceCommand::reidentify:
            if (! identifyCurrentDevice())
            {
                polling = false;
                portsUnsettled = true;
                post (InfoCode::connectedUnitLost, 0, 0);
            }
            queue.setState (DeviceCommandQueue::idle);
            return;

        default:
            break;
    }

    if (DeviceCommand::isTransfer (command.code))
    {
        auto current = getDeviceObject (-1);
        // Without a connected unit the command cannot run; it ends as failed rather than
        // leaving its sender waiting for an answer that never comes.
        if ((current == nullptr || ! current->getQueue().push (command)) && listener != nullptr)
            listener->postMessage (new DeviceInfoMessage (InfoCode::commandFailed, command));
    }
    queue.setState (DeviceCommandQueue::idle);
}

//==============================================================================
void DeviceManager::rescanPorts()
{
    closeCurrentDevice();
    releaseAllDevices();

    lastInputs.clear();
    lastOutputs.clear();
    currentUnplugged = false;
    polling = false;
    portsUnsettled = true;

    lastOutputs = ports->getOutputs();
    lastInputs = ports->getInputs();
    auto fresh = MidiPortPair::pairPorts (lastInputs, lastOutputs);

    auto* content = getContentManager();
    auto* host = getAppHost();
    for (auto& p : fresh)
    {
        if (threadShouldExit())
            return;
        const auto product = DeviceProfiler::findProductNameForPort (p.displayName);
        if (product.isEmpty() || content == nullptr)
            continue;
        const auto id = content->findProductIdByName (product);
        if (id != 255 && host != nullptr)
            host->prepareProductContent (id);
    }

    for (auto& p : fresh)
        p.device = std::make_shared<DeviceObject> (listener, p.displayName, ports, p.inputPort, p.outputPort, this);

    {
        const juce::ScopedLock sl (pairsLock);
        pairs = fresh;
        lostDevice.reset();
    }
    for (auto& p : fresh)
        p.device->startThread();

    post (InfoCode::portPairsRebuilt, 0, 0);
}

bool DeviceManager::scan()
{
    bool allIdle = false;

    for (int pass = 0; pass < 2; ++pass)
    {
        rescanPorts();
        if (threadShouldExit())
            return false;

        int limit = 300;
        if (auto* content = getContentManager())
            if (auto* downloader = content->getDownloadThread())
                if (downloader->getNumQueued() > 0)
                    limit = (int) (getDownloadTimeout() * 10.0f);

        const auto deadline = millisecondCounter() + (juce::uint32) (juce::jmax (0, limit - 1) * timings.scanStepMs);
        const auto devices = [this]
        {
            const juce::ScopedLock sl (pairsLock);
            juce::Array<std::shared_ptr<DeviceObject>> all;
            for (auto& p : pairs)
                all.add (p.device);
            return all;
        }();

        allIdle = false;
        for (;;)
        {
            if (threadShouldExit())
                return false;
            bool idle = true;
            for (auto& d : devices)
                idle = idle && d->getQueueState() == DeviceCommandQueue::idle;
            if (idle)
            {
                allIdle = true;
                break;
            }
            const int left = remainingUntil (deadline);
            if (left <= 0)
                break;
            // Each device object wakes this thread when its identification ends.
            wait (juce::jmin (left, timings.scanStepMs));
        }

        bool anyIdentified = false, silentUnitPort = false;
        for (auto& d : devices)
        {
            const auto s = d->getStatus();
            anyIdentified = anyIdentified || (s & DeviceObject::identified) != 0;
            silentUnitPort = silentUnitPort
                          || ((s & DeviceObject::namedLikeProduct) != 0 && (s & DeviceObject::unknownProduct) == 0);
        }
        if (anyIdentified || ! silentUnitPort || pass == 1)
            break;

        // A port named like a unit stayed silent: a unit that is still starting up gets one more chance.
        if (! pauseFor (timings.rescanDelayMs))
            return false;
    }

    if (getDeviceManager() == this)
        if (auto* profiler = getDeviceProfiler())
            profiler->updateFromDevices();

    polling = true;
    portsUnsettled = false;
    queue.setState (DeviceCommandQueue::idle);
    return allIdle;
}

bool DeviceManager::identifyCurrentDevice()
{
    auto device = getDeviceObject (-1);
    if (device == nullptr)
        return true;

    for (;;)
    {
        const int state = device->getQueueState();
        if (state == DeviceCommandQueue::cancelRequested || state == DeviceCommandQueue::error)
            return false;
        if (state == DeviceCommandQueue::idle && device->isIdle())
            break;
        if (threadShouldExit())
            return false;
        device->waitUntilIdle (timings.scanStepMs);
    }

    if (! device->getQueue().push (DeviceCommandMessage (DeviceCommand::reidentify)))
        return false;

    while (! device->isIdle())
    {
        if (threadShouldExit())
            return false;
        device->waitUntilIdle (timings.scanStepMs);
    }
    return device->getQueueState() != DeviceCommandQueue::error;
}

void DeviceManager::checkPortLists()
{
    // Dead ports are an unplug even when the lists look as before.
    const auto current = getPair (-1);
    if (haveCurrentPortsDied (current))
    {
        currentUnplugged = true;
        current.device->markUnplugged();
    }

    const auto outputs = ports->getOutputs();
    const auto inputs = ports->getInputs();
    // A unit unplugged during a transfer is lost even when a port of its name has come back since.
    if (inputs == lastInputs && outputs == lastOutputs && ! currentUnplugged)
        return;

    // During a firmware update the unit reboots on purpose; the change is looked at once the
    // update has ended, as the lists are not taken until then.
    if (appState() == 4 || threadShouldExit())
        return;

    portsUnsettled = true;
    lastInputs = inputs;
    lastOutputs = outputs;
    currentUnplugged = false;
    const bool kept = identifyCurrentDevice();
    if (! kept)
    {
        const juce::ScopedLock sl (pairsLock);
        lostDevice = getDeviceObject (-1);
    }
    post (kept ? InfoCode::portListsChanged : InfoCode::connectedUnitLost, 0, 0);
}

bool DeviceManager::haveCurrentPortsDied (const MidiPortPair& current) const
{
    const bool lossTold = [&]
    {
        const juce::ScopedLock sl (pairsLock);
        return lostDevice.lock() == current.device;
    }();
    // A firmware update reboots the unit on purpose; it scans again by itself.
    return current.device != nullptr && ! currentUnplugged && ! lossTold
        && appState() != 4 && (current.device->arePortsGone() || current.device->isUnplugged());
}

void DeviceManager::watchBusyUnitsPorts (const MidiPortPair& current)
{
    // The lists are otherwise looked at only while the unit is idle. When its own ports have
    // gone, its transfer ends at once as lost, and the loss is told as soon as it has ended;
    // the tries of a transfer are for transmission errors, not for a unit that is not there.
    // Ports that died are gone whatever the lists say (the unit may be back under the same
    // name).
    if (appState() == 4 || currentUnplugged || threadShouldExit())
        return;

    if (! haveCurrentPortsDied (current) && ports->getInputs().contains (current.inputPort)
        && ports->getOutputs().contains (current.outputPort))
        return;

    currentUnplugged = true;
    current.device->markUnplugged();
    if (current.device->waitUntilIdle (timings.cancelGraceMs))
        checkPortLists();
}

//==============================================================================
int DeviceManager::getNumPairs() const
{
    const juce::ScopedLock sl (pairsLock);
    return pairs.size();
}

int DeviceManager::getCurrentIndex() const
{
    const juce::ScopedLock sl (pairsLock);
    return currentIndex;
}

MidiPortPair DeviceManager::getPair (int index) const
{
    const juce::ScopedLock sl (pairsLock);
    const int i = index < 0 ? currentIndex : index;
    return juce::isPositiveAndBelow (i, pairs.size()) ? pairs.getReference (i) : MidiPortPair();
}

std::shared_ptr<DeviceObject> DeviceManager::getDeviceObject (int index) const
{
    const juce::ScopedLock sl (pairsLock);
    const int i = index < 0 ? currentIndex : index;
    return juce::isPositiveAndBelow (i, pairs.size()) ? pairs.getReference (i).device : nullptr;
}

bool DeviceManager::isDeviceReady (int index) const
{
    if (index < 0)
        return false;
    auto d = getDeviceObject (index);
    return d != nullptr && d->isReady();
}

juce::uint8 DeviceManager::getProductId (int index) const
{
    auto d = getDeviceObject (index);
    return d != nullptr ? d->getProductId() : (juce::uint8) 255;
}

juce::uint32 DeviceManager::getDeviceFlags (int index) const
{
    auto d = getDeviceObject (index);
    return d != nullptr ? d->getStatus() : 0;
}

int DeviceManager::getSerialNumber (int index) const
{
    auto d = getDeviceObject (index);
    return d != nullptr ? d->getSerialNumber() : -1;
}

VersionNumber DeviceManager::getFirmwareVersion (int index) const
{
    auto d = getDeviceObject (index);
    return d != nullptr ? d->getFirmwareVersion() : VersionNumber();
}

juce::String DeviceManager::getDeviceDisplayName() const
{
    auto d = getDeviceObject (-1);
    return d != nullptr ? DeviceProfiler::getVariantDisplayName (d->getProductId(), d->getSerialNumber()) : juce::String();
}

juce::String DeviceManager::getDeviceDataFolder() const
{
    auto d = getDeviceObject (-1);
    return d != nullptr ? d->getDataFolder() : juce::String();
}

DeviceCaps* DeviceManager::getDeviceCaps() const
{
    auto d = getDeviceObject (-1);
    return d != nullptr ? d->getDeviceCaps() : nullptr;
}

DeviceData* DeviceManager::getDeviceData() const
{
    auto d = getDeviceObject (-1);
    return d != nullptr ? d->getDeviceData() : nullptr;
}

int DeviceManager::findDeviceBySerial (int serial) const
{
    const juce::ScopedLock sl (pairsLock);
    for (int i = 0; i < pairs.size(); ++i)
    {
        auto& d = pairs.getReference (i).device;
        if (d != nullptr && (d->getStatus() & DeviceObject::identified) != 0 && d->getSerialNumber() == serial)
            return i;
    }
    return -1;
}

bool DeviceManager::isDeviceConnected (juce::uint8 productId, int serial) const
{
    const int i = findDeviceBySerial (serial);
    return i >= 0 && getProductId (i) == productId;
}

int DeviceManager::findDevice (juce::uint8 productId, int serial) const
{
    if (serial != 0)
        return findDeviceBySerial (serial);

    const juce::ScopedLock sl (pairsLock);
    int last = -1;
    for (int i = 0; i < pairs.size(); ++i)
    {
        auto& d = pairs.getReference (i).device;
        if (d == nullptr || (d->getStatus() & DeviceObject::identified) == 0 || d->getProductId() != productId)
            continue;
        if (d->getSerialNumber() == 0)
            return i;
        last = i;
    }
    return last;
}

DeviceManager::DeviceList DeviceManager::getDeviceList() const
{
    DeviceList list;
    const juce::ScopedLock sl (pairsLock);
    for (auto& p : pairs)
    {
        list.displayNames.add (p.displayName);
        list.inputNames.add (p.inputName);
        list.outputNames.add (p.outputName);
        list.statusWords.add (p.device != nullptr ? p.device->getStatus() : 0);
        list.serialNumbers.add (p.device != nullptr ? p.device->getSerialNumber() : -1);
        list.firmwareVersions.add (p.device != nullptr ? p.device->getFirmwareVersion() : VersionNumber());
    }
    return list;
}

void DeviceManager::getMidiByteCounts (juce::uint64& sent, juce::uint64& received) const
{
    sent = received = 0;
    const juce::ScopedLock sl (pairsLock);
    for (auto& p : pairs)
    {
        if (p.device != nullptr)
        {
            sent += p.device->getBytesSent();
            received += p.device->getBytesReceived();
        }
    }
}

//==============================================================================
bool DeviceManager::selectDevice (int index)
{
    if (portsUnsettled.load())
        return false;

    auto device = [&]() -> std::shared_ptr<DeviceObject>
    {
        const juce::ScopedLock sl (pairsLock);
        return juce::isPositiveAndBelow (index, pairs.size()) ? pairs.getReference (index).device : nullptr;
    }();
    if (device == nullptr)
        return false;

    closeCurrentDevice();
    if (! device->openPorts())
        return false;

    {
        const juce::ScopedLock sl (pairsLock);
        // A rescan that ran meanwhile made other pairs: this one is gone.
        if (! juce::isPositiveAndBelow (index, pairs.size()) || pairs.getReference (index).device != device)
        {
            device->closePorts();
            return false;
        }
        currentIndex = index;
        lostDevice.reset();
    }

    if (auto* tracker = getEventTracker())
        tracker->addEvent (std::make_unique<EventConnection>());
    return true;
}

void DeviceManager::closeCurrentDevice()
{
    auto device = getDeviceObject (-1);
    if (device != nullptr)
    {
        if (! device->isIdle())
        {
            device->requestCancel();
            device->waitUntilIdle (timings.cancelGraceMs);
        }
        device->closePorts();
    }

    const juce::ScopedLock sl (pairsLock);
    currentIndex = -1;
}

void DeviceManager::requestCancel()
{
    if (auto device = getDeviceObject (-1))
        device->requestCancel();
}

void DeviceManager::resetCurrentDevice()
{
    if (auto device = getDeviceObject (-1))
        device->reset();
}

bool DeviceManager::loadSyncSnapshot()
{
    auto device = getDeviceObject (-1);
    if (device == nullptr)
        return false;
    const auto folder = device->getDataFolder();
    if (folder.isEmpty())
        return false;
    return device->loadSyncFile (AppPaths::getSyncFile (folder, false));
}
