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

    bool operator== (const DeviceDataFormat& o) const noexcept;
    bool operator!= (const DeviceDataFormat& o) const noexcept { return ! operator== (o); }

    // A format without presets describes setup data only; its preset packet values are not checked.
    bool isValid() const noexcept;

    // Product id and the two data versions: what decides whether data needs converting.
    bool hasSameVersions (const DeviceDataFormat& o) const noexcept
    {
        return productId == o.productId && presetVersion == o.presetVersion && setupVersion == o.setupVersion;
    }

    void writeToStream (juce::OutputStream& out) const;
    // Returns false when the stream ended before the whole record was read.
    bool readFromStream (juce::InputStream& in);
    // The 40-byte form: product id, three padding bytes, the nine values.
    bool readLegacyFromStream (juce::InputStream& in);
};
