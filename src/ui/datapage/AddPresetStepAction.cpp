#include "ui/datapage/AddPresetStepAction.h"

AddPresetStepAction::AddPresetStepAction (DataPageEditOperations& page, const juce::ValueTree& node, int targetSlot, const juce::Array<int>& sourceSlots)
    : UndoablePresetAction (page, node, { targetSlot }),
      targetSlot (targetSlot), sourceSlots (sourceSlots)
{
}

AddPresetStepAction::~AddPresetStepAction() = default;

bool AddPresetStepAction::performEdit()
{
    page.addPresetsAsSteps (node, targetSlot, sourceSlots, false, false);
    return true;
}
