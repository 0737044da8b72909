#pragma once

#include "content/TrackableDeviceManagerEvent.h"

// The result of a firmware update of the current device.
class EventUpdate : public TrackableDeviceManagerEvent
{
public:
    // From the current device's build to the target's, exit code 0.
    EventUpdate (const VersionNumber& target, bool descriptionRead);

    // From a given build to a target build with the update's exit code.
    EventUpdate (const VersionNumber& start, const VersionNumber& target, bool descriptionRead, int exitCode);
};
