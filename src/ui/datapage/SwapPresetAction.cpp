#include "ui/datapage/SwapPresetAction.h"

SwapPresetAction::SwapPresetAction (DataPageEditOperations& page, const juce::ValueTree& node, int slotA, int slotB)
    : UndoablePresetAction (page, node, { slotA, slotB }),
      slotA (slotA), slotB (slotB)
{
}

SwapPresetAction::~SwapPresetAction() = default;

bool SwapPresetAction::performEdit()
{
    page.swapPresets (node, slotA, slotB, false, false);
    return true;
}
