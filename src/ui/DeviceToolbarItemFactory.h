#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// The items of the device page's toolbar: scan, disconnect, MIDI device information,
// firmware update and the list of firmware builds. The page handles their clicks.
class DeviceToolbarItemFactory : public juce::ToolbarItemFactory
{
public:
    enum ItemIds
    {
        scanItem       = 1,
        disconnectItem = 2,
        infoItem       = 3,
        updateItem     = 4,
        customItem     = 5
    };

    ~DeviceToolbarItemFactory() override;

    void getAllToolbarItemIds (juce::Array<int>& ids) override;
    void getDefaultItemSet (juce::Array<int>& ids) override;
    juce::ToolbarItemComponent* createItem (int itemId) override;

    // The label, tooltip and embedded icon of an item id; empty for any other id.
    static juce::String getLabel (int itemId);
    static juce::String getTooltip (int itemId);
    static juce::String getIconResourceName (int itemId);
};
