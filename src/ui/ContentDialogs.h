#pragma once

#include "firmware/FirmwareUpdateElement.h"
#include <juce_gui_basics/juce_gui_basics.h>

// The modal dialogs that the main content component's commands open. Each runs
// synchronously and reports what the user chose; a dialog that is not available is
// never opened (its commands are disabled).
class ContentDialogs
{
public:
    enum class Kind { options, about, midiDevices, firmwareChooser };

    // What the options dialog reports when it was left with "Ok".
    struct OptionsResult
    {
        bool accepted = false;            // left with "Ok" (the pages stored their values)
        bool clearDeviceHistory = false;  // "Clear Device History..." was confirmed
        bool restoreDefaults = false;     // "Restore Defaults" was pressed
        bool restartNeeded = false;       // the UI scale was changed
    };

    virtual ~ContentDialogs() = default;

    virtual bool isAvailable (Kind kind) const = 0;

    virtual OptionsResult runOptionsDialog (juce::Component& owner) = 0;
    virtual void runAboutBox (juce::Component& owner) = 0;
    virtual void runMidiDeviceList (juce::Component& owner) = 0;

    // The firmware chooser for a product; true when the user chose an update with
    // "Start Update", which is then in `chosen`.
    virtual bool runFirmwareChooser (juce::Component& owner, juce::uint8 productId, bool allowCustomImage,
                                     FirmwareUpdateElement& chosen) = 0;
};
