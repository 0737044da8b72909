#include "ui/LarkspireContentComponent.h"
#include "archive/DataSourceTree.h"
#include "content/ContentManager.h"
#include "core/AppHost.h"
#include "core/AppPaths.h"
#include "core/DialogService.h"
#include "core/InfoCodes.h"
#include "core/Settings.h"
#include "device/DeviceManager.h"
#include "device/DeviceObject.h"
#include "firmware/FirmwareUpdateThread.h"
#include "model/AtomicFileWriter.h"
#include "model/DeviceCaps.h"
#include "ui/AppCommandIds.h"
#include "ui/ColourPalette.h"
#include "ui/CommandManager.h"
#include "ui/MessageBoxes.h"

namespace
{
    // One header button: the drawing, and the same drawing lightened for hover and press.
    void setUpHeaderButton (juce::DrawableButton& button, const char* resourceName, int commandId)
    {
        auto normal = LSLookAndFeel::createEmbeddedDrawable (resourceName);
        juce::DrawableImage over, down;
        LSLookAndFeel::renderToDrawableImage (over, normal.get(), juce::Colours::white.withAlpha (0.3f));
        LSLookAndFeel::renderToDrawableImage (down, normal.get(), juce::Colours::white.withAlpha (0.1f));
        button.setImages (normal.get(), &over, &down);
        button.setCommandToTrigger (&getCommandManager(), commandId, true);
    }

    struct CommandText
    {
        int id;
        const char* name;
        const char* description;
        const char* category;
    };

    // The table of every command this component declares, in the order it lists them.
    const CommandText commandTable[] =
    {
        { AppCommand::showTools,              "Show Tools",            "Access application functions", "Tools" },
        { AppCommand::showHelp,               "Help",                  "Show help menu", "Help" },
        { AppCommand::signIn,                 "Sign In",               "Sign in to your account", "Account" },
        { AppCommand::showDeveloper,          "Developer",             "Show developer menu", "Developer" },
        { AppCommand::showOptions,            "Options...",            "Show user options", "Tools" },
        { AppCommand::showFirmwareUpdates,    "Firmware Updates...",   "Show available firmware updates", "Tools" },
        { AppCommand::showFirmwareUpdatesAll, "Firmware Updates...",   "Show available firmware updates", "Tools" },
        { AppCommand::readLocalManual,        "Read the Manual",       "Show the Larkspire manual", "Help" },
        { AppCommand::readOnlineManual,       "Read the Manual",       "Show the Larkspire manual", "Help" },
        { AppCommand::openProductSupport,     "Larkspire Help",        "Visit Larkspire @ Ardentis, launched in an external browser", "Help" },
        { AppCommand::openAccountPage,        "Register Your Product", "Go to the online registration page", "Help" },
        { AppCommand::openGeneralSupport,     "Ardentis Support",      "Visit Ardentiss's product support site, launched in an external browser", "Help" },
        { AppCommand::showAbout,              "About Larkspire",       "Show information about Larkspire", "Help" },
        { AppCommand::showMidiDevices,        "Show MIDI Devices...",  "Show all known MIDI devices", "Manage" },
        { AppCommand::scanForDevices,         "Scan for Devices",      "Search for Ardentis products that Larkspire can manage", "Manage" },
        { AppCommand::connectSelectedDevice,  "Connect selected device", "Connecting to the device will allow you to manage the product", "Manage" },
        { AppCommand::disconnectDevice,       "Disconnect",            "Larkspire will close and relinquish control over the device", "Manage" },
        { AppCommand::showMidiDeviceList,     "Show MIDI Devices...",  "Show all known MIDI devices", "Manage" },
        { AppCommand::updateFirmware,         "Update firmware",       "Start firmware update process", "Manage" },
        { AppCommand::updateFirmwareNow,      "Update firmware",       "Start firmware update process", "Manage" },
        { AppCommand::downloadDeviceData,     "Download Device Data",  "Synchronize with preset and setup data", "Internal" },
        { AppCommand::applyChanges,           "Apply Changes",         "Send cached data to attached device", "Internal" },
        { AppCommand::restoreSetup,           "Restore Setup",         "Send the setup (configuration) data to your device", "Internal" },
        { AppCommand::sendDirectToDevice,     "Send Direct To Device", "Send files to import directly to device", "Internal" },
        { AppCommand::restoreToDevice,        "Restore To Device",     "Restore data image to device", "Internal" },
        { AppCommand::customDeviceProfile,    "Use Custom Device Profile...", "Don't download device information from web, use a custom version", "Developer" },
        { AppCommand::generatePresetChecksums, "Generate Preset MD5 Checksums...", "Create a 'factory bank' MD5 checksum profile for the current product", "Developer" },
        { AppCommand::firmwareStressTest,     "Firmware Upload Stress Test", "Starts a stress test that will continually upload firmware to the active device", "Developer" }
    };

