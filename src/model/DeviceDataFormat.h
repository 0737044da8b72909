#pragma once

#include <juce_core/juce_core.h>

// The layout of one product's preset and setup data for one data version.
struct DeviceDataFormat
{
    juce::uint8 productId = 0;
    juce::int32 syxPackagesPerPresetStep = 0;
    juce::int32 presetStepPacketSize = 0;
    juce::int32 presetVersion = 0;
    juce::int32 syxPackagesPerSetup = 0;
    juce::int32 setupPacketSize = 0;
    juce::int32 setupVersion = 0;
    juce::int32 numPresets = 0;
    juce::int32 presetNameLength = 0;
    juce::int32 maxPresetSteps = 0;

    static constexpr int streamSize = 37;        // current stream form
    static constexpr int legacyStreamSize = 40;  // files written by builds up to 30

    // What the wire can carry: preset numbers are 14-bit, step counts 7-bit, a header
    // has 15 bytes of name room, product ids are data bytes. Packet sizes and counts
    // are bounded so that nothing read from a file can make a buffer grow without end.
    static constexpr int maxSlots = 16384;
    static constexpr int maxNameLength = 15;
    static constexpr int maxSteps = 127;
    static constexpr int maxPacketSize = 16383;
    static constexpr int maxPackagesPerUnit = 1024;

    bool operator== (const DeviceDataFormat& o) const noexcept;
    bool operator!= (const DeviceDataFormat& o) const noexcept { return ! operator== (o); }

    // A format without presets describes setup data only; its preset packet values are not checked.
    bool isValid() const noexcept;

    // True when every value lies within what the program can store and send (see the
    // limits above). Formats read from files must pass this as well as isValid().
    bool isWithinLimits() const noexcept { return describeLimitViolation().isEmpty(); }

    // The first value outside those limits, named by its profile key, with the range it
    // breaks (for example "numPresets is 20000, above the limit of 16384"); empty when
    // every value is within them.
    juce::String describeLimitViolation() const;

    // Product id and the two data versions: what decides whether data needs converting.
    bool hasSameVersions (const DeviceDataFormat& o) const noexcept
    {
        return productId == o.productId && presetVersion == o.presetVersion && setupVersion == o.setupVersion;
    }

    // Byte length of one preset data packet and of one setup packet of this format.
    int getPresetPacketLength() const noexcept { return presetStepPacketSize + 10; }
    int getSetupPacketLength() const noexcept { return setupPacketSize + 12; }

    // Returns false when a write failed.
    bool writeToStream (juce::OutputStream& out) const;
    // Return false, leaving the format unchanged, when the stream ends before the whole record.
    bool readFromStream (juce::InputStream& in);
    // The 40-byte form: product id, three padding bytes, the nine values.
    bool readLegacyFromStream (juce::InputStream& in);
};
