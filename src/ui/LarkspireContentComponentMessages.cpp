// What the main content component does with the workers' messages, and its dialogs.

#include "ui/LarkspireContentComponent.h"
#include "archive/LocalArchiveManager.h"
#include "content/ContentManager.h"
#include "content/EventTracker.h"
#include "content/EventUpdate.h"
#include "core/AppHost.h"
#include "core/DialogService.h"
#include "core/InfoCodes.h"
#include "core/Settings.h"
#include "device/DeviceManager.h"
#include "device/DeviceObject.h"
#include "model/DeviceCaps.h"
#include "ui/AppCommandIds.h"
#include "ui/CommandManager.h"
#include "ui/MessageBoxes.h"

namespace
{
    const char* const deviceChangeTitle = "USB Device Change";

    const juce::String updateWarning (const juce::String& name)
    {
        return "\n\rWARNING:  Do not stop the update once it starts. Halting the transfer or turning off " + name
             + " before it completes could result in data loss or an inoperative device. " + name
             + " will restart on its own after the update is complete.";
    }

    juce::String displayName()
    {
        auto* devices = getDeviceManager();
        return devices != nullptr ? devices->getDeviceDisplayName() : juce::String();
    }

    // The transfers this component queues: a failure of any of them leaves the device with an
    // error code that would refuse every later command, so the device is reset.
    bool isQueuedTransfer (int code)
    {
        return DeviceCommand::isTransfer (code);
    }
}

//==============================================================================
void LarkspireContentComponent::addChangeListener (LarkspireChangeListener* listener)
{
    if (listener != nullptr)
        changeListeners.addIfNotAlreadyThere (listener);
}

void LarkspireContentComponent::removeChangeListener (LarkspireChangeListener* listener)
{
    changeListeners.removeFirstMatchingValue (listener);
}

void LarkspireContentComponent::sendChangeInfo (const ChangeInfo& info)
{
    for (int i = changeListeners.size(); --i >= 0;)
    {
        // A listener may have removed itself, or others, during the previous call.
        i = juce::jmin (i, changeListeners.size() - 1);
        if (i < 0)
            break;
        if (auto* listener = changeListeners.getUnchecked (i))
            listener->changeInfoCallback (info);
    }
}

void LarkspireContentComponent::commandsChanged()
{
    // Buttons and menu items bound to commands ask again whether they are enabled.
    getCommandManager().commandStatusChanged();
}

void LarkspireContentComponent::setDeviceState (int newState)
{
    const int previous = getDeviceState();
    if (newState == previous)
        return;

    if (auto* host = getAppHost())
        host->setApplicationState (newState);

    ChangeInfo::Ptr change (ChangeInfo::stateChange (newState, previous));
    sendChangeInfo (*change);

    if (newState == 0 && downloading == 0)
        statusBar->setStatus (false, {}, {}, 0.0);

    commandsChanged();
}

void LarkspireContentComponent::setStatusIdle()
{
    statusBar->setStatus (false, {}, {}, 0.0);
}

void LarkspireContentComponent::broadcastConnection (int p1, int p2)
{
    ChangeInfo::Ptr change (new ChangeInfo (DeviceInfoMessage (InfoCode::unitConnection, p1, p2, {})));
    sendChangeInfo (*change);
}

void LarkspireContentComponent::resetAfterDisconnect()
{
    if (auto* presetsTab = tabs.getTabbedButtonBar().getTabButton (presetsTabIndex))
        presetsTab->setEnabled (false);
    if (dataPage != nullptr)
        dataPage->getPageComponent().setEnabled (false);
    tabs.setCurrentTabIndex (devicesTabIndex);

    // A deletion queued for the unit that is gone can never report its end.
    deletionPending = false;

    broadcastConnection (0, 0);
    commandsChanged();
}