    const CommandText* findCommand (int id)
    {
        for (auto& c : commandTable)
            if (c.id == id)
                return &c;
        return nullptr;
    }

    juce::String currentDisplayName()
    {
        auto* devices = getDeviceManager();
        return devices != nullptr ? devices->getDeviceDisplayName() : juce::String();
    }
}

//==============================================================================
LarkspireContentComponent::LarkspireContentComponent (ContentParts& contentParts)
    : parts (contentParts)
{
    setLookAndFeel (&lookAndFeel);
    juce::LookAndFeel::setDefaultLookAndFeel (&lookAndFeel);
    setOpaque (true);

    getCommandManager().setFirstCommandTarget (this);

    setUpHeaderButton (developerButton, "header_developer_svg", AppCommand::showDeveloper);
    setUpHeaderButton (optionsButton, "header_options_svg", AppCommand::showOptions);
    setUpHeaderButton (helpButton, "header_help_svg", AppCommand::showHelp);

    signInButton.setFont (juce::Font (lookAndFeel.getFontHeightA(), juce::Font::underlined), false);
    signInButton.setColour (juce::HyperlinkButton::textColourId, paletteColour011);

    statusBar = std::make_unique<StatusBar>();
    devicePage = parts.createDevicePage (*this);
    dataPage = parts.createDataPage (*this);
    dialogs = parts.createDialogs (*this);

    const auto tabColour = paletteColour032;
    tabs.addTab ("Devices", tabColour, devicePage != nullptr ? &devicePage->getPageComponent() : &emptyDevicesSlot, false);
    devicesTabIndex = tabs.getNumTabs() - 1;
    tabs.addTab ("Presets", tabColour, dataPage != nullptr ? &dataPage->getPageComponent() : &emptyPresetsSlot, false);
    presetsTabIndex = tabs.getNumTabs() - 1;
    tabs.setOutline (0);
    addAndMakeVisible (tabs);

    // Nothing is connected yet: the presets stay closed until a unit with presets is.
    if (auto* presetsTab = tabs.getTabbedButtonBar().getTabButton (presetsTabIndex))
        presetsTab->setEnabled (false);
    if (dataPage != nullptr)
        dataPage->getPageComponent().setEnabled (false);
    tabs.setCurrentTabIndex (devicesTabIndex);

    addAndMakeVisible (signInButton);
    addAndMakeVisible (helpButton);
    addAndMakeVisible (optionsButton);
    if (appIsDeveloper())
        addAndMakeVisible (developerButton);
    addAndMakeVisible (*statusBar);

    // Called from the last registered to the first: status bar, data page, device page.
    if (devicePage != nullptr)
        changeListeners.add (devicePage.get());
    if (dataPage != nullptr)
        changeListeners.add (dataPage.get());
    changeListeners.add (statusBar.get());
}

