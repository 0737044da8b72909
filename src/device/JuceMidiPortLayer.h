#pragma once

#include "device/MidiPortLayer.h"

// The platform's MIDI ports through JUCE, known by JUCE's identifier of each port.
class JuceMidiPortLayer : public MidiPortLayer
{
public:
    juce::String getKind() const override { return "juce"; }

    MidiPortList getInputs() override;
    MidiPortList getOutputs() override;

    std::unique_ptr<MidiInputPort> openInput (const MidiPortId& port, juce::MidiInputCallback& callback) override;
    std::unique_ptr<MidiOutputPort> openOutput (const MidiPortId& port) override;
};
