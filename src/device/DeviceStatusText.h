#pragma once

#include <juce_core/juce_core.h>

// The text the user sees for a device object's status word; the first matching bit wins,
// so an identified unit whose ports are open reads "Connected".
juce::String getDeviceStatusText (juce::uint32 statusWord);
