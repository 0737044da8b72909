#pragma once

#include <juce_core/juce_core.h>

// A query to one script of the maker's tracking web service: the script's name and
// its parameters in the order they were added.
class TrackingQuery
{
public:
    explicit TrackingQuery (const juce::String& endpoint);

    // False (and nothing added) when the name is already present.
    bool addParameter (const juce::String& name, const juce::var& value);

    // Tracking base + "/php/tracking-1.0/" + endpoint, with every parameter in order.
    juce::URL buildUrl() const;

    // For each parameter in order: a blank, the name, "='", the value and "'".
    juce::String getParameterText() const;

    const juce::Identifier& getEndpoint() const noexcept       { return endpoint; }
    const juce::Array<juce::Identifier>& getNames() const noexcept { return names; }
    const juce::Array<juce::var>& getValues() const noexcept   { return values; }

private:
    juce::Identifier endpoint;
    juce::Array<juce::Identifier> names;
    juce::Array<juce::var> values;
};
