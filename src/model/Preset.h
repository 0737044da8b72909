#pragma once

#include "model/DeviceMidiData.h"
#include "model/PresetInfo.h"

// One preset slot's content: the header record and its data packets, grouped in
// steps of numSyxPackagesPerPresetStep packets. The header message itself is not
// stored; it is rebuilt from the record whenever it is sent.
class Preset : public DeviceMidiData
{
public:
    explicit Preset (const DeviceDataFormat& f) : DeviceMidiData (f) {}
    Preset (const Preset& other);
    Preset& operator= (const Preset& other);

    void copyFrom (const DeviceMidiData& other) override;
    int getDataType() const override { return 1; }
    void clear() override;

    // Both have info and carry the same preset data version.
    bool isSameData (const DeviceMidiData& other) const override;
    bool isSamePreset (const Preset& other) const { return isSameData (other); }
    bool isComplete() const override;
    int getExpectedNumMessages() const override;
    int getDataVersion() const override { return format.presetVersion; }

    bool writeToStream (juce::OutputStream& out) const override;
    bool writeSysExToStream (juce::OutputStream& out) const override;
    // Reads the stored form from its second value on (the slot marker is the caller's).
    bool readFromStream (juce::InputStream& in) override;
    void calculateMd5() const override;

    bool hasInfo() const noexcept { return infoSet; }
    const PresetInfo& getInfo() const noexcept { return info; }
    bool setInfo (const PresetInfo& newInfo);
    bool setNumber (int number);
    int getNumber() const noexcept { return info.number; }
    int getStepCount() const noexcept { return info.stepCount; }

    juce::String getName() const { return info.getName(); }
    bool setName (const juce::String& text);

    // Writes each message's position into its packet-index byte; marks modified.
    void renumberMessages();

    // Step operations. Only whole steps count: a chosen step of the other preset that
    // does not exist there or lacks a message is left out, and a preset whose message
    // count does not match its step count is not extended.
    int appendSteps (const Preset& other, const juce::SparseSet<int>& steps);
    int appendStepsFrom (const Preset& other);
    int insertStepsFrom (const Preset& other, int position, const juce::SparseSet<int>& steps);
    bool replaceStep (const Preset& other, int targetStep);
    juce::Array<int> removeSteps (const juce::SparseSet<int>& steps);
    juce::Array<int> getStepData (int step) const;
    bool setStepData (int step, const juce::Array<int>& values);

    // How many values one step holds.
    int getStepCapacity() const noexcept;

protected:
    bool acceptsMessage (const juce::MidiMessage& message) const override;

private:
    int packagesPerStep() const noexcept { return format.syxPackagesPerPresetStep; }
    bool isConsistent() const;
    const juce::MidiMessage* messageAt (juce::int64 index) const;
    // The first `limit` chosen steps of `other` that it holds whole, ascending.
    juce::Array<int> wholeChosenSteps (const Preset& other, const juce::SparseSet<int>& steps, int limit) const;
    void appendStepOf (const Preset& other, int step);

    bool infoSet = false;
    PresetInfo info;
};