bool LarkspireContentComponent::connectToDevice (int index)
{
    auto* devices = getDeviceManager();
    if (devices == nullptr)
        return false;

    // Closing the current unit drops its unsent edits: the user says so first.
    if (devices->getCurrentIndex() >= 0
        && ! confirmDiscardEdits (index < 0 ? EditsAtRisk::disconnect : EditsAtRisk::connectAnother))
        return false;

    if (index < 0)
    {
        devices->closeCurrentDevice();
        resetAfterDisconnect();
        return true;
    }

    if (devices->getCurrentIndex() >= 0)
    {
        devices->closeCurrentDevice();
        resetAfterDisconnect();
    }

    if (! devices->selectDevice (index))
    {
        resetAfterDisconnect();
        return false;
    }

    const auto name = devices->getDeviceDisplayName();
    auto* caps = devices->getDeviceCaps();
    const int numPresets = caps != nullptr ? caps->getNumPresets() : 0;
    const bool buildValid = caps != nullptr && caps->isBuildValid();
    setSetting (SettingsKeys::lastConnectedDevice, devices->getSerialNumber (-1));

    {
        ChangeInfo::Ptr connected (new ChangeInfo (DeviceInfoMessage (InfoCode::unitConnection, 1, 0, {})));
        statusBar->changeInfoCallback (*connected);
    }

    const bool presetsUsable = buildValid && numPresets > 0;
    if (auto* presetsTab = tabs.getTabbedButtonBar().getTabButton (presetsTabIndex))
        presetsTab->setEnabled (presetsUsable && dataPage != nullptr);

    if (! buildValid)
        showWarningBox (this, "Firmware Version",
                        "The firmware currently running on " + name + " must be updated. Please do so as soon as possible."
                        + (numPresets > 0 ? " Preset management is not available." : ""));

    const bool updateNow = showNewFirmwareAvailable();

    if (numPresets <= 0 && tabs.getCurrentTabIndex() == presetsTabIndex)
        tabs.setCurrentTabIndex (devicesTabIndex);

    broadcastConnection (1, updateNow ? 1 : 0);

    if (dataPage != nullptr)
        dataPage->getPageComponent().setEnabled (presetsUsable);

    commandsChanged();

    if (updateNow)
        invokeAsync (AppCommand::updateFirmwareNow);
    return true;
}

//==============================================================================
bool LarkspireContentComponent::requestQuit (bool force)
{
    if (! force && ! confirmDiscardEdits (EditsAtRisk::quit))
        return false;

    ChangeInfo::Ptr change (new ChangeInfo (DeviceInfoMessage (InfoCode::quitAccepted, force ? 1 : 0, 0, {})));
    sendChangeInfo (*change);
    return true;
}

bool LarkspireContentComponent::confirmDiscardEdits (EditsAtRisk action)
{
    if (! isUnitConnected())
        return true;

    const bool unsaved = dataPage != nullptr && dataPage->hasUnsentEdits();

    if (! unsaved)
        return true;
    if (action != EditsAtRisk::firmwareUpdate && getDataSyncMethod() == 2)
        return true;   // the edits are kept for the next session

    struct Wording { const char* ifYou; const char* anyway; };
    const Wording wording = [action]() -> Wording
    {
        switch (action)
        {
            case EditsAtRisk::firmwareUpdate: return { "update your firmware", "Update Anyway" };
            case EditsAtRisk::connectAnother: return { "connect another unit", "Connect Anyway" };
            case EditsAtRisk::disconnect:     return { "disconnect", "Disconnect Anyway" };
            case EditsAtRisk::scan:           return { "scan for devices", "Scan Anyway" };
            case EditsAtRisk::quit:           break;
        }
        return { "quit", "Quit Anyway" };
    }();

    const bool discard = askOkCancel (juce::MessageBoxIconType::WarningIcon, this, "Changes Will Be Lost",
                                      "Your preset edits have not been transferred to " + displayName() + " yet. If you "
                                      + wording.ifYou
                                      + " now, these changes will be discarded. To avoid losing your changes use the 'Apply' or 'Backup' functions on the toolbar.",
                                      false, wording.anyway, "Cancel");

    // The firmware question may still be called off after this one; the update itself
    // deletes what the unit left on disk.
    if (discard && action != EditsAtRisk::firmwareUpdate && dataPage != nullptr)
        dataPage->discardUnsentEdits();
    return discard;
}

bool LarkspireContentComponent::confirmSendSetup (bool fromAnotherSource, const juce::String& sourceName)
{
    const auto name = displayName();

    if (! fromAnotherSource)
        return askYesNo (this, "Confirm Send Setup", "Are you sure you want to send\nsetup data to " + name + "?");

    return askYesNo (this, "Confirm Send Setup",
                     "Are you sure you want to send setup data to " + name + "?"
                     + "\n\nNote: the setup data from '" + sourceName + "' will be sent to " + name
                     + " and replace your workspace data. To retain the current workspace setup, choose \"No\" and make a new backup first.");
}

