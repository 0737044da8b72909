// The unit's data on disk: the sync snapshot (what was last read from the unit) and the
// working snapshot (the edited copy beside it). They are written when a read ends and when
// the unit goes, taken up again when it comes back, and deleted when they cannot serve (the
// unsent edits among them kept as a backup first).

#include "ui/DataPage.h"
#include "archive/BackupIndex.h"
#include "archive/DataSourceTree.h"
#include "core/AppPaths.h"
#include "device/DeviceManager.h"
#include "ui/MessageBoxes.h"
#include "ui/datapage/NewBackups.h"

using namespace juce;

namespace
{
    void showFileError (Component* page)
    {
        showWarningBox (page, "File Error",
                        "Larkspire was unable to save the device's data to disk. Please make sure the drive is not full.");
    }
}

void DataPage::storeSync()
{
    auto* manager = getDeviceManager();
    auto* live = manager != nullptr ? manager->getDeviceData() : nullptr;
    if (live != nullptr)
    {
        busy = false;
        const int result = live->saveDataFile (File (deviceFolder), false);
        if (result == 0)
        {
            if (auto* working = dataSet->getWorking())
            {
                working->setSetup (live->getSetup(), false);
                working->clearModifiedFlags (false);
            }
            needSync = false;
            refreshSourceNode (SourceCategories::device);
            browser.setRoot (this, sourcesRoot);
            ensureSourceSelected();
            sourceSelectionChanged();
        }
        else if (result == 2)
        {
            showFileError (this);
        }
        else
        {
            showWarningBox (this, "Data Integrity Failure",
                            "Larkspire has detected data corruption in the data downloaded from your device. This could be"
                            " caused by a MIDI transmission error. Please try downloading again. If the error persists,"
                            " please contact Ardo Support.");
            auto node = deviceNode();
            if (node.isValid())
                sourcesRoot.removeChild (node, nullptr);
            needSync = true;
        }
    }
    showSyncButton (needSync);
}

void DataPage::storeDeviceSnapshots()
{
    // Each snapshot replaces its old file only once written whole; a failure keeps the old one.
    const File folder (deviceFolder);
    bool stored = true;
    if (auto* working = dataSet->getWorking())
        stored = working->saveDataFile (folder, true) == 0;
    if (auto* source = dataSet->getSourceDeviceData())
        stored = source->saveDataFile (folder, false) == 0 && stored;
    if (! stored)
        showFileError (this);
}

std::unique_ptr<DeviceData> DataPage::loadDeviceSnapshots (DeviceManager& manager, StoredEdits& edits)
{
    edits = {};
    // The working copy is taken up only beside the unit's data it was edited from.
    if (manager.loadSyncSnapshot())
        return DeviceData::createFromFile (AppPaths::getWorkingFile (deviceFolder, false));

    // Edits made on data the unit no longer holds cannot be shown as its own; they are kept
    // where the user finds them before the files go.
    if (hasUnsentEditsOnDisk())
    {
        edits.where = keepStoredEditsAsBackup (manager, edits.whyNotKept);
        edits.how = StoredEdits::keptAsBackup;
        if (edits.where.isEmpty())
        {
            // A name of their own, which nothing reads over or deletes. A rename takes no room
            // on the drive; where not even that works, nothing can be written over them either.
            const auto aside = setStoredEditsAside();
            edits.where = aside.getFullPathName();
            edits.how = aside != File() ? StoredEdits::setAside : StoredEdits::notKept;
            if (edits.how == StoredEdits::notKept)
                return {};
        }
    }
    deleteDeviceSnapshots();
    return {};
}

String DataPage::keepStoredEditsAsBackup (DeviceManager& manager, String& whyNot)
{
    const File workingFile (AppPaths::getWorkingFile (deviceFolder, false));
    auto stored = DeviceData::createFromFile (workingFile.getFullPathName());
    auto* live = manager.getDeviceData();
    if (stored == nullptr || live == nullptr)
        return {};

    // Dated when the edits were stored, so that the user knows them again. Of another data
    // format than the unit's, they join the backups of that format, which the question about
    // mismatched backups offers to convert.
    DeviceDataArchive item (stored.get(), {}, "Preset edits not transferred to " + manager.getDeviceDisplayName());
    item.setPubDate (workingFile.getLastModificationTime().toMilliseconds());
    item.setTitle (item.getDateText() + " (Unsent Edits)");
    BackupIndex backups (live->getFormat(), manager.getDeviceDisplayName());
    backups.loadIndex();
    if (backups.addItem (item))
        return item.getTitle();
    whyNot = whyBackupsWereNotWritten (backups);
    return {};
}

File DataPage::setStoredEditsAside()
{
    const File workingFile (AppPaths::getWorkingFile (deviceFolder, false));
    const auto stored = workingFile.getLastModificationTime().formatted ("%Y-%m-%d %H-%M-%S");
    const auto aside = workingFile.getSiblingFile ("Unsent Edits " + stored + ".ard").getNonexistentSibling (true);
    return workingFile.moveFileTo (aside) ? aside : File();
}

void DataPage::tellOfStoredEdits (const StoredEdits& edits, const String& unitName)
{
    const auto why = "Your preset edits have not been transferred to " + unitName
                   + " yet, and they no longer match its data, most likely because its firmware has changed. ";
    if (edits.how == StoredEdits::keptAsBackup)
        showWarningBox (this, "Preset Edits Kept", why + "Larkspire has kept them in your backups as '" + edits.where + "'.");
    else if (edits.how == StoredEdits::setAside)
        showWarningBox (this, "Preset Edits Kept", why + "Larkspire was unable to save them as a backup, so it has set them"
                        " aside in the file '" + edits.where + "', where nothing will overwrite them." + edits.whyNotKept);
    else if (edits.how == StoredEdits::notKept)
        showWarningBox (this, "File Error", why + "Larkspire was unable to save them as a backup or to set them aside, so"
                        " they have been left where they are and " + unitName + " has not been read." + edits.whyNotKept);
}

bool DataPage::hasUnsentEditsOnDisk() const
{
    if (deviceFolder.isEmpty())
        return false;
    auto working = DeviceData::createFromFile (AppPaths::getWorkingFile (deviceFolder, false));
    if (working == nullptr)
        return false;
    // Without the read it was edited from, what the copy lacks of it (deleted presets) cannot
    // be told from what was never there: it may hold edits of any kind.
    auto sync = DeviceData::createFromFile (AppPaths::getSyncFile (deviceFolder, false));
    if (sync == nullptr)
        return true;
    const DataSet stored (sync.get(), std::move (working));
    return stored.hasUnsavedChanges();
}

void DataPage::deleteDeviceSnapshots()
{
    if (deviceFolder.isEmpty())
        return;
    File (AppPaths::getSyncFile (deviceFolder, false)).deleteFile();
    File (AppPaths::getWorkingFile (deviceFolder, false)).deleteFile();
}
