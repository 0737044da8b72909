#include "ui/datapage/BackupNodeAction.h"
#include "archive/ConfinedFiles.h"
#include "archive/DataSourceTree.h"
#include "archive/LocalArchiveManager.h"

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

BackupNodeAction::BackupNodeAction (Step s, const juce::ValueTree& n, const juce::ValueTree& p, DataPageContext& owner)
    : step (s), node (n), parent (p), page (owner)
{
}

bool BackupNodeAction::perform()
{
    if (! parent.isValid())
        return false;
    if (step == Step::add)
    {
        // A new backup is already in its place, without files of its own yet: its caller saves it.
        if (node.getParent() != parent)
            page.noteBackupsChanged (putIn());
    }
    else
    {
        takeOut();
    }
    return true;
}

bool BackupNodeAction::undo()
{
    if (! parent.isValid())
        return false;
    if (step == Step::add)
        takeOut();
    else
        page.noteBackupsChanged (putIn());
    return true;
}

bool BackupNodeAction::putIn()
{
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
    page.noteBackupsChanged (true);

    // Without the unit's backups (the page let it go) nothing is removed: the files stay listed.
    auto* manager = page.getArchiveManager();
    if (manager == nullptr)
        return;
    for (auto& item : itemsIn (node))
        if (auto* archive = getSourceNodeArchive (item))
            manager->getBackupIndex().removeItemFiles (*archive);
}
