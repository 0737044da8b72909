#include "ui/datapage/CopyPresetAction.h"

CopyPresetAction::CopyPresetAction (DataPageEditOperations& page, const juce::ValueTree& target, const juce::Array<int>& targetSlots,
                      const juce::ValueTree& source, const juce::Array<int>& sourceSlots)
    : UndoablePresetAction (page, target, targetSlots),
      sourceNode (source), sourceSlots (sourceSlots)
{
}

CopyPresetAction::~CopyPresetAction() = default;

bool CopyPresetAction::performEdit()
{
    page.copyPresets (node, slots, sourceNode, sourceSlots, false, false);
    return true;
}