//==============================================================================
bool LarkspireContentComponent::showNewFirmwareAvailable()
{
    auto* devices = getDeviceManager();
    auto* content = getContentManager();
    if (devices == nullptr || content == nullptr)
        return false;

    const auto productId = devices->getProductId (-1);
    const auto firmware = devices->getFirmwareVersion (-1);

    bool available = content->isFirmwareUpdateAvailable (productId, firmware.build);
    offeredUpdate = content->getLatestFirmware (productId);
    available = available && offeredUpdate.isUsable();

    auto* archive = dataPage != nullptr ? dataPage->getArchiveManager() : nullptr;
    if (! available || ! isUnitConnected() || backupQuestionOpen || downloadErrorOpen
        || (archive != nullptr && archive->isConversionRunning()) || isUpdateRunning())
        return false;

    const auto name = devices->getDeviceDisplayName();
    if (offeredDevices.contains (name))
        return false;
    offeredDevices.add (name);

    const auto message = "There is a new version of firmware available for " + name + ". Do you want to update now?"
                       + updateWarning (name);

    const bool withDetails = isDialogAvailable (ContentDialogs::Kind::firmwareChooser);
    const int answer = withDetails
        ? getDialogService().showMessageBox (DialogService::Icon::question, "New Firmware Available", message,
                                             { "Show Details...", "Yes", "No" }, this)
        : getDialogService().showMessageBox (DialogService::Icon::question, "New Firmware Available", message,
                                             { "Yes", "No" }, this) + 1;
    // Answers: 0 Show Details..., 1 Yes, 2 No (or closed).

    if (answer == 1)
        return true;

    bool descriptionRead = false;
    if (answer == 0 && withDetails)
    {
        listOpenedDevices.addIfNotAlreadyThere (name);
        FirmwareUpdateElement chosen;
        if (dialogs->runFirmwareChooser (*this, productId, false, chosen))
        {
            offeredUpdate = chosen;
            return true;
        }
        descriptionRead = true;
    }

    if (auto* tracker = getEventTracker())
        tracker->addEvent (std::make_unique<EventUpdate> (offeredUpdate.getVersion(), descriptionRead));
    return false;
}

bool LarkspireContentComponent::confirmFirmwareUpdate (const FirmwareUpdateElement& element, bool withDetailsButton)
{
    if (! element.isUsable() || ! confirmDiscardEdits (EditsAtRisk::firmwareUpdate))
        return false;

    auto* devices = getDeviceManager();
    if (devices == nullptr)
        return false;

    const auto name = devices->getDeviceDisplayName();

    if (devices->getFirmwareVersion (-1).build == element.getBuild()
        && element.getStatus() != FirmwareUpdateElement::statusCustom)
        return askOkCancel (juce::MessageBoxIconType::QuestionIcon, this, "Firmware Update!",
                            "Your firmware is already up to date. Do you want to reapply the update anyway?" + updateWarning (name),
                            false, "Start Update", "Cancel");

    const auto message = "Are you sure you would like to update your firmware?" + updateWarning (name);

    if (withDetailsButton && isDialogAvailable (ContentDialogs::Kind::firmwareChooser))
    {
        const int answer = getDialogService().showMessageBox (DialogService::Icon::question, "Firmware Update!", message,
                                                              { "Show Details...", "Start Update", "Cancel" }, this);
        if (answer == 0)
            invokeAsync (AppCommand::showFirmwareUpdatesAll);
        return answer == 1;
    }

    return getDialogService().showMessageBox (DialogService::Icon::question, "Firmware Update!", message,
                                              { "Start Update", "Cancel" }, this) == 0;
}

//==============================================================================
void LarkspireContentComponent::showScanResult()
{
    auto* devices = getDeviceManager();
    if (devices == nullptr)
        return;

    const int pairs = devices->getNumPairs();
    int unavailable = 0;
    juce::StringArray inUse;

    for (int i = 0; i < pairs; ++i)
    {
        const auto flags = devices->getDeviceFlags (i);
        if ((flags & DeviceObject::portOpenFailed) != 0)
        {
            ++unavailable;
            // A port named like one of this maker's units that could not be opened: the unit
            // is held by another program.
            if ((flags & DeviceObject::namedLikeProduct) != 0)
                inUse.add (devices->getPair (i).displayName);
        }
    }

    const juce::String moreInfo ("\n\nFor more information on diagnosing connection problems click the 'More Info' button.");
    juce::String title ("Device Scan"), message;

    if (pairs == 0)
        message = "There are no MIDI capable devices available to Larkspire. Make sure your device is turned on and properly connected." + moreInfo;
    else if (! inUse.isEmpty())
    {
        title = "Device In Use";
        message = inUse[0] + " is being used by another application.\n\nNote: some applications (such as Google Chrome) automatically open MIDI devices. Larkspire will not be able to gain access until you close the application using your device." + moreInfo;
    }
    else if (unavailable > 0)
        message = "No Ardentis devices were found.\n\nNote: MIDI device(s) have been detected on your system but they are not available to Larkspire. The most likely cause is that a different application is using the device." + moreInfo;
    else
        message = "No Ardentis devices were found.\n\nIf your device is properly connected and functioning normally try repeating the scan and/or restarting your device." + moreInfo;

    if (! askOkCancel (juce::MessageBoxIconType::WarningIcon, this, title, message, false, "Ok", "More Info..."))
        if (auto* content = getContentManager())
            if (content->getConnectionFaqLink().isNotEmpty())
                getDialogService().openUrl (content->getConnectionFaqLink());
}

