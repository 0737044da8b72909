#pragma once

#include "ui/dialogs/SearchResult.h"
#include <cstring>
#include <memory>

// Orders search results for one column of the results table. The direction
// (+1 forwards, -1 backwards) turns round only the first key; the tie-breaks that
// follow it keep their order either way.
class ResultsComparer
{
public:
    explicit ResultsComparer (int direction) : direction (direction < 0 ? -1 : 1) {}
    virtual ~ResultsComparer() = default;

    // Negative when a goes first, 0 when equal, positive otherwise.
    virtual int compare (const SearchResult& a, const SearchResult& b) const = 0;

    // For juce::Array::sort.
    int compareElements (const SearchResult& a, const SearchResult& b) const { return compare (a, b); }

    // A stable sort in this order. (juce::Array::sort hands its comparator copies of
    // the elements, which is slow for tens of thousands of results.)
    void sortResults (juce::Array<SearchResult>& results) const;

    int getDirection() const noexcept { return direction; }

    // The comparer of table column 1 (rank), 2 (number), 3 (name) or 4 (location);
    // null for any other column.
    static std::unique_ptr<ResultsComparer> createForColumn (int columnId, int direction);

    // Higher score first: the tie-break of the number, name and location orders.
    static int compareScoresHighestFirst (const SearchResult& a, const SearchResult& b) noexcept
    {
        return a.score > b.score ? -1 : (a.score < b.score ? 1 : 0);
    }

    static int sign (int value) noexcept { return (value > 0) - (value < 0); }

    // Exact text order (by code point), -1, 0 or 1. UTF-8 bytes compare in code-point
    // order, so the stored bytes are compared directly.
    static int compareTexts (const juce::String& a, const juce::String& b) noexcept
    {
        return sign (std::strcmp (a.toRawUTF8(), b.toRawUTF8()));
    }

protected:
    const int direction;
};
