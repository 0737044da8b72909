#pragma once

#include <juce_data_structures/juce_data_structures.h>
#include <functional>

// Undoable removal of a backup (or a group of them) from the source tree. Its files
// are deleted at once, as the user expects of a delete; undo puts the node back and
// writes every archive item in it to its files again (each file replaced whole), so an
// undone delete loses nothing.
class RemoveSourceNodeAction : public juce::UndoableAction
{
public:
    // `afterRestore` runs once an undo has put the node back (to save the index); it is told
    // whether every item's files were written again, so that a failure can be reported.
    RemoveSourceNodeAction (const juce::ValueTree& node, std::function<void (bool allWritten)> afterRestore);

    bool perform() override;
    bool undo() override;
    int getSizeInUnits() override { return 32; }

private:
    juce::ValueTree node, parent;
    std::function<void (bool)> afterRestore;
    int index = -1;
};
