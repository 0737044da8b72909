#include "ui/datapage/InsertPresetStepAction.h"

InsertPresetStepAction::InsertPresetStepAction (DataPageEditOperations& page, const juce::ValueTree& node, int targetSlot, int stepPosition,
                            const Preset& source, const juce::SparseSet<int>& steps)
    : UndoablePresetAction (page, node, { targetSlot }),
      targetSlot (targetSlot), stepPosition (stepPosition), source (source), steps (steps)
{
}

InsertPresetStepAction::~InsertPresetStepAction() = default;

bool InsertPresetStepAction::performEdit()
{
    page.insertPresetSteps (node, targetSlot, stepPosition, source, steps, false, false);
    return true;
}
