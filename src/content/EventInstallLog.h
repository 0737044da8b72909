#pragma once

#include "content/TrackableEvent.h"

// The first run after installation.
class EventInstallLog : public TrackableEvent
{
public:
    explicit EventInstallLog (bool allowTracking);
};
