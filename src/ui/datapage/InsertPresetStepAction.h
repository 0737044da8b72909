#pragma once

#include "ui/datapage/UndoablePresetAction.h"

// Undoable insert of chosen steps of a preset into a target preset. It keeps its own
// copy of the source preset.
class InsertPresetStepAction : public UndoablePresetAction
{
public:
    InsertPresetStepAction (DataPageEditOperations& page, const juce::ValueTree& node, int targetSlot, int stepPosition,
                            const Preset& source, const juce::SparseSet<int>& steps);
    ~InsertPresetStepAction() override;

protected:
    bool performEdit() override;

private:
    int targetSlot, stepPosition;
    Preset source;
    juce::SparseSet<int> steps;
};
