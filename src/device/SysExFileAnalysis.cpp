#include "device/SysExFileAnalysis.h"
#include "device/SysExTemplates.h"
#include "model/SysExCodec.h"

namespace
{
    // Up to 32 bytes from the start of a file; -1 when it cannot be opened.
    int readHead (const juce::File& file, juce::uint8 (&head)[32])
    {
        juce::FileInputStream in (file);
        if (! in.openedOk())
            return -1;
        return in.read (head, 32);
    }
}

juce::uint32 identifySysExData (const juce::uint8* data, int size, int& outProductId, int& outNumber)
{
    outProductId = 255;
    outNumber = 0;
    if (data == nullptr || size < 6 || data[0] != 0xF0)
        return SysExFlags::notSysEx;
    if (memcmp (data + 1, SysExCodec::frameStart + 1, 3) != 0)
        return SysExFlags::otherMaker;

    const auto& ack = SysExTemplates::get (SysExTemplates::Kind::acknowledge);
    if (size >= (int) ack.size() && memcmp (data, ack.data(), ack.size()) == 0)
        return SysExFlags::acknowledge;

    outProductId = data[5];
    if (size < 7)
        return SysExFlags::otherCommand;
    switch (data[6])
    {
        case SysExCodec::commandSetupPacket:
            if (size < 9)
                return SysExFlags::otherCommand;
            outNumber = unpackSysEx14 (data + 7);
            return SysExFlags::setupPacket;
        case SysExCodec::commandPresetHeader:
            if (size < 11)
                return SysExFlags::otherCommand;
            outNumber = unpackSysEx14 (data + 9);
            return SysExFlags::presetHeader;
        case SysExCodec::commandPresetData:
            return SysExFlags::presetData;
        default:
            return SysExFlags::otherCommand;
    }
}

juce::uint32 identifySysExFile (const juce::File& file, int& outProductId, int& outNumber)
{
    juce::uint8 head[32];
    const int n = readHead (file, head);
    if (n < 0)
    {
        outProductId = 255;
        outNumber = 0;
        return SysExFlags::notSysEx;
    }
    return identifySysExData (head, n, outProductId, outNumber);
}

juce::uint32 checkFirmwareImageHeader (const DeviceQuery& query, const juce::File& file,
                                       const DeviceDataFormat& format, const DeviceCaps* caps)
{
    juce::uint8 head[32];
    const int n = readHead (file, head);
    if (n < 6)
        return SysExFlags::notSysEx;
    int productId = 255, number = -1;
    return query.classifyReply (head, n, format, caps, productId, number);
}
