#pragma once

#include <juce_data_structures/juce_data_structures.h>

// Told by the data page when presets of a source node's data set changed.
class PresetDataChangeListener
{
public:
    virtual ~PresetDataChangeListener() = default;
    virtual void presetDataChanged (const juce::ValueTree& node, const juce::Array<int>& slots) = 0;
};
