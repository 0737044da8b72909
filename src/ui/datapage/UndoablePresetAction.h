#pragma once

#include "ui/datapage/DataPageEditOperations.h"

// The base of every undoable edit of preset data: the node it edits, the slots it
// changes and, once performed, a snapshot of those slots as they were. Undo puts the
// snapshot back and recomputes the slots' modified flags against the source's data;
// redo performs again, taking a fresh snapshot.
class UndoablePresetAction : public juce::UndoableAction
{
public:
    UndoablePresetAction (DataPageEditOperations& page, const juce::ValueTree& node, const juce::Array<int>& slots);
    ~UndoablePresetAction() override;

    // Takes the snapshot and repeats the edit directly. False (the action is dropped)
    // when the node has no working copy or the edit cannot run.
    bool perform() override;
    bool undo() override;
    int getSizeInUnits() override { return DataPageEditOperations::presetActionUnits; }

    const juce::Array<int>& getSlots() const noexcept { return slots; }
    const juce::ValueTree& getNode() const noexcept { return node; }

protected:
    // The edit itself, run with undoable false; false when it cannot run at all.
    virtual bool performEdit() = 0;

    DataPageEditOperations& page;
    juce::ValueTree node;
    juce::Array<int> slots;
    // Set by an edit that can also replace the setup, so that undo puts it back too.
    bool snapshotsSetup = false;

private:
    std::unique_ptr<DeviceData> snapshot;
};
