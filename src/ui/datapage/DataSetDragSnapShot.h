#pragma once

#include "ui/datapage/PresetDragSource.h"
#include <juce_gui_basics/juce_gui_basics.h>

// The source component of every drag of presets: which source node they come from
// and which slots are dragged. Never shown.
class DataSetDragSnapShot : public juce::Component, public PresetDragSource
{
public:
    DataSetDragSnapShot() = default;

    void set (const juce::ValueTree& sourceNode, const juce::Array<int>& draggedSlots)
    {
        node = sourceNode;
        slots = draggedSlots;
    }

    juce::ValueTree getDraggedSourceNode() const override { return node; }
    juce::Array<int> getDraggedSlots() const override { return slots; }

    juce::ValueTree node;
    juce::Array<int> slots;
};
