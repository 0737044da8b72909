#include "model/SysExReader.h"
#include "model/SysExCodec.h"

namespace
{
    const juce::uint8 acknowledgeBytes[9] = { 0xF0, 0x00, 0x7A, 0x15, 0x00, 0x60, 0x51, 0x00, 0xF7 };

    // Length of the message at the start of the bytes: up to and including the first
    // 0xF7, or all the bytes when there is none.
    int extentOf (const juce::uint8* data, int size)
    {
        for (int i = 1; i < size; ++i)
            if (data[i] == 0xF7)
                return i + 1;
        return size;
    }

    enum class NextMessage { found, endOfData, unreadable };

    // The next well-framed message at `pos`: endOfData when the bytes ran out before
    // its 0xF7 (or there are none left), unreadable when something else stands there.
    NextMessage nextMessage (const juce::uint8* data, int size, int pos, int& length)
    {
        length = 0;
        if (pos >= size)
            return NextMessage::endOfData;
        length = SysExCodec::getMessageLength (data + pos, size - pos);
        if (length > 0)
            return NextMessage::found;
        if (data[pos] != 0xF0)
            return NextMessage::unreadable;
        for (int i = pos + 1; i < size; ++i)
            if (data[i] >= 0x80)
                return NextMessage::unreadable;
        return NextMessage::endOfData;
    }

    // Walks `expected` packets from `pos` on, handing each whole message to `take` with its
    // count, which checks and keeps it, or refuses it (false) with the reason in the flags.
    // Bytes that end before the last packet leave an underflow; what cannot be a message
    // ends the walk as unreadable. `outBytesUsed` follows every packet taken.
    template <typename Take>
    bool readPackets (const juce::uint8* data, int size, int pos, juce::int64 expected,
                      juce::uint32& outFlags, int& outBytesUsed, Take&& take)
    {
        juce::int64 count = 0;
        while (count < expected)
        {
            int length = 0;
            const auto next = nextMessage (data, size, pos, length);
            if (next == NextMessage::endOfData)
                break;
            if (next == NextMessage::unreadable)
            {
                outFlags |= SysExFlags::noMessage;
                return false;
            }
            if (! take (data + pos, length, count))
                return false;
            pos += length;
            outBytesUsed = pos;
            ++count;
        }

        if (count < expected)
        {
            outFlags |= SysExFlags::underflow;
            return false;
        }
        return true;
    }
}

juce::uint32 classifySysExMessage (const juce::uint8* data, int size, juce::uint8 expectedProductId,
                                   const DeviceDataFormat& format, const DeviceCaps* caps,
                                   int& outProductId, int& outNumber)
{
    outNumber = -1;
    if (data == nullptr || size < 1 || data[0] != 0xF0)
        return SysExFlags::notSysEx;

    const int n = extentOf (data, size);
    if (n < 4 || memcmp (data + 1, SysExCodec::frameStart + 1, 3) != 0)
        return SysExFlags::otherMaker;
    if (n >= 9 && memcmp (data, acknowledgeBytes, 9) == 0)
        return SysExFlags::acknowledge;
    if (n >= 6)
        outProductId = data[5];
    if (n < 7)
        return SysExFlags::otherCommand;
    if (data[5] != expectedProductId)
        return SysExFlags::otherProduct;

    switch (data[6])
    {
        case SysExCodec::commandSetupPacket:
            if (n < 10)
                return SysExFlags::otherCommand;
            outNumber = unpackSysEx14 (data + 7);
            return outNumber == format.setupVersion ? SysExFlags::setupPacket
                                                    : (SysExFlags::otherVersion | SysExFlags::setupPacket);
        case SysExCodec::commandPresetHeader:
            if (n < 12)
                return SysExFlags::otherCommand;
            outNumber = unpackSysEx14 (data + 9);
            if (outNumber == format.presetVersion)
                return SysExFlags::presetHeader;
            if (caps != nullptr && caps->getPresetCompatibilityList().contains (outNumber))
                return SysExFlags::compatibleVersion | SysExFlags::presetHeader;
            return SysExFlags::otherVersion | SysExFlags::presetHeader;
        case SysExCodec::commandPresetData:
            return SysExFlags::presetData;
        default:
            return SysExFlags::otherCommand;
    }
}

