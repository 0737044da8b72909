#pragma once

#include "ui/datapage/DataPageContext.h"

// Undoable addition or removal of backups (an archive item's node, or a group of them) in the
// source tree, together with their files, so that the backups listed and the files on disk
// always agree. Putting a node (back) in writes the files of every archive item in it (each
// file replaced whole); taking it out removes them once the backup index on disk no longer
// lists them (usually right after the step, when the index is saved). A new backup's first
// addition writes nothing: saving the index gives it its files.
//
// The action changes only the tree and the files, and tells the page of each change
// (noteBackupsChanged); whoever runs the step saves the index after it.
class BackupNodeAction : public juce::UndoableAction
{
public:
    enum class Step { add, remove };

    // `parent` is where the node goes in, or where it is taken out from.
    BackupNodeAction (Step step, const juce::ValueTree& node, const juce::ValueTree& parent, DataPageContext& page);

    bool perform() override;
    bool undo() override;
    int getSizeInUnits() override { return 32; }

private:
    bool putIn();
    void takeOut();

    const Step step;
    juce::ValueTree node, parent;
    DataPageContext& page;
    int index = -1;
};
