#include "ui/datapage/RenamePresetAction.h"

RenamePresetAction::RenamePresetAction (DataPageEditOperations& page, const juce::ValueTree& node, const juce::Array<int>& slots, const juce::String& name)
    : UndoablePresetAction (page, node, slots),
      name (name)
{
}

RenamePresetAction::~RenamePresetAction() = default;

bool RenamePresetAction::performEdit()
{
    page.renamePresets (node, slots, name, false, false);
    return true;
}
