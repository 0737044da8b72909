#pragma once

#include "model/DeviceMidiData.h"

// The unit's configuration: numSyxPackagesPerSetup setup packets.
class SetupData : public DeviceMidiData
{
public:
    explicit SetupData (const DeviceDataFormat& f) : DeviceMidiData (f) {}
    SetupData (const SetupData& other);
    SetupData& operator= (const SetupData& other);

    void copyFrom (const DeviceMidiData& other) override;
    int getDataType() const override { return 2; }
    void clear() override;

    // This setup's data version is set and equals the other's.
    bool isSameData (const DeviceMidiData& other) const override;
    bool isSameSetup (const SetupData& other) const { return isSameData (other); }
    bool isComplete() const override;
    int getExpectedNumMessages() const override { return format.syxPackagesPerSetup; }
    // The format's setup data version (the stored one is getSetupDataVersion()).
    int getDataVersion() const override { return format.setupVersion; }

    // -1 = none: the version the setup was read or received with.
    int getSetupDataVersion() const noexcept { return dataVersion; }
    void setSetupDataVersion (int version) noexcept { dataVersion = version; }

    // True when the stored form of this setup reads back as it is: no messages,
    // or the expected number of them and a data version to store with them.
    bool canBeStored() const;

    bool writeToStream (juce::OutputStream& out) const override;
    bool writeSysExToStream (juce::OutputStream& out) const override;
    bool readFromStream (juce::InputStream& in) override;
    void calculateMd5() const override;

    juce::Array<int> getData() const;
    bool setData (const juce::Array<int>& values);

protected:
    bool acceptsMessage (const juce::MidiMessage& message) const override;

private:
    // The version stored with the messages: the setup's own, or the format's when it has none.
    int getVersionToStore() const noexcept;

    int dataVersion = -1;
};
