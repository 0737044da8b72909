#include "ui/dialogs/SearchResultsMessage.h"

SearchResultsMessage::SearchResultsMessage (juce::Array<SearchResult> r, int g)
    : results (std::move (r)), generation (g)
{
}

SearchResultsMessage::SearchResultsMessage (const SearchResultsMessage& other)
    : juce::Message(), results (other.results), generation (other.generation)
{
}
