#include "device/sim/SimulatedUnit.h"

namespace
{
    constexpr juce::uint8 loaderId = 0x60;
    constexpr juce::uint8 broadcastId = 0x7F;

    int unsigned14 (const juce::uint8* b) { return ((b[0] & 0x7F) << 7) | (b[1] & 0x7F); }

    juce::MidiMessage toMidi (const SimSysEx::Bytes& bytes)
    {
        return juce::MidiMessage (bytes.data(), (int) bytes.size(), 0.0);
    }
}

SimulatedUnit::SimulatedUnit (const SimUnitProfile& p, const Identity& id, const juce::String& portName)
    : VirtualMidiDevice (portName, portName),
      juce::Thread ("SimulatedUnit"),
      profile (p),
      identity (id)
{
    setup.assign ((size_t) juce::jmax (0, profile.setupPackets * profile.setupValuesPerPacket()), 0);
    for (size_t i = 0; i < setup.size(); ++i)
        setup[i] = (int) (i * 3 + 1);
    inboundFree = outboundFree = Clock::now();
    startThread();
}

SimulatedUnit::~SimulatedUnit()
{
    {
        const std::lock_guard<std::mutex> l (queueLock);
        stopping = true;
    }
    wake.notify_all();
    stopThread (5000);
}

SimulatedUnit::Identity SimulatedUnit::getIdentity() const
{
    const std::lock_guard<std::mutex> l (dataLock);
    return identity;
}

void SimulatedUnit::setIdentity (const Identity& id)
{
    const std::lock_guard<std::mutex> l (dataLock);
    identity = id;
}

SimulatedUnit::Faults SimulatedUnit::getFaults() const
{
    const std::lock_guard<std::mutex> l (dataLock);
    return faults;
}

void SimulatedUnit::setFaults (const Faults& f)
{
    const std::lock_guard<std::mutex> l (dataLock);
    faults = f;
}

void SimulatedUnit::setLinkRate (int bytesPerSecond)
{
    const std::lock_guard<std::mutex> l (queueLock);
    linkRate = juce::jmax (0, bytesPerSecond);
}

//==============================================================================
SimulatedUnit::Preset SimulatedUnit::makePreset (int number, int seed) const
{
    Preset p;
    p.number = number;
    p.name = ("Sim " + juce::String (number)).substring (0, profile.nameLength);
    p.tags = (number * 37 + seed * 11) & 0xFFF;
    p.steps = 1 + (int) ((unsigned) (number + seed) % (unsigned) juce::jmax (1, profile.maxSteps));
    const int count = p.steps * profile.valuesPerStep();
    p.values.resize ((size_t) juce::jmax (0, count));
    juce::uint32 x = (juce::uint32) (number * 7919 + seed * 104729 + 17);
    for (auto& v : p.values)
    {
        x = x * 1664525u + 1013904223u;
        v = (int) ((x >> 4) & 0xFFFFFFFu) - 0x8000000;   // the whole signed 28-bit range
    }
    return p;
}

void SimulatedUnit::fillPresets (const juce::Array<int>& numbers, int seed)
{
    for (auto n : numbers)
        setPreset (makePreset (n, seed));
}

void SimulatedUnit::setPreset (const Preset& p)
{
    const std::lock_guard<std::mutex> l (dataLock);
    presets[p.number] = p;
}

bool SimulatedUnit::hasPreset (int number) const
{
    const std::lock_guard<std::mutex> l (dataLock);
    return presets.count (number) > 0;
}

SimulatedUnit::Preset SimulatedUnit::getPreset (int number) const
{
    const std::lock_guard<std::mutex> l (dataLock);
    auto it = presets.find (number);
    return it != presets.end() ? it->second : Preset();
}

void SimulatedUnit::erasePreset (int number)
{
    const std::lock_guard<std::mutex> l (dataLock);
    presets.erase (number);
}

juce::Array<int> SimulatedUnit::getPresetNumbers() const
{
    const std::lock_guard<std::mutex> l (dataLock);
    juce::Array<int> numbers;
    for (auto& p : presets)
        numbers.add (p.first);
    return numbers;
}

std::vector<int> SimulatedUnit::getSetup() const
{
    const std::lock_guard<std::mutex> l (dataLock);
    return setup;
}

