// The page's device and sync state machine: what it does when a unit comes or goes, when
// the unit is read or written, and with every device result that concerns data.

#include "ui/DataPage.h"
#include "archive/CloudPackList.h"
#include "archive/DataSourceTree.h"
#include "archive/LocalArchiveManager.h"
#include "core/AppHost.h"
#include "core/InfoCodes.h"
#include "core/Settings.h"
#include "device/DeviceErrors.h"
#include "device/DeviceManager.h"
#include "device/DeviceObject.h"
#include "ui/AppCommandIds.h"
#include "ui/CommandManager.h"
#include "ui/MessageBoxes.h"

using namespace juce;

namespace
{
    DeviceManager* devices() { return getDeviceManager(); }

    // Whether the working copy holds in this slot the very preset that the unit's live data holds.
    bool holdsTheUnitsPreset (const DeviceData& working, const DeviceData* live, int slot)
    {
        auto* mine = working.getPreset (slot);
        auto* units = live != nullptr ? live->getPreset (slot) : nullptr;
        return mine != nullptr && units != nullptr && mine->getMd5() == units->getMd5();
    }

    // Who a pack source is across a new listing of the packs: a pack by its uuid, a group by
    // its folder path.
    String packIdentity (const ValueTree& node)
    {
        if (auto* archive = getSourceNodeArchive (node))
            return archive->getUuid().toString();
        String path;
        for (auto n = node; n.hasType (SourceIds::group); n = n.getParent())
            path = n[SourceIds::label].toString() + "/" + path;
        return path;
    }

    ValueTree findPackByIdentity (const ValueTree& branch, const String& identity)
    {
        for (const auto& child : branch)
        {
            if (packIdentity (child) == identity)
                return child;
            if (auto found = findPackByIdentity (child, identity); found.isValid())
                return found;
        }
        return {};
    }
}

//==============================================================================
void DataPage::sendDataToDevice (std::unique_ptr<DeviceData> data, bool wholeImage)
{
    // A send of earlier staged data that still runs keeps its own share of it.
    stagedData = std::move (data);
    if (stagedData != nullptr && dataSet != nullptr && dataSet->getWorking() != nullptr)
        invokeCommand (wholeImage ? AppCommand::restoreToDevice : AppCommand::sendDirectToDevice);
}

bool DataPage::confirmReadOverEdits (const String& unitName)
{
    const auto text = "Your preset edits have not been transferred to " + unitName
                    + " yet. If you synchronize now, these changes will be discarded. To avoid losing your"
                      " changes use the 'Apply' or 'Backup' functions on the toolbar.";
    return askOkCancel (MessageBoxIconType::WarningIcon, this, "Changes Will Be Lost", text, false,
                        "Continue", "Cancel");
}

void DataPage::syncWithWarning()
{
    if (dataSet != nullptr && dataSet->hasUnsavedChanges() && ! confirmReadOverEdits (deviceName))
        return;
    invokeCommand (AppCommand::downloadDeviceData);
}

void DataPage::discardUnsentEdits()
{
    auto* working = dataSet != nullptr ? dataSet->getWorking() : nullptr;
    auto* source = dataSet != nullptr ? dataSet->getSourceDeviceData() : nullptr;
    if (working == nullptr || source == nullptr)
        return;

    working->clear();
    {
        // A quit or another unit asks this while a read of the unit may still run.
        const ScopedLock dl (DeviceObject::getUnitDataLock());
        for (auto slot : source->getPresetIndices())
            working->copyPresetFrom (slot, *source);
        working->setSetup (source->getSetup(), false);
    }
    working->clearModifiedFlags (false);
    undoManager.clearUndoHistory();
    notifyEverySlotChanged();
    updateToolbarState (true);
}

void DataPage::notifyEverySlotChanged()
{
    auto* working = dataSet != nullptr ? dataSet->getWorking() : nullptr;
    if (working == nullptr)
        return;
    Array<int> slots;
    for (int slot = 1; slot < working->getNumSlots(); ++slot)
        slots.add (slot);
    notifyPresetDataChanged (deviceNode(), slots);
}

