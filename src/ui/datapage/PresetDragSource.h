#pragma once

#include <juce_data_structures/juce_data_structures.h>

// What a component that drags presets (the grid's and the group view's drag snapshots)
// tells the drop targets: the source node the presets come from and their slots.
class PresetDragSource
{
public:
    virtual ~PresetDragSource() = default;
    virtual juce::ValueTree getDraggedSourceNode() const = 0;
    virtual juce::Array<int> getDraggedSlots() const = 0;
};
