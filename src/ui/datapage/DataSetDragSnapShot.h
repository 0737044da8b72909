#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// The source component of every drag of presets: which source node they come from
// and which slots are dragged. Never shown.
class DataSetDragSnapShot : public juce::Component
{
public:
    DataSetDragSnapShot() = default;

    void set (const juce::ValueTree& sourceNode, const juce::Array<int>& draggedSlots)
    {
        node = sourceNode;
        slots = draggedSlots;
    }

    juce::ValueTree node;
    juce::Array<int> slots;
};
