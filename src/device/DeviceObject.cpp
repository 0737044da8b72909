#include "device/DeviceObject.h"
#include "core/AppPaths.h"
#include "device/DeviceProfiler.h"

namespace
{
    // Runs `fn` on the message thread for the calling device thread and waits for it. When
    // the device thread is told to exit first, it gives up (false) and `fn` never runs, so
    // a stop of the device thread from the message thread cannot deadlock here.
    bool callOnMessageThread (const std::function<void()>& fn)
    {
        auto* mm = juce::MessageManager::getInstanceWithoutCreating();
        auto* waiter = juce::Thread::getCurrentThread();
        if (mm == nullptr || mm->isThisTheMessageThread() || waiter == nullptr)
        {
            fn();
            return true;
        }

        struct Call
        {
            std::mutex lock;
            bool abandoned = false, done = false;
        };
        auto call = std::make_shared<Call>();

        const bool posted = juce::MessageManager::callAsync ([call, fn, waiter]
        {
            const std::lock_guard<std::mutex> l (call->lock);
            if (call->abandoned)
                return;
            fn();
            call->done = true;
            waiter->notify();   // the waiter is still in its wait: it has not abandoned
        });
        if (! posted)
            return false;

        for (;;)
        {
            {
                const std::lock_guard<std::mutex> l (call->lock);
                if (call->done)
                    return true;
                if (waiter->threadShouldExit())
                {
                    call->abandoned = true;
                    return false;
                }
            }
            waiter->wait (-1);
        }
    }
}

//==============================================================================
DeviceObject::DeviceObject (juce::MessageListener* l, const juce::String& name, std::shared_ptr<MidiPortLayer> layer,
                            const MidiPortId& in, const MidiPortId& out, juce::Thread* owner)
    : juce::Thread ("DeviceObject"),
      listener (l),
      portName (name),
      ports (std::move (layer)),
      inputPort (in),
      outputPort (out),
      manager (owner),
      timings (getDeviceTimings()),
      queue (*this)
{
    changeToken->owner = this;
    queue.setState (DeviceCommandQueue::busy);   // until the identification ends
    juce::uint32 s = notIdentified;
    if (DeviceProfiler::isKnownProductPort (portName))
        s |= namedLikeProduct;
    status.store (s);
}

DeviceObject::~DeviceObject()
{
    {
        const std::lock_guard<std::recursive_mutex> l (changeToken->lock);
        changeToken->owner = nullptr;
    }
    stopThread (timings.deviceStopTimeoutMs);
    releasePorts();
}

void DeviceObject::notifyChange()
{
    // One hand-over at a time: changes that come in while one is on its way join it.
    if (changeToken->pending.exchange (true))
        return;

    const bool posted = juce::MessageManager::callAsync ([token = changeToken]
    {
        const std::lock_guard<std::recursive_mutex> l (token->lock);
        token->pending = false;
        if (token->owner != nullptr)
            token->owner->sendSynchronousChangeMessage();
    });
    if (! posted)
        changeToken->pending = false;
}

bool DeviceObject::isOwnThread() const
{
    return juce::Thread::getCurrentThread() == this;
}

juce::uint32 DeviceObject::deadlineIn (int ms)
{
    return juce::Time::getMillisecondCounter() + (juce::uint32) juce::jmax (0, ms);
}

int DeviceObject::remainingUntil (juce::uint32 deadline)
{
    const auto left = (int) (deadline - juce::Time::getMillisecondCounter());
    return left > 0 ? left : 0;
}

//==============================================================================
void DeviceObject::run()
{
    beginCommand();
    identify();
    endCommand();
    idleEvent.signal();
    if (manager != nullptr)
        manager->notify();

    while (! threadShouldExit())
    {
        if (queue.isEmpty() && ! hasIncoming())
        {
            wait (-1);
            continue;
        }
        processIncoming();
        dispatchCommand();
    }
}

//==============================================================================
bool DeviceObject::arePortsOpen() const
{
    const juce::ScopedLock pl (portLock);
    return input != nullptr && output != nullptr;
}

bool DeviceObject::arePortsGone() const
{
    const juce::ScopedLock pl (portLock);
    return (input != nullptr && input->isGone()) || (output != nullptr && output->isGone());
}