LarkspireContentComponent::~LarkspireContentComponent()
{
    stopFirmwareUpdate();

    if (hasCommandManager() && getCommandManager().getFirstCommandTarget (0) == this)
        getCommandManager().setFirstCommandTarget (nullptr);

    changeListeners.clear();
    tabs.clearTabs();
    dataPage.reset();
    devicePage.reset();
    statusBar.reset();
    dialogs.reset();

    setLookAndFeel (nullptr);
    if (&juce::LookAndFeel::getDefaultLookAndFeel() == &lookAndFeel)
        juce::LookAndFeel::setDefaultLookAndFeel (nullptr);
}

int LarkspireContentComponent::getDeviceState() const
{
    return appState();
}

//==============================================================================
// Commands

juce::ApplicationCommandTarget* LarkspireContentComponent::getNextCommandTarget()
{
    return findFirstTargetParentComponent();
}

void LarkspireContentComponent::getAllCommands (juce::Array<juce::CommandID>& commands)
{
    for (auto& c : commandTable)
        commands.add (c.id);
}

bool LarkspireContentComponent::isDialogAvailable (ContentDialogs::Kind kind) const
{
    return dialogs != nullptr && dialogs->isAvailable (kind);
}

void LarkspireContentComponent::getCommandInfo (juce::CommandID commandID, juce::ApplicationCommandInfo& result)
{
    auto* entry = findCommand (commandID);
    if (entry == nullptr)
        return;

    result.setInfo (entry->name, entry->description, entry->category, 0);

    const bool connected = isUnitConnected();
    const int state = getDeviceState();

    switch (commandID)
    {
        case AppCommand::showOptions:
            result.setActive (isDialogAvailable (ContentDialogs::Kind::options));
            break;

        case AppCommand::showAbout:
            result.setActive (isDialogAvailable (ContentDialogs::Kind::about));
            break;

        case AppCommand::showMidiDevices:
        case AppCommand::showMidiDeviceList:
            result.setActive (isDialogAvailable (ContentDialogs::Kind::midiDevices));
            break;

        case AppCommand::showFirmwareUpdates:
        case AppCommand::showFirmwareUpdatesAll:
            result.setActive (connected && isDialogAvailable (ContentDialogs::Kind::firmwareChooser));
            break;

        // The start-up makes the device manager once the control descriptor is settled; a scan
        // asked for before would go nowhere.
        case AppCommand::scanForDevices:
            result.setActive (getDeviceManager() != nullptr);
            break;

        case AppCommand::connectSelectedDevice:
            result.setActive (state == 0 || state == 4);
            break;

        case AppCommand::disconnectDevice:
        {
            const auto name = currentDisplayName();
            if (name.isNotEmpty())
            {
                result.shortName = "Disconnect " + name;
                result.setActive (state == 0 || (state == 3 && connected));
            }
            else
            {
                result.setActive (false);
            }
            break;
        }

        case AppCommand::updateFirmware:
        case AppCommand::updateFirmwareNow:
        case AppCommand::downloadDeviceData:
        case AppCommand::generatePresetChecksums:
        case AppCommand::firmwareStressTest:
            result.setActive (connected);
            break;

        // These send what the data page holds: without that page there is nothing to send.
        case AppCommand::applyChanges:
        case AppCommand::restoreSetup:
        case AppCommand::sendDirectToDevice:
        case AppCommand::restoreToDevice:
            result.setActive (connected && dataPage != nullptr);
            break;

        case AppCommand::customDeviceProfile:
            if (getSettingText (SettingsKeys::developerControlDescriptorUri).isNotEmpty())
            {
                result.shortName = "Disable Custom Device Profile";
                result.description = "Unlink the custom profile you're using and use the official descriptor";
                result.setTicked (true);
            }
            break;

        default:
            break;
    }
}