//==============================================================================
void DataPage::changeInfoCallback (const ChangeInfo& info)
{
    if (info.kind == ChangeInfo::applicationStateChange)
    {
        if (info.newValue == 4 && dataSet != nullptr)
        {
            deleteDeviceSnapshots();
            releaseDevice (false, false);
        }
        return;
    }

    if (info.kind == ChangeInfo::commandPerformed)
    {
        if (info.commandId != AppCommand::downloadDeviceData || dataSet == nullptr)
            return;
        auto* working = dataSet->getWorking();
        if (working != nullptr)
            working->clear();
        // The read replaces the working copy: no earlier edit may be undone or redone into it.
        undoManager.clearUndoHistory();
        needSync = true;
        busy = true;
        showSyncButton (false);
        ensureSourceSelected();
        sourceSelectionChanged();
        notifyEverySlotChanged();
        return;
    }

    if (info.kind == ChangeInfo::deviceEvent)
        handleDeviceEvent (info.event);
}

void DataPage::handleDeviceEvent (const DeviceInfoMessage& e)
{
    switch (e.code)
    {
        case InfoCode::unitConnection:
            deviceConnectionChanged (e.p1 != 0, e.p2 != 0);
            return;
        case InfoCode::quitAccepted:
            releaseDevice (appState() != 5, appState() == 5);
            return;
        case InfoCode::backupConversionFinished:
            refreshSourceNode (SourceCategories::archive);
            browser.setRoot (this, sourcesRoot);
            ensureSourceSelected();
            return;
        case InfoCode::productSyncSucceeded:
            refreshCloudPacks ((juce::uint8) e.p1);
            return;
        default:
            break;
    }

    if (dataSet == nullptr)
        return;

    switch (e.code)
    {
        case InfoCode::presetRead:
        case InfoCode::presetEmpty:
            presetTransferred (e.p1, true);
            break;
        case InfoCode::presetWritten:
            presetTransferred (e.p1, false);
            break;
        case InfoCode::presetDeleteSent:
            if (auto* working = dataSet->getWorking())
            {
                working->removePreset (e.p1);
                notifyPresetDataChanged (deviceNode(), e.p1);
            }
            break;
        case InfoCode::commandDone:
            handleCommandDone (e.command);
            break;
        case InfoCode::commandFailed:
            handleCommandFailed (e.command);
            break;
        case InfoCode::productPicturesChanged:
            // The unit's product picture may be among those that came late.
            if (details->getDetailsType() == DetailsPanel::deviceDetails)
            {
                details->getDeviceDetails().updateFromSource();
                details->resized();
            }
            break;
        default:
            break;
    }
}

void DataPage::presetTransferred (int slot, bool copy)
{
    auto* working = dataSet != nullptr ? dataSet->getWorking() : nullptr;
    auto* live = dataSet != nullptr ? dataSet->getDevice() : nullptr;
    if (working == nullptr || slot < 0 || slot >= working->getNumSlots())
        return;

    {
        // The read goes on filling the unit's data on the device thread.
        const ScopedLock dl (DeviceObject::getUnitDataLock());
        if (copy)
        {
            if (live != nullptr && slot < live->getNumSlots())
                working->copyPresetFrom (slot, *live);
        }
        else if (! holdsTheUnitsPreset (*working, live, slot))
        {
            // Written from another source (or before the live data learnt of it): the edit
            // here is not what the unit got; the command's end brings in what it holds.
            return;
        }
    }
    working->setPresetModified (slot, false);
    notifyPresetDataChanged (deviceNode(), slot);
}

void DataPage::handleCommandDone (const DeviceCommandMessage& command)
{
    auto* working = dataSet->getWorking();
    auto* live = dataSet->getDevice();

    switch (command.code)
    {
        case DeviceCommand::readAll:
            storeSync();
            break;
        case DeviceCommand::writePresets:
        case DeviceCommand::readPresets:
            // Each slot lost its mark as it went out or came back; unsent edits keep theirs.
            if (working != nullptr)
                working->clearModifiedFlags (true);
            break;
        case DeviceCommand::writePresetsFrom:
        case DeviceCommand::writeWholeData:
        case DeviceCommand::writeSetup:
        case DeviceCommand::writeSetupFrom:
        {
            // What the command sent: its own data, whatever became of the source meanwhile.
            auto* payload = command.data.get();
            if (payload == nullptr || working == nullptr || live == nullptr)
                break;

            auto slots = command.presetIndices;
            if (command.code == DeviceCommand::writeWholeData)
                slots = payload->getPresetIndices();

            for (auto slot : slots)
            {
                if (slot < 0 || slot >= payload->getNumSlots() || slot >= live->getNumSlots())
                    continue;
                {
                    // The next command in the queue may already read the unit's data.
                    const ScopedLock dl (DeviceObject::getUnitDataLock());
                    live->copyPresetFrom (slot, *payload);
                }
                presetTransferred (slot, true);
            }

            if (command.code != DeviceCommand::writePresetsFrom && payload->getSetup().isComplete())
            {
                const SetupData setup (payload->getSetup());
                {
                    const ScopedLock dl (DeviceObject::getUnitDataLock());
                    live->setSetup (setup, false);
                }
                if (working->setSetup (setup, false))
                    working->getSetup().setModified (false);
            }
            // Only what was written loses its mark: every other unsent edit keeps it.
            working->clearModifiedFlags (true);
            if (command.data == stagedData)
                stagedData.reset();
            break;
        }
        default:
            break;
    }
    updateToolbarState (true);
}

