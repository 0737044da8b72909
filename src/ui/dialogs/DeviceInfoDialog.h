#pragma once

#include "model/VersionNumber.h"
#include <juce_gui_basics/juce_gui_basics.h>

// The modal "Device Information" dialog around a DeviceInfoComp. It runs through the
// dialog service, which makes the window, so that tests can see what it would show.
class DeviceInfoDialog
{
public:
    static constexpr const char* title = "Device Information";

    // Shows the dialog modally over `owner` (may be null) and returns when it is closed.
    static void show (juce::Component* owner, const juce::String& name, const VersionNumber& version,
                      int year, int month, int day, int serialNumber);

    DeviceInfoDialog() = delete;
};
