#pragma once

#include "content/TrackableDeviceManagerEvent.h"

// The current device was selected.
class EventConnection : public TrackableDeviceManagerEvent
{
public:
    EventConnection();
};
