#include "model/SetupData.h"
#include "model/StreamReading.h"
#include "model/SysExCodec.h"

SetupData::SetupData (const SetupData& other) : DeviceMidiData (other.format)
{
    copyFrom (other);
}

SetupData& SetupData::operator= (const SetupData& other)
{
    copyFrom (other);
    return *this;
}

void SetupData::copyFrom (const DeviceMidiData& other)
{
    if (&other == this)
        return;
    DeviceMidiData::copyFrom (other);
    if (auto* s = dynamic_cast<const SetupData*> (&other))
        dataVersion = s->dataVersion;
}

void SetupData::clear()
{
    DeviceMidiData::clear();
    dataVersion = -1;
}

bool SetupData::isSameData (const DeviceMidiData& other) const
{
    auto* s = dynamic_cast<const SetupData*> (&other);
    return s != nullptr && dataVersion >= 0 && dataVersion == s->dataVersion;
}

bool SetupData::isComplete() const
{
    return messages.size() == getExpectedNumMessages() && dataVersion > 0;
}

bool SetupData::acceptsMessage (const juce::MidiMessage& message) const
{
    return SysExCodec::isSetupPacket (message, format);
}

int SetupData::getVersionToStore() const noexcept
{
    return dataVersion > 0 ? dataVersion : format.setupVersion;
}

bool SetupData::canBeStored() const
{
    if (messages.isEmpty())
        return true;
    // -1 is the marker of an empty setup and cannot be stored as a version.
    return messages.size() == getExpectedNumMessages() && getVersionToStore() > 0;
}

bool SetupData::writeToStream (juce::OutputStream& out) const
{
    if (messages.isEmpty())
        return out.writeInt (-1);
    if (! canBeStored())
        return false;
    bool ok = out.writeInt (getVersionToStore());
    ok = out.writeInt (messages.size()) && ok;
    return writeMessages (out) && ok;
}

bool SetupData::readFromStream (juce::InputStream& in)
{
    int version = 0;
    if (! StreamReading::readInt (in, version))
        return false;
    clear();
    if (version == -1)
        return true;

    dataVersion = version;
    modified = true;
    int count = 0;
    if (! StreamReading::readInt (in, count) || count != getExpectedNumMessages())
        return false;
    if (! readMessages (in, count, format.getSetupPacketLength()))
        return false;
    setModified (false);
    return true;
}

bool SetupData::writeSysExToStream (juce::OutputStream& out) const
{
    for (auto& m : messages)
        if (! out.write (m.getRawData(), (size_t) m.getRawDataSize()))
            return false;
    out.flush();
    return true;
}

void SetupData::calculateMd5() const
{
    storeDigestOf ({});
}

juce::Array<int> SetupData::getData() const
{
    juce::Array<int> values;
    if (messages.isEmpty() || messages.size() != getExpectedNumMessages())
        return values;
    for (auto& m : messages)
        values.addArray (parseSysExValues (m));
    return values;
}

bool SetupData::setData (const juce::Array<int>& values)
{
    if (format.setupPacketSize < 4 || format.syxPackagesPerSetup < 1
        || values.size() > (format.setupPacketSize / 4) * format.syxPackagesPerSetup)
        return false;

    const auto packets = buildSetupMessages (values, format);
    removeAllMessages();
    for (auto& m : packets)
        appendVetted (m);
    // Any change of the messages is an edit: the flag is set and the digest dropped.
    setModified (true);
    return isComplete();
}
