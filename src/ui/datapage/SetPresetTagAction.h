#pragma once

#include "ui/datapage/UndoablePresetAction.h"

// Undoable setting or clearing of one tag bit of the presets in some slots.
class SetPresetTagAction : public UndoablePresetAction
{
public:
    SetPresetTagAction (DataPageEditOperations& page, const juce::ValueTree& node, const juce::Array<int>& slots, int tagBit, bool on);
    ~SetPresetTagAction() override;

protected:
    bool performEdit() override;

private:
    int tagBit;
    bool on;
};