void SimulatedUnit::setSetup (const std::vector<int>& values)
{
    const std::lock_guard<std::mutex> l (dataLock);
    setup = values;
}

bool SimulatedUnit::isSuspended() const
{
    const std::lock_guard<std::mutex> l (dataLock);
    return suspended;
}

//==============================================================================
std::vector<SimulatedUnit::LogEntry> SimulatedUnit::getLog() const
{
    const std::lock_guard<std::mutex> l (dataLock);
    return log;
}

std::vector<SimulatedUnit::LogEntry> SimulatedUnit::getReceived (juce::uint8 command, int deviceId) const
{
    std::vector<LogEntry> out;
    for (auto& e : getLog())
        if (e.command() == command && (deviceId < 0 || e.deviceId() == deviceId))
            out.push_back (e);
    return out;
}

int SimulatedUnit::countReceived (juce::uint8 command, int deviceId) const
{
    return (int) getReceived (command, deviceId).size();
}

void SimulatedUnit::clearLog()
{
    const std::lock_guard<std::mutex> l (dataLock);
    log.clear();
}

juce::int64 SimulatedUnit::getBytesReceived() const
{
    const std::lock_guard<std::mutex> l (dataLock);
    return bytesReceived;
}

juce::int64 SimulatedUnit::getBytesSent() const
{
    const std::lock_guard<std::mutex> l (dataLock);
    return bytesSent;
}

int SimulatedUnit::getBlocksAccepted() const
{
    const std::lock_guard<std::mutex> l (dataLock);
    return blocksAccepted;
}

int SimulatedUnit::getRebootCount() const
{
    const std::lock_guard<std::mutex> l (dataLock);
    return reboots;
}

//==============================================================================
void SimulatedUnit::receivedFromProgram (const juce::MidiMessage& message)
{
    const auto* raw = message.getRawData();
    SimSysEx::Bytes bytes (raw, raw + message.getRawDataSize());

    {
        // The time stamp is taken here, on the sender's thread, so that the log shows when the
        // program sent, whatever keeps the unit's own thread late.
        const std::lock_guard<std::mutex> l (queueLock);
        const auto now = Clock::now();
        auto due = now;
        if (linkRate > 0)
        {
            due = std::max (due, inboundFree)
                + std::chrono::microseconds ((juce::int64) bytes.size() * 1000000 / linkRate);
            inboundFree = due;
        }
        const double arrival = juce::Time::getMillisecondCounterHiRes()
                             + std::chrono::duration<double, std::milli> (due - now).count();
        inbound.push_back ({ due, std::move (bytes), arrival });
    }
    wake.notify_all();
}

bool SimulatedUnit::answer (const std::vector<SimSysEx::Bytes>& messages)
{
    // Called with the data lock held.
    if (faults.dropReplies > 0)
    {
        --faults.dropReplies;
        return false;
    }

    const auto delay = std::chrono::milliseconds (faults.replyDelayMs);
    {
        const std::lock_guard<std::mutex> l (queueLock);
        const auto start = Clock::now() + delay;
        for (auto& m : messages)
        {
            auto due = start;
            if (linkRate > 0)
            {
                due = std::max (due, outboundFree)
                    + std::chrono::microseconds ((juce::int64) m.size() * 1000000 / linkRate);
                outboundFree = due;
            }
            outbound.push_back ({ due, m, 0.0 });
        }
    }
    wake.notify_all();
    return true;
}

void SimulatedUnit::schedule (int delayMs, std::function<void()> action)
{
    {
        const std::lock_guard<std::mutex> l (queueLock);
        timers.push_back ({ Clock::now() + std::chrono::milliseconds (delayMs), std::move (action) });
    }
    wake.notify_all();
}

