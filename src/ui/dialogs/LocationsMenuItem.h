#pragma once

#include "ui/dialogs/MenuToggleItem.h"

// An entry of the location filter menu: "Device", "Backups" or "Cloud", shown with
// the picture of that kind of source.
class LocationsMenuItem : public MenuToggleItem
{
public:
    LocationsMenuItem (int locationIndex, std::function<bool()> isOn, std::function<void()> onClick);

    // The location names in filter-bit order (bit 0 Device, bit 1 Backups, bit 2 Cloud).
    static const juce::StringArray& getLocationNames();
    static constexpr int numLocations = 3;
    static constexpr int allLocationsMask = 7;

    // The names of the locations whose bits are set, in bit order.
    static juce::StringArray getLocationNamesForMask (int mask);
};
