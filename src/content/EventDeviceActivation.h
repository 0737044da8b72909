#pragma once

#include "content/TrackableEvent.h"

// Registers a unit the service did not know yet.
class EventDeviceActivation : public TrackableEvent
{
public:
    EventDeviceActivation (int serial, const juce::String& product, juce::Time date);
};
