#include "ui/datapage/PastePresetAction.h"

PastePresetAction::PastePresetAction (DataPageEditOperations& page, const juce::ValueTree& node, const juce::Array<int>& targetSlots,
                       const DeviceData& clipboard)
    : UndoablePresetAction (page, node, targetSlots),
      clipboard (clipboard.createFullCopy (true))
{
}

PastePresetAction::~PastePresetAction() = default;

bool PastePresetAction::performEdit()
{
    if (clipboard == nullptr)
        return false;
    page.pastePresets (node, slots, *clipboard, false, false);
    return true;
}
