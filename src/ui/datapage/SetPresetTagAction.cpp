#include "ui/datapage/SetPresetTagAction.h"

SetPresetTagAction::SetPresetTagAction (DataPageEditOperations& page, const juce::ValueTree& node, const juce::Array<int>& slots, int tagBit, bool on)
    : UndoablePresetAction (page, node, slots),
      tagBit (tagBit), on (on)
{
}

SetPresetTagAction::~SetPresetTagAction() = default;

bool SetPresetTagAction::performEdit()
{
    page.setPresetTag (node, slots, tagBit, on, false, false);
    return true;
}
