#pragma once

#include "content/TrackableEvent.h"
#include "model/VersionNumber.h"
#include <functional>

// A usage event about the device the device manager has current when it is made.
class TrackableDeviceManagerEvent : public TrackableEvent
{
public:
    // What an event captures of the current device.
    struct DeviceSnapshot
    {
        juce::uint8 productId = 255;   // 255 when no device is current
        int serial = -1;
        VersionNumber firmware;        // zeros when none
        juce::String displayName;
    };

    // The device manager lives above this layer; it installs the function that reads its
    // current device. Without one, every event sees no device.
    using SnapshotProvider = std::function<DeviceSnapshot()>;
    static void setSnapshotProvider (SnapshotProvider provider);

    explicit TrackableDeviceManagerEvent (const juce::String& endpoint);

    juce::int64 getCreationTime() const noexcept        { return creationTime; }
    const DeviceSnapshot& getDevice() const noexcept     { return device; }

protected:
    juce::int64 creationTime = 0;
    DeviceSnapshot device;
};
