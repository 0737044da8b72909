#include "ui/datapage/DeletePresetAction.h"

DeletePresetAction::DeletePresetAction (DataPageEditOperations& page, const juce::ValueTree& node, const juce::Array<int>& slots)
    : UndoablePresetAction (page, node, slots)
{
}

DeletePresetAction::~DeletePresetAction() = default;

bool DeletePresetAction::performEdit()
{
    page.deletePresets (node, slots, false, false);
    return true;
}
