#include "ui/DevicePage.h"
#include "content/ContentManager.h"
#include "core/DialogService.h"
#include "core/InfoCodes.h"
#include "core/Settings.h"
#include "device/DeviceManager.h"
#include "device/DeviceProfiler.h"
#include "ui/AppCommandIds.h"
#include "ui/CommandManager.h"
#include "ui/LSLookAndFeel.h"
#include "ui/LarkspireContentComponent.h"

using namespace juce;

namespace
{
    bool isWithinDeviceButton (Component* c)
    {
        for (; c != nullptr; c = c->getParentComponent())
            if (dynamic_cast<MidiDeviceStatusButton*> (c) != nullptr)
                return true;
        return false;
    }
}

DevicePage::DevicePage (LarkspireContentComponent& ownerComponent)
    : owner (ownerComponent)
{
    toolbar.addDefaultItems (toolbarFactory);
    toolbar.setStyle (Toolbar::iconsWithText);

    for (int i = 0; i < toolbar.getNumItems(); ++i)
        if (auto* item = toolbar.getItemComponent (i))
            if (item->getItemId() >= DeviceToolbarItemFactory::scanItem
                && item->getItemId() <= DeviceToolbarItemFactory::customItem)
                item->addListener (this);

    addAndMakeVisible (toolbar);

    panels.addPanel (-1, &portPanel, false);
    panels.addPanel (-1, &knownDevicePanel, false);
    panels.setPanelHeaderSize (&portPanel, getHeaderHeight());
    panels.setPanelHeaderSize (&knownDevicePanel, getHeaderHeight());
    panels.setMaximumPanelSize (&knownDevicePanel, 0);
    panels.addMouseListener (this, true);
    addAndMakeVisible (panels);

    updateToolbar (owner.getDeviceState());
}

DevicePage::~DevicePage()
{
    panels.removeMouseListener (this);
    for (int i = 0; i < toolbar.getNumItems(); ++i)
        if (auto* item = toolbar.getItemComponent (i))
            item->removeListener (this);
}

int DevicePage::getHeaderHeight() const
{
    float scale = 1.0f;
    if (auto* laf = dynamic_cast<LSLookAndFeel*> (&getLookAndFeel()))
        scale = laf->getScale();
    return (int) (20.0f * scale);
}

int DevicePage::getFirstToggledPortIndex() const
{
    for (auto* button : portPanel.getButtons())
        if (button->getToggleState())
            return button->getPortIndex();
    return -1;
}

ToolbarItemComponent* DevicePage::findToolbarItem (int itemId) const
{
    for (int i = 0; i < toolbar.getNumItems(); ++i)
        if (auto* item = toolbar.getItemComponent (i))
            if (item->getItemId() == itemId)
                return item;
    return nullptr;
}

//==============================================================================
void DevicePage::buttonClicked (Button* button)
{
    if (auto* item = dynamic_cast<ToolbarItemComponent*> (button))
    {
        toolbarItemClicked (item->getItemId());
        return;
    }

    if (auto* tile = dynamic_cast<MidiDeviceStatusButton*> (button))
        if (tile->getPortIndex() >= 0)
            handlePortButtonClick (*tile, tile->getLastClickModifiers());
}

void DevicePage::toolbarItemClicked (int itemId)
{
    switch (itemId)
    {
        case DeviceToolbarItemFactory::scanItem:
            owner.invokeAsync (AppCommand::scanForDevices);
            break;

        case DeviceToolbarItemFactory::disconnectItem:
            owner.invokeAsync (AppCommand::disconnectDevice);
            break;

        case DeviceToolbarItemFactory::infoItem:
            owner.invokeAsync (AppCommand::showMidiDeviceList);
            break;

        case DeviceToolbarItemFactory::updateItem:
        {
            // Enabled by an earlier state perhaps, but without a unit there is nothing to update.
            auto* devices = getDeviceManager();
            if (devices == nullptr || devices->getCurrentIndex() < 0)
                break;

            auto* content = getContentManager();
            const bool newer = content != nullptr
                               && content->isFirmwareUpdateAvailable (devices->getProductId(),
                                                                      devices->getFirmwareVersion().build);
            owner.invokeAsync (newer ? AppCommand::updateFirmware : AppCommand::showFirmwareUpdatesAll);
            break;
        }

        case DeviceToolbarItemFactory::customItem:
            owner.invokeAsync (AppCommand::updateFirmware);
            break;

        default:
            break;
    }
}

