#include "ui/datapage/SetArchiveItemTitleAction.h"
#include "archive/DataSourceTree.h"

SetArchiveItemTitleAction::SetArchiveItemTitleAction (DataPageEditOperations& p, const juce::ValueTree& n,
                                                      const juce::String& oldText, const juce::String& newText)
    : page (p), node (n), oldTitle (oldText), newTitle (newText)
{
}

bool SetArchiveItemTitleAction::perform()
{
    oldTitle = node[SourceIds::label].toString();
    page.setArchiveItemTitle (node, newTitle, false, false);
    return true;
}

bool SetArchiveItemTitleAction::undo()
{
    page.setArchiveItemTitle (node, oldTitle, false, false);
    return true;
}