bool LarkspireContentComponent::perform (const InvocationInfo& info)
{
    {
        ChangeInfo::Ptr change (ChangeInfo::command (info.commandID));
        sendChangeInfo (*change);
    }

    switch (info.commandID)
    {
        case AppCommand::showTools:        popUpMenu (1); break;
        case AppCommand::showHelp:         popUpMenu (2); break;
        case AppCommand::signIn:           break;
        case AppCommand::showDeveloper:    popUpMenu (3); break;
        case AppCommand::showOptions:      showOptionsDialog(); break;
        case AppCommand::showFirmwareUpdates:    showFirmwareList (false); break;
        case AppCommand::showFirmwareUpdatesAll: showFirmwareList (true); break;

        case AppCommand::readLocalManual:
        {
            const juce::File guide (AppPaths::getUserGuideFile());
            if (guide.existsAsFile())
                getDialogService().openUrl (guide.getFullPathName());
            break;
        }

        case AppCommand::readOnlineManual:
            if (auto* content = getContentManager())
                openLink (content->getManualLink());
            break;

        case AppCommand::openProductSupport:
            if (auto* content = getContentManager())
                openLink (content->getProductSupportLink());
            break;

        case AppCommand::openAccountPage:
            if (auto* content = getContentManager())
                openLink (content->getAccountLink());
            break;

        case AppCommand::openGeneralSupport:
            if (auto* content = getContentManager())
                openLink (content->getGeneralSupportLink());
            break;

        case AppCommand::showAbout:
            if (isDialogAvailable (ContentDialogs::Kind::about))
                dialogs->runAboutBox (*this);
            break;

        case AppCommand::showMidiDevices:
        case AppCommand::showMidiDeviceList:
            if (isDialogAvailable (ContentDialogs::Kind::midiDevices))
                dialogs->runMidiDeviceList (*this);
            break;

        case AppCommand::scanForDevices:        scanForDevices(); break;
        case AppCommand::connectSelectedDevice: connectSelectedDevice(); break;
        case AppCommand::disconnectDevice:      connectToDevice (-1); break;

        case AppCommand::updateFirmware:
        {
            const auto element = offeredUpdate;
            if (confirmFirmwareUpdate (element, true))
                startFirmwareUpdate (element);
            break;
        }

        case AppCommand::updateFirmwareNow:
        {
            const auto element = offeredUpdate;
            startFirmwareUpdate (element);
            break;
        }

        case AppCommand::downloadDeviceData:      syncDeviceData(); break;
        case AppCommand::applyChanges:            applyChanges(); break;
        case AppCommand::restoreSetup:            restoreSetup(); break;
        case AppCommand::sendDirectToDevice:      sendDirectToDevice(); break;
        case AppCommand::restoreToDevice:         restoreToDevice(); break;
        case AppCommand::customDeviceProfile:     toggleCustomProfile(); break;
        case AppCommand::generatePresetChecksums: exportPresetChecksums(); break;
        case AppCommand::firmwareStressTest:      break;

        default:
            return false;
    }

    return true;
}

bool LarkspireContentComponent::invokeAsync (int commandId)
{
    if (auto* target = getCommandManager().findTargetForComponent (this))
        return target->invokeDirectly (commandId, true);
    return false;
}

void LarkspireContentComponent::popUpMenu (int index)
{
    const auto names = getMenuBarNames();
    // Its entries are command items: the command manager runs the one chosen.
    getDialogService().showPopupMenu (getMenuForIndex (index, names[index]), nullptr);
}

void LarkspireContentComponent::openLink (const juce::String& address)
{
    if (address.isNotEmpty())
        getDialogService().openUrl (address);
}

juce::StringArray LarkspireContentComponent::getMenuBarNames()
{
    return { "Account", "Tools", "Help", "Developer" };
}