void DevicePage::handlePortButtonClick (MidiDeviceStatusButton& button, const ModifierKeys& mods)
{
    const int index = button.getPortIndex();
    auto* devices = getDeviceManager();

    if (index < 0 || devices == nullptr || ! devices->isDeviceReady (index))
        return;

    if (! mods.isLeftButtonDown() || mods.isRightButtonDown())
        return;

    button.setToggleState (true, dontSendNotification);
    owner.invokeAsync (AppCommand::connectSelectedDevice);
}

//==============================================================================
PopupMenu DevicePage::createMenu() const
{
    auto& commands = getCommandManager();
    PopupMenu menu;
    menu.addCommandItem (&commands, AppCommand::scanForDevices, "Refresh MIDI Devices");
    menu.addCommandItem (&commands, AppCommand::showMidiDeviceList, "Show MIDI Device Information");

    if (auto* devices = getDeviceManager())
    {
        const auto displayName = devices->getDeviceDisplayName();
        if (displayName.isNotEmpty())
        {
            menu.addSeparator();
            menu.addCommandItem (&commands, AppCommand::disconnectDevice, "Disconnect " + displayName);
        }
    }

    menu.addSeparator();
    menu.addItem (onlyMakerDevicesItem, "Only Show Ardentis Devices", true,
                  getSettingBool (SettingsKeys::onlyShowArdDevices));
    return menu;
}

void DevicePage::performMenuItem (int itemId)
{
    if (itemId != onlyMakerDevicesItem)
        return;

    const bool onlyMaker = ! getSettingBool (SettingsKeys::onlyShowArdDevices);
    setSetting (SettingsKeys::onlyShowArdDevices, onlyMaker);
    portPanel.showOnlyMakerDevices (onlyMaker);
}

void DevicePage::mouseDown (const MouseEvent& e)
{
    if (isWithinDeviceButton (e.eventComponent) || isWithinDeviceButton (e.originalComponent))
        return;

    if (! isEnabled() || owner.getDeviceState() != 0 || ! e.mods.isRightButtonDown())
        return;

    // No modal loop runs inside the press: the press that closes the menu reaches what it
    // lands on, a panel header included.
    getDialogService().showPopupMenuAtPointerAsync (createMenu(), this, [this] (int itemId) { performMenuItem (itemId); });
}

//==============================================================================
void DevicePage::updateToolbar (int deviceState)
{
    // Scan looks as its command is: inactive until the device manager exists, which the start-up
    // makes once the control descriptor is settled.
    if (auto* item = findToolbarItem (DeviceToolbarItemFactory::scanItem))
    {
        juce::ApplicationCommandInfo scan (AppCommand::scanForDevices);
        owner.getCommandInfo (AppCommand::scanForDevices, scan);
        item->setEnabled ((scan.flags & juce::ApplicationCommandInfo::isDisabled) == 0);
    }

    const bool connected = isUnitConnected();

    if (auto* item = findToolbarItem (DeviceToolbarItemFactory::disconnectItem))
        item->setEnabled (connected);

    for (int id : { (int) DeviceToolbarItemFactory::updateItem, (int) DeviceToolbarItemFactory::customItem })
        if (auto* item = findToolbarItem (id))
            item->setEnabled (connected && deviceState != 3);
}

void DevicePage::rebuildPortButtons()
{
    portPanel.deleteAllButtons();

    if (auto* devices = getDeviceManager())
    {
        const int count = devices->getNumPairs();
        for (int i = 0; i < count; ++i)
        {
            auto* button = new MidiDeviceStatusButton (i);
            portPanel.addButton (button);
            button->addListener (this);
            button->setRadioGroupId (portRadioGroup, dontSendNotification);
        }
    }

    portPanel.showOnlyMakerDevices (getSettingBool (SettingsKeys::onlyShowArdDevices));
    sizePanels();
}

void DevicePage::rebuildKnownDeviceButtons()
{
    DeviceProfiler::KnownDevices known;
    auto* profiler = getDeviceProfiler();
    if (profiler != nullptr)
        known = profiler->getKnownDevices (true);

    knownDevicePanel.deleteAllButtons();

    for (int i = 0; i < known.productIds.size(); ++i)
    {
        const auto productId = (uint8) known.productIds[i];
        const int serial = known.serialNumbers[i];
        auto displayName = DeviceProfiler::getVariantDisplayName (productId, serial);
        if (displayName.isEmpty())
            displayName = known.names[i];

        const bool update = profiler != nullptr && profiler->isFirmwareUpdateAvailableForDevice (productId, serial);
        auto* button = new MidiDeviceStatusButton (productId, displayName, known.firmwareVersions[i],
                                                   known.manufactureDates[i], serial, update);
        knownDevicePanel.addButton (button);
        button->addListener (this);
        button->setRadioGroupId (knownRadioGroup, dontSendNotification);
    }

    knownDevicePanel.layoutButtons (knownDevicePanel.getViewport().getMaximumVisibleWidth());
    sizePanels();
}

