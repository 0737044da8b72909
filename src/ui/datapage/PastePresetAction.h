#pragma once

#include "ui/datapage/UndoablePresetAction.h"

// Undoable paste of a clipboard's presets into the target slots. It keeps its own
// copy of the clipboard (flags cleared), so that redo pastes the same presets.
class PastePresetAction : public UndoablePresetAction
{
public:
    PastePresetAction (DataPageEditOperations& page, const juce::ValueTree& node, const juce::Array<int>& targetSlots,
                       const DeviceData& clipboard);
    ~PastePresetAction() override;

protected:
    bool performEdit() override;

private:
    std::unique_ptr<DeviceData> clipboard;
};
