#include "device/DeviceObject.h"
#include "content/ContentDownloadThread.h"
#include "content/ContentManager.h"
#include "core/AppHost.h"
#include "core/AppPaths.h"
#include "core/InfoCodes.h"
#include "core/Settings.h"
#include "device/DeviceErrors.h"
#include "device/DeviceProfiler.h"
#include "device/SysExTemplates.h"
#include "model/SysExCodec.h"

namespace
{
    using Clock = juce::Time;

    juce::uint32 now() { return Clock::getMillisecondCounter(); }

    // Milliseconds left until `deadline` (a millisecond counter value), 0 when passed.
    int remainingUntil (juce::uint32 deadline)
    {
        const auto n = now();
        return (int) (deadline - n) > 0 ? (int) (deadline - n) : 0;
    }

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
                            int in, int out, juce::Thread* owner)
    : juce::Thread ("DeviceObject"),
      listener (l),
      portName (name),
      ports (std::move (layer)),
      inputIndex (in),
      outputIndex (out),
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

    std::unique_ptr<MidiInputPort> in;
    std::unique_ptr<MidiOutputPort> out;
    {
        const juce::ScopedLock pl (portLock);
        if (input != nullptr)
            input->stop();
        in = std::move (input);
        out = std::move (output);
    }
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

void DeviceObject::handleIncomingMidiMessage (juce::MidiInput*, const juce::MidiMessage& message)
{
    bytesReceived += (juce::uint64) message.getRawDataSize();

    if (errorCode.load() == 0)
    {
        if (! message.isSysEx() || message.getSysExDataSize() < 4)
            return;
        const auto* d = message.getSysExData();
        if (d[0] != 0x00 || d[1] != 0x7A || d[2] != 0x15)
            return;

        {
            const juce::ScopedLock sl (incomingLock);
            if (incoming.size() >= maxIncomingMessages)
            {
                ++droppedIncoming;
                return;
            }
            incoming.push_back (message);
        }
    }
    notify();
}

//==============================================================================
bool DeviceObject::arePortsOpen() const
{
    const juce::ScopedLock pl (portLock);
    return input != nullptr && output != nullptr;
}

bool DeviceObject::openPorts()
{
    if (arePortsOpen())
        return true;

    if (inputIndex < 0 || outputIndex < 0)
    {
        status |= portMissing;
        notifyChange();
        return false;
    }

    std::unique_ptr<MidiInputPort> in;
    std::unique_ptr<MidiOutputPort> out;
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
                in = ports->openInput (inputIndex, *this);
                out = ports->openOutput (outputIndex);
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
        input->start();
    }
    status = (status.load() | portsOpen) & ~(juce::uint32) portOpenFailed;
    notifyChange();
    return true;
}

void DeviceObject::closePorts()
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
    const auto deadline = now() + (juce::uint32) juce::jmax (0, timeoutMs);
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
VersionNumber DeviceObject::decodeFirmwareVersion (const juce::uint8* r)
{
    return VersionNumber (r[8] >> 4, r[8] & 0x0F, r[9], r[10], unpackSysEx28 (r + 11), r[15]);
}

int DeviceObject::decodeSerialNumber (const juce::uint8* r)
{
    int value = 0;
    for (int i = 8; i <= 15; ++i)
    {
        if (r[i] > 9)
            return 0;
        value = value * 10 + r[i];
    }
    return value;
}

