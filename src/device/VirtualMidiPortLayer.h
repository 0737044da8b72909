#pragma once

#include "device/MidiPortLayer.h"
#include "device/VirtualMidiDevice.h"

// In-process MIDI ports: the ports of the devices added to it, in the order they were
// added (unplugged devices leave the lists). Stands in for the platform's ports where
// there are none, for the tests, and for running the program with simulated units.
class VirtualMidiPortLayer : public MidiPortLayer
{
public:
    VirtualMidiPortLayer() = default;

    juce::String getKind() const override { return "virtual"; }

    juce::StringArray getInputNames() override;
    juce::StringArray getOutputNames() override;

    std::unique_ptr<MidiInputPort> openInput (int index, juce::MidiInputCallback& callback) override;
    std::unique_ptr<MidiOutputPort> openOutput (int index) override;

    void addDevice (std::shared_ptr<VirtualMidiDevice> device);
    void removeDevice (const std::shared_ptr<VirtualMidiDevice>& device);
    std::vector<std::shared_ptr<VirtualMidiDevice>> getDevices() const;

private:
    std::shared_ptr<VirtualMidiDevice> findPort (int index, bool input, juce::String& name) const;

    mutable std::mutex lock;
    std::vector<std::shared_ptr<VirtualMidiDevice>> devices;
};
