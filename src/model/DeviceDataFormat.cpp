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

void DeviceDataFormat::writeToStream (juce::OutputStream& out) const
{
    out.writeByte ((char) productId);
    for (auto v : { syxPackagesPerPresetStep, presetStepPacketSize, presetVersion, syxPackagesPerSetup,
                    setupPacketSize, setupVersion, numPresets, presetNameLength, maxPresetSteps })
        out.writeInt (v);
}

static bool readNineValues (DeviceDataFormat& f, juce::InputStream& in)
{
    juce::int32* values[] = { &f.syxPackagesPerPresetStep, &f.presetStepPacketSize, &f.presetVersion,
                              &f.syxPackagesPerSetup, &f.setupPacketSize, &f.setupVersion,
                              &f.numPresets, &f.presetNameLength, &f.maxPresetSteps };
    for (auto* v : values)
    {
        if (in.getNumBytesRemaining() < 4 && in.getTotalLength() >= 0)
            return false;
        *v = in.readInt();
    }
    return true;
}

bool DeviceDataFormat::readFromStream (juce::InputStream& in)
{
    if (in.isExhausted())
        return false;
    productId = (juce::uint8) in.readByte();
    return readNineValues (*this, in);
}

bool DeviceDataFormat::readLegacyFromStream (juce::InputStream& in)
{
    if (in.getNumBytesRemaining() < legacyStreamSize)
        return false;
    productId = (juce::uint8) in.readByte();
    in.skipNextBytes (3);
    return readNineValues (*this, in);
}