juce::PopupMenu LarkspireContentComponent::getMenuForIndex (int topLevelMenuIndex, const juce::String&)
{
    auto* commands = &getCommandManager();
    juce::PopupMenu menu;

    switch (topLevelMenuIndex)
    {
        case 0:
            menu.addCommandItem (commands, AppCommand::signIn);
            menu.addSeparator();
            menu.addCommandItem (commands, AppCommand::quit);
            break;

        case 1:
            menu.addCommandItem (commands, AppCommand::showOptions);
            break;

        case 2:
            menu.addCommandItem (commands, AppCommand::openProductSupport);
            menu.addCommandItem (commands, AppCommand::openGeneralSupport);
            menu.addSeparator();
            menu.addCommandItem (commands, AppCommand::showMidiDevices);
            menu.addSeparator();
            menu.addCommandItem (commands, AppCommand::showAbout);
            break;

        case 3:
            menu.addCommandItem (commands, AppCommand::customDeviceProfile);
            menu.addCommandItem (commands, AppCommand::generatePresetChecksums);
            break;

        default:
            break;
    }

    return menu;
}

//==============================================================================
// Command algorithms

void LarkspireContentComponent::enablePages (bool enabled)
{
    if (dataPage != nullptr)
        dataPage->getPageComponent().setEnabled (enabled);
    if (devicePage != nullptr)
        devicePage->getPageComponent().setEnabled (enabled);
}

void LarkspireContentComponent::busyStart (int total, bool setTotal)
{
    statusBar->setStatus (! isUpdateRunning(), {}, {}, 0.0);
    if (setTotal)
        statusBar->setSteps (total);
    enablePages (false);
}

void LarkspireContentComponent::postCommand (const DeviceCommandMessage& command)
{
    if (auto* devices = getDeviceManager())
        devices->postMessage (new DeviceCommandMessage (command));
}

void LarkspireContentComponent::showFirmwareList (bool allowCustomImage)
{
    auto* devices = getDeviceManager();
    if (devices == nullptr || ! isDialogAvailable (ContentDialogs::Kind::firmwareChooser))
        return;

    FirmwareUpdateElement chosen;
    if (! dialogs->runFirmwareChooser (*this, devices->getProductId (-1), allowCustomImage, chosen))
        return;

    listOpenedDevices.addIfNotAlreadyThere (devices->getDeviceDisplayName());
    if (confirmFirmwareUpdate (chosen, false))
        startFirmwareUpdate (chosen);
}

void LarkspireContentComponent::scanForDevices()
{
    // A scan closes the current unit.
    if (! confirmDiscardEdits (EditsAtRisk::scan))
        return;

    // A scan asked for while the program starts finds nothing worth a box.
    startUpScan = getDeviceState() == 1;

    resetAfterDisconnect();

    if (! isUpdateRunning())
        setDeviceState (2);

    statusBar->setStatus (true, {}, "Scanning", 1.0);
    postCommand (DeviceCommandMessage (DeviceCommand::scan));
}

void LarkspireContentComponent::connectSelectedDevice()
{
    auto* devices = getDeviceManager();
    if (devices == nullptr)
        return;

    int index = -1;
    if (isUpdateRunning())
        index = findUpdatedUnit();
    else if (devicePage != nullptr)
        index = devicePage->getFirstToggledPortIndex();

    if (index < 0 || index == devices->getCurrentIndex() || ! devices->isDeviceReady (index))
        return;

    // Called off (the unit kept): the tiles show the connected unit again, not the one clicked.
    if (! connectToDevice (index) && devicePage != nullptr)
        devicePage->showConnectedUnit();
}

void LarkspireContentComponent::syncDeviceData()
{
    if (! isUnitConnected())
        return;

    auto* devices = getDeviceManager();
    if (auto* data = devices->getDeviceData())
        busyStart (data->getNumSlots(), true);
    else
        busyStart (0, false);

    postCommand (DeviceCommandMessage (DeviceCommand::readAll));
}

