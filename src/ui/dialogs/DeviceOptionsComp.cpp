#include "ui/dialogs/DeviceOptionsComp.h"
#include "core/Settings.h"
#include "ui/MessageBoxes.h"

DeviceOptionsComp::DeviceOptionsComp()
{
    groupComponentUsbMidiDevices.setName ("groupComponentUsbMidiDevices");
    groupComponentUsbMidiDevices.setText ("USB Midi Devices");
    addAndMakeVisible (groupComponentUsbMidiDevices);

    toggleButtonOnlyShowArdDevices.setName ("toggleButtonOnlyShowArdDevices");
    toggleButtonOnlyShowArdDevices.setToggleState (getSettingBool (SettingsKeys::onlyShowArdDevices),
                                                   juce::dontSendNotification);
    addAndMakeVisible (toggleButtonOnlyShowArdDevices);

    toggleButtonAutoConnect.setName ("toggleButtonAutoConnect");
    toggleButtonAutoConnect.setToggleState (getSettingBool (SettingsKeys::autoConnectAtStartup),
                                            juce::dontSendNotification);
    addAndMakeVisible (toggleButtonAutoConnect);

    groupComponentArdentisDevices.setName ("groupComponentArdentisDevices");
    groupComponentArdentisDevices.setText ("Ardentis Devices");
    addAndMakeVisible (groupComponentArdentisDevices);

    textButtonClearDeviceHistory.setName ("textButtonClearDeviceHistory");
    textButtonClearDeviceHistory.addListener (this);
    addAndMakeVisible (textButtonClearDeviceHistory);
}

DeviceOptionsComp::~DeviceOptionsComp()
{
    textButtonClearDeviceHistory.removeListener (this);
}

void DeviceOptionsComp::buttonClicked (juce::Button* button)
{
    if (button == &textButtonClearDeviceHistory)
        clearHistory = askYesNo (this, "Reset Device History", "Are you sure you want to reset the connection history?");
}

void DeviceOptionsComp::restoreDefaults()
{
    toggleButtonOnlyShowArdDevices.setToggleState (true, juce::dontSendNotification);
    toggleButtonAutoConnect.setToggleState (true, juce::dontSendNotification);
}

void DeviceOptionsComp::store()
{
    setSetting (SettingsKeys::onlyShowArdDevices, toggleButtonOnlyShowArdDevices.getToggleState());
    setSetting (SettingsKeys::autoConnectAtStartup, toggleButtonAutoConnect.getToggleState());
}

void DeviceOptionsComp::resized()
{
    const int m = getPageMargin();
    const int rowHeight = juce::roundToInt (getPageFontHeight() * 2.0f);

    auto area = getLocalBounds().reduced (m);
    auto usb = area.removeFromTop (rowHeight * 3 + m);
    groupComponentUsbMidiDevices.setBounds (usb);
    auto inside = usb.reduced (m, 0).withTrimmedTop (rowHeight);
    toggleButtonOnlyShowArdDevices.setBounds (inside.removeFromTop (rowHeight).withSizeKeepingCentre (inside.getWidth(), getToggleHeight()));
    toggleButtonAutoConnect.setBounds (inside.removeFromTop (rowHeight).withSizeKeepingCentre (inside.getWidth(), getToggleHeight()));

    area.removeFromTop (m);
    auto known = area.removeFromTop (juce::jmin (area.getHeight(), rowHeight * 2 + m));
    groupComponentArdentisDevices.setBounds (known);
    auto buttonRow = known.reduced (m, 0).withTrimmedTop (rowHeight - m / 2).removeFromTop (rowHeight);
    textButtonClearDeviceHistory.setBounds (buttonRow.removeFromLeft (juce::roundToInt (getPageFontHeight() * 13.0f)));
}