void SimulatedUnit::run()
{
    std::unique_lock<std::mutex> l (queueLock);
    while (! stopping && ! threadShouldExit())
    {
        const auto now = Clock::now();

        if (! inbound.empty() && inbound.front().due <= now)
        {
            auto bytes = std::move (inbound.front().bytes);
            const double arrival = inbound.front().arrivalMs;
            inbound.pop_front();
            l.unlock();
            handle (bytes, arrival);
            l.lock();
            continue;
        }

        if (! outbound.empty() && outbound.front().due <= now)
        {
            auto bytes = std::move (outbound.front().bytes);
            outbound.pop_front();
            l.unlock();

            bool vanish = false;
            {
                const std::lock_guard<std::mutex> d (dataLock);
                bytesSent += (juce::int64) bytes.size();
                if (faults.vanishAfterSending > 0 && --faults.vanishAfterSending == 0)
                    vanish = true;
            }
            sendToProgram (toMidi (bytes));
            if (vanish)
                unplug();

            l.lock();
            if (vanish)
                outbound.clear();
            continue;
        }

        auto dueTimer = std::find_if (timers.begin(), timers.end(), [now] (const Timer& t) { return t.due <= now; });
        if (dueTimer != timers.end())
        {
            auto action = std::move (dueTimer->action);
            timers.erase (dueTimer);
            l.unlock();
            action();
            l.lock();
            continue;
        }

        auto next = Clock::time_point::max();
        if (! inbound.empty())  next = std::min (next, inbound.front().due);
        if (! outbound.empty()) next = std::min (next, outbound.front().due);
        for (auto& t : timers)  next = std::min (next, t.due);

        if (next == Clock::time_point::max())
            wake.wait (l);
        else
            wake.wait_until (l, next);
    }
}

//==============================================================================
void SimulatedUnit::handle (const SimSysEx::Bytes& m, double arrivalMs)
{
    bool vanish = false;
    {
        const std::lock_guard<std::mutex> l (dataLock);
        log.push_back ({ arrivalMs, m });
        bytesReceived += (juce::int64) m.size();

        if (faults.vanishAfterReceiving > 0 && --faults.vanishAfterReceiving == 0)
            vanish = true;

        if (! vanish && ! faults.silent && SimSysEx::isMakersMessage (m))
        {
            const auto id = m[5];
            const auto command = m[6];

            if (id == loaderId)
                handleLoader (m);
            else if (command == 0x7E && m.size() == 17)
            {
                if (id == identity.productId || (id == broadcastId && identity.answersBroadcast))
                    answerIdentity (m[7]);
            }
            else if (id == identity.productId)
            {
                switch (command)
                {
                    case 0x45: if (m.size() == 10) answerPresetRequest (unsigned14 (m.data() + 7)); break;
                    case 0x15: if (m.size() == 9) answerSetupRequest(); break;
                    case 0x50: if (m.size() == 10) presets.erase (unsigned14 (m.data() + 7)); break;
                    case 0x57: if (m.size() == 10) suspended = unsigned14 (m.data() + 7) == 0; break;
                    case 0x20: receivePresetHeader (m); break;
                    case 0x21: receivePresetPacket (m); break;
                    case 0x13: receiveSetupPacket (m); break;
                    default:   break;
                }
            }
        }
    }

    if (vanish)
    {
        unplug();
        const std::lock_guard<std::mutex> l (queueLock);
        outbound.clear();
    }
}

void SimulatedUnit::answerIdentity (int kind)
{
    auto reply = SimSysEx::begin (identity.productId, 0x7E);
    reply.push_back ((juce::uint8) (kind & 0x7F));

    switch (kind)
    {
        case 0x7F:
            reply.push_back ((juce::uint8) (((identity.buildType & 0x07) << 4) | (identity.major & 0x0F)));
            reply.push_back ((juce::uint8) (identity.minor & 0x7F));
            reply.push_back ((juce::uint8) (identity.revision & 0x7F));
            SimSysEx::append28 (reply, identity.build);
            reply.push_back ((juce::uint8) (identity.last & 0x7F));
            break;

        case 0x07:
        {
            // Eight decimal digits, the most significant first.
            int rest = identity.serial;
            juce::uint8 digits[8];
            for (int i = 7; i >= 0; --i)
            {
                digits[i] = (juce::uint8) (rest % 10);
                rest /= 10;
            }
            reply.insert (reply.end(), digits, digits + 8);
            break;
        }

        case 0x09:
            reply.push_back ((juce::uint8) (identity.day & 0x7F));
            reply.push_back ((juce::uint8) (identity.month & 0x7F));
            reply.push_back ((juce::uint8) ((identity.year / 100) & 0x7F));
            reply.push_back ((juce::uint8) ((identity.year % 100) & 0x7F));
            reply.insert (reply.end(), 4, 0);
            break;

        default:
            reply.insert (reply.end(), 8, 0);
            break;
    }

    SimSysEx::end (reply);
    answer ({ reply });
}

