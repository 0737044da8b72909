#include "device/DeviceQuery.h"
#include "device/SysExTemplates.h"
#include "model/SysExCodec.h"

DeviceQuery::DeviceQuery (juce::uint8 id)
{
    const auto& bytes = SysExTemplates::get (SysExTemplates::Kind::identityQuery);
    memcpy (templateCopy, bytes.data(), queryLength);
    memcpy (workingCopy, bytes.data(), queryLength);
    length = queryLength;
    setProductId (id);
}

DeviceQuery::DeviceQuery (const DeviceQuery& other)
{
    operator= (other);
}

DeviceQuery& DeviceQuery::operator= (const DeviceQuery& other)
{
    productId = other.productId;
    length = other.length;
    memcpy (templateCopy, other.templateCopy, queryLength);
    memcpy (workingCopy, other.workingCopy, queryLength);
    return *this;
}

void DeviceQuery::setProductId (juce::uint8 id)
{
    productId = id;
    if (length == 0 || id == anyProduct)
        return;
    templateCopy[5] = (juce::uint8) (id & 0x7F);
    workingCopy[5] = (juce::uint8) (id & 0x7F);
}

void DeviceQuery::clear()
{
    length = 0;
    juce::zeromem (templateCopy, sizeof (templateCopy));
    juce::zeromem (workingCopy, sizeof (workingCopy));
}

juce::MidiMessage DeviceQuery::makeMessage (int kind)
{
    if (length == 0)
        return juce::MidiMessage();
    workingCopy[7] = (juce::uint8) (kind & 0x7F);
    return juce::MidiMessage (workingCopy, length, 0.0);
}

bool DeviceQuery::matchesReply (const juce::MidiMessage& message) const
{
    const auto* d = message.getRawData();
    const int size = message.getRawDataSize();
    return size == queryLength && d[0] == 0xF0 && d[size - 1] == 0xF7 && d[5] == productId;
}

juce::uint32 DeviceQuery::classifyReply (const juce::uint8* data, int size, const DeviceDataFormat& format,
                                         const DeviceCaps* caps, int& outProductId, int& outNumber) const
{
    return classifySysExMessage (data, size, productId, format, caps, outProductId, outNumber);
}

bool DeviceQuery::isWellFormedReply (const juce::MidiMessage& message, const DeviceDataFormat& format)
{
    const auto* d = message.getRawData();
    const int size = message.getRawDataSize();
    if (size < 8 || SysExCodec::getMessageLength (d, size) != size || memcmp (d, SysExCodec::frameStart, 5) != 0)
        return false;

    switch (d[6])
    {
        case 0x7E:                              return size == queryLength;
        case SysExCodec::commandPresetHeader:   return size == SysExCodec::presetHeaderLength;
        case SysExCodec::commandPresetData:     return size == format.getPresetPacketLength();
        case SysExCodec::commandSetupPacket:    return size == format.getSetupPacketLength();
        case 0x7F: case 0x34:                   return size >= 9;
        default:                                return true;
    }
}

VersionNumber DeviceQuery::decodeFirmwareVersion (const juce::uint8* r)
{
    return VersionNumber (r[8] >> 4, r[8] & 0x0F, r[9], r[10], unpackSysEx28 (r + 11), r[15]);
}

int DeviceQuery::decodeSerialNumber (const juce::uint8* r)
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

void DeviceQuery::decodeManufactureDate (const juce::uint8* r, int& y, int& m, int& d)
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
