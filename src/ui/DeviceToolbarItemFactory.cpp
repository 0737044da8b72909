#include "ui/DeviceToolbarItemFactory.h"
#include "core/EmbeddedResources.h"
#include "ui/ToolbarButtonEx.h"
#include "ui/ToolbarItemText.h"

using namespace juce;

namespace
{
    const ToolbarItemText deviceItems[] =
    {
        { 1, "Scan",       "Identify MIDI devices",            "toolbar_device_scan_svg" },
        { 2, "Disconnect", "Disconnect device",                "toolbar_device_disconnect_svg" },
        { 3, "Info",       "Show device information",          "toolbar_device_info_svg" },
        { 4, "Update",     "Upgrade to latest firmware",       "toolbar_device_update_svg" },
        { 5, "Custom",     "Show available firmware builds",   "toolbar_device_custom_svg" }
    };

    const ToolbarItemText* findItem (int id) { return ToolbarItemText::find (deviceItems, id); }
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
    return ToolbarItemText::textOf (findItem (itemId), &ToolbarItemText::label);
}

String DeviceToolbarItemFactory::getTooltip (int itemId)
{
    return ToolbarItemText::textOf (findItem (itemId), &ToolbarItemText::tooltip);
}

String DeviceToolbarItemFactory::getIconResourceName (int itemId)
{
    return ToolbarItemText::textOf (findItem (itemId), &ToolbarItemText::icon);
}