std::unique_ptr<SetupData> parseSetupMessages (const juce::uint8* data, int size, int& outBytesUsed,
                                               juce::uint32& outFlags, const DeviceDataFormat& format)
{
    outBytesUsed = 0;
    const int packets = format.syxPackagesPerSetup;
    if ((data == nullptr && size > 0) || size < 0 || packets < 1 || format.setupPacketSize < 0
        || format.setupPacketSize > DeviceDataFormat::maxPacketSize)
    {
        outFlags = SysExFlags::noMessage | SysExFlags::setupPacket;
        return nullptr;
    }

    auto setup = std::make_unique<SetupData> (format);
    outFlags = SysExFlags::setupPacket;
    const int s = format.setupPacketSize;

    const bool whole = readPackets (data, size, 0, packets, outFlags, outBytesUsed,
                                    [&] (const juce::uint8* m, int length, juce::int64 count)
    {
        if (length != format.getSetupPacketLength() || ! SysExCodec::isMakersMessage (m, length, SysExCodec::commandSetupPacket))
            outFlags |= SysExFlags::checksumMismatch;    // not a setup packet of this format: corrupt
        else if (m[5] != format.productId)
            outFlags |= SysExFlags::otherProduct;
        else if ((m[9] & 0x7F) != (int) (count & 0x7F))
            outFlags |= SysExFlags::indexMismatch;
        else if (unpackSysEx14 (m + 7) != format.setupVersion)
            outFlags |= SysExFlags::otherVersion;
        else if ((m[10 + s] & 0x7F) != sysExChecksum (m + 10, s))
            outFlags |= SysExFlags::checksumMismatch;

        if (outFlags != SysExFlags::setupPacket)
            return false;
        setup->addMessage (juce::MidiMessage (m, length, 0.0));
        return true;
    });

    if (! whole)
        return nullptr;
    setup->setSetupDataVersion (format.setupVersion);
    setup->setModified (false);
    return setup;
}

std::unique_ptr<Preset> parsePresetMessages (const juce::uint8* data, int size, int& outBytesUsed,
                                             juce::uint32& outFlags, const DeviceDataFormat& format)
{
    outBytesUsed = 0;
    if ((data == nullptr && size > 0) || size < 0 || format.presetStepPacketSize < 0
        || format.presetStepPacketSize > DeviceDataFormat::maxPacketSize)
    {
        outFlags = SysExFlags::noMessage;
        return nullptr;
    }

    int length = 0;
    const auto first = nextMessage (data, size, 0, length);
    if (first != NextMessage::found)
    {
        outFlags = first == NextMessage::endOfData ? (SysExFlags::underflow | SysExFlags::presetData)
                                                   : SysExFlags::noMessage;
        return nullptr;
    }

    PresetInfo info;
    const auto headerResult = parsePresetHeader (juce::MidiMessage (data, length, 0.0), format, info);
    if (headerResult != PresetHeaderResult::ok)
    {
        outFlags = headerResult;
        return nullptr;
    }

    auto preset = std::make_unique<Preset> (format);
    preset->setInfo (info);
    outFlags = SysExFlags::presetData;
    outBytesUsed = length;

    const auto expected = (juce::int64) info.stepCount * (juce::int64) juce::jmax (0, format.syxPackagesPerPresetStep);
    const int p = format.presetStepPacketSize;

    const bool whole = readPackets (data, size, length, expected, outFlags, outBytesUsed,
                                    [&] (const juce::uint8* m, int packetLength, juce::int64 count)
    {
        if (packetLength != format.getPresetPacketLength() || ! SysExCodec::isMakersMessage (m, packetLength, SysExCodec::commandPresetData))
            outFlags |= SysExFlags::checksumMismatch;
        else if (m[5] != format.productId)
            outFlags |= SysExFlags::otherProduct;
        else if ((m[7] & 0x7F) != (int) (count & 0x7F))
            outFlags |= SysExFlags::indexMismatch;
        else if ((m[8 + p] & 0x7F) != sysExChecksum (m + 8, p))
            outFlags |= SysExFlags::checksumMismatch;

        if (outFlags != SysExFlags::presetData)
            return false;
        preset->addMessage (juce::MidiMessage (m, packetLength, 0.0));
        return true;
    });

    if (! whole)
        return nullptr;
    preset->setModified (false);
    return preset;
}
