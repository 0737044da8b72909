#pragma once

#include "ui/MidiDeviceStatusButton.h"
#include <juce_gui_basics/juce_gui_basics.h>

// One panel of the device page: a scrolling flow of device tiles, the maker's units
// first. The panel owns its tiles.
class DeviceButtonPanel : public juce::Component
{
public:
    static constexpr int horizontalGap = 10;
    static constexpr int verticalGap = 10;

    // Holds the tiles inside the viewport; its height is what the flow layout needs.
    class DeviceButtonContainer : public juce::Component
    {
    public:
        juce::OwnedArray<MidiDeviceStatusButton> buttons;
    };

    explicit DeviceButtonPanel (const juce::String& name);
    ~DeviceButtonPanel() override;

    // Takes ownership; a unit of the maker goes in front of every other tile.
    void addButton (MidiDeviceStatusButton* button);
    void deleteAllButtons();
    // With true only the maker's units stay visible; the layout closes the gaps.
    void showOnlyMakerDevices (bool onlyMakerDevices);
    void refreshButtons();
    // Puts every unit of the maker before every other port, then lays out.
    void sortButtons();
    void layoutButtons (int width);

    int getNumButtons() const noexcept                   { return container.buttons.size(); }
    MidiDeviceStatusButton* getButton (int index) const  { return container.buttons[index]; }
    const juce::OwnedArray<MidiDeviceStatusButton>& getButtons() const noexcept { return container.buttons; }
    // The height the tiles need at the current width.
    int getContentHeight() const noexcept                { return container.getHeight(); }
    juce::Viewport& getViewport() noexcept               { return viewport; }

    void resized() override;

private:
    void layoutForViewport();

    juce::Viewport viewport;
    DeviceButtonContainer container;

    JUCE_DECLARE_NON_COPYABLE (DeviceButtonPanel)
};
