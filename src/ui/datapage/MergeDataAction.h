#pragma once

#include "ui/datapage/UndoablePresetAction.h"

// Undoable merge of other data's presets into a node's working copy. It keeps its own
// copy of the other data (flags cleared).
class MergeDataAction : public UndoablePresetAction
{
public:
    MergeDataAction (DataPageEditOperations& page, const juce::ValueTree& node, const DeviceData& other);
    ~MergeDataAction() override;

protected:
    bool performEdit() override;

private:
    std::unique_ptr<DeviceData> other;
};