bool DeviceObject::openPorts()
{
    if (arePortsOpen())
        return true;

    if (inputPort.isEmpty() || outputPort.isEmpty())
    {
        status |= portMissing;
        notifyChange();
        return false;
    }

    std::unique_ptr<MidiInputPort> in;
    std::unique_ptr<MidiOutputPort> out;
    Listing listed;
    for (int attempt = 0; attempt < 3; ++attempt)
    {
        if (attempt > 0)
        {
            if (isOwnThread())
                pause (timings.portOpenRetryMs);
            else
                juce::Thread::sleep (timings.portOpenRetryMs);
        }
        if (isOwnThread() && threadShouldExit())
            break;

        if (! callOnMessageThread ([&]
            {
                listed = { ports->getInputs(), ports->getOutputs() };
                in = ports->openInput (inputPort, *this);
                out = ports->openOutput (outputPort);
            }))
            break;

        if (in != nullptr && out != nullptr)
            break;
        in.reset();
        out.reset();
    }

    if (in == nullptr || out == nullptr)
    {
        in.reset();
        out.reset();
        status |= portOpenFailed;
        closePorts();
        return false;
    }

    {
        const juce::ScopedLock pl (portLock);
        input = std::move (in);
        output = std::move (out);
        openedWith = listed;
        // The backend may have given the ports' identifiers to another device meanwhile.
        identityUnconfirmed = identifiedWith.has_value() && *identifiedWith != listed;
        input->start();
    }
    status = (status.load() | portsOpen) & ~(juce::uint32) portOpenFailed;
    notifyChange();
    return true;
}

void DeviceObject::releasePorts()
{
    std::unique_ptr<MidiInputPort> in;
    std::unique_ptr<MidiOutputPort> out;
    {
        // Taken with the lock that every send holds, so nothing is sent through a closing port.
        const juce::ScopedLock pl (portLock);
        if (input != nullptr)
            input->stop();
        in = std::move (input);
        out = std::move (output);
    }
    in.reset();
    out.reset();
}

void DeviceObject::closePorts()
{
    releasePorts();
    status &= ~(juce::uint32) portsOpen;
    notifyChange();
}

bool DeviceObject::sendMessage (const juce::MidiMessage& message)
{
    const juce::ScopedLock pl (portLock);
    if (output == nullptr)
        return false;
    output->sendMessageNow (message);
    bytesSent += (juce::uint64) message.getRawDataSize();
    return true;
}

//==============================================================================
bool DeviceObject::isReadyStatus (juce::uint32 s)
{
    return (s & identified) != 0 && (s & (portMissing | 0xFF000000u)) == 0;
}

bool DeviceObject::isIdle() const
{
    const int s = queue.getState();
    return queue.isEmpty() && s != DeviceCommandQueue::busy && s != DeviceCommandQueue::taking
        && s != DeviceCommandQueue::answerComplete;
}

bool DeviceObject::waitUntilIdle (int timeoutMs) const
{
    const auto deadline = deadlineIn (timeoutMs);
    while (! isIdle())
    {
        const int left = remainingUntil (deadline);
        if (left <= 0)
            return false;
        // The event is signalled whenever the device becomes idle; the short cap covers a
        // signal that another waiter took.
        idleEvent.wait (juce::jmin (left, 100));
    }
    return true;
}

bool DeviceObject::requestCancel()
{
    if (queue.getState() == DeviceCommandQueue::error)
        return false;
    return queue.requestCancel();
}

void DeviceObject::reset()
{
    queue.clear();
    currentPreset = -1;
    requestedPreset = -1;
    errorCode = 0;
    packetsPerUnit = 0;
    packetCounter = 0;
    lastStatus = noStatus;
    idleEvent.signal();
}

void DeviceObject::markUnplugged()
{
    unplugged = true;
    notify();   // a wait for an answer ends now
}

bool DeviceObject::failIfUnplugged()
{
    if (! unplugged.load())
        return false;
    fail (DeviceError::connectionLost);
    return true;
}

juce::uint8 DeviceObject::getProductId() const
{
    const juce::ScopedLock sl (infoLock);
    return query.getProductId();
}

