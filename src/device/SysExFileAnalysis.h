#pragma once

#include "device/DeviceQuery.h"

// Quick looks at SysEx and firmware image files, and the firmware image splitter.
namespace SysExFileAnalysis
{
    // The largest firmware image read whole.
    constexpr juce::int64 maxImageSize = 64 * 1024 * 1024;
    // A firmware block's length travels as a 14-bit number.
    constexpr int maxBlockLength = 16383;
}

// What a file's first message is: 0x10000 (unreadable, fewer than 6 bytes, not
// 0xF0), 0x20000 another maker, 8 the acknowledge message, else by command byte 1
// setup (outNumber = setup version), 2 preset header (outNumber = preset version),
// 4 preset data, 0x80000 other. No product or version test. outProductId is byte 5
// (255 before it is known), outNumber 0 before it is known.
juce::uint32 identifySysExFile (const juce::File& file, int& outProductId, int& outNumber);
juce::uint32 identifySysExData (const juce::uint8* data, int size, int& outProductId, int& outNumber);

// The query's classification of the first 32 bytes of an image (0x10000 with fewer
// than 6 bytes). A valid image gives 8.
juce::uint32 checkFirmwareImageHeader (const DeviceQuery& query, const juce::File& file,
                                       const DeviceDataFormat& format, const DeviceCaps* caps);

// Cuts an image into its consecutive SysEx messages. True when the whole image was
// consumed as well-framed messages (an empty image gives true and no messages);
// false, with no messages, when it holds anything else or a block longer than its
// 14-bit length field can describe.
bool splitFirmwareImage (const juce::File& file, juce::OwnedArray<juce::MidiMessage>& out);
bool splitFirmwareImageData (const juce::uint8* data, int size, juce::OwnedArray<juce::MidiMessage>& out);
