#pragma once

#include "ui/datapage/UndoablePresetAction.h"

// Undoable exchange of two slots.
class SwapPresetAction : public UndoablePresetAction
{
public:
    SwapPresetAction (DataPageEditOperations& page, const juce::ValueTree& node, int slotA, int slotB);
    ~SwapPresetAction() override;

protected:
    bool performEdit() override;

private:
    int slotA, slotB;
};
