#pragma once

#include "ui/DeviceButtonPanel.h"
#include "ui/DevicePageView.h"
#include "ui/DeviceToolbarItemFactory.h"
#include <juce_gui_basics/juce_gui_basics.h>

class LarkspireContentComponent;

// The "Devices" tab: a toolbar (scan, disconnect, firmware update) over two collapsible
// panels of device tiles, "MIDI Devices" with one tile per MIDI port pair and
// "My Ardentis Devices" with one per unit seen before. A click on a port tile connects
// to it; a right click on the page offers the same commands and a filter that hides the
// ports without a unit of the maker. The page follows the content component's change
// broadcast to rebuild its tiles and to enable and disable itself.
class DevicePage : public juce::Component,
                   public DevicePageView,
                   public juce::Button::Listener
{
public:
    enum MenuIds { onlyMakerDevicesItem = 10 };
    static constexpr int portRadioGroup = 100;
    static constexpr int knownRadioGroup = 101;

    explicit DevicePage (LarkspireContentComponent& owner);
    ~DevicePage() override;

    // DevicePageView
    juce::Component& getPageComponent() override { return *this; }
    int getFirstToggledPortIndex() const override;
    void showConnectedUnit() override { portPanel.refreshButtons(); }
    void showKnownUnits() override    { rebuildKnownDeviceButtons(); }
    void changeInfoCallback (const ChangeInfo& info) override;

    void buttonClicked (juce::Button*) override;
    // A click on a port tile with these mouse buttons: connects to its unit when the left
    // button alone was used and the port is usable.
    void handlePortButtonClick (MidiDeviceStatusButton& button, const juce::ModifierKeys& mods);
    void mouseDown (const juce::MouseEvent&) override;

    void updateToolbar (int deviceState);
    void rebuildPortButtons();
    void rebuildKnownDeviceButtons();

    // The right-click menu as it would be shown now.
    juce::PopupMenu createMenu() const;
    void performMenuItem (int itemId);

    juce::Toolbar& getToolbar() noexcept                 { return toolbar; }
    juce::ConcertinaPanel& getPanels() noexcept          { return panels; }
    DeviceButtonPanel& getPortPanel() noexcept           { return portPanel; }
    DeviceButtonPanel& getKnownDevicePanel() noexcept    { return knownDevicePanel; }
    // The toolbar item of an id, or null.
    juce::ToolbarItemComponent* findToolbarItem (int itemId) const;

    void resized() override;
    void paint (juce::Graphics&) override;

private:
    void toolbarItemClicked (int itemId);
    void sizePanels();
    int getHeaderHeight() const;

    LarkspireContentComponent& owner;
    DeviceToolbarItemFactory toolbarFactory;
    juce::Toolbar toolbar;
    // The concertina holds the two panels without owning them: it goes first.
    DeviceButtonPanel portPanel { "MIDI Devices" };
    DeviceButtonPanel knownDevicePanel { "My Ardentis Devices" };
    juce::ConcertinaPanel panels;

    JUCE_DECLARE_NON_COPYABLE (DevicePage)
};
