#pragma once

#include "ui/datapage/UndoablePresetAction.h"

// Undoable rename of the presets in some slots.
class RenamePresetAction : public UndoablePresetAction
{
public:
    RenamePresetAction (DataPageEditOperations& page, const juce::ValueTree& node, const juce::Array<int>& slots, const juce::String& name);
    ~RenamePresetAction() override;

protected:
    bool performEdit() override;

private:
    juce::String name;
};
