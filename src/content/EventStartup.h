#pragma once

#include "content/TrackableEvent.h"
#include <functional>

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

    // Where the locale's country text is read; tests stand in a locale of their own. An
    // empty function restores the system's.
    using LocaleCountrySource = std::function<juce::String()>;
    static void setLocaleCountrySource (LocaleCountrySource source);
};