void LarkspireContentComponent::showOptionsDialog()
{
    if (! isDialogAvailable (ContentDialogs::Kind::options))
        return;

    const auto result = dialogs->runOptionsDialog (*this);
    if (! result.accepted)
        return;

    if (result.clearDeviceHistory)
        postInfoToHub (InfoCode::removeKnownUnit, 255, -1, {});

    if (result.restoreDefaults)
    {
        setSetting (SettingsKeys::presetCellButtonScale, 1.0);
        setSetting (SettingsKeys::presetIconButtonScale, 1.0);
        setPresetButtonViewType (1);
    }

    postInfoToHub (InfoCode::optionsClosed, 0, 0, {});

    if (result.restartNeeded)
        showInfoBox (this, "Restart Larkspire", "Please restart Larkspire to have the changes take effect.");
}

//==============================================================================
void LarkspireContentComponent::handleMessage (const juce::Message& message)
{
    auto* info = dynamic_cast<const DeviceInfoMessage*> (&message);
    if (info == nullptr)
        return;

    const int entryState = getDeviceState();

    {
        ChangeInfo::Ptr change (new ChangeInfo (*info));
        sendChangeInfo (*change);
    }

    auto& status = *statusBar;

    switch (info->code)
    {
        case InfoCode::startUpDone:           handleStartUpDone(); break;
        case InfoCode::mismatchedBackupData:  handleMismatchedBackups (*info); break;

        case InfoCode::showPresetsTab:
            if (dataPage != nullptr && dataPage->getPageComponent().isEnabled())
                tabs.setCurrentTabIndex (presetsTabIndex);
            break;

        case InfoCode::contentStatusText:
            status.setProgressValue (1.0);
            status.setMessage (info->text, false);
            break;

        case InfoCode::productSyncStarted:
            ++downloading;
            status.setStatus (true, "Downloading", info->text, 1.0);
            break;

        case InfoCode::productSyncSucceeded:
            downloading = juce::jmax (0, downloading - 1);
            if (downloading == 0)
                setStatusIdle();
            break;

        case InfoCode::productSyncFailed:
            downloading = juce::jmax (0, downloading - 1);
            if (downloading == 0)
                setStatusIdle();
            if (! downloadErrorOpen)
            {
                downloadErrorOpen = true;
                showWarningBox (this, "Download Failed",
                                "Larkspire was unable to synchronize content for " + info->text
                                + ". Please restart Larkspire. If the error persists, please contact Ardo Support.");
                downloadErrorOpen = false;
            }
            break;

        case InfoCode::portPairsRebuilt:    status.resetIndicators(); break;
        case InfoCode::scanFinished:        handleScanResult (*info, entryState); break;
        case InfoCode::connectedUnitLost:   handleUnitLost (entryState); break;
        case InfoCode::portListsChanged:    handlePortListsChanged (entryState); break;

        case InfoCode::presetRead:
        case InfoCode::presetWritten:
            status.setMessage (juce::String (info->p1) + ": " + info->text, false);
            status.step();
            break;

        case InfoCode::presetEmpty:
            status.setMessage (juce::String (info->p1) + ": <empty>", false);
            status.step();
            break;

        case InfoCode::presetDeleteSent:
            status.setMessage ("Deleting: " + juce::String (info->p1), false);
            status.step();
            break;

        case InfoCode::presetReadAttemptFailed:
        case InfoCode::presetWriteAttemptFailed:
            status.setMessage ("MIDI transmission error on preset " + juce::String (info->p1)
                               + "  (retry " + juce::String (info->p2) + ")", true);
            break;

        case InfoCode::setupPacketSent:
            if (info->p1 == info->p2)
                status.step();
            break;

        case InfoCode::setupReadAttemptFailed:
        case InfoCode::setupWriteAttemptFailed:
            status.setMessage ("MIDI transmission error on setup data  (retry " + juce::String (info->p2) + ")", true);
            break;

        case InfoCode::unitProfileRefused:  handleProfileRefused (*info); break;

        case InfoCode::unitNeedsTime:
            status.setProgressValue (1.0);
            status.setMessage ("Optimizing device storage. Please wait...", false);
            break;

        case InfoCode::commandDone:         handleCommandDone (*info); break;
        case InfoCode::commandCancelled:    handleCommandCancelled (*info); break;
        case InfoCode::commandFailed:       handleCommandFailed (*info); break;
        case InfoCode::firmwareUpdateEnded: handleFirmwareUpdateEnd (*info); break;
        case InfoCode::backupConversionFinished: handleBackupConversionResult (*info); break;

        default:
            break;   // 0x60001, 0x60002, 0x60004, 0x60005, 0x8000F, 0x80010, 0x84000: the broadcast is all
    }
}

