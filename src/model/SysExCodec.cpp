#include "model/SysExCodec.h"

#include <cmath>

namespace SysExCodec
{
    int getMessageLength (const juce::uint8* data, int size) noexcept
    {
        if (data == nullptr || size < 2 || data[0] != 0xF0)
            return 0;
        for (int i = 1; i < size; ++i)
        {
            if (data[i] == 0xF7)
                return i + 1;
            if (data[i] >= 0x80)
                return 0;
        }
        return 0;
    }

    bool isMakersMessage (const juce::uint8* data, int size, juce::uint8 command) noexcept
    {
        if (size < 8 || getMessageLength (data, size) != size)
            return false;
        return memcmp (data, frameStart, sizeof (frameStart)) == 0 && data[6] == command;
    }

    bool isPresetDataPacket (const juce::MidiMessage& m, const DeviceDataFormat& f) noexcept
    {
        return m.getRawDataSize() == f.getPresetPacketLength()
            && isMakersMessage (m.getRawData(), m.getRawDataSize(), commandPresetData);
    }

    bool isSetupPacket (const juce::MidiMessage& m, const DeviceDataFormat& f) noexcept
    {
        return m.getRawDataSize() == f.getSetupPacketLength()
            && isMakersMessage (m.getRawData(), m.getRawDataSize(), commandSetupPacket);
    }
}

int sysExChecksum (const juce::uint8* bytes, int count) noexcept
{
    if (bytes == nullptr || count <= 0)
        return 0;
    juce::uint32 sum = 0;
    for (int i = 0; i < count; ++i)
        sum += bytes[i];
    return (int) ((sum & 0xFF) & 0x7F);
}

void packSysEx14 (int value, juce::uint8* out) noexcept
{
    const auto v = (juce::uint32) value;
    out[0] = (juce::uint8) ((v >> 7) & 0x7F);
    out[1] = (juce::uint8) (v & 0x7F);
}

void packSysEx28 (int value, juce::uint8* out) noexcept
{
    const auto v = (juce::uint32) value;
    out[0] = (juce::uint8) ((v >> 21) & 0x7F);
    out[1] = (juce::uint8) ((v >> 14) & 0x7F);
    out[2] = (juce::uint8) ((v >> 7) & 0x7F);
    out[3] = (juce::uint8) (v & 0x7F);
}

int unpackSysEx14 (const juce::uint8* b) noexcept
{
    const int v = ((b[0] & 0x7F) << 7) | (b[1] & 0x7F);
    return v >= 8192 ? v - 16384 : v;
}

int unpackSysEx28 (const juce::uint8* b) noexcept
{
    const int v = ((b[0] & 0x7F) << 21) | ((b[1] & 0x7F) << 14) | ((b[2] & 0x7F) << 7) | (b[3] & 0x7F);
    return v >= 0x8000000 ? v - 0x10000000 : v;
}

juce::MidiMessage buildPresetHeaderMessage (const PresetInfo& info, juce::uint8 productId)
{
    juce::uint8 m[SysExCodec::presetHeaderLength];
    memcpy (m, SysExCodec::presetHeaderTemplate, sizeof (m));
    m[5] = (juce::uint8) (productId & 0x7F);
    packSysEx14 (info.number, m + 7);
    packSysEx14 (info.dataVersion, m + 9);

    if (auto* name = info.getNameData())
    {
        const int n = juce::jmin (info.getNameLength(), SysExCodec::headerNameRoom);
        for (int i = 0; i < n && name[i] >= 1 && name[i] <= 127; ++i)
            m[11 + i] = name[i];
    }

    packSysEx28 (info.tags, m + 26);
    m[30] = (juce::uint8) (info.stepCount & 0x7F);
    return juce::MidiMessage (m, (int) sizeof (m), 0.0);
}

juce::uint32 parsePresetHeader (const juce::MidiMessage& message, const DeviceDataFormat& format, PresetInfo& out)
{
    const auto* d = message.getRawData();
    const int size = message.getRawDataSize();
    if (size < SysExCodec::presetHeaderLength)
        return PresetHeaderResult::tooShort;
    if (size > SysExCodec::presetHeaderLength)
        return PresetHeaderResult::tooLong;
    if (! SysExCodec::isMakersMessage (d, size, SysExCodec::commandPresetHeader))
        return PresetHeaderResult::malformed;

    PresetInfo info;
    info.number = unpackSysEx14 (d + 7);
    info.dataVersion = unpackSysEx14 (d + 9);
    // A name longer than the header's room cannot have been sent; the buffer keeps
    // the format's length, and what lies beyond the room stays zero.
    const int nameLength = juce::jlimit (0, SysExCodec::headerNameRoom, format.presetNameLength);
    info.setNameBytes (d + 11, nameLength);
    info.tags = unpackSysEx28 (d + 26);
    info.stepCount = d[30] & 0x7F;
    out = info;

    if (d[5] != format.productId)
        return PresetHeaderResult::otherProduct;
    if (info.dataVersion != format.presetVersion)
        return PresetHeaderResult::otherVersion;
    return PresetHeaderResult::ok;
}

