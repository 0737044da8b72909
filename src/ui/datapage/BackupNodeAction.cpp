#include "ui/datapage/BackupNodeAction.h"
#include "archive/ConfinedFiles.h"
#include "archive/DataSourceTree.h"

namespace
{
    juce::Array<juce::ValueTree> itemsIn (const juce::ValueTree& node)
    {
        juce::Array<juce::ValueTree> items;
        collectSourceDataNodes (node, items);
        return items;
    }

    juce::File descriptionFileOf (const DeviceDataArchive& item)
    {
        const auto dataFile = ConfinedFiles::resolve (item.getLinkData(), item.getHomeFolder());
        return dataFile == juce::File() ? juce::File() : dataFile.withFileExtension ("xml");
    }
}

BackupNodeAction::BackupNodeAction (Step s, const juce::ValueTree& n, const juce::ValueTree& p,
                                    std::function<void (bool)> after)
    : step (s), node (n), parent (p), afterUndoOrRedo (std::move (after))
{
}

bool BackupNodeAction::perform()
{
    if (! parent.isValid())
        return false;

    bool allWritten = true;
    if (step == Step::add)
        allWritten = putIn();
    else
        takeOut();

    if (performedBefore && afterUndoOrRedo != nullptr)
        afterUndoOrRedo (allWritten);
    performedBefore = true;
    return true;
}

bool BackupNodeAction::undo()
{
    if (! parent.isValid())
        return false;

    bool allWritten = true;
    if (step == Step::add)
        takeOut();
    else
        allWritten = putIn();

    if (afterUndoOrRedo != nullptr)
        afterUndoOrRedo (allWritten);
    return true;
}

bool BackupNodeAction::putIn()
{
    // A new backup is already in its place, without files of its own yet.
    if (node.getParent() == parent)
        return true;

    bool allWritten = true;
    for (auto& item : itemsIn (node))
        if (auto* archive = getSourceNodeArchive (item))
        {
            const auto meta = descriptionFileOf (*archive);
            if (meta != juce::File() && ! archive->save (meta))
                allWritten = false;
        }

    parent.addChild (node, index < 0 ? -1 : juce::jmin (index, parent.getNumChildren()), nullptr);
    return allWritten;
}

void BackupNodeAction::takeOut()
{
    if (node.getParent() != parent)
        return;
    // It goes back where it was taken from.
    index = parent.indexOf (node);
    parent.removeChild (node, nullptr);

    for (auto& item : itemsIn (node))
        if (auto* archive = getSourceNodeArchive (item))
            if (archive->getLinkData().trim().isNotEmpty())
                archive->deleteFiles();
}
