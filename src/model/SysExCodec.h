#pragma once

#include <juce_audio_basics/juce_audio_basics.h>
#include "model/DeviceDataFormat.h"
#include "model/PresetInfo.h"

// The byte layer of the maker's SysEx messages that preset and setup data are
// made of: the frame, 7-bit number packing, the checksum, the preset header and
// the data packets. Requests and the identity query sit with the device layer.
namespace SysExCodec
{
    // F0, manufacturer id 00 7A 15, then 00: the first five bytes of every message.
    constexpr juce::uint8 frameStart[5] = { 0xF0, 0x00, 0x7A, 0x15, 0x00 };

    constexpr juce::uint8 commandSetupPacket = 0x13;
    constexpr juce::uint8 commandPresetHeader = 0x20;
    constexpr juce::uint8 commandPresetData = 0x21;

    constexpr int presetHeaderLength = 32;
    constexpr int headerNameRoom = 15;

    // Bytes as stored; 0xFF marks fields that the builders fill.
    constexpr juce::uint8 presetHeaderTemplate[presetHeaderLength] = {
        0xF0, 0x00, 0x7A, 0x15, 0x00, 0xFF, 0x20, 0xFF, 0xFF, 0xFF, 0xFF,
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xF7 };
    constexpr juce::uint8 presetDataHead[8] = { 0xF0, 0x00, 0x7A, 0x15, 0x00, 0xFF, 0x21, 0xFF };
    constexpr juce::uint8 setupPacketHead[10] = { 0xF0, 0x00, 0x7A, 0x15, 0x00, 0xFF, 0x13, 0xFF, 0xFF, 0xFF };

    // Length of the well-framed SysEx message at the start of `data`: 0xF0, bytes
    // below 0x80, then 0xF7 (which is counted). 0 when there is none in `size` bytes.
    int getMessageLength (const juce::uint8* data, int size) noexcept;

    // True when the bytes are one well-framed message of this maker (frame start
    // and 0xF7, every byte between below 0x80) with the given command byte.
    bool isMakersMessage (const juce::uint8* data, int size, juce::uint8 command) noexcept;

    // A preset data packet for the format: the maker's message with command 0x21
    // and exactly presetStepPacketSize + 10 bytes; a setup packet: command 0x13
    // and setupPacketSize + 12 bytes.
    bool isPresetDataPacket (const juce::MidiMessage& m, const DeviceDataFormat& f) noexcept;
    bool isSetupPacket (const juce::MidiMessage& m, const DeviceDataFormat& f) noexcept;
}

// The sum of `count` bytes, truncated to 8 bits, masked with 0x7F (0 for no bytes).
int sysExChecksum (const juce::uint8* bytes, int count) noexcept;

// High part first, 7 bits per byte.
void packSysEx14 (int value, juce::uint8* out2) noexcept;
void packSysEx28 (int value, juce::uint8* out4) noexcept;
// Each byte masked with 0x7F; the result is sign-extended from bit 13 or bit 27.
int unpackSysEx14 (const juce::uint8* bytes) noexcept;
int unpackSysEx28 (const juce::uint8* bytes) noexcept;

// The 32-byte preset header of the record. Names take at most the 15 bytes of room
// the header has; like a received name they end at the first byte outside 1..127.
juce::MidiMessage buildPresetHeaderMessage (const PresetInfo& info, juce::uint8 productId);

// Flag results of parsePresetHeader (and of the readers built on it).
namespace PresetHeaderResult
{
    enum : juce::uint32
    {
        ok = 0,
        otherVersion = 0x40000,
        otherProduct = 0x100000,
        malformed = 0x2000000,   // not a well-framed 0x20 message
        tooShort = 0x4000000,
        tooLong = 0x8000000
    };
}

// Fills `out` from a 32-byte header and compares it with the format: otherProduct,
// else otherVersion, else ok. A message of another length gives tooShort or tooLong,
// one that is not a well-framed header gives malformed; `out` is then left alone.
juce::uint32 parsePresetHeader (const juce::MidiMessage& message, const DeviceDataFormat& format, PresetInfo& out);

// The 28-bit values of a preset data packet (from byte 8) or a setup packet (from
// byte 10); only whole values inside the value field are read. Any other message
// gives an empty array.
juce::Array<int> parseSysExValues (const juce::MidiMessage& message);

// Packets of presetStepPacketSize + 10 bytes, presetStepPacketSize / 4 values
// each, counted from 0. Empty when the packet size is below 4, there are no values,
// or more packets than maxPresetSteps x numSyxPackagesPerPresetStep would result.
juce::Array<juce::MidiMessage> buildPresetDataMessages (const juce::Array<int>& values, const DeviceDataFormat& format);

// Setup packets; empty unless the values make exactly numSyxPackagesPerSetup packets.
juce::Array<juce::MidiMessage> buildSetupMessages (const juce::Array<int>& values, const DeviceDataFormat& format);
