// The browser's context menu at the pointer for the selected sources, and what each
// of its items does.

#include "ui/datapage/SourceDataBrowser.h"
#include "archive/DataSourceTree.h"
#include "core/AppHost.h"
#include "core/DialogService.h"
#include "ui/AppCommandIds.h"
#include "ui/CommandManager.h"

namespace
{
    enum MenuItems
    {
        menuSync = 1, menuSendChanges, menuBackupAll, menuBackupSelected, menuBackupUser,
        menuCreateGroup, menuGroupSelected, menuDuplicate, menuDelete, menuRename,
        menuSend, menuRestore, menuCopyToWorkspace, menuCreateLocalArchive,
        menuCloudSync, menuUpload, menuImportArd, menuImportPack, menuConvertPacks
    };
}

juce::PopupMenu SourceDataBrowser::createContextMenu()
{
    juce::PopupMenu menu;
    const auto nodes = getSelectedNodes();
    if (page == nullptr || nodes.isEmpty())
        return menu;

    const auto node = nodes.getFirst();
    const auto category = categoryOf (node);
    const auto device = page->getDeviceName();
    const auto what = nodes.size() == 1 ? "'" + node[SourceIds::label].toString() + "'" : juce::String ("All Selected");
    const bool hasData = getSourceNodeWorkingData (node) != nullptr;
    const bool live = unitHasPresets();

    if (isCategoryNode (node, SourceCategories::device))
    {
        if (live)
        {
            auto* set = page->getDataSet();
            auto* working = set != nullptr ? set->getWorking() : nullptr;
            menu.addItem (menuSync, "Get Preset and Setup Data From " + device, true);
            menu.addItem (menuSendChanges, "Send Changes To " + device, set != nullptr && set->hasUnsavedChanges());
            menu.addItem (menuBackupAll, "Backup All Data", true);
            menu.addItem (menuBackupUser, "Backup User Presets",
                          working != nullptr && working->countNonFactoryPresets() > 0);
            menu.addItem (menuBackupSelected, "Backup Selected Presets", ! page->getSelectedSlots().isEmpty());
        }
        else
        {
            menu.addCommandItem (&getCommandManager(), AppCommand::downloadDeviceData, "Synchronize With " + device);
        }
        return menu;
    }

    if (category == SourceCategories::archive)
    {
        menu.addItem (menuCreateGroup, "Create An Empty Group", true);
        if (! node.hasType (SourceIds::category))
        {
            menu.addItem (menuGroupSelected, "Create A Group From Selected", true);
            menu.addItem (menuDuplicate, "Duplicate Selected", true);
            menu.addItem (menuDelete, "Delete Selected", true);
            menu.addItem (menuRename, "Rename", nodes.size() == 1);
            menu.addSeparator();
            if (hasData)
            {
                menu.addItem (menuRestore, "Restore " + what + " To " + device, live && nodes.size() == 1);
                menu.addItem (menuSend, "Send " + what + " To " + device, live);
                menu.addItem (menuCopyToWorkspace, "Copy " + what + " To Workspace", live);
            }
        }
    }
    else if (category == SourceCategories::cloud)
    {
        if (subCategoryOf (node) == SourceCategories::user)
        {
            menu.addItem (menuCloudSync, "Synchronize", true);
            menu.addItem (menuUpload, "Upload Data To My Account", true);
        }
        else if (! node.hasType (SourceIds::group) && hasData)
        {
            menu.addItem (menuSend, "Send " + what + " To " + device, live);
            menu.addItem (menuCopyToWorkspace, "Copy " + what + " To Workspace", live);
            menu.addItem (menuCreateLocalArchive, "Create Local Archive Of " + what, true);
        }
    }

    if (appIsDeveloper() && (category == SourceCategories::archive || category == SourceCategories::cloud))
    {
        juce::PopupMenu developer;
        developer.addItem (menuImportArd, "Import .ard file(s)...");
        developer.addItem (menuImportPack, "Import LS1 preset pack...");
        developer.addItem (menuConvertPacks, "Convert LS1 preset pack(s)...");
        menu.addSeparator();
        menu.addSubMenu ("Developer", developer);
    }
    return menu;
}

void SourceDataBrowser::performContextMenuItem (int itemId)
{
    if (page == nullptr)
        return;
    const auto first = firstSelectedNode();
    auto* set = page->getDataSet();
    const bool unitWorking = set != nullptr && set->getWorking() != nullptr;

    switch (itemId)
    {
        case menuSync:            page->syncWithWarning(); break;
        case menuSendChanges:     page->invokeCommand (AppCommand::applyChanges); break;
        case menuBackupAll:       backup (true, false, false); break;
        case menuBackupSelected:  backup (false, true, false); break;
        case menuBackupUser:      backup (false, false, true); break;
        case menuCreateGroup:     createGroup(); break;
        case menuGroupSelected:   groupSelected(); break;
        case menuDuplicate:
        case menuCreateLocalArchive: duplicateSelected(); break;
        case menuDelete:          deleteSelected(); break;
        case menuRename:          startRename (true); break;
        case menuSend:
        case menuRestore:
            if (unitWorking)
                if (auto data = getSelectedData())
                    page->sendDataToDevice (std::move (data), itemId == menuRestore);
            break;
        case menuCopyToWorkspace:
            if (unitWorking)
                if (auto data = getSelectedData())
                    page->mergeData (findDeviceSourceNode (root), *data, true, true);
            break;
        case menuImportArd:
        case menuImportPack:
        {
            auto target = first.hasType (SourceIds::group) || first.hasType (SourceIds::category) ? first : first.getParent();
            if (itemId == menuImportArd)
                page->importDataFiles (target);
            else
                page->importPresetPack (target);
            break;
        }
        case menuConvertPacks:    page->convertPresetPacks(); break;
        default: break;
    }
}

void SourceDataBrowser::showContextMenu()
{
    auto menu = createContextMenu();
    if (menu.getNumItems() == 0)
        return;
    getDialogService().showPopupMenuAtPointerAsync (menu, this, [this] (int result)
    {
        if (result != 0)
            performContextMenuItem (result);
    });
}
