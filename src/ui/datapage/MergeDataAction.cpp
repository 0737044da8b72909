#include "ui/datapage/MergeDataAction.h"

MergeDataAction::MergeDataAction (DataPageEditOperations& page, const juce::ValueTree& node, const DeviceData& other)
    : UndoablePresetAction (page, node, other.getPresetIndices()),
      other (other.createFullCopy (true))
{
    // A complete setup in the other data replaces the working copy's.
    snapshotsSetup = true;
}

MergeDataAction::~MergeDataAction() = default;

bool MergeDataAction::performEdit()
{
    if (other == nullptr)
        return false;
    page.mergeData (node, *other, false, false);
    return true;
}
