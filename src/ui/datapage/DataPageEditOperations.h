#pragma once

#include "ui/datapage/DataPageContext.h"

// The twelve edits of preset data on the data page. The page derives from this class;
// the preset grid, the details, the source browser and the import work call these and
// never edit a working copy themselves.
//
// Each edit runs directly (undoable false: the node's working copy changes at once and
// the listeners are told) or through the page's undo manager (undoable true: an action
// that snapshots the slots it touches is performed, so that undo restores them byte for
// byte). `newTransaction` begins a new transaction first; callers pass it only on the
// first edit of a multi-step user action.
class DataPageEditOperations : public DataPageContext
{
public:
    void deletePresets (const juce::ValueTree& node, const juce::Array<int>& slots,
                        bool undoable, bool newTransaction);

    void copyPresets (const juce::ValueTree& target, const juce::Array<int>& targetSlots,
                      const juce::ValueTree& source, const juce::Array<int>& sourceSlots,
                      bool undoable, bool newTransaction);

    void pastePresets (const juce::ValueTree& node, const juce::Array<int>& targetSlots,
                       const DeviceData& clipboard, bool undoable, bool newTransaction);

    // False when nothing was inserted (no working copy, no source slots, or no room
    // for the presets it would shift).
    bool insertPresets (const juce::ValueTree& node, int position, const DeviceData& source,
                        const juce::Array<int>& sourceSlots, bool undoable, bool newTransaction);

    void swapPresets (const juce::ValueTree& node, int slotA, int slotB, bool undoable, bool newTransaction);

    void addPresetsAsSteps (const juce::ValueTree& node, int targetSlot, const juce::Array<int>& sourceSlots,
                            bool undoable, bool newTransaction);

    void insertPresetSteps (const juce::ValueTree& node, int targetSlot, int stepPosition, const Preset& source,
                            const juce::SparseSet<int>& steps, bool undoable, bool newTransaction);

    void renamePresets (const juce::ValueTree& node, const juce::Array<int>& slots, const juce::String& name,
                        bool undoable, bool newTransaction);

    void setPresetTag (const juce::ValueTree& node, const juce::Array<int>& slots, int tagBit, bool on,
                       bool undoable, bool newTransaction);

    void defragment (const juce::ValueTree& node, bool undoable, bool newTransaction);

    void mergeData (const juce::ValueTree& node, const DeviceData& other, bool undoable, bool newTransaction);

    void setArchiveItemTitle (juce::ValueTree node, const juce::String& title, bool undoable, bool newTransaction);

    // Undoes the last step of the history (redoes the next), then finishes it for the backups
    // it changed (finishBackupStep). True when there was a step.
    bool undoStep (juce::Component* boxOwner);
    bool redoStep (juce::Component* boxOwner);

    void noteBackupsChanged (bool filesWritten) override;
    void finishBackupStep (juce::Component* boxOwner) override;

    // What one undoable preset action counts against the history's limit, and a title change.
    static constexpr int presetActionUnits = 40;
    static constexpr int titleActionUnits = 32;

private:
    // Begins a transaction when asked and hands the action to the undo manager.
    bool performAction (juce::UndoableAction* action, bool newTransaction);

    bool backupsChanged = false, backupFilesWritten = true;
};
