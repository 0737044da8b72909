#include "model/DeviceDataFormat.h"

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

bool DeviceDataFormat::isWithinLimits() const noexcept
{
    auto within = [] (int v, int lo, int hi) { return v >= lo && v <= hi; };

    if (productId > 0x7F)
        return false;
    if (numPresets > maxSlots || ! within (presetNameLength, 0, maxNameLength) || ! within (maxPresetSteps, 0, maxSteps))
        return false;
    if (! within (syxPackagesPerSetup, 0, maxPackagesPerUnit) || ! within (setupPacketSize, 0, maxPacketSize))
        return false;
    if (numPresets >= 1
        && (! within (syxPackagesPerPresetStep, 0, maxPackagesPerUnit) || ! within (presetStepPacketSize, 0, maxPacketSize)))
        return false;
    // Data versions travel as 14-bit numbers.
    return within (presetVersion, -8192, 8191) && within (setupVersion, -8192, 8191);
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
