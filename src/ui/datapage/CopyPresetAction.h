#pragma once

#include "ui/datapage/UndoablePresetAction.h"

// Undoable copy of presets from a source node's slots into the target slots.
class CopyPresetAction : public UndoablePresetAction
{
public:
    CopyPresetAction (DataPageEditOperations& page, const juce::ValueTree& target, const juce::Array<int>& targetSlots,
                      const juce::ValueTree& source, const juce::Array<int>& sourceSlots);
    ~CopyPresetAction() override;

protected:
    bool performEdit() override;

private:
    juce::ValueTree sourceNode;
    juce::Array<int> sourceSlots;
};