void DevicePage::sizePanels()
{
    const int knownContent = knownDevicePanel.getContentHeight();
    const int portContent = portPanel.getContentHeight();
    const int available = panels.getHeight();

    panels.setMaximumPanelSize (&knownDevicePanel, knownContent);
    panels.setPanelSize (&portPanel, available, false);

    if (portContent + knownContent + 2 * getHeaderHeight() <= available)
        panels.setPanelSize (&knownDevicePanel, knownContent, false);

    resized();
}

//==============================================================================
void DevicePage::changeInfoCallback (const ChangeInfo& info)
{
    if (info.kind == ChangeInfo::applicationStateChange)
    {
        switch (info.newValue)
        {
            case 0:
                if (info.oldValue == 1 || info.oldValue == 2)
                {
                    rebuildKnownDeviceButtons();
                }
                else if (info.oldValue == 4)
                {
                    rebuildKnownDeviceButtons();
                    rebuildPortButtons();
                }
                updateToolbar (0);
                setEnabled (true);
                break;

            case 2:
                portPanel.deleteAllButtons();
                knownDevicePanel.deleteAllButtons();
                setEnabled (false);
                break;

            case 3:
                updateToolbar (3);
                portPanel.refreshButtons();
                break;

            case 4:
                portPanel.deleteAllButtons();
                setEnabled (false);
                break;

            default:
                break;
        }
        return;
    }

    if (info.kind != ChangeInfo::deviceEvent)
        return;

    const auto& event = info.event;
    switch (event.code)
    {
        case InfoCode::unitConnection:
            updateToolbar (owner.getDeviceState());
            break;

        case InfoCode::removeKnownUnit:
        {
            auto* profiler = getDeviceProfiler();
            if (profiler == nullptr)
                break;

            const bool changed = (event.p1 == 255 && event.p2 == -1)
                                     ? profiler->removeDisconnectedDevices()
                                     : profiler->removeDevice ((uint8) event.p1, event.p2);
            if (changed)
                rebuildKnownDeviceButtons();
            break;
        }

        case InfoCode::optionsClosed:
            portPanel.showOnlyMakerDevices (getSettingBool (SettingsKeys::onlyShowArdDevices));
            break;

        case InfoCode::portPairsRebuilt:
        {
            const int state = owner.getDeviceState();
            if (state == 0 || state == 2)
                rebuildPortButtons();
            if (state != 0)
                setEnabled (false);
            break;
        }

        case InfoCode::scanFinished:
            portPanel.showOnlyMakerDevices (getSettingBool (SettingsKeys::onlyShowArdDevices));
            portPanel.sortButtons();
            break;

        case InfoCode::productSyncStarted:
        case InfoCode::productSyncSucceeded:
        case InfoCode::productSyncFailed:
            portPanel.refreshButtons();
            break;

        case InfoCode::productPicturesChanged:
            // Known units show their product's picture too.
            portPanel.refreshButtons();
            knownDevicePanel.refreshButtons();
            break;

        default:
            break;
    }
}

//==============================================================================
void DevicePage::resized()
{
    double rowHeight = 63.0;
    if (auto* laf = dynamic_cast<LSLookAndFeel*> (&getLookAndFeel()))
        rowHeight = laf->getLargeRowHeight();

    const int toolbarHeight = jmin ((int) rowHeight, getHeight());
    toolbar.setBounds (0, 0, getWidth(), toolbarHeight);

    const int previousKnownHeight = knownDevicePanel.getHeight();
    panels.setBounds (0, toolbarHeight + 1, getWidth(), jmax (0, getHeight() - toolbarHeight - 1));

    const int knownContent = knownDevicePanel.getContentHeight();
    if (previousKnownHeight <= knownContent && previousKnownHeight != knownDevicePanel.getHeight())
        panels.setPanelSize (&knownDevicePanel, previousKnownHeight, false);
}

void DevicePage::paint (Graphics& g)
{
    g.fillAll (Colour (0xFFDAE1E6));
    g.setColour (Colour (0xFF797D80));
    g.drawHorizontalLine (toolbar.getBottom(), 0.0f, (float) getWidth());
}
