#pragma once

#include "ui/dialogs/SearchResult.h"
#include <juce_events/juce_events.h>

// The hits of one finished search pass, posted by the search thread. The generation
// names the search that produced them, so a receiver can drop the results of a
// search it has since stopped or replaced.
class SearchResultsMessage : public juce::Message
{
public:
    SearchResultsMessage (juce::Array<SearchResult> results, int generation);
    SearchResultsMessage (const SearchResultsMessage& other);

    // The receiver may take them (a message is delivered once).
    mutable juce::Array<SearchResult> results;
    const int generation;
};
