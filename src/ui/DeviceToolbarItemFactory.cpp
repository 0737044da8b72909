#include "ui/DeviceToolbarItemFactory.h"
#include "core/EmbeddedResources.h"
#include "ui/ToolbarButtonEx.h"

using namespace juce;

namespace
{
    struct ItemText
    {
        int id;
        const char* label;
        const char* tooltip;
        const char* icon;
    };

    const ItemText deviceItems[] =
    {
        { 1, "Scan",       "Identify MIDI devices",            "toolbar_device_scan_svg" },
        { 2, "Disconnect", "Disconnect device",                "toolbar_device_disconnect_svg" },
        { 3, "Info",       "Show device information",          "toolbar_device_info_svg" },
        { 4, "Update",     "Upgrade to latest firmware",       "toolbar_device_update_svg" },
        { 5, "Custom",     "Show available firmware builds",   "toolbar_device_custom_svg" }
    };

    const ItemText* findItem (int id)
    {
        for (auto& item : deviceItems)
            if (item.id == id)
                return &item;
        return nullptr;
    }
}

DeviceToolbarItemFactory::~DeviceToolbarItemFactory() = default;

void DeviceToolbarItemFactory::getAllToolbarItemIds (Array<int>& ids)
{
    ids.add (scanItem, disconnectItem, infoItem, updateItem, customItem,
             separatorBarId, spacerId, flexibleSpacerId);
}

void DeviceToolbarItemFactory::getDefaultItemSet (Array<int>& ids)
{
    ids.add (scanItem, disconnectItem, updateItem);
}

ToolbarItemComponent* DeviceToolbarItemFactory::createItem (int itemId)
{
    auto* item = findItem (itemId);
    if (item == nullptr)
        return nullptr;

    int size = 0;
    auto* svg = getEmbeddedResource (item->icon, size);
    return ToolbarButtonEx::createFromSvg (itemId, item->label, item->tooltip, svg, (size_t) size).release();
}

String DeviceToolbarItemFactory::getLabel (int itemId)
{
    auto* item = findItem (itemId);
    return item != nullptr ? String (item->label) : String();
}

String DeviceToolbarItemFactory::getTooltip (int itemId)
{
    auto* item = findItem (itemId);
    return item != nullptr ? String (item->tooltip) : String();
}

String DeviceToolbarItemFactory::getIconResourceName (int itemId)
{
    auto* item = findItem (itemId);
    return item != nullptr ? String (item->icon) : String();
}