void LarkspireContentComponent::applyChanges()
{
    auto* devices = getDeviceManager();
    if (dataPage == nullptr || dataPage->getDataSet() == nullptr || ! isUnitConnected())
        return;

    auto* working = dataPage->getDataSet()->getWorking();
    auto* unit = devices->getDeviceData();
    if (working == nullptr || unit == nullptr)
        return;

    juce::Array<int> toDelete, toWrite;
    {
        // The device thread fills and reads the unit's data under this lock.
        const juce::ScopedLock dl (DeviceObject::getUnitDataLock());
        working->collectPresetChanges (*unit, toDelete, toWrite);
        for (auto slot : toWrite)
            unit->copyPresetFrom (slot, *working);
    }

    const int total = toWrite.size() + 2 * toDelete.size();
    if (total == 0)
    {
        showWarningBox (this, "Apply Changes", "There are no changes to apply.");
        working->clearModifiedFlags (false);
        return;
    }

    busyStart (total, true);

    if (! toWrite.isEmpty())
        postCommand (DeviceCommandMessage (DeviceCommand::writePresets, toWrite));

    if (! toDelete.isEmpty())
    {
        deletionPending = true;
        postCommand (DeviceCommandMessage (DeviceCommand::deletePresets, toDelete));
    }
}

void LarkspireContentComponent::restoreSetup()
{
    auto* devices = getDeviceManager();
    if (! isUnitConnected() || dataPage == nullptr)
        return;

    auto* live = devices->getDeviceData();
    auto* data = dataPage->getSelectedDataSet();
    if (data == nullptr)
        data = live;
    if (data == nullptr || ! data->getSetup().isComplete())
        return;

    const auto node = dataPage->getSelectedSource();
    const auto sourceName = node.getProperty ("label", "backup").toString();

    // The live unit's own source is the node whose data set reaches the unit's live data.
    bool fromAnotherSource = false;
    if (node.isValid())
    {
        auto dataSet = getSourceNodeDataSet (node);
        fromAnotherSource = dataSet == nullptr || dataSet->getDevice() == nullptr || dataSet->getDevice() != live;
    }

    if (! confirmSendSetup (fromAnotherSource, sourceName))
        return;

    // The command sends a setup of its own: the source may change or go while it runs.
    std::shared_ptr<const DeviceData> setup;
    {
        const juce::ScopedLock dl (DeviceObject::getUnitDataLock());
        setup = data->createCopy ({}, true, false);
    }
    busyStart (0, false);
    postCommand (DeviceCommandMessage (DeviceCommand::writeSetupFrom, std::move (setup), {}));
}

void LarkspireContentComponent::sendDirectToDevice()
{
    if (! isUnitConnected() || dataPage == nullptr)
        return;

    if (auto staged = dataPage->getStagedData())
    {
        busyStart ((staged->getSetup().isComplete() ? 1 : 0) + staged->countPresets(), true);
        postCommand (DeviceCommandMessage (DeviceCommand::writeWholeData, staged, {}));
        return;
    }

    auto* data = dataPage->getSelectedDataSet();
    const auto slots = dataPage->getSelectedSlots();
    if (slots.isEmpty() || data == nullptr)
        return;

    // A copy of the selected presets: a synchronisation may list the packs anew while they go out.
    busyStart (slots.size(), true);
    postCommand (DeviceCommandMessage (DeviceCommand::writePresetsFrom,
                                       std::shared_ptr<const DeviceData> (data->createCopy (slots, false, false)), slots));
}

void LarkspireContentComponent::restoreToDevice()
{
    if (dataPage == nullptr || dataPage->getDataSet() == nullptr || ! isUnitConnected())
        return;

    auto* working = dataPage->getDataSet()->getWorking();
    auto image = dataPage->getStagedData();
    if (working == nullptr || image == nullptr)
        return;

    // Slots whose own presets would be left behind: every user preset that the image does
    // not replace. Factory presets stay; the image's presets overwrite theirs. Slot 0 is no
    // user preset and is never deleted.
    juce::Array<int> toDelete;
    for (auto slot : working->getNonFactoryPresetIndices())
        if (slot >= 1 && ! (slot < image->getNumSlots() && image->hasPreset (slot)))
            toDelete.add (slot);

    busyStart ((image->getSetup().isComplete() ? 1 : 0) + image->countPresets() + 2 * toDelete.size(), true);
    postCommand (DeviceCommandMessage (DeviceCommand::writeWholeData, image, {}));

    if (! toDelete.isEmpty())
    {
        deletionPending = true;
        postCommand (DeviceCommandMessage (DeviceCommand::deletePresets, toDelete));
    }
}

