#pragma once

#include "ui/dialogs/OptionsComponentPage.h"

// "Devices": which MIDI devices are listed, automatic connection, and the clearing of the
// history of known units.
class DeviceOptionsComp : public OptionsComponentPage,
                          private juce::Button::Listener
{
public:
    DeviceOptionsComp();
    ~DeviceOptionsComp() override;

    void restoreDefaults() override;
    void store() override;

    // The user confirmed "Reset Device History" (the caller clears it after the dialog).
    bool isClearHistoryRequested() const noexcept { return clearHistory; }

    void resized() override;

    juce::GroupComponent groupComponentUsbMidiDevices;
    juce::ToggleButton toggleButtonOnlyShowArdDevices { "Only show Ardentis devices" };
    juce::ToggleButton toggleButtonAutoConnect { "Automatically connect at start-up/scan" };
    juce::GroupComponent groupComponentArdentisDevices;
    juce::TextButton textButtonClearDeviceHistory { "Clear Device History..." };

private:
    void buttonClicked (juce::Button*) override;

    bool clearHistory = false;

    JUCE_DECLARE_NON_COPYABLE (DeviceOptionsComp)
};
