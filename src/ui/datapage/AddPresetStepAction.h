#pragma once

#include "ui/datapage/UndoablePresetAction.h"

// Undoable append of presets as steps of a target preset.
class AddPresetStepAction : public UndoablePresetAction
{
public:
    AddPresetStepAction (DataPageEditOperations& page, const juce::ValueTree& node, int targetSlot, const juce::Array<int>& sourceSlots);
    ~AddPresetStepAction() override;

protected:
    bool performEdit() override;

private:
    int targetSlot;
    juce::Array<int> sourceSlots;
};