void LarkspireContentComponent::toggleCustomProfile()
{
    if (getSettingText (SettingsKeys::developerControlDescriptorUri).isNotEmpty())
    {
        setSetting (SettingsKeys::developerControlDescriptorUri, juce::String());
    }
    else
    {
        const auto file = getDialogService().chooseFile (DialogService::ChooserMode::openFile, "Custom Device Data",
                                                         juce::File::getSpecialLocation (juce::File::userHomeDirectory),
                                                         "*.xml");
        if (file == juce::File())
            return;
        setSetting (SettingsKeys::developerControlDescriptorUri, file.getFullPathName());
    }

    getCommandManager().commandStatusChanged();
    showInfoBox (this, "Notice", "You must restart Larkspire for this change to take effect.");
}

void LarkspireContentComponent::exportPresetChecksums()
{
    const auto file = getDialogService().chooseFile (DialogService::ChooserMode::saveFileConfirmOverwrite,
                                                     "Export Preset Signatures",
                                                     juce::File::getSpecialLocation (juce::File::userHomeDirectory),
                                                     "*.xml");
    if (file == juce::File())
        return;

    auto* devices = getDeviceManager();
    auto* data = devices != nullptr ? devices->getDeviceData() : nullptr;
    if (data == nullptr)
        return;

    // The developer menu is open during a read too: its digests are taken as the read leaves
    // them. The file is written after, so that no unit's replies wait for the disk.
    std::unique_ptr<juce::XmlElement> bank;
    {
        const juce::ScopedLock dl (DeviceObject::getUnitDataLock());
        bank = data->createFactoryBank();
    }
    if (! AtomicFileWriter::replaceWithXml (file, *bank, {}))
        showWarningBox (this, "Export Preset Signatures",
                        "Larkspire was unable to write the file " + file.getFullPathName() + ".");
}

//==============================================================================
// Layout

void LarkspireContentComponent::paint (juce::Graphics& g)
{
    g.fillAll (paletteColour032);
}

void LarkspireContentComponent::resized()
{
    const int margin = juce::roundToInt (lookAndFeel.getScale() * 10.0f);
    const int iconSize = juce::roundToInt (lookAndFeel.getFontHeightB());
    const int tabDepth = juce::jmin ((int) lookAndFeel.getRowHeight(), getHeight());
    const int statusHeight = (int) lookAndFeel.getButtonHeight();
    const int width = getWidth();

    const int iconY = (tabDepth - iconSize) / 2;
    helpButton.setBounds (width - iconSize - margin, iconY, iconSize, iconSize);
    optionsButton.setBounds (helpButton.getX() - iconSize - margin, iconY, iconSize, iconSize);
    developerButton.setBounds (optionsButton.getX() - iconSize - margin, iconY, iconSize, iconSize);

    // The sign-in link sits left of the header icons, only as wide as its text, so that it
    // never lies over the tab buttons below the same strip.
    const int leftmostIcon = developerButton.isVisible() ? developerButton.getX() : optionsButton.getX();
    const int signInHeight = juce::jmax (0, tabDepth - 4);
    const int signInWidth = juce::jmin (signInButton.getBestWidth(), juce::jmax (0, leftmostIcon - margin));
    signInButton.setBounds (leftmostIcon - margin - signInWidth, 2, signInWidth, signInHeight);

    statusBar->setBounds (0, getHeight() - statusHeight, width, statusHeight);
    tabs.setTabBarDepth (tabDepth);
    tabs.setBounds (0, 0, width, juce::jmax (0, getHeight() - statusHeight));
}