void DataPage::handleCommandFailed (const DeviceCommandMessage& command)
{
    auto* manager = devices();
    if (manager == nullptr || manager->getCurrentIndex() < 0)
        return;

    auto device = manager->getDeviceObject();
    const int code = device != nullptr && device->getErrorCode() != 0 ? device->getErrorCode()
                                                                      : (int) DeviceError::internalError;
    const auto text = getDeviceErrorText (code, deviceName);

    if (command.code == DeviceCommand::readAll || command.code == DeviceCommand::readPresets
        || command.code == DeviceCommand::readSetup)
    {
        for (auto* data : { dataSet->getWorking(), dataSet->getDevice() })
            if (data != nullptr)
                data->clear();
        undoManager.clearUndoHistory();
        needSync = true;
        busy = false;
        refreshSourceNode (SourceCategories::device);
        browser.setRoot (this, sourcesRoot);
        ensureSourceSelected();
        sourceSelectionChanged();
        showSyncButton (true);
    }

    // The device manager tells of a lost unit in a box of its own when the unit's ports left
    // the lists (the unit is then marked unplugged) or when the unit did not answer who it is:
    // no second box then. A connection lost while the unit's ports stay listed is told here.
    if (code == DeviceError::connectionLost
        && (command.code == DeviceCommand::reidentify || (device != nullptr && device->isUnplugged())))
        return;

    String title = "Device Error";
    if (code == DeviceError::internalError)        title = "Internal Error";
    else if (code == DeviceError::memoryFull)      title = "Memory Full";
    else if (code == DeviceError::versionConflict) title = "Incompatible Data";
    showWarningBox (this, title, text);
}

//==============================================================================
void DataPage::deviceConnectionChanged (bool connected, bool p2)
{
    const int connectionChange = ++connectionChanges;
    if (! connected)
    {
        releaseDevice (true, false);
        return;
    }

    const int state = appState();
    if (state != 0 && state != 2)
        return;

    auto* manager = devices();
    auto* unitCaps = manager != nullptr ? manager->getDeviceCaps() : nullptr;
    // Its data is kept in a folder of its own, named after its product and serial number.
    const auto folder = manager != nullptr ? manager->getDeviceDataFolder() : String();
    if (! p2 && unitCaps != nullptr && unitCaps->isBuildValid() && unitCaps->getNumPresets() >= 1 && folder.isNotEmpty())
    {
        needSync = true;
        deviceFolder = folder;
        const int method = getDataSyncMethod();

        // Edits the unit took away unsent (it was unplugged before they all went) are not
        // read over without the user's word; kept, they wait beside the data they were made on.
        // With manual reads nothing is read now: they are shown, so a later read asks first.
        const bool keepStoredWork = method == 2
                                    || (hasUnsentEditsOnDisk()
                                        && (method == 1 || ! confirmReadOverEdits (manager->getDeviceDisplayName())));
        // The unit went (or another came) while the question was up: that change has been handled.
        if (connectionChange != connectionChanges)
            return;

        std::unique_ptr<DeviceData> working;
        StoredEdits edits;
        if (keepStoredWork)
        {
            working = loadDeviceSnapshots (*manager, edits);
            if (working != nullptr)
                needSync = false;
        }

        attachDevice (std::move (working));
        showSyncButton (needSync);

        if (edits.how != StoredEdits::none)
        {
            tellOfStoredEdits (edits, deviceName);
            if (connectionChange != connectionChanges)
                return;
        }

        // Edits that could not be kept are not read over.
        if (method == 0 && needSync && edits.how != StoredEdits::notKept)
            getCommandManager().invoke (ApplicationCommandTarget::InvocationInfo (AppCommand::downloadDeviceData), true);
        return;
    }

    showSyncButton (needSync);
}

