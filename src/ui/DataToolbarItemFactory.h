#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// The items of the data page's toolbar. Each is a ToolbarButtonEx with a two-line
// label, a tooltip and an embedded icon; the page handles their clicks.
class DataToolbarItemFactory : public juce::ToolbarItemFactory
{
public:
    enum ItemIds
    {
        syncItem = 1, getDataItem, applyChangesItem, sendSetupItem, sendSelectedItem,
        deleteBackupItem, backupAllItem, backupUserItem, backupSelectedItem, optimizeSpaceItem,
        findPresetItem, toggleViewItem, deleteSetupItem, newGroupItem, groupSelectedItem,
        duplicateSelectedItem, selectUserItem, deletePresetsItem, cutItem, copyItem, pasteItem,
        undoItem, redoItem, exportItem, importItem, downloadAccountItem, uploadAccountItem,

        firstItem = syncItem,
        lastItem = uploadAccountItem
    };

    ~DataToolbarItemFactory() override;

    void getAllToolbarItemIds (juce::Array<int>& ids) override;
    void getDefaultItemSet (juce::Array<int>& ids) override;
    juce::ToolbarItemComponent* createItem (int itemId) override;

    // The label, tooltip and embedded icon of an item id; empty for any other id.
    // The toggle-view item also has a picture for its on state.
    static juce::String getLabel (int itemId);
    static juce::String getTooltip (int itemId);
    static juce::String getIconResourceName (int itemId);
    static juce::String getToggledIconResourceName (int itemId);
};
