#include "device/DeviceTimings.h"
#include <juce_core/juce_core.h>

namespace
{
    juce::CriticalSection timingsLock;

    DeviceTimings& timingsHolder()
    {
        static DeviceTimings timings;
        return timings;
    }
}

DeviceTimings getDeviceTimings()
{
    const juce::ScopedLock sl (timingsLock);
    return timingsHolder();
}

void setDeviceTimings (const DeviceTimings& timings)
{
    const juce::ScopedLock sl (timingsLock);
    timingsHolder() = timings;
}
