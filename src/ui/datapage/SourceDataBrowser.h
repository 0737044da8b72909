#pragma once

#include "ui/datapage/DataPageEditOperations.h"
#include "ui/datapage/DataSetTreeView.h"
#include "ui/datapage/SourceBrowserListener.h"
#include "ui/datapage/SourceTreeItem.h"

class DeviceDataArchive;

// The data page's left panel ("Browser"): the tree of sources (the unit, the local
// backups and their groups, the cloud), from which the user picks what the workspace
// shows, makes and organises backups, renames and deletes them, sends or restores
// them to the unit and drags data between sources. Every change it makes to the tree
// goes through the page's undo manager; every change to the backups is saved to the
// backup index at once (each file replaced whole, the old one kept on failure).
// The class's work is spread over files by job: the tree, its selection and its look
// (SourceDataBrowser.cpp), the operations (SourceDataBrowserOperations.cpp), the
// context menu (SourceDataBrowserMenu.cpp) and the drops (SourceDataBrowserDragDrop.cpp).
class SourceDataBrowser : public juce::Component,
                          public juce::TextEditor::Listener,
                          public juce::DragAndDropTarget
{
public:
    SourceDataBrowser();
    ~SourceDataBrowser() override;

    // Shows the tree under the root of the page (none with a null page).
    void setRoot (DataPageEditOperations* page, const juce::ValueTree& root);
    DataPageEditOperations* getPage() const noexcept { return page; }

    // Selects the item of a node alone; false when the node is not in the tree.
    bool selectSource (const juce::ValueTree& node);
    // Selects the items of the nodes that are in the tree, and only those; false when none is.
    bool selectSources (const juce::Array<juce::ValueTree>& nodes);
    juce::Array<juce::ValueTree> getSelectedNodes() const;
    // The selected sources' working copies in one: a full copy of the first, the others
    // merged in. Null when none has a working copy. The caller owns it.
    std::unique_ptr<DeviceData> getSelectedData() const;

    void addListener (SourceBrowserListener*);
    void removeListener (SourceBrowserListener*);
    // Tells every listener, last added first; stops when the browser is gone meanwhile.
    void notifySelectionChanged();

    //==============================================================================
    // Operations of the toolbar and the menus (SourceDataBrowserOperations.cpp).
    void backup (bool all, bool selected, bool user);
    void createGroup();
    void groupSelected();
    void deleteSelected();
    // Removes backups (or uploads) from the tree and deletes their files, in one undoable step.
    void deleteNodes (const juce::Array<juce::ValueTree>& nodes);
    void duplicateSelected();
    void startRename (bool selectAllText);

    // The context menu of the current selection (empty without a selection), and what
    // each of its items does (SourceDataBrowserMenu.cpp).
    juce::PopupMenu createContextMenu();
    void performContextMenuItem (int itemId);
    void showContextMenu();

    //==============================================================================
    // Drops onto an item of the tree (SourceDataBrowserDragDrop.cpp). `onto` is a drop on the item itself rather than
    // between rows; `insertIndex` the place among the target's children.
    bool canDrop (const juce::ValueTree& target, const juce::DragAndDropTarget::SourceDetails&) const;
    void dropOnto (const juce::ValueTree& target, int insertIndex, bool onto,
                   const juce::DragAndDropTarget::SourceDetails&);
    // The menu for presets dropped onto the unit, and what it does.
    void dropPresetsOnDevice (const juce::ValueTree& sourceNode, const juce::Array<int>& slots);

    // A drag of presets comes from a PresetDragSource component, or carries this
    // description: an object with the source node's "id" and the "slots".
    static juce::var makePresetDragDescription (const juce::ValueTree& sourceNode, const juce::Array<int>& slots);

    //==============================================================================
    DataSetTreeView& getTreeView() noexcept { return treeView; }
    juce::TextEditor& getRenameEditor() noexcept { return renameEditor; }
    SourceTreeItem* getRootItem() const noexcept { return rootItem.get(); }
    juce::ValueTree getRoot() const { return root; }

    // The node that new backups, groups and copies go into: the selected group under
    // "archive", the group of a selected archive item, else the "archive" node.
    juce::ValueTree getArchiveTarget() const;
    // A title made unique among the target's children: " (n)" is added when any child
    // is labelled with it or with it followed by " (".
    static juce::String makeUniqueTitle (const juce::ValueTree& target, const juce::String& title);

    // Saves the backup index after a change; shows a warning when it could not be saved.
    bool saveArchive();

    void paint (juce::Graphics&) override;
    void resized() override;
    void mouseDown (const juce::MouseEvent&) override;
    bool keyPressed (const juce::KeyPress&) override;

    void textEditorReturnKeyPressed (juce::TextEditor&) override;
    void textEditorEscapeKeyPressed (juce::TextEditor&) override;
    void textEditorFocusLost (juce::TextEditor&) override;

    bool isInterestedInDragSource (const SourceDetails&) override { return false; }
    void itemDropped (const SourceDetails&) override {}

private:
    static bool isCategoryNode (const juce::ValueTree& node, const char* category);
    static juce::String categoryOf (const juce::ValueTree& node);
    static juce::String subCategoryOf (const juce::ValueTree& node);
    // The nodes without those that lie inside another of them: they travel with it.
    static juce::Array<juce::ValueTree> outermostOf (const juce::Array<juce::ValueTree>& nodes);

    juce::ValueTree firstSelectedNode() const;
    bool isUnderArchive (const juce::ValueTree& node) const;
    bool isDeletable (const juce::ValueTree& node) const;
    void backupInto (juce::ValueTree target, bool all, bool selected, bool user);
    juce::String nextGroupLabel();
    juce::ValueTree addGroupTo (juce::ValueTree target);
    static juce::ValueTree makeArchiveCopy (const DeviceDataArchive& item, DeviceData* working, const juce::String& title);
    // Copies of the archive items among the nodes, added to the target as new backups.
    void copyIntoBackups (juce::ValueTree target, const juce::Array<juce::ValueTree>& nodes);
    void commitRename();
    bool unitHasPresets() const;
    juce::Array<juce::ValueTree> draggedNodesOf (const SourceDetails&) const;
    void moveNodes (const juce::Array<juce::ValueTree>& nodes, juce::ValueTree target, int insertIndex);

    DataPageEditOperations* page = nullptr;
    juce::ValueTree root;
    DataSetTreeView treeView;
    std::unique_ptr<SourceTreeItem> rootItem;
    juce::TextEditor renameEditor;
    juce::ValueTree renamingNode;
    juce::Array<SourceBrowserListener*> listeners;
    int groupsMade = 0;

    JUCE_DECLARE_NON_COPYABLE (SourceDataBrowser)
};
