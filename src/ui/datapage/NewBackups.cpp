#include "ui/datapage/NewBackups.h"
#include "archive/ConfinedFiles.h"
#include "archive/DataSourceTree.h"
#include "archive/DeviceDataArchive.h"
#include "archive/LocalArchiveManager.h"
#include "ui/MessageBoxes.h"

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
    auto& undo = page.getUndoManager();
    undo.beginNewTransaction();
    for (auto& node : nodes)
        target.appendChild (node, &undo);

    // Saving the index writes the new items' files.
    auto* manager = page.getArchiveManager();
    bool saved = saveIndex (manager);
    for (auto& node : nodes)
        if (auto* item = getSourceNodeArchive (node))
            saved = saved && isOnDisk (*item);
    if (saved)
        return true;

    // Nothing of them stays: not in the browser, not in the index, not on disk.
    undo.undoCurrentTransactionOnly();
    for (auto& node : nodes)
        if (auto* item = getSourceNodeArchive (node))
            if (! item->isModified())
                item->deleteFiles();
    saveIndex (manager);

    showWarningBox (boxOwner, "File Error",
                    "Larkspire was unable to save the new backup to disk, so it has not been added to your backups."
                    " Please make sure the drive is not full.");
    return false;
}