int DeviceObject::getSerialNumber() const
{
    const juce::ScopedLock sl (infoLock);
    return serial;
}

VersionNumber DeviceObject::getFirmwareVersion() const
{
    const juce::ScopedLock sl (infoLock);
    return firmware;
}

void DeviceObject::getManufactureDate (int& y, int& m, int& d) const
{
    const juce::ScopedLock sl (infoLock);
    y = year;
    m = month;
    d = day;
}

DeviceCaps* DeviceObject::getDeviceCaps() const
{
    const juce::ScopedLock sl (infoLock);
    return caps.get();
}

DeviceData* DeviceObject::getDeviceData() const
{
    const juce::ScopedLock sl (infoLock);
    return deviceData.get();
}

juce::CriticalSection& DeviceObject::getUnitDataLock() noexcept
{
    static juce::CriticalSection lock;
    return lock;
}

DeviceDataFormat DeviceObject::currentFormat() const
{
    const juce::ScopedLock sl (infoLock);
    if (deviceData != nullptr)
        return deviceData->getFormat();
    if (caps != nullptr)
        return caps->getFormat();
    return {};
}

juce::String DeviceObject::getDataFolder() const
{
    const auto base = AppPaths::getDataFolder (getProductId());
    if (base.isEmpty())
        return {};
    return AppPaths::join (base, juce::String ((juce::uint32) getSerialNumber()));
}

bool DeviceObject::loadSyncFile (const juce::String& path)
{
    const juce::File file (path);
    if (path.isEmpty() || ! file.existsAsFile())
        return false;

    if (auto* current = getDeviceData())
        if (! current->isFileCompatible (file))
            return false;

    auto loaded = DeviceData::createFromFile (path);
    if (loaded == nullptr)
        return false;

    // No command may be using the data while it is replaced.
    std::unique_lock<std::mutex> gate (commandGateLock);
    if (! commandGateChanged.wait_for (gate, std::chrono::milliseconds (timings.deviceStopTimeoutMs),
                                       [this] { return ! commandRunning; }))
        return false;

    const juce::ScopedLock sl (infoLock);
    deviceData = std::move (loaded);
    return true;
}

void DeviceObject::beginCommand()
{
    const std::lock_guard<std::mutex> gate (commandGateLock);
    commandRunning = true;
}

void DeviceObject::endCommand()
{
    {
        const std::lock_guard<std::mutex> gate (commandGateLock);
        commandRunning = false;
    }
    commandGateChanged.notify_all();
}

std::unique_ptr<juce::XmlElement> DeviceObject::createDeviceXml() const
{
    const auto id = getProductId();
    int y = 0, m = 0, d = 0;
    getManufactureDate (y, m, d);

    auto e = std::make_unique<juce::XmlElement> ("device");
    e->setAttribute ("name", AppPaths::getProductName (id));
    e->setAttribute ("id", (int) id);
    e->setAttribute ("activated", 0);
    e->setAttribute ("detection", juce::String (juce::Time::currentTimeMillis()));
    e->setAttribute ("version", getFirmwareVersion().toString());
    e->setAttribute ("serial", getSerialNumber());
    e->setAttribute ("manufacture", juce::String::formatted ("%4d.%02d.%02d", y, m, d));
    return e;
}

//==============================================================================
void DeviceObject::post (int code, int p1, int p2, const juce::String& text)
{
    if (listener != nullptr)
        listener->postMessage (new DeviceInfoMessage (code, p1, p2, text));
}

void DeviceObject::postEnd (int code, const DeviceCommandMessage& command)
{
    if (listener != nullptr)
        listener->postMessage (new DeviceInfoMessage (code, command));
}

void DeviceObject::pause (int ms)
{
    if (! isOwnThread())
    {
        juce::Thread::sleep (ms);
        return;
    }
    const auto deadline = deadlineIn (ms);
    while (! threadShouldExit())
    {
        const int left = remainingUntil (deadline);
        if (left <= 0)
            break;
        wait (left);
    }
}

void DeviceObject::fail (int code)
{
    errorCode = code;
    queue.setState (DeviceCommandQueue::error);
}

void DeviceObject::clearError()
{
    errorCode = 0;
}
