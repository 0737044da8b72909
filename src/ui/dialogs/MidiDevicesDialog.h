#pragma once

#include "ui/dialogs/MidiDevicesComp.h"

// The modal "MIDI Device List": a dialog window around a MidiDevicesComp, centred on its
// parent. It only reads.
class MidiDevicesDialog
{
public:
    explicit MidiDevicesDialog (juce::Component* parent);

    static constexpr const char* title = "MIDI Device List";

    // Runs the window's modal loop.
    int runModal();

    MidiDevicesComp& getContent() noexcept { return content; }

private:
    juce::Component* const parent;
    MidiDevicesComp content;
};
