#include "ui/datapage/InsertPresetAction.h"

InsertPresetAction::InsertPresetAction (DataPageEditOperations& page, const juce::ValueTree& node, const juce::Array<int>& touchedSlots,
                        int position, const DeviceData& source, const juce::Array<int>& sourceSlots)
    : UndoablePresetAction (page, node, touchedSlots),
      position (position), inserted (source.createCopy (sourceSlots, false, false)), sourceSlots (sourceSlots)
{
}

InsertPresetAction::~InsertPresetAction() = default;

bool InsertPresetAction::performEdit()
{
    if (inserted == nullptr)
        return false;
    return page.insertPresets (node, position, *inserted, sourceSlots, false, false);
}
