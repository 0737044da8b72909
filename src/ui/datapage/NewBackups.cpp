#include "ui/datapage/NewBackups.h"
#include "archive/ConfinedFiles.h"
#include "archive/DataSourceTree.h"
#include "archive/DeviceDataArchive.h"
#include "archive/LocalArchiveManager.h"
#include "ui/MessageBoxes.h"
#include "ui/datapage/BackupNodeAction.h"

namespace
{
    bool isOnDisk (const DeviceDataArchive& item)
    {
        const auto dataFile = ConfinedFiles::resolve (item.getLinkData(), item.getHomeFolder());
        return ! item.isModified() && dataFile.existsAsFile() && dataFile.withFileExtension ("xml").existsAsFile();
    }

    bool saveIndex (LocalArchiveManager* manager)
    {
        return manager != nullptr && ! manager->isConversionRunning() && manager->saveIndex();
    }
}

bool addNewBackups (DataPageContext& page, juce::ValueTree target, const juce::Array<juce::ValueTree>& nodes,
                    juce::Component* boxOwner)
{
    for (auto& node : nodes)
        target.appendChild (node, nullptr);

    // Saving the index writes the new items' files.
    auto* manager = page.getArchiveManager();
    bool saved = saveIndex (manager);
    for (auto& node : nodes)
        if (auto* item = getSourceNodeArchive (node))
            saved = saved && isOnDisk (*item);

    if (saved)
    {
        // In place and on disk, they become one step that can be undone.
        auto& undo = page.getUndoManager();
        undo.beginNewTransaction();
        for (auto& node : nodes)
            undo.perform (new BackupNodeAction (BackupNodeAction::Step::add, node, target, page));
        return true;
    }

    // Nothing of them stays: not in the browser, not in the index, not on disk. Their file
    // names were new, so whatever lies there was written for them.
    for (auto& node : nodes)
    {
        target.removeChild (node, nullptr);
        if (auto* item = getSourceNodeArchive (node))
            if (manager != nullptr)
                manager->getBackupIndex().removeItemFiles (*item);
    }
    saveIndex (manager);

    showWarningBox (boxOwner, "File Error",
                    "Larkspire was unable to save the new backup to disk, so it has not been added to your backups."
                    + (manager != nullptr ? whyBackupsWereNotWritten (manager->getBackupIndex()) : juce::String()));
    return false;
}

bool saveBackups (DataPageContext& page, juce::Component* boxOwner, bool itemsWritten)
{
    auto* manager = page.getArchiveManager();
    if (manager == nullptr || manager->isConversionRunning())
        return false;
    if (manager->saveIndex() && itemsWritten)
        return true;
    showWarningBox (boxOwner, "File Error",
                    "Larkspire was unable to save the backups to disk." + whyBackupsWereNotWritten (manager->getBackupIndex()));
    return false;
}

juce::String whyBackupsWereNotWritten (const BackupIndex& backups)
{
    // An index that cannot be read is never written over, whatever room the drive has.
    if (! backups.hasIndex())
        return " Larkspire cannot read the backup index '" + backups.getIndexFile().getFullPathName()
             + "', so it leaves it as it is.";
    return " Please make sure the drive is not full.";
}
