#pragma once

#include "device/MidiPortLayer.h"
#include "device/VirtualMidiDevice.h"

// In-process MIDI ports: the ports of the devices added to it, in the order they were
// added (unplugged devices leave the lists), known by their device's identifier. Stands in for the platform's ports where
// there are none, for the tests, and for running the program with simulated units.
class VirtualMidiPortLayer : public MidiPortLayer
{
public:
    VirtualMidiPortLayer() = default;

    juce::String getKind() const override { return "virtual"; }

    MidiPortList getInputs() override;
    MidiPortList getOutputs() override;

    std::unique_ptr<MidiInputPort> openInput (const MidiPortId& port, juce::MidiInputCallback& callback) override;
    std::unique_ptr<MidiOutputPort> openOutput (const MidiPortId& port) override;

    void addDevice (std::shared_ptr<VirtualMidiDevice> device);
    void removeDevice (const std::shared_ptr<VirtualMidiDevice>& device);
    std::vector<std::shared_ptr<VirtualMidiDevice>> getDevices() const;

private:
    MidiPortList listPorts (bool inputs) const;
    // The present device that has the port.
    std::shared_ptr<VirtualMidiDevice> findPort (const MidiPortId& port, bool input) const;

    mutable std::mutex lock;
    std::vector<std::shared_ptr<VirtualMidiDevice>> devices;
};
