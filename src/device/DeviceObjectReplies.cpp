#include "device/DeviceObject.h"
#include "model/SysExCodec.h"

// What the unit sends: the MIDI callback queues it; the device thread takes it from the queue
// inside its waits, checks each message against the transfer or identification that runs and
// stores what it carries.

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
            const juce::ScopedLock dl (getUnitDataLock());
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
            const juce::ScopedLock dl (getUnitDataLock());
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
            const juce::ScopedLock dl (getUnitDataLock());
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
    const auto deadline = deadlineIn (ms);
    for (;;)
    {
        const bool handled = processIncoming();
        if (threadShouldExit())
            return;
        if (lastStatus.load() != noStatus || queue.getState() != DeviceCommandQueue::busy)
            return;
        if (handled)
            continue;
        if (failIfUnplugged())
            return;

        const int left = remainingUntil (deadline);
        if (left <= 0)
        {
            fail (DeviceError::timeOut);
            return;
        }
        wait (left);
    }
}
