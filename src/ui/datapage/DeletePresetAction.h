#pragma once

#include "ui/datapage/UndoablePresetAction.h"

// Undoable delete of the presets in some slots.
class DeletePresetAction : public UndoablePresetAction
{
public:
    DeletePresetAction (DataPageEditOperations& page, const juce::ValueTree& node, const juce::Array<int>& slots);
    ~DeletePresetAction() override;

protected:
    bool performEdit() override;
};
