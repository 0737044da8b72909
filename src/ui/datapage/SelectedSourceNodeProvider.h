#pragma once

#include <juce_data_structures/juce_data_structures.h>

// A drag source that stands for one source node (the source browser's tree view:
// the node of its selected item). The preset grid accepts its drops.
class SelectedSourceNodeProvider
{
public:
    virtual ~SelectedSourceNodeProvider() = default;
    virtual juce::ValueTree getSelectedSourceNode() const = 0;
};
