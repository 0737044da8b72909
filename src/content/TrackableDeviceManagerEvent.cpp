#include "content/TrackableDeviceManagerEvent.h"

namespace
{
    juce::CriticalSection providerLock;
    TrackableDeviceManagerEvent::SnapshotProvider& providerHolder()
    {
        static TrackableDeviceManagerEvent::SnapshotProvider provider;
        return provider;
    }
}

void TrackableDeviceManagerEvent::setSnapshotProvider (SnapshotProvider provider)
{
    const juce::ScopedLock sl (providerLock);
    providerHolder() = std::move (provider);
}

TrackableDeviceManagerEvent::TrackableDeviceManagerEvent (const juce::String& endpoint)
    : TrackableEvent (endpoint), creationTime (juce::Time::currentTimeMillis())
{
    SnapshotProvider provider;
    {
        const juce::ScopedLock sl (providerLock);
        provider = providerHolder();
    }
    if (provider)
        device = provider();
}