SimSysEx::Bytes SimulatedUnit::presetHeader (const Preset& p, int numberShown) const
{
    auto h = SimSysEx::begin (identity.productId, 0x20);
    SimSysEx::append14 (h, numberShown);
    SimSysEx::append14 (h, profile.presetVersion);
    juce::uint8 name[15] = {};
    const auto text = p.name.toStdString();
    for (size_t i = 0; i < text.size() && i < (size_t) profile.nameLength; ++i)
        name[i] = (juce::uint8) (text[i] & 0x7F);
    h.insert (h.end(), name, name + 15);
    SimSysEx::append28 (h, p.tags);
    h.push_back ((juce::uint8) (p.steps & 0x7F));
    SimSysEx::end (h);
    return h;
}

std::vector<SimSysEx::Bytes> SimulatedUnit::presetPackets (const Preset& p)
{
    std::vector<SimSysEx::Bytes> packets;
    const int perPacket = profile.valuesPerPacket();
    const int count = p.steps * profile.packetsPerStep;
    for (int k = 0; k < count; ++k)
    {
        auto packet = SimSysEx::begin (identity.productId, 0x21);
        packet.push_back ((juce::uint8) (k & 0x7F));
        const size_t first = packet.size();
        for (int v = 0; v < perPacket; ++v)
        {
            const size_t at = (size_t) (k * perPacket + v);
            SimSysEx::append28 (packet, at < p.values.size() ? p.values[at] : 0);
        }
        packet.push_back (SimSysEx::sum7 (packet.data() + first, packet.size() - first));
        SimSysEx::end (packet);
        packets.push_back (std::move (packet));
    }
    return packets;
}

std::vector<SimSysEx::Bytes> SimulatedUnit::setupPackets()
{
    std::vector<SimSysEx::Bytes> packets;
    const int perPacket = profile.setupValuesPerPacket();
    for (int k = 0; k < profile.setupPackets; ++k)
    {
        auto packet = SimSysEx::begin (identity.productId, 0x13);
        SimSysEx::append14 (packet, profile.setupVersion);
        packet.push_back ((juce::uint8) (k & 0x7F));
        const size_t first = packet.size();
        for (int v = 0; v < perPacket; ++v)
        {
            const size_t at = (size_t) (k * perPacket + v);
            SimSysEx::append28 (packet, at < setup.size() ? setup[at] : 0);
        }
        packet.push_back (SimSysEx::sum7 (packet.data() + first, packet.size() - first));
        SimSysEx::end (packet);
        packets.push_back (std::move (packet));
    }
    return packets;
}

void SimulatedUnit::damage (std::vector<SimSysEx::Bytes>& packets)
{
    // The packet index sits right after the command, or after the setup version; the
    // checksum is the byte before F7.
    auto indexAt = [] (const SimSysEx::Bytes& p) { return p[6] == 0x13 ? (size_t) 9 : (size_t) 7; };

    if (faults.badChecksumTimes > 0 && juce::isPositiveAndBelow (faults.badChecksumPacket, (int) packets.size()))
    {
        --faults.badChecksumTimes;
        auto& p = packets[(size_t) faults.badChecksumPacket];
        p[p.size() - 2] ^= 0x01;
    }
    if (faults.badIndexTimes > 0 && juce::isPositiveAndBelow (faults.badIndexPacket, (int) packets.size()))
    {
        --faults.badIndexTimes;
        auto& p = packets[(size_t) faults.badIndexPacket];
        p[indexAt (p)] = (juce::uint8) ((p[indexAt (p)] + 1) & 0x7F);
    }
    if (faults.truncatedTimes > 0 && juce::isPositiveAndBelow (faults.truncatedPacket, (int) packets.size()))
    {
        --faults.truncatedTimes;
        auto& p = packets[(size_t) faults.truncatedPacket];
        const size_t keep = juce::jmin (p.size() - 1, (size_t) 8);
        p.erase (p.begin() + (std::ptrdiff_t) keep, p.end() - 1);
    }
}

