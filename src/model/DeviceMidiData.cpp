#include "model/DeviceMidiData.h"

void DeviceMidiData::copyFrom (const DeviceMidiData& other)
{
    if (&other == this)
        return;
    modified = other.modified;
    format = other.format;
    messages = other.messages;
    digest = other.digest;
}

void DeviceMidiData::setModified (bool shouldBeModified)
{
    modified = shouldBeModified;
    digest = juce::MD5();
}

void DeviceMidiData::clear()
{
    messages.clear();
    modified = false;
    digest = juce::MD5();
}

bool DeviceMidiData::addMessage (const juce::MidiMessage& message)
{
    if (! acceptsMessage (message))
        return false;
    appendVetted (message);
    setModified (true);
    return true;
}

void DeviceMidiData::appendVetted (const juce::MidiMessage& message)
{
    messages.add (message);
    messages.getReference (messages.size() - 1).setTimeStamp (0.0);
}

void DeviceMidiData::removeAllMessages()
{
    messages.clearQuick();
}

const juce::MidiMessage* DeviceMidiData::getMessage (int index) const
{
    return juce::isPositiveAndBelow (index, messages.size()) ? &messages.getReference (index) : nullptr;
}

juce::MD5 DeviceMidiData::getMd5() const
{
    if (digest == juce::MD5())
        calculateMd5();
    return digest;
}

void DeviceMidiData::storeDigestOf (const juce::MemoryBlock& extraDigests) const
{
    juce::MemoryOutputStream parts ((size_t) (messages.size() * 16) + extraDigests.getSize());
    for (auto& m : messages)
    {
        const juce::MD5 md5 (m.getRawData(), (size_t) m.getRawDataSize());
        parts.write (md5.getChecksumDataArray(), 16);
    }
    parts.write (extraDigests.getData(), extraDigests.getSize());
    // An item without parts still has a digest: the MD5 of no bytes.
    static const char nothing = 0;
    digest = parts.getDataSize() > 0 ? juce::MD5 (parts.getData(), parts.getDataSize()) : juce::MD5 (&nothing, 0);
}

bool DeviceMidiData::readMessages (juce::InputStream& in, int count, int expectedLength)
{
    if (count < 0 || expectedLength < 1)
        return false;
    juce::HeapBlock<juce::uint8> buffer ((size_t) expectedLength);
    for (int i = 0; i < count; ++i)
    {
        juce::uint8 lengthBytes[4];
        if (in.read (lengthBytes, 4) != 4)
            return false;
        if ((int) juce::ByteOrder::littleEndianInt (lengthBytes) != expectedLength)
            return false;
        if (in.read (buffer.get(), expectedLength) != expectedLength)
            return false;
        const juce::MidiMessage m (buffer.get(), expectedLength, 0.0);
        if (! acceptsMessage (m))
            return false;
        appendVetted (m);
    }
    return true;
}

bool DeviceMidiData::writeMessages (juce::OutputStream& out) const
{
    bool ok = true;
    for (auto& m : messages)
    {
        ok = out.writeInt (m.getRawDataSize()) && ok;
        ok = out.write (m.getRawData(), (size_t) m.getRawDataSize()) && ok;
    }
    return ok;
}
