#pragma once

#include "ui/datapage/DataPageEditOperations.h"

// Undoable change of an archive item's title (the node's label and the item's own title).
class SetArchiveItemTitleAction : public juce::UndoableAction
{
public:
    SetArchiveItemTitleAction (DataPageEditOperations& page, const juce::ValueTree& node,
                               const juce::String& oldTitle, const juce::String& newTitle);

    // Reads the label the node has now as the title to go back to, then sets the new one.
    bool perform() override;
    bool undo() override;
    int getSizeInUnits() override { return DataPageEditOperations::titleActionUnits; }

private:
    DataPageEditOperations& page;
    juce::ValueTree node;
    juce::String oldTitle, newTitle;
};
