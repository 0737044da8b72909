// The page's toolbar: which items are enabled for the selection, and what a click on each does.

#include "ui/DataPage.h"
#include "archive/DataSourceTree.h"
#include "ui/AppCommandIds.h"
#include "ui/MessageBoxes.h"

using namespace juce;

namespace
{
    bool isEditableCategory (const ValueTree& node)
    {
        return ! isReadOnlySourceNode (node);
    }

    // An empty slot with a filled one somewhere after it.
    bool hasGapBeforeAPreset (const DeviceData& data)
    {
        bool sawEmpty = false;
        for (int slot = 1; slot < data.getNumSlots(); ++slot)
        {
            if (! data.hasPreset (slot))
                sawEmpty = true;
            else if (sawEmpty)
                return true;
        }
        return false;
    }
}

ToolbarItemComponent* DataPage::getToolbarItem (int itemId) const
{
    for (int i = 0; i < toolbar.getNumItems(); ++i)
        if (toolbar.getItemId (i) == itemId)
            return toolbar.getItemComponent (i);
    return nullptr;
}

void DataPage::setItemEnabled (int itemId, bool enabled)
{
    if (auto* item = getToolbarItem (itemId))
        item->setEnabled (enabled);
}

bool DataPage::isGridShown() const
{
    return workspace->getViewType() == DataViewPanel::gridView;
}

void DataPage::updateToolbarState (bool force)
{
    if (! toolbar.isVisible() && ! force)
        return;

    const auto source = getSelectedSource();
    auto* selected = getSourceNodeWorkingData (source);
    auto* unitWorking = dataSet != nullptr ? dataSet->getWorking() : nullptr;
    const bool gridHasSelection = ! workspace->getGrid().getSelection().isEmpty();

    setItemEnabled (DataToolbarItemFactory::applyChangesItem, dataSet != nullptr && dataSet->hasUnsavedChanges());
    setItemEnabled (DataToolbarItemFactory::sendSetupItem, selected != nullptr && selected->getSetup().isComplete());
    setItemEnabled (DataToolbarItemFactory::sendSelectedItem, selected != nullptr && gridHasSelection);
    setItemEnabled (DataToolbarItemFactory::backupAllItem, unitWorking != nullptr);
    setItemEnabled (DataToolbarItemFactory::backupUserItem, unitWorking != nullptr && unitWorking->countNonFactoryPresets() > 0);
    setItemEnabled (DataToolbarItemFactory::backupSelectedItem,
                    selected != nullptr && selected == unitWorking && gridHasSelection);
    setItemEnabled (DataToolbarItemFactory::optimizeSpaceItem,
                    selected != nullptr && hasGapBeforeAPreset (*selected) && isEditableCategory (source));
    setItemEnabled (DataToolbarItemFactory::toggleViewItem, selected != nullptr);
    setItemEnabled (DataToolbarItemFactory::exportItem, selected != nullptr);
    setItemEnabled (DataToolbarItemFactory::importItem, selected != nullptr);
    setItemEnabled (DataToolbarItemFactory::selectUserItem, selected != nullptr && selected->countNonFactoryPresets() > 0);
    setItemEnabled (DataToolbarItemFactory::undoItem, undoManager.canUndo());
    setItemEnabled (DataToolbarItemFactory::redoItem, undoManager.canRedo());
}

void DataPage::buttonClicked (Button* button)
{
    auto* item = dynamic_cast<ToolbarItemComponent*> (button);
    if (item == nullptr)
        return;

    const int id = item->getItemId();
    auto& grid = workspace->getGrid();

    switch (id)
    {
        case DataToolbarItemFactory::getDataItem:        syncWithWarning(); break;
        case DataToolbarItemFactory::applyChangesItem:   invokeCommand (AppCommand::applyChanges); break;
        case DataToolbarItemFactory::sendSetupItem:      invokeCommand (AppCommand::restoreSetup); break;
        case DataToolbarItemFactory::sendSelectedItem:   invokeCommand (AppCommand::sendDirectToDevice); break;
        case DataToolbarItemFactory::deleteBackupItem:   browser.deleteSelected(); break;
        case DataToolbarItemFactory::backupAllItem:      browser.backup (true, true, true); break;
        case DataToolbarItemFactory::backupUserItem:     browser.backup (false, false, true); break;
        case DataToolbarItemFactory::backupSelectedItem: browser.backup (false, true, false); break;
        case DataToolbarItemFactory::optimizeSpaceItem:
        {
            const auto source = getSelectedSource();
            if (isGridShown() && isEditableCategory (source))
                defragment (source, true, true);
            break;
        }
        case DataToolbarItemFactory::findPresetItem:     findPreset(); break;
        case DataToolbarItemFactory::toggleViewItem:
            item->setToggleState (! item->getToggleState(), dontSendNotification);
            grid.setViewType (item->getToggleState() ? 1 : 0);
            break;
        case DataToolbarItemFactory::deleteSetupItem:
        case DataToolbarItemFactory::downloadAccountItem:
        case DataToolbarItemFactory::uploadAccountItem:
            showWarningBox (this, "Feature", "Not Implemented Yet!");
            break;
        case DataToolbarItemFactory::newGroupItem:          browser.createGroup(); break;
        case DataToolbarItemFactory::groupSelectedItem:     browser.groupSelected(); break;
        case DataToolbarItemFactory::duplicateSelectedItem: browser.duplicateSelected(); break;
        case DataToolbarItemFactory::selectUserItem:        if (isGridShown()) grid.selectPresets (true); break;
        case DataToolbarItemFactory::deletePresetsItem:     if (isGridShown()) grid.deleteSelected(); break;
        case DataToolbarItemFactory::cutItem:               if (isGridShown()) grid.performMenuCommand (102); break;
        case DataToolbarItemFactory::copyItem:              if (isGridShown()) grid.performMenuCommand (103); break;
        case DataToolbarItemFactory::pasteItem:             if (isGridShown()) grid.performMenuCommand (105); break;
        case DataToolbarItemFactory::undoItem:              undo(); break;
        case DataToolbarItemFactory::redoItem:              redo(); break;
        case DataToolbarItemFactory::exportItem:            exportData(); break;
        case DataToolbarItemFactory::importItem:            importData(); break;
        default: break;
    }
}
