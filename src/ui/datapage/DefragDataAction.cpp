#include "ui/datapage/DefragDataAction.h"

DefragDataAction::DefragDataAction (DataPageEditOperations& page, const juce::ValueTree& node, const juce::Array<int>& allSlots)
    : UndoablePresetAction (page, node, allSlots)
{
}

DefragDataAction::~DefragDataAction() = default;

bool DefragDataAction::performEdit()
{
    page.defragment (node, false, false);
    return true;
}