void DataPage::attachDevice (std::unique_ptr<DeviceData> working)
{
    auto* manager = devices();
    if (manager == nullptr)
        return;

    if (auto* unitCaps = manager->getDeviceCaps())
        caps = *unitCaps;
    auto* live = manager->getDeviceData();
    dataSet = new DataSet (live, std::move (working));
    deviceFolder = manager->getDeviceDataFolder();
    deviceName = manager->getDeviceDisplayName();

    if (live != nullptr)
    {
        archiveManager = std::make_unique<LocalArchiveManager> (live->getFormat(), deviceName);
        archiveManager->buildTree();
        String question;
        if (archiveManager->getConversionQuestion (question) && question.isNotEmpty())
            if (auto* host = getAppHost())
                if (auto* hub = host->getHubListener())
                    hub->postMessage (new DeviceInfoMessage (InfoCode::mismatchedBackupData, 0, 0, question));

        cloudSource = std::make_unique<CloudPackList> (live->getProductId(), live->getFormat(), live->getVersion());
    }
    else
    {
        archiveManager.reset();
        cloudSource.reset();
    }

    workspace->getGrid().setDeviceCaps (caps);
    details->getPresetDetails().setDeviceCaps (caps);
    workspace->resized();
    details->resized();
    undoManager.clearUndoHistory();
    refreshSourceNode (SourceCategories::device);
    refreshSourceNode (SourceCategories::archive);
    refreshSourceNode (SourceCategories::cloud);
    browser.setRoot (this, sourcesRoot);
    ensureSourceSelected();
    sourceSelectionChanged();
    resized();
}

void DataPage::refreshCloudPacks (juce::uint8 productId)
{
    // A synchronisation that brought no pack leaves the page as it is.
    if (dataSet == nullptr || cloudSource == nullptr || cloudSource->getProductId() != productId
        || cloudSource->isCurrent())
        return;

    const auto cloud = cloudSource->getNode();
    const auto selected = browser.getSelectedNodes();
    const bool inPacks = ! selected.isEmpty() && (selected.getFirst() == cloud || selected.getFirst().isAChildOf (cloud));
    // The pack shown leaves its preset selection and scroll position on its node, to hand on.
    if (inPacks)
        workspace->showView (DataViewPanel::emptyView, {});

    cloudSource->reload();
    if (! inPacks)
        return;

    // The user stays on the same packs where they are still listed.
    Array<ValueTree> again;
    for (auto& old : selected)
    {
        auto now = old;
        if (! old.isAChildOf (sourcesRoot))
        {
            const auto identity = packIdentity (old);
            now = identity.isNotEmpty() ? findPackByIdentity (cloud, identity) : ValueTree();
            for (auto& id : { SourceIds::selectionList, SourceIds::viewportOffset })
                if (now.isValid() && old.hasProperty (id))
                    now.setProperty (id, old[id], nullptr);
        }
        if (now.isValid())
            again.add (now);
    }
    browser.selectSources (again);
    ensureSourceSelected();
    sourceSelectionChanged();
}

void DataPage::releaseDevice (bool storeSnapshots, bool skipArchiveIndex)
{
    if (! skipArchiveIndex && archiveManager != nullptr)
        archiveManager->saveIndex();

    if (storeSnapshots && dataSet != nullptr && deviceFolder.isNotEmpty() && ! needSync)
        storeDeviceSnapshots();

    storeBrowserWidth();
    deviceFolder = {};
    deviceName = {};
    browser.setRoot (nullptr, {});
    showSource ({}, {}, DataViewPanel::emptyView, {}, DetailsPanel::emptyDetails);
    sourcesRoot.removeAllChildren (nullptr);
    dataSet = nullptr;
    stagedData.reset();
    undoManager.clearUndoHistory();
    browser.setRoot (this, sourcesRoot);
    archiveManager.reset();
    cloudSource.reset();
    caps = DeviceCaps();
    needSync = true;
    busy = false;
    updateToolbarState (true);
}
