#pragma once

#include "content/TrackableEvent.h"
#include "model/VersionNumber.h"

// A unit seen on this computer.
class EventLogUserDevice : public TrackableEvent
{
public:
    EventLogUserDevice (int serial, juce::uint8 productId, const VersionNumber& firmware, juce::Time detected);
};