void LarkspireContentComponent::handleStartUpDone()
{
    auto* content = getContentManager();

    // The start-up's boxes run no modal loop inside this message callback: they are queued
    // and shown once nothing else is open.
    if (content != nullptr && content->isOnline())
    {
        signInButton.setCommandToTrigger (&getCommandManager(), AppCommand::signIn, true);

        const auto updateAddress = content->getUpdateAddress();
        if (updateAddress.isNotEmpty())
            queueMessageBox (DialogService::Icon::question, this, "Larkspire Update!",
                             "A new version of Larkspire is available. \n\n" + content->getLatestBuildInfo()
                             + "\n\nWould you like to quit Larkspire and download the new update?",
                             { "Yes", "No" }, [updateAddress] (int button)
            {
                if (button != 0)
                    return;
                getDialogService().openUrl (updateAddress);
                if (auto* app = juce::JUCEApplicationBase::getInstance())
                    app->systemRequestedQuit();
            });
    }
    else
    {
        signInButton.setEnabled (false);
        queueMessageBox (DialogService::Icon::warning, this, "No Internet Connection",
                         "Larkspire is unable to establish an internet connection with the Ardentis server. Product updates, account details, online presets, and manuals will not be available. This may also disrupt connectivity with your Ardentis product(s). An internet connection must be available the first time you connect a new product to your system.",
                         { "OK" });
    }

    if (statusBar != nullptr)
        statusBar->startTimer (100);
}

void LarkspireContentComponent::handleMismatchedBackups (const DeviceInfoMessage& info)
{
    backupQuestionOpen = true;
    const bool convert = askYesNo (this, "Mismatched Backup Data Found", info.text);
    backupQuestionOpen = false;

    if (! convert || dataPage == nullptr)
        return;

    if (auto* archive = dataPage->getArchiveManager())
        if (auto* devices = getDeviceManager())
            archive->startConversion (devices->getFirmwareVersion (-1));
}

void LarkspireContentComponent::handleProfileRefused (const DeviceInfoMessage& info)
{
    // Every scan finds the unit again; the reason is told once. The box waits its turn and runs
    // no modal loop here: scans also run during the start-up.
    if (refusedProfilesShown.contains (info.text))
        return;
    refusedProfilesShown.add (info.text);
    queueMessageBox (DialogService::Icon::warning, this, "Device Not Supported",
                     info.text + "\n\nLarkspire does not use this device.", { "OK" });
}

void LarkspireContentComponent::handleScanResult (const DeviceInfoMessage& info, int entryState)
{
    const bool quietScan = entryState == 1 || startUpScan;
    startUpScan = false;

    if (downloading == 0)
        setStatusIdle();

    if (isUpdateRunning())
        return;

    auto* devices = getDeviceManager();
    int identified = 0;
    if (devices != nullptr)
        for (int i = 0; i < devices->getNumPairs(); ++i)
            if ((devices->getDeviceFlags (i) & DeviceObject::identified) != 0)
                ++identified;

    if (devices != nullptr && ! isUnitConnected() && identified > 0 && getSettingBool (SettingsKeys::autoConnectAtStartup))
    {
        int index = devices->findDeviceBySerial (getSettingInt (SettingsKeys::lastConnectedDevice, 0));
        if (index < 0 || ! devices->isDeviceReady (index))
        {
            index = -1;
            for (int i = 0; i < devices->getNumPairs() && index < 0; ++i)
                if (devices->isDeviceReady (i))
                    index = i;
        }

        if (index >= 0)
            connectToDevice (index);
    }

    if (info.p1 == 0)
        showWarningBox (this, "Device Scan Failed",
                        "One or more MIDI devices have stopped responding. Please restart both Larkspire and your MIDI devices.");
    else if (identified == 0 && ! quietScan && ! isCurrentlyBlockedByAnotherModalComponent())
        showScanResult();

    if (entryState == 1 || entryState == 2)
        setDeviceState (0);

    commandsChanged();
}

