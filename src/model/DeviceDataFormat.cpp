#include "model/DeviceDataFormat.h"
#include <limits>

bool DeviceDataFormat::operator== (const DeviceDataFormat& o) const noexcept
{
    return productId == o.productId
        && syxPackagesPerPresetStep == o.syxPackagesPerPresetStep
        && presetStepPacketSize == o.presetStepPacketSize
        && presetVersion == o.presetVersion
        && syxPackagesPerSetup == o.syxPackagesPerSetup
        && setupPacketSize == o.setupPacketSize
        && setupVersion == o.setupVersion
        && numPresets == o.numPresets
        && presetNameLength == o.presetNameLength
        && maxPresetSteps == o.maxPresetSteps;
}

bool DeviceDataFormat::isValid() const noexcept
{
    if (productId == 0 || presetVersion < 1 || setupVersion < 1)
        return false;
    if (syxPackagesPerSetup < 0 || setupPacketSize < 0)
        return false;
    if (numPresets >= 1 && (syxPackagesPerPresetStep < 0 || presetStepPacketSize < 0))
        return false;
    return true;
}

juce::String DeviceDataFormat::describeLimitViolation() const
{
    struct Bound { const char* key; int value, lo, hi; };
    // Without presets the preset packet values are never used, so they are not checked.
    const bool presets = numPresets >= 1;
    const Bound bounds[] = {
        { "productId", (int) productId, 0, 0x7F },
        { "numPresets", numPresets, std::numeric_limits<int>::min(), maxSlots },
        { "presetNameLength", presetNameLength, 0, maxNameLength },
        { "maxPresetSteps", maxPresetSteps, 0, maxSteps },
        { "numSyxPackagesPerSetup", syxPackagesPerSetup, 0, maxPackagesPerUnit },
        { "setupPacketSize", setupPacketSize, 0, maxPacketSize },
        { "numSyxPackagesPerPresetStep", presets ? syxPackagesPerPresetStep : 0, 0, maxPackagesPerUnit },
        { "presetStepPacketSize", presets ? presetStepPacketSize : 0, 0, maxPacketSize },
        // Data versions travel as 14-bit numbers.
        { "presetVersion", presetVersion, -8192, 8191 },
        { "setupVersion", setupVersion, -8192, 8191 },
    };

    for (auto& b : bounds)
    {
        if (b.value > b.hi)
            return juce::String (b.key) + " is " + juce::String (b.value) + ", above the limit of " + juce::String (b.hi);
        if (b.value < b.lo)
            return juce::String (b.key) + " is " + juce::String (b.value) + ", below the limit of " + juce::String (b.lo);
    }
    return {};
}

bool DeviceDataFormat::writeToStream (juce::OutputStream& out) const
{
    bool ok = out.writeByte ((char) productId);
    for (auto v : { syxPackagesPerPresetStep, presetStepPacketSize, presetVersion, syxPackagesPerSetup,
                    setupPacketSize, setupVersion, numPresets, presetNameLength, maxPresetSteps })
        ok = out.writeInt (v) && ok;
    return ok;
}

static bool readRecord (DeviceDataFormat& f, juce::InputStream& in, int padding)
{
    juce::uint8 bytes[DeviceDataFormat::legacyStreamSize];
    const int size = 1 + padding + 9 * 4;
    if (in.read (bytes, size) != size)
        return false;

    DeviceDataFormat r;
    r.productId = bytes[0];
    juce::int32* values[] = { &r.syxPackagesPerPresetStep, &r.presetStepPacketSize, &r.presetVersion,
                              &r.syxPackagesPerSetup, &r.setupPacketSize, &r.setupVersion,
                              &r.numPresets, &r.presetNameLength, &r.maxPresetSteps };
    const juce::uint8* p = bytes + 1 + padding;
    for (auto* v : values)
    {
        *v = (juce::int32) juce::ByteOrder::littleEndianInt (p);
        p += 4;
    }
    f = r;
    return true;
}

bool DeviceDataFormat::readFromStream (juce::InputStream& in)
{
    return readRecord (*this, in, 0);
}

bool DeviceDataFormat::readLegacyFromStream (juce::InputStream& in)
{
    return readRecord (*this, in, 3);
}