void SimulatedUnit::answerPresetRequest (int number)
{
    auto status = faults.readStatus.find (number);
    if (status != faults.readStatus.end())
    {
        answer ({ SimSysEx::status (identity.productId, status->second) });
        return;
    }

    if (faults.doneInsteadOfPreset)
    {
        auto done = SimSysEx::begin (identity.productId, 0x56);
        SimSysEx::end (done);
        answer ({ done });
        return;
    }

    auto it = presets.find (number);
    if (it == presets.end())
    {
        answer ({ SimSysEx::status (identity.productId, 2) });
        return;
    }

    int shown = number;
    if (faults.wrongHeaderNumberTimes > 0)
    {
        --faults.wrongHeaderNumberTimes;
        shown = number + 1;
    }

    auto packets = presetPackets (it->second);
    damage (packets);
    packets.insert (packets.begin(), presetHeader (it->second, shown));
    answer (packets);
}

void SimulatedUnit::answerSetupRequest()
{
    auto packets = setupPackets();
    damage (packets);
    answer (packets);
}

void SimulatedUnit::receivePresetHeader (const SimSysEx::Bytes& m)
{
    incoming = IncomingPreset();
    if (m.size() != 32)
        return;

    incoming.active = true;
    incoming.number = unsigned14 (m.data() + 7);
    incoming.version = SimSysEx::read14 (m.data() + 9);
    juce::String name;
    for (int i = 0; i < profile.nameLength && m[(size_t) (11 + i)] != 0; ++i)
        name += (juce::juce_wchar) m[(size_t) (11 + i)];
    incoming.name = name;
    incoming.tags = SimSysEx::read28 (m.data() + 26);
    incoming.steps = m[30] & 0x7F;

    if (incoming.steps == 0)
        receivePresetPacket ({});
}

void SimulatedUnit::receivePresetPacket (const SimSysEx::Bytes& m)
{
    if (! incoming.active)
        return;

    const int expected = incoming.steps * profile.packetsPerStep;
    if (! m.empty())
    {
        const size_t valueBytes = (size_t) profile.stepPacketSize;
        if (m.size() != valueBytes + 10 || m[7] != (juce::uint8) (incoming.packets & 0x7F)
            || m[8 + valueBytes] != SimSysEx::sum7 (m.data() + 8, valueBytes))
            incoming.damaged = true;
        else
            for (size_t at = 8; at + 4 <= 8 + valueBytes; at += 4)
                incoming.values.push_back (SimSysEx::read28 (m.data() + at));
        ++incoming.packets;
    }

    if (incoming.packets < expected)
        return;

    int status = 1;
    auto forced = faults.writeStatus.find (incoming.number);
    if (forced != faults.writeStatus.end())
        status = forced->second;
    else if (incoming.damaged)
        status = 5;
    else if (incoming.version != profile.presetVersion)
        status = 4;

    if (status == 1 || status == 8)
    {
        Preset p;
        p.number = incoming.number;
        p.name = incoming.name;
        p.tags = incoming.tags;
        p.steps = incoming.steps;
        p.values = incoming.values;
        presets[p.number] = p;
    }
    incoming = IncomingPreset();
    answer ({ SimSysEx::status (identity.productId, status) });
}

void SimulatedUnit::receiveSetupPacket (const SimSysEx::Bytes& m)
{
    const size_t valueBytes = (size_t) profile.setupPacketSize;
    if (m.size() != valueBytes + 12)
    {
        incomingSetupDamaged = true;
        return;
    }

    const int index = m[9];
    if (index == 0)
    {
        incomingSetup.clear();
        incomingSetupPackets = 0;
        incomingSetupDamaged = false;
    }

    if (index != (incomingSetupPackets & 0x7F) || SimSysEx::read14 (m.data() + 7) != profile.setupVersion
        || m[10 + valueBytes] != SimSysEx::sum7 (m.data() + 10, valueBytes))
        incomingSetupDamaged = true;
    else
        for (size_t at = 10; at + 4 <= 10 + valueBytes; at += 4)
            incomingSetup.push_back (SimSysEx::read28 (m.data() + at));

    if (++incomingSetupPackets < profile.setupPackets)
        return;

    const int status = incomingSetupDamaged ? 5 : faults.setupWriteStatus;
    if (status == 1)
        setup = incomingSetup;
    incomingSetup.clear();
    incomingSetupPackets = 0;
    incomingSetupDamaged = false;
    answer ({ SimSysEx::status (identity.productId, status) });
}

