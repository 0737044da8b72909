#pragma once

#include "content/TrackableEvent.h"

// A run of the program; the service answers it with the session key.
class EventStartup : public TrackableEvent
{
public:
    EventStartup (const juce::Uuid& installToken, const juce::Uuid& sessionId);

    // The operating system's name as the service knows it, "Unknown OS" for any other.
    static juce::String getOperatingSystemName (juce::SystemStats::OperatingSystemType type);

    // The ISO 3166 country code of the system locale: two upper-case ASCII letters, "US"
    // when the system gives none (or anything else).
    static juce::String getRegion();

    // The region told for a locale's country text: the text when it is two upper-case ASCII
    // letters, else "US".
    static juce::String regionFromCountry (const juce::String& country);
};
