#include "ui/DataToolbarItemFactory.h"
#include "core/EmbeddedResources.h"
#include "ui/ToolbarButtonEx.h"
#include "ui/ToolbarItemText.h"

using namespace juce;

namespace
{
    const ToolbarItemText dataItems[] =
    {
        { 1,  "Sync",                     "Synchronize with your device",                          "toolbar_data_sync_svg" },
        { 2,  "Get\nData",                "Get presets and setup data from your device",           "toolbar_data_get_svg" },
        { 3,  "Apply\nChanges",           "Send preset changes to your device",                    "toolbar_data_apply_svg" },
        { 4,  "Send\nSetup",              "Send the setup (configuration) data to your device",    "toolbar_data_send_setup_svg" },
        { 5,  "Send\nSelected",           "Send selected items directly to your device",           "toolbar_data_send_selected_svg" },
        { 6,  "Delete\nBackup",           "Delete the selected backup(s)",                         "toolbar_data_delete_backup_svg" },
        { 7,  "Backup\nAll",              "Backup all your device's data",                         "toolbar_data_backup_all_svg" },
        { 8,  "Backup\nUser",             "Backup user presets from your device",                  "toolbar_data_backup_user_svg" },
        { 9,  "Backup\nSelected",         "Copy selected items to a new backup",                   "toolbar_data_backup_selected_svg" },
        { 10, "Optimize\nSpace",          "Remove empty slots between presets",                    "toolbar_data_optimize_svg" },
        { 11, "Find\nPreset",             "Find a preset",                                         "toolbar_data_find_svg" },
        { 12, "Toggle\nView",             "Toggle preset display between cell and icon views",     "toolbar_data_toggle_view_svg" },
        { 13, "Delete\nSetup",            "Delete the setup data",                                 "toolbar_data_delete_setup_svg" },
        { 14, "New\nGroup",               "Create an empty backup group",                          "toolbar_data_new_group_svg" },
        { 15, "Group\nSelected",          "Create a new backup group from the selected item(s)",   "toolbar_data_group_selected_svg" },
        { 16, "Duplicate\nSelected",      "Duplicate selected backup(s)",                          "toolbar_data_duplicate_svg" },
        { 17, "Select\nUser",             "Select user presets",                                   "toolbar_data_select_user_svg" },
        { 18, "Delete\nPresets",          "Delete selected presets",                               "toolbar_data_delete_presets_svg" },
        { 19, "Cut",                      "Cut to clipboard",                                      "toolbar_data_cut_svg" },
        { 20, "Copy",                     "Copy to clipboard",                                     "toolbar_data_copy_svg" },
        { 21, "Paste",                    "Paste from clipboard",                                  "toolbar_data_paste_svg" },
        { 22, "Undo",                     "Undo last edit",                                        "toolbar_data_undo_svg" },
        { 23, "Redo",                     "Redo last edit",                                        "toolbar_data_redo_svg" },
        { 24, "Export",                   "Export data",                                           "toolbar_data_export_svg" },
        { 25, "Import",                   "Import data",                                           "toolbar_data_import_svg" },
        { 26, "Download From My Account", "Download data from your cloud account",                 "toolbar_data_download_account_svg" },
        { 27, "Upload To My Account",     "Upload data to your cloud account",                     "toolbar_data_upload_account_svg" }
    };

    const ToolbarItemText* findItem (int id) { return ToolbarItemText::find (dataItems, id); }
}

DataToolbarItemFactory::~DataToolbarItemFactory() = default;

void DataToolbarItemFactory::getAllToolbarItemIds (Array<int>& ids)
{
    ids.add (1, 2, 3, 4, 5, 13, 6, 7, 8, 9, 10, 11, 12);
    for (int id = 14; id <= lastItem; ++id)
        ids.add (id);
    ids.add (separatorBarId, spacerId, flexibleSpacerId);
}

void DataToolbarItemFactory::getDefaultItemSet (Array<int>& ids)
{
    ids.add (getDataItem, applyChangesItem, separatorBarId,
             sendSelectedItem, sendSetupItem, separatorBarId,
             backupUserItem, backupSelectedItem, backupAllItem, separatorBarId,
             selectUserItem, optimizeSpaceItem, toggleViewItem, findPresetItem, separatorBarId);
    ids.add (undoItem, redoItem, separatorBarId, importItem, exportItem);
}

ToolbarItemComponent* DataToolbarItemFactory::createItem (int itemId)
{
    auto* item = findItem (itemId);
    if (item == nullptr)
        return nullptr;

    int size = 0, toggledSize = 0;
    auto* svg = getEmbeddedResource (item->icon, size);
    if (svg == nullptr)
        return nullptr;

    const void* toggledSvg = nullptr;
    if (itemId == toggleViewItem)
    {
        toggledSvg = getEmbeddedResource (getToggledIconResourceName (itemId), toggledSize);
        if (toggledSvg == nullptr)
            return nullptr;
    }

    return ToolbarButtonEx::createFromSvg (itemId, item->label, item->tooltip, svg, (size_t) size,
                                           toggledSvg, (size_t) toggledSize).release();
}

String DataToolbarItemFactory::getLabel (int itemId)
{
    return ToolbarItemText::textOf (findItem (itemId), &ToolbarItemText::label);
}

String DataToolbarItemFactory::getTooltip (int itemId)
{
    return ToolbarItemText::textOf (findItem (itemId), &ToolbarItemText::tooltip);
}

String DataToolbarItemFactory::getIconResourceName (int itemId)
{
    return ToolbarItemText::textOf (findItem (itemId), &ToolbarItemText::icon);
}

String DataToolbarItemFactory::getToggledIconResourceName (int itemId)
{
    return itemId == toggleViewItem ? String ("toolbar_data_toggle_view_on_svg") : String();
}
