#pragma once

#include "model/DeviceCaps.h"
#include "model/Preset.h"
#include "model/SetupData.h"
#include <memory>

// Telling what stored or received SysEx is, and reading preset and setup data
// back from runs of packets. Results are bit flags; callers test them in order.
namespace SysExFlags
{
    enum : juce::uint32
    {
        setupPacket         = 0x1,
        presetHeader        = 0x2,
        presetData          = 0x4,
        acknowledge         = 0x8,
        compatibleVersion   = 0x10,       // with presetHeader: 0x12
        notSysEx            = 0x10000,
        otherMaker          = 0x20000,
        otherVersion        = 0x40000,
        otherCommand        = 0x80000,
        otherProduct        = 0x100000,
        cannotOpen          = 0x200000,
        indexMismatch       = 0x1000000,
        checksumMismatch    = 0x2000000,
        underflow           = 0x4000000,
        overflow            = 0x8000000,
        noFreeSlot          = 0x10000000,
        slotOutOfRange      = 0x40000000,
        noMessage           = 0x80000000,

        failureMask         = 0xFFFF0000
    };
}

// What one message is, for the expected product id and format; the classifier stops
// at the first test that decides. `data` may run past the message (the rest of a
// file): only the bytes up to the message's 0xF7 are looked at, and a message too
// short for the fields of its kind counts as another command. `outNumber` starts at
// -1 and receives the data version read; `outProductId` byte 5 once the maker is known.
juce::uint32 classifySysExMessage (const juce::uint8* data, int size, juce::uint8 expectedProductId,
                                   const DeviceDataFormat& format, const DeviceCaps* caps,
                                   int& outProductId, int& outNumber);

// A setup from numSyxPackagesPerSetup packets at the start of `data`. On success the
// flags are 1; otherwise null and the flags say why. `outBytesUsed` is how far the
// packets that were read reach.
std::unique_ptr<SetupData> parseSetupMessages (const juce::uint8* data, int size, int& outBytesUsed,
                                               juce::uint32& outFlags, const DeviceDataFormat& format);

// A preset from a header and its data packets at the start of `data`; flags 4 on success.
std::unique_ptr<Preset> parsePresetMessages (const juce::uint8* data, int size, int& outBytesUsed,
                                             juce::uint32& outFlags, const DeviceDataFormat& format);
