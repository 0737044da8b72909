#pragma once

#include "ui/datapage/UndoablePresetAction.h"

// Undoable compaction of the preset list (filled slots moved down over the gaps).
class DefragDataAction : public UndoablePresetAction
{
public:
    DefragDataAction (DataPageEditOperations& page, const juce::ValueTree& node, const juce::Array<int>& allSlots);
    ~DefragDataAction() override;

protected:
    bool performEdit() override;
};
