#pragma once

#include <juce_data_structures/juce_data_structures.h>
#include <functional>

// Undoable addition or removal of backups (an archive item's node, or a group of them) in the
// source tree, together with their files, so that the backups listed and the files on disk
// always agree. Taking a node out deletes the files of every archive item in it, as the user
// expects of a delete; putting it (back) in writes them again (each file replaced whole). A new
// backup's first addition writes nothing: saving the index gives it its files.
class BackupNodeAction : public juce::UndoableAction
{
public:
    enum class Step { add, remove };

    // `parent` is where the node goes in, or where it is taken out from.
    // `afterUndoOrRedo` runs once an undo or a redo has changed the tree (to save the index); it
    // is told whether every item's files were written, so that a failure can be reported. The
    // first perform is the caller's own step, which saves the index itself.
    BackupNodeAction (Step step, const juce::ValueTree& node, const juce::ValueTree& parent,
                      std::function<void (bool allWritten)> afterUndoOrRedo);

    bool perform() override;
    bool undo() override;
    int getSizeInUnits() override { return 32; }

private:
    bool putIn();
    void takeOut();

    const Step step;
    juce::ValueTree node, parent;
    std::function<void (bool)> afterUndoOrRedo;
    int index = -1;
    bool performedBefore = false;
};
