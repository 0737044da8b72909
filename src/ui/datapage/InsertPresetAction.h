#pragma once

#include "ui/datapage/UndoablePresetAction.h"

// Undoable insert of presets at a position, shifting the presets from there up. The
// touched slots and a copy of the inserted presets are taken when it is built.
class InsertPresetAction : public UndoablePresetAction
{
public:
    InsertPresetAction (DataPageEditOperations& page, const juce::ValueTree& node, const juce::Array<int>& touchedSlots,
                        int position, const DeviceData& source, const juce::Array<int>& sourceSlots);
    ~InsertPresetAction() override;

protected:
    bool performEdit() override;

private:
    int position;
    std::unique_ptr<DeviceData> inserted;
    juce::Array<int> sourceSlots;
};