//==============================================================================
void SimulatedUnit::handleLoader (const SimSysEx::Bytes& m)
{
    lastLoaderMessageMs = juce::Time::getMillisecondCounterHiRes();
    const int quiet = faults.rebootQuietMs;
    schedule (quiet, [this, quiet]
    {
        int build = -1, major = 0, minor = 0, revision = 0, downMs = 0;
        {
            const std::lock_guard<std::mutex> l (dataLock);
            const bool quietLongEnough = juce::Time::getMillisecondCounterHiRes() - lastLoaderMessageMs >= quiet - 1;
            if (! loaderActive || blocksAccepted == 0 || pendingBuild <= 0 || ! quietLongEnough)
                return;
            build = pendingBuild; major = pendingMajor; minor = pendingMinor; revision = pendingRevision;
            downMs = faults.rebootDownMs;
            loaderActive = false;
            ++reboots;
        }
        unplug();
        {
            const std::lock_guard<std::mutex> l (queueLock);
            outbound.clear();
        }
        schedule (downMs, [this, build, major, minor, revision] { finishReboot (build, major, minor, revision); });
    });

    switch (m[6])
    {
        case 0x51:
            loaderActive = true;
            blocksAccepted = 0;
            blockResends = 0;
            pendingBuild = -1;
            block.clear();
            break;

        case 0x7E:
            if (m.size() == 11)
            {
                blockChecksum = m[7];
                blockLength = unsigned14 (m.data() + 8);
                block.clear();
            }
            break;

        case 0x7D:
        {
            const bool whole = ! block.empty() && (int) block.size() == blockLength
                            && SimSysEx::sum7 (block.data(), block.size()) == blockChecksum;
            int status = 0;
            if (whole && blockResends < faults.firmwareResends)
                ++blockResends;
            else if (whole)
            {
                status = 1;
                if (block[6] == 0x70 && block.size() >= 14)
                {
                    pendingBuild = unsigned14 (block.data() + 8);
                    pendingMajor = block[10];
                    pendingMinor = block[11];
                    pendingRevision = block[12];
                }
                ++blocksAccepted;
                blockResends = 0;
            }
            block.clear();
            answer ({ SimSysEx::status (loaderId, status) });
            break;
        }

        default:
            block = m;
            break;
    }
}

void SimulatedUnit::reboot (int newBuild)
{
    int downMs = 0, major = 0, minor = 0, revision = 0;
    {
        const std::lock_guard<std::mutex> l (dataLock);
        downMs = faults.rebootDownMs;
        major = identity.major;
        minor = identity.minor;
        revision = identity.revision;
        ++reboots;
    }
    unplug();
    {
        const std::lock_guard<std::mutex> l (queueLock);
        outbound.clear();
    }
    schedule (downMs, [this, newBuild, major, minor, revision] { finishReboot (newBuild, major, minor, revision); });
}

void SimulatedUnit::setProfileForBuild (std::function<SimUnitProfile (int)> lookup)
{
    const std::lock_guard<std::mutex> l (dataLock);
    profileForBuild = std::move (lookup);
}

void SimulatedUnit::finishReboot (int newBuild, int major, int minor, int revision)
{
    std::function<SimUnitProfile (int)> lookup;
    {
        const std::lock_guard<std::mutex> l (dataLock);
        lookup = profileForBuild;
    }
    const auto next = lookup != nullptr ? lookup (newBuild) : profile;

    {
        const std::lock_guard<std::mutex> l (dataLock);
        if (next.presetVersion != profile.presetVersion || next.stepPacketSize != profile.stepPacketSize
            || next.packetsPerStep != profile.packetsPerStep)
            presets.clear();
        if (next.setupVersion != profile.setupVersion || next.setupPacketSize != profile.setupPacketSize
            || next.setupPackets != profile.setupPackets)
            setup.assign ((size_t) juce::jmax (0, next.setupPackets * next.setupValuesPerPacket()), 0);
        profile = next;
        identity.build = newBuild;
        identity.major = major;
        identity.minor = minor;
        identity.revision = revision;
        loaderActive = false;
        suspended = false;
    }
    plugIn();
}