void LarkspireContentComponent::handleUnitLost (int entryState)
{
    if (entryState == 2 || entryState == 4)
        return;

    resetAfterDisconnect();
    setDeviceState (3);

    // A box that says the connection is still open has become false: the loss replaces it.
    if (openConnectionBoxShown)
        getDialogService().withdrawMessageBoxes (deviceChangeTitle);

    if (isCurrentlyBlockedByAnotherModalComponent())
    {
        invokeAsync (AppCommand::disconnectDevice);
        return;
    }

    const bool scanNow = getDialogService().showMessageBox (DialogService::Icon::warning, "USB Device Connection Lost",
                                                            "The MIDI connection to your device has been lost.\nPlease rescan MIDI devices.",
                                                            { "Scan Now", "Later" }, this) == 0;
    invokeAsync (scanNow ? AppCommand::scanForDevices : AppCommand::disconnectDevice);
}

void LarkspireContentComponent::handlePortListsChanged (int entryState)
{
    if (entryState == 2 || entryState == 4)
        return;

    setDeviceState (3);

    if (isCurrentlyBlockedByAnotherModalComponent())
        return;

    if (isUnitConnected())
    {
        const juce::ScopedValueSetter<bool> shown (openConnectionBoxShown, true);
        showInfoBox (this, deviceChangeTitle,
                     "A MIDI device change has been detected.\nThe connection to " + displayName()
                     + " is still open, but you must rescan before switching to a different device.");
        return;
    }

    if (getDialogService().showMessageBox (DialogService::Icon::question, deviceChangeTitle,
                                           "A MIDI device change has been detected.\nPlease rescan MIDI devices.",
                                           { "Scan Now", "Later" }, this) == 0)
        invokeAsync (AppCommand::scanForDevices);
}

void LarkspireContentComponent::handleCommandDone (const DeviceInfoMessage& info)
{
    if (! deletionPending)
        enablePages (true);

    switch (info.command.code)
    {
        case DeviceCommand::readAll:
            setStatusIdle();
            break;

        case DeviceCommand::deletePresets:
            deletionPending = false;
            if (! info.command.presetIndices.isEmpty())
            {
                // The unit may have moved or refused what it was told to delete: read those slots back.
                enablePages (false);
                postCommand (DeviceCommandMessage (DeviceCommand::readPresets, info.command.presetIndices));
            }
            break;

        default:
            break;
    }
}

void LarkspireContentComponent::handleCommandCancelled (const DeviceInfoMessage& info)
{
    if (info.command.code == DeviceCommand::deletePresets)
        deletionPending = false;

    // A cancelled command ends like a failed one, unless a deletion queued after it still runs.
    if (! deletionPending)
    {
        enablePages (true);
        setStatusIdle();
    }
}

void LarkspireContentComponent::handleCommandFailed (const DeviceInfoMessage& info)
{
    // Whatever was queued behind the failed command goes with the reset below.
    deletionPending = false;
    enablePages (true);

    if (isQueuedTransfer (info.command.code))
    {
        setStatusIdle();
        if (auto* devices = getDeviceManager())
            devices->resetCurrentDevice();
    }
}

void LarkspireContentComponent::handleBackupConversionResult (const DeviceInfoMessage& info)
{
    if (info.p1 != 0)
    {
        showInfoBox (this, "Conversion Complete", "Backup conversion completed successfully.");
    }
    else if (info.p2 == 0)
    {
        showWarningBox (this, "Backup Conversion Interrupted",
                        "Not all backups have been converted."
                        + (info.text.isNotEmpty() ? "\n\nInfo: " + info.text : juce::String()));
    }
    else
    {
        showWarningBox (this, "Backup Conversion Error",
                        "An error occurred during backup conversion. Please restart Larkspire and try again. If the error persists, please contact Ardentis support."
                        + (info.text.isNotEmpty() ? "\n\nError Info: " + info.text : juce::String()));
    }
}