juce::Array<int> parseSysExValues (const juce::MidiMessage& message)
{
    juce::Array<int> values;
    const auto* d = message.getRawData();
    const int size = message.getRawDataSize();
    if (size < 8 || SysExCodec::getMessageLength (d, size) != size || memcmp (d, SysExCodec::frameStart, 5) != 0)
        return values;

    int start = 0, fieldSize = 0;
    if (d[6] == SysExCodec::commandPresetData)
    {
        start = 8;
        fieldSize = size - 10;
    }
    else if (d[6] == SysExCodec::commandSetupPacket)
    {
        start = 10;
        fieldSize = size - 12;
    }
    else
        return values;

    values.ensureStorageAllocated (juce::jmax (0, fieldSize / 4));
    for (int offset = 0; offset + 4 <= fieldSize; offset += 4)
        values.add (unpackSysEx28 (d + start + offset));
    return values;
}

namespace
{
    // ceiling (n / perPacket) as the packet builders count it.
    juce::int64 packetsFor (int numValues, int perPacket)
    {
        return (juce::int64) std::ceil ((double) numValues / (double) perPacket);
    }

    juce::MidiMessage buildPacket (const juce::uint8* head, int headSize, int fieldSize,
                                   const juce::Array<int>& values, int& valueIndex)
    {
        juce::HeapBlock<juce::uint8> m ((size_t) (headSize + fieldSize + 2), true);
        memcpy (m.get(), head, (size_t) headSize);
        juce::uint8* field = m.get() + headSize;
        for (int offset = 0; offset + 4 <= fieldSize; offset += 4)
        {
            const int v = valueIndex < values.size() ? values.getUnchecked (valueIndex) : 0;
            ++valueIndex;
            packSysEx28 (v, field + offset);
        }
        field[fieldSize] = (juce::uint8) sysExChecksum (field, fieldSize);
        field[fieldSize + 1] = 0xF7;
        return juce::MidiMessage (m.get(), headSize + fieldSize + 2, 0.0);
    }
}

juce::Array<juce::MidiMessage> buildPresetDataMessages (const juce::Array<int>& values, const DeviceDataFormat& f)
{
    juce::Array<juce::MidiMessage> result;
    const int p = f.presetStepPacketSize;
    if (p < 4 || p > DeviceDataFormat::maxPacketSize)
        return result;

    const auto packets = packetsFor (values.size(), p / 4);
    const auto limit = (juce::int64) juce::jmax (0, f.maxPresetSteps) * (juce::int64) juce::jmax (0, f.syxPackagesPerPresetStep);
    if (packets == 0 || packets > limit)
        return result;

    juce::uint8 head[8];
    memcpy (head, SysExCodec::presetDataHead, sizeof (head));
    head[5] = (juce::uint8) (f.productId & 0x7F);

    int valueIndex = 0;
    for (int i = 0; i < (int) packets; ++i)
    {
        head[7] = (juce::uint8) (i & 0x7F);
        result.add (buildPacket (head, 8, p, values, valueIndex));
    }
    return result;
}

juce::Array<juce::MidiMessage> buildSetupMessages (const juce::Array<int>& values, const DeviceDataFormat& f)
{
    juce::Array<juce::MidiMessage> result;
    const int s = f.setupPacketSize;
    if (s < 4 || s > DeviceDataFormat::maxPacketSize)
        return result;
    const auto packets = packetsFor (values.size(), s / 4);
    if (packets != (juce::int64) f.syxPackagesPerSetup)
        return result;

    juce::uint8 head[10];
    memcpy (head, SysExCodec::setupPacketHead, sizeof (head));
    head[5] = (juce::uint8) (f.productId & 0x7F);
    packSysEx14 (f.setupVersion, head + 7);

    int valueIndex = 0;
    for (int i = 0; i < (int) packets; ++i)
    {
        head[9] = (juce::uint8) (i & 0x7F);
        result.add (buildPacket (head, 10, s, values, valueIndex));
    }
    return result;
}
