#pragma once

#include "device/MidiPortLayer.h"

// The platform's MIDI ports through JUCE. An index is turned into the port's identifier
// when the port is opened.
class JuceMidiPortLayer : public MidiPortLayer
{
public:
    juce::String getKind() const override { return "juce"; }

    juce::StringArray getInputNames() override;
    juce::StringArray getOutputNames() override;

    std::unique_ptr<MidiInputPort> openInput (int index, juce::MidiInputCallback& callback) override;
    std::unique_ptr<MidiOutputPort> openOutput (int index) override;
};
