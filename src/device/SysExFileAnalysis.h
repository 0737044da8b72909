#pragma once

#include "device/DeviceQuery.h"

// Quick looks at SysEx and firmware image files (model/FirmwareImage reads an image whole).

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
