#include "ui/dialogs/LocationsMenuItem.h"
#include "ui/LSLookAndFeel.h"

namespace
{
    std::unique_ptr<juce::Drawable> createLocationIcon (int index)
    {
        static const char* const resources[] = { "source_device_svg", "source_archive_svg", "source_cloud_svg" };
        return juce::isPositiveAndBelow (index, LocationsMenuItem::numLocations)
                 ? LSLookAndFeel::createEmbeddedDrawable (resources[index]) : nullptr;
    }
}

LocationsMenuItem::LocationsMenuItem (int index, std::function<bool()> isOnFn, std::function<void()> clickFn)
    : MenuToggleItem (getLocationNames()[index], std::move (isOnFn), std::move (clickFn), createLocationIcon (index))
{
}

const juce::StringArray& LocationsMenuItem::getLocationNames()
{
    static const juce::StringArray names { "Device", "Backups", "Cloud" };
    return names;
}

juce::StringArray LocationsMenuItem::getLocationNamesForMask (int mask)
{
    juce::StringArray out;
    for (int i = 0; i < numLocations; ++i)
        if ((mask & (1 << i)) != 0)
            out.add (getLocationNames()[i]);
    return out;
}
