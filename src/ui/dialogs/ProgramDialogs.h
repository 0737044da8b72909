#pragma once

#include "ui/ContentDialogs.h"

// The program's own dialogs behind the main content component's commands: the options,
// the about box, the MIDI device list and the firmware chooser.
class ProgramDialogs : public ContentDialogs
{
public:
    bool isAvailable (Kind kind) const override;

    OptionsResult runOptionsDialog (juce::Component& owner) override;
    void runAboutBox (juce::Component& owner) override;
    void runMidiDeviceList (juce::Component& owner) override;
    bool runFirmwareChooser (juce::Component& owner, juce::uint8 productId, bool allowCustomImage,
                             FirmwareUpdateElement& chosen) override;
};