void DeviceObject::decodeManufactureDate (const juce::uint8* r, int& y, int& m, int& d)
{
    d = r[8];
    m = r[9];
    y = r[10] * 100 + r[11];
    if (y == 0)
    {
        y = 1941;
        m = 12;
        d = 7;
    }
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
    const auto deadline = now() + (juce::uint32) juce::jmax (0, ms);
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

//==============================================================================
// Identification

void DeviceObject::listen (int windowMs, const std::function<bool()>& done)
{
    const auto deadline = now() + (juce::uint32) juce::jmax (0, windowMs);
    for (;;)
    {
        while (processIncoming())
            if (threadShouldExit() || done())
                return;
        if (threadShouldExit() || done())
            return;
        const int left = remainingUntil (deadline);
        if (left <= 0)
            return;
        wait (left);
    }
}

void DeviceObject::identify()
{
    queue.setState (DeviceCommandQueue::busy);
    const bool wereOpen = arePortsOpen();
    {
        const juce::ScopedLock sl (infoLock);
        serial = -1;
        firmware = VersionNumber();
        year = month = day = 0;
        deviceData.reset();
        caps.reset();
    }

    juce::uint32 s = notIdentified | identifying;
    if (DeviceProfiler::isKnownProductPort (portName))
        s |= namedLikeProduct;
    status.store (s);
    notifyChange();

    auto build = [this] { return getFirmwareVersion().build; };

    if (openPorts())
    {
        sendMessage (makeQuery (DeviceQuery::firmwareVersion));
        listen (timings.identityWindowMs, [&] { return build() != 0; });

        auto* content = getContentManager();
        if (! threadShouldExit() && build() != 0)
        {
            if (content != nullptr && content->findProductIndex (getProductId()) >= 0)
                readDeviceInformation();
            else
                status |= unknownProduct;
        }
        else if (! threadShouldExit() && content != nullptr)
        {
            for (auto id : content->getProductIds())
            {
                if (threadShouldExit())
                    break;
                if (content->getAllVersSupportGenSyxID (id) && ! appIsScanAll())
                    continue;

                {
                    const juce::ScopedLock sl (infoLock);
                    query.setProductId (id);
                }
                sendMessage (makeQuery (DeviceQuery::firmwareVersion));
                listen (timings.identityWindowMs, [&] { return build() != 0; });

                if (threadShouldExit())
                    break;
                if (build() != 0)
                {
                    readDeviceInformation();
                    break;
                }
            }
        }
    }

    s = status.load() & ~(juce::uint32) (notIdentified | identifying);
    if ((s & 0xFF) == 0)
        s |= notAUnit;
    status.store (s);

    if (! wereOpen && arePortsOpen())
        closePorts();

    queue.setState (DeviceCommandQueue::idle);
    lastStatus = noStatus;
    notifyChange();
}

void DeviceObject::readDeviceInformation()
{
    const auto version = getFirmwareVersion();
    if (version.build == 0)
        return;

    const bool content = ensureProductContent();
    status |= identificationFailed;
    if (! content)
        return;

    sendMessage (makeQuery (DeviceQuery::serialNumber));
    listen (timings.identityWindowMs, [this] { return getSerialNumber() != -1; });
    if (threadShouldExit() || getSerialNumber() == -1)
        return;

    sendMessage (makeQuery (DeviceQuery::manufactureDate));
    auto yearKnown = [this] { int y, m, d; getManufactureDate (y, m, d); return y != 0; };
    listen (timings.identityWindowMs, yearKnown);
    if (threadShouldExit() || ! yearKnown())
        return;

    const auto id = getProductId();
    juce::String refusal;
    auto profile = DeviceProfiler::createDeviceCaps (id, version.build, &refusal);
    if (profile == nullptr)
    {
        status = (status.load() & ~(juce::uint32) identificationFailed) | identified | unknownProduct;
        // A unit whose profile was refused stays unused; the user is told why.
        if (refusal.isNotEmpty())
            post (InfoCode::unitProfileRefused, id, version.build, refusal);
        return;
    }

    auto data = std::make_unique<DeviceData> (version, profile->getFormat(), nullptr);
    {
        const juce::ScopedLock sl (infoLock);
        caps = std::move (profile);
        deviceData = std::move (data);
    }
    status = (status.load() & ~(juce::uint32) identificationFailed) | identified;
}

bool DeviceObject::ensureProductContent()
{
    auto* content = getContentManager();
    if (content == nullptr)
        return false;

    const auto id = getProductId();
    auto capsLoadable = [content, id] { return content->loadContent (id, ContentType::caps, false) != nullptr; };

    if (! content->isProductSynced (id))
    {
        auto* host = getAppHost();
        const bool prepared = host != nullptr && host->prepareProductContent (id);
        if (! prepared || ! content->isOnline())
            return capsLoadable();
    }

    const int limit = (int) (getDownloadTimeout() * 10.0f);
    auto* downloader = content->getDownloadThread();
    for (int step = 0; downloader != nullptr && downloader->isQueued (id) && ! threadShouldExit() && step < limit - 1; ++step)
        pause (timings.contentWaitStepMs);

    if (content->isOnline() && ! content->isProductSynced (id))
        status |= contentNotSynced;

    return capsLoadable();
}

bool DeviceObject::checkSerialNumber()
{
    {
        const juce::ScopedLock pl (portLock);
        if (output == nullptr || getDeviceCaps() == nullptr)
        {
            notifyChange();
            return false;
        }
    }

    int remembered = 0;
    {
        const juce::ScopedLock sl (infoLock);
        remembered = serial;
        serial = -1;
    }
    sendMessage (makeQuery (DeviceQuery::serialNumber));
    // The window ends the wait: a unit that was unplugged never answers.
    listen (timings.identityWindowMs, [this] { return getSerialNumber() != -1; });

    const int received = getSerialNumber();
    if (! threadShouldExit() && received != -1 && received == remembered)
        return true;

    notifyChange();
    return false;
}

juce::MidiMessage DeviceObject::makeQuery (int kind)
{
    const juce::ScopedLock sl (infoLock);
    return query.makeMessage (kind);
}

void DeviceObject::handleIdentityReply (const juce::MidiMessage& m)
{
    const auto* d = m.getRawData();
    const auto id = d[5];
    {
        const juce::ScopedLock sl (infoLock);
        if (query.getProductId() == DeviceQuery::anyProduct)
            query.setProductId (id);

        if (id != query.getProductId())
        {
            // Handled below, outside the lock.
        }
        else
        {
            switch (query.matchesReply (m) ? d[7] : -1)
            {
                case DeviceQuery::firmwareVersion: firmware = decodeFirmwareVersion (d); break;
                case DeviceQuery::serialNumber:    serial = decodeSerialNumber (d); break;
                case DeviceQuery::manufactureDate: decodeManufactureDate (d, year, month, day); break;
                default: break;
            }
            queue.setState (DeviceCommandQueue::answerComplete);
            return;
        }
    }
    fail (DeviceError::unexpectedData);
}

//==============================================================================
// Incoming SysEx

bool DeviceObject::hasIncoming() const
{
    const juce::ScopedLock sl (incomingLock);
    return ! incoming.empty();
}

bool DeviceObject::processIncoming()
{
    std::unique_ptr<juce::MidiMessage> message;
    {
        const juce::ScopedLock sl (incomingLock);
        if (incoming.empty())
            return false;
        message = std::make_unique<juce::MidiMessage> (incoming.front());
        incoming.pop_front();
    }
    handleReply (*message);
    return true;
}

void DeviceObject::flushIncoming()
{
    const juce::ScopedLock sl (incomingLock);
    incoming.clear();
}

void DeviceObject::handleReply (const juce::MidiMessage& m)
{
    // Only a running transfer or identification takes answers; what arrives at an idle
    // device, or after a command failed or was cancelled, is dropped.
    const int state = queue.getState();
    if (state != DeviceCommandQueue::busy && state != DeviceCommandQueue::answerComplete)
        return;

    const auto* d = m.getRawData();
    const int size = m.getRawDataSize();
    if (size < 8 || SysExCodec::getMessageLength (d, size) != size || memcmp (d, SysExCodec::frameStart, 5) != 0)
    {
        fail (DeviceError::unexpectedData);
        return;
    }

    auto* data = deviceData.get();   // only this thread, or a sync-file load that waits for it, changes it
    const auto format = currentFormat();

    switch (d[6])
    {
        case SysExCodec::commandSetupPacket:
        {
            if (data == nullptr)                                            { fail (DeviceError::internalError); return; }
            if (! DeviceQuery::isWellFormedReply (m, data->getFormat()))   { fail (DeviceError::unexpectedData); return; }
            const int s = data->getFormat().setupPacketSize;
            if (d[10 + s] != sysExChecksum (d + 10, s))                    { fail (DeviceError::dataCorruption); return; }
            const int counter = packetCounter.load();
            if (counter >= packetsPerUnit.load() || d[9] != (counter & 0x7F)) { fail (DeviceError::unexpectedData); return; }
            const int version = unpackSysEx14 (d + 7);
            if (version != data->getFormat().setupVersion)                 { fail (DeviceError::versionConflict); return; }

            auto& setup = data->getSetup();
            setup.setSetupDataVersion (version);
            data->setModified (true);
            if (! setup.addMessage (m))                                     { fail (DeviceError::unexpectedData); return; }
            if (++packetCounter == packetsPerUnit.load())
                queue.setState (DeviceCommandQueue::answerComplete);
            return;
        }

        case SysExCodec::commandPresetHeader:
        {
            if (data == nullptr)                                            { fail (DeviceError::noDeviceData); return; }
            if (! DeviceQuery::isWellFormedReply (m, data->getFormat()))   { fail (DeviceError::unexpectedData); return; }
            PresetInfo info;
            const auto result = parsePresetHeader (m, data->getFormat(), info);
            if (result == PresetHeaderResult::otherVersion)                 { fail (DeviceError::internalError); return; }
            if (result != PresetHeaderResult::ok)                           { fail (DeviceError::unexpectedData); return; }
            // Only the header of the preset asked for fills a slot.
            if (info.number != requestedPreset.load() || ! juce::isPositiveAndBelow (info.number, data->getNumSlots())
                || info.stepCount > data->getFormat().maxPresetSteps)
            {
                fail (DeviceError::unexpectedData);
                return;
            }
            auto* preset = data->createPreset (info.number);
            if (preset == nullptr || ! preset->setInfo (info))              { fail (DeviceError::unexpectedData); return; }
            currentPreset = info.number;
            queue.setState (DeviceCommandQueue::answerComplete);
            return;
        }

        case SysExCodec::commandPresetData:
        {
            const int number = currentPreset.load();
            auto* preset = data != nullptr && number >= 0 ? data->getPreset (number) : nullptr;
            if (preset == nullptr)                                          { fail (DeviceError::internalError); return; }
            if (! DeviceQuery::isWellFormedReply (m, data->getFormat()))   { fail (DeviceError::unexpectedData); return; }
            const int p = data->getFormat().presetStepPacketSize;
            if (d[8 + p] != sysExChecksum (d + 8, p))                      { fail (DeviceError::dataCorruption); return; }
            const int counter = packetCounter.load();
            const int expected = packetsPerUnit.load() * preset->getStepCount();
            if (counter >= expected || d[7] != (counter & 0x7F))            { fail (DeviceError::unexpectedData); return; }
            if (! preset->addMessage (m))                                   { fail (DeviceError::unexpectedData); return; }
            data->setModified (true);
            if (++packetCounter == expected)
                queue.setState (DeviceCommandQueue::answerComplete);
            return;
        }

        case 0x34:
        case 0x7F:
            if (! DeviceQuery::isWellFormedReply (m, format))               { fail (DeviceError::unexpectedData); return; }
            lastStatus = d[7] & 0x7F;
            return;

        case 0x56:
            if (data != nullptr)
                queue.setState (DeviceCommandQueue::answerComplete);
            else
                fail (DeviceError::noDeviceData);
            return;

        case 0x7E:
            if (! DeviceQuery::isWellFormedReply (m, format))               { fail (DeviceError::unexpectedData); return; }
            handleIdentityReply (m);
            return;

        default:
            fail (DeviceError::unexpectedData);
            return;
    }
}

void DeviceObject::waitForResponse (int ms)
{
    const auto deadline = now() + (juce::uint32) juce::jmax (0, ms);
    for (;;)
    {
        const bool handled = processIncoming();
        if (threadShouldExit())
            return;
        if (lastStatus.load() != noStatus || queue.getState() != DeviceCommandQueue::busy)
            return;
        if (handled)
            continue;

        const int left = remainingUntil (deadline);
        if (left <= 0)
        {
            fail (DeviceError::timeOut);
            return;
        }
        wait (left);
    }
}

//==============================================================================
// Commands

bool DeviceObject::dispatchCommand()
{
    if (queue.isEmpty())
        return false;

    if (errorCode.load() != 0)
    {
        // A device in error carries out nothing until it is reset: the command ends at once.
        DeviceCommandMessage refused;
        if (queue.pop (refused, false))
            postEnd (InfoCode::commandFailed, refused);
        idleEvent.signal();
        return ! queue.isEmpty();
    }

    DeviceCommandMessage command;
    if (! queue.peek (command))
        return false;

    beginCommand();
    flushIncoming();   // nothing that arrived before the request can be its answer
    carryOut (command);
    endCommand();

    DeviceCommandMessage done;
    if (threadShouldExit())
    {
        queue.pop (done, false);
        return false;
    }

    int code = InfoCode::commandDone;
    if (queue.getState() == DeviceCommandQueue::cancelRequested)
        code = InfoCode::commandCancelled;
    else if (errorCode.load() != 0)
        code = InfoCode::commandFailed;
    else if (queue.getState() == DeviceCommandQueue::error)
    {
        errorCode = DeviceError::internalError;
        code = InfoCode::commandFailed;
    }

    queue.pop (done, false);
    // Every command leaves the device idle, or in error when it failed.
    queue.setState (errorCode.load() != 0 ? DeviceCommandQueue::error : DeviceCommandQueue::idle);
    lastStatus = noStatus;
    postEnd (code, command);
    idleEvent.signal();
    return ! queue.isEmpty();
}

bool DeviceObject::requireLink (bool needsData)
{
    if (! arePortsOpen())
    {
        fail (DeviceError::connectionLost);
        return false;
    }
    if (getDeviceCaps() == nullptr)
    {
        fail (DeviceError::internalError);
        return false;
    }
    if (needsData && getDeviceData() == nullptr)
    {
        fail (DeviceError::noDeviceData);
        return false;
    }
    return true;
}

void DeviceObject::finishCommand (bool sendResume)
{
    if (sendResume && arePortsOpen())
        sendMessage (buildSysEx57Message (getProductId(), 1));

    if (errorCode.load() == 0)
    {
        if (queue.getState() != DeviceCommandQueue::cancelRequested)
            queue.setState (DeviceCommandQueue::idle);
        lastStatus = noStatus;
    }
}

void DeviceObject::carryOut (const DeviceCommandMessage& command)
{
    auto* own = getDeviceData();

    switch (command.code)
    {
        case DeviceCommand::reidentify:
        {
            bool openedHere = false;
            if (! arePortsOpen())
            {
                if (! openPorts())
                {
                    fail (DeviceError::connectionLost);
                    break;
                }
                openedHere = true;
            }
            if (checkSerialNumber())
                queue.setState (DeviceCommandQueue::idle);
            else if (! threadShouldExit())
                fail (DeviceError::connectionLost);
            if (openedHere)
                closePorts();
            break;
        }

        case DeviceCommand::readAll:        readAll(); break;
        case DeviceCommand::readPresets:    readPresets (command.presetIndices); break;
        case DeviceCommand::readSetup:      readSetup(); break;
        case DeviceCommand::deletePresets:  deletePresets (command.presetIndices); break;

        case DeviceCommand::writePresets:
            if (own != nullptr) writePresets (*own, command.presetIndices);
            else finishCommand (false);
            break;

        case DeviceCommand::writePresetsFrom:
            if (command.data != nullptr) writePresets (*command.data, command.presetIndices);
            else finishCommand (false);
            break;

        case DeviceCommand::writeSetup:
            if (own != nullptr && own->getSetup().isComplete()) writeSetup (own->getSetup());
            else finishCommand (false);
            break;

        case DeviceCommand::writeSetupFrom:
            if (command.data != nullptr && command.data->getSetup().isComplete()) writeSetup (command.data->getSetup());
            else finishCommand (false);
            break;

        case DeviceCommand::writeWholeData:
            if (command.data != nullptr) writeWholeData (*command.data);
            else finishCommand (false);
            break;

        case DeviceCommand::rawSend:
            if (command.payload != nullptr) sendSysExData (*command.payload);
            else finishCommand (false);
            break;

        default:
            finishCommand (false);
            break;
    }
}

//==============================================================================
// Reading

bool DeviceObject::requestPreset (int number)
{
    auto* data = getDeviceData();
    packetCounter = 0;
    currentPreset = -1;
    requestedPreset = number;
    lastStatus = noStatus;
    queue.setState (DeviceCommandQueue::busy);
    data->removePreset (number);

    sendMessage (buildPresetRequestMessage (getProductId(), number));
    waitForResponse (timings.replyTimeoutMs);

    bool ok = false;
    if (threadShouldExit())
    {
        queue.setState (DeviceCommandQueue::cancelRequested);
    }
    else if (lastStatus.load() == 2)
    {
        // The slot is empty on the unit.
        lastStatus = noStatus;
        ok = true;
    }
    else if (queue.getState() == DeviceCommandQueue::answerComplete && lastStatus.load() == noStatus
             && currentPreset.load() == number)
    {
        if (auto* preset = data->getPreset (number))
        {
            if (preset->getExpectedNumMessages() == 0)
            {
                ok = preset->isComplete();   // a preset without data packets
            }
            else
            {
                queue.setState (DeviceCommandQueue::busy);
                waitForResponse (timings.replyTimeoutMs);
                ok = ! threadShouldExit() && queue.getState() == DeviceCommandQueue::answerComplete
                  && lastStatus.load() == noStatus && preset->isComplete();
            }
        }
        if (ok)
        {
            lastStatus = noStatus;
            queue.setState (DeviceCommandQueue::busy);
        }
    }

    // A preset that did not arrive whole does not stay in its slot.
    if (! ok)
        if (auto* partial = data->getPreset (number))
            if (! partial->isComplete())
                data->removePreset (number);

    requestedPreset = -1;
    return ok;
}

void DeviceObject::readPresets (const juce::Array<int>& numbers)
{
    if (numbers.isEmpty())
    {
        finishCommand (false);
        return;
    }
    if (! requireLink (true))
        return;

    auto* data = getDeviceData();
    auto* profile = getDeviceCaps();
    for (auto n : numbers)
    {
        if (! juce::isPositiveAndBelow (n, data->getNumSlots()))
        {
            fail (DeviceError::internalError);
            return;
        }
    }

    packetsPerUnit = profile->getNumSyxPackagesPerPresetStep();
    const bool resume = numbers.size() >= 2 && profile->hasSuspendAlgo();
    if (resume)
        sendMessage (buildSysEx57Message (getProductId(), 0));

    for (auto n : numbers)
    {
        bool read = false;
        for (int attempt = 0;;)
        {
            if (requestPreset (n))
            {
                read = true;
                break;
            }
            if (threadShouldExit())
                return;
            if (queue.getState() == DeviceCommandQueue::cancelRequested)
                break;
            // A failed try always leaves an error, so that the last one ends the command as failed.
            if (errorCode.load() == 0)
                fail (DeviceError::unexpectedData);

            ++attempt;
            post (InfoCode::presetReadAttemptFailed, n, attempt, {});
            pause (timings.retryPauseMs);
            if (threadShouldExit())
                return;
            flushIncoming();
            if (attempt >= maxAttempts)
                break;
            clearError();
        }

        if (! read)
            break;

        if (auto* preset = data->getPreset (n))
        {
            preset->calculateMd5();
            post (InfoCode::presetRead, n, numbers.size(), preset->getName());
        }
        else
        {
            post (InfoCode::presetEmpty, n, numbers.size(), {});
        }

        if (queue.getState() == DeviceCommandQueue::cancelRequested)
            break;
    }

    finishCommand (resume);
}

void DeviceObject::readSetup()
{
    if (! requireLink (true))
        return;

    auto* data = getDeviceData();
    const int packets = getDeviceCaps()->getNumSyxPackagesPerSetup();
    if (packets <= 0)
    {
        fail (DeviceError::internalError);
        return;
    }
    packetsPerUnit = packets;

    for (int attempt = 0;;)
    {
        // Each try starts from an empty setup, so that a partial answer cannot mix in.
        data->clearSetup();
        packetCounter = 0;
        lastStatus = noStatus;
        queue.setState (DeviceCommandQueue::busy);
        sendMessage (buildSetupRequestMessage (getProductId()));
        waitForResponse (timings.replyTimeoutMs);

        if (threadShouldExit())
            return;
        if (queue.getState() == DeviceCommandQueue::answerComplete && lastStatus.load() == noStatus
            && data->getSetup().isComplete())
            break;
        if (queue.getState() == DeviceCommandQueue::cancelRequested)
            break;
        if (errorCode.load() == 0)
            fail (DeviceError::unexpectedData);

        ++attempt;
        post (InfoCode::setupReadAttemptFailed, 0, attempt, {});
        pause (timings.retryPauseMs);
        if (threadShouldExit())
            return;
        flushIncoming();
        if (attempt >= maxAttempts)
        {
            data->clearSetup();
            break;
        }
        clearError();
    }

    finishCommand (false);
}

void DeviceObject::readAll()
{
    if (! requireLink (true))
        return;

    auto* data = getDeviceData();
    data->removeAllPresets();
    data->clearSetup();

    juce::Array<int> numbers;
    for (int n = 1; n < data->getNumSlots(); ++n)
        numbers.add (n);
    readPresets (numbers);

    if (threadShouldExit())
        return;
    if (queue.getState() == DeviceCommandQueue::idle && errorCode.load() == 0
        && getDeviceCaps()->getNumSyxPackagesPerSetup() > 0)
        readSetup();

    data->clearModifiedFlags (false);
}

//==============================================================================
// Writing

bool DeviceObject::writePreset (const Preset& preset, int number)
{
    if (! preset.isComplete())
    {
        fail (DeviceError::internalError);
        return false;
    }

    lastStatus = noStatus;
    queue.setState (DeviceCommandQueue::busy);

    // The unit files the preset under the number in its header: the slot written.
    PresetInfo info (preset.getInfo());
    info.number = number;
    sendMessage (buildPresetHeaderMessage (info, getProductId()));
    for (int i = 0; i < preset.getNumMessages(); ++i)
        sendMessage (*preset.getMessage (i));
    waitForResponse (timings.replyTimeoutMs);

    if (threadShouldExit() || queue.getState() != DeviceCommandQueue::busy)
        return false;

    switch (lastStatus.load())
    {
        case 1:
            post (InfoCode::presetWritten, number, 0, preset.getName());
            return true;

        case 8:
            post (InfoCode::unitNeedsTime, 0, 0, {});
            pause ((int) (getDeviceCaps()->getBankSwapTime() * 1000.0f));
            if (threadShouldExit())
                return false;
            post (InfoCode::presetWritten, number, 0, preset.getName());
            return true;

        case 3:  fail (DeviceError::memoryFull); break;
        case 4:  fail (DeviceError::versionConflict); break;
        case 5:  fail (DeviceError::dataCorruption); break;
        case 6:  fail (DeviceError::presetRejected); break;
        case 9:  fail (DeviceError::synchronisation); break;
        default: fail (DeviceError::internalError); break;
    }
    return false;
}

void DeviceObject::writePresets (DeviceData& data, const juce::Array<int>& numbers)
{
    if (! requireLink (false))
        return;

    const bool resume = numbers.size() >= 2 && getDeviceCaps()->hasSuspendAlgo();
    if (resume)
        sendMessage (buildSysEx57Message (getProductId(), 0));

    for (auto n : numbers)
    {
        auto* preset = data.getPreset (n);
        if (preset == nullptr)
            continue;

        bool written = false;
        for (int attempt = 0;;)
        {
            if (writePreset (*preset, n))
            {
                written = true;
                break;
            }
            if (threadShouldExit())
                return;
            if (queue.getState() == DeviceCommandQueue::cancelRequested)
                break;
            if (errorCode.load() == 0)
                fail (DeviceError::unexpectedData);

            ++attempt;
            post (InfoCode::presetWriteAttemptFailed, n, attempt, preset->getName());
            pause (timings.retryPauseMs);
            if (threadShouldExit())
                return;
            flushIncoming();
            // A full memory or data that cannot be sent will not get better by trying again.
            if (lastStatus.load() == 3 || errorCode.load() == DeviceError::internalError || attempt >= maxAttempts)
                break;
            clearError();
        }

        if (! written || queue.getState() == DeviceCommandQueue::cancelRequested)
            break;
    }

    finishCommand (resume);
}

void DeviceObject::writeSetup (const SetupData& setup)
{
    if (! requireLink (false))
        return;

    const int n = setup.getNumMessages();
    for (int attempt = 0; queue.getState() != DeviceCommandQueue::cancelRequested && ! threadShouldExit();)
    {
        lastStatus = noStatus;
        queue.setState (DeviceCommandQueue::busy);

        for (int i = 0; i < n && queue.getState() != DeviceCommandQueue::cancelRequested; ++i)
        {
            // The unit needs the gap between setup packets; a message arriving meanwhile does not shorten it.
            pause (timings.setupPacketGapMs);
            if (threadShouldExit())
                return;
            auto* m = setup.getMessage (i);
            if (m == nullptr)
            {
                fail (DeviceError::internalError);
                return;
            }
            sendMessage (*m);
            post (InfoCode::setupPacketSent, i + 1, n, {});
        }
        if (queue.getState() == DeviceCommandQueue::cancelRequested)
            break;

        waitForResponse (timings.replyTimeoutMs);
        if (threadShouldExit())
            return;
        if (queue.getState() == DeviceCommandQueue::busy && lastStatus.load() == 1)
            break;
        if (queue.getState() == DeviceCommandQueue::cancelRequested)
            break;

        ++attempt;
        post (InfoCode::setupWriteAttemptFailed, 0, attempt, {});
        pause (timings.retryPauseMs);
        if (threadShouldExit())
            return;
        flushIncoming();
        if (attempt < maxAttempts)
        {
            clearError();
            continue;
        }
        if (lastStatus.load() != 1)
            fail (DeviceError::internalError);
        break;
    }

    finishCommand (false);
}

void DeviceObject::writeWholeData (DeviceData& data)
{
    const auto slots = data.getPresetIndices (1, data.getNumSlots() - 1);
    const bool setupComplete = data.getSetup().isComplete();
    if (slots.isEmpty() && ! setupComplete)
    {
        finishCommand (false);
        return;
    }

    if (! slots.isEmpty())
        writePresets (data, slots);
    if (threadShouldExit())
        return;

    // The setup follows only presets that all went in.
    const int state = queue.getState();
    if (setupComplete && errorCode.load() == 0 && state != DeviceCommandQueue::cancelRequested
        && state != DeviceCommandQueue::error)
        writeSetup (data.getSetup());
}

void DeviceObject::deletePresets (const juce::Array<int>& numbers)
{
    if (! requireLink (false))
        return;

    const int delay = (int) (getDeviceCaps()->getDelayTimeAfterPresetDelete() * 1000.0f);
    queue.setState (DeviceCommandQueue::busy);

    for (auto n : numbers)
    {
        sendMessage (buildDeletePresetMessage (getProductId(), n));
        post (InfoCode::presetDeleteSent, n, 0, {});
        pause (delay);
        if (threadShouldExit())
            return;
        if (queue.getState() == DeviceCommandQueue::cancelRequested)
        {
            finishCommand (false);
            return;
        }
    }

    pause (numbers.size() < 2 ? 2 * delay : 10 * delay);
    if (threadShouldExit())
        return;
    finishCommand (false);
}

void DeviceObject::sendSysExData (const juce::OwnedArray<juce::MidiMessage>& messages)
{
    if (! requireLink (false))
        return;

    const int n = messages.size();
    if (n == 0)
    {
        fail (DeviceError::internalError);
        return;
    }

    sendMessage (*messages.getUnchecked (0));   // the image's opening message, as it is

    for (int i = 1; i < n; ++i)
    {
        const auto& block = *messages.getUnchecked (i);
        const auto header = buildFirmwareBlockHeader (block);
        const auto end = buildFirmwareBlockEndMessage();

        for (int attempt = 0;;)
        {
            if (threadShouldExit())
                return;

            lastStatus = noStatus;
            sendMessage (header);
            sendMessage (block);
            sendMessage (end);
            if (attempt == 0)
                post (InfoCode::firmwareBlockSent, i + 1, n, {});
            waitForResponse (timings.firmwareReplyTimeoutMs);

            if (threadShouldExit())
                return;
            if (queue.getState() != DeviceCommandQueue::busy)
            {
                finishCommand (false);
                return;
            }

            const int answer = lastStatus.load();
            lastStatus = noStatus;
            if (answer == 1)
                break;
            if (answer != 0)
            {
                fail (DeviceError::internalError);
                return;
            }

            ++attempt;
            pause (timings.firmwareResendPauseMs);
            post (InfoCode::firmwareBlockResent, i + 1, attempt, {});
            if (attempt >= maxFirmwareAttempts)
            {
                fail (DeviceError::internalError);
                return;
            }
        }
    }

    finishCommand (false);
}
