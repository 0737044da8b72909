#pragma once

#include <juce_data_structures/juce_data_structures.h>

// Where the Find Preset dialog shows a chosen hit: the data page selects the source
// node in its browser and, for a preset (number not 0), selects that slot in the
// preset grid and shows it in the details panel.
class SearchResultTarget
{
public:
    virtual ~SearchResultTarget() = default;

    // `number` is the preset's slot, or 0 for a hit on the node's own label.
    virtual void showSearchResult (const juce::ValueTree& source, int number) = 0;
};
