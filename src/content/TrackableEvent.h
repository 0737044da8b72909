#pragma once

#include "content/TrackingQuery.h"

// A usage event: knows its tracking script and its parameters.
class TrackableEvent
{
public:
    explicit TrackableEvent (const juce::String& endpoint) : query (endpoint) {}
    virtual ~TrackableEvent() = default;

    virtual juce::URL getUrl() const              { return query.buildUrl(); }
    virtual juce::String getParameterText() const { return query.getParameterText(); }

    const TrackingQuery& getQuery() const noexcept { return query; }

protected:
    TrackingQuery query;

    JUCE_DECLARE_NON_COPYABLE (TrackableEvent)
};
