#include "ui/datapage/SourceDataBrowser.h"
#include "archive/DataSourceTree.h"
#include "archive/LocalArchiveManager.h"
#include "core/AppHost.h"
#include "core/DialogService.h"
#include "ui/AppCommandIds.h"
#include "ui/ColourPalette.h"
#include "ui/CommandManager.h"
#include "ui/LSLookAndFeel.h"
#include "ui/MessageBoxes.h"
#include "ui/datapage/PresetDragSource.h"
#include "ui/datapage/RemoveSourceNodeAction.h"

namespace
{
    bool isCategoryNode (const juce::ValueTree& node, const char* category)
    {
        return node.hasType (SourceIds::category) && node[SourceIds::category].toString() == category;
    }

    juce::String categoryOf (const juce::ValueTree& node)
    {
        juce::String category, subCategory;
        getSourceNodeCategory (node, category, subCategory);
        return category;
    }

    juce::String subCategoryOf (const juce::ValueTree& node)
    {
        juce::String category, subCategory;
        getSourceNodeCategory (node, category, subCategory);
        return subCategory;
    }

    float scaleOf (const juce::Component& c)
    {
        auto* laf = dynamic_cast<LSLookAndFeel*> (&c.getLookAndFeel());
        return laf != nullptr ? laf->getScale() : 1.0f;
    }

    // The range of n consecutive empty slots from slot 1 on; empty when none fits.
    juce::Array<int> findEmptyRange (const DeviceData& data, int n)
    {
        int run = 0;
        for (int slot = 1; slot < data.getNumSlots() && n > 0; ++slot)
        {
            run = data.hasPreset (slot) ? 0 : run + 1;
            if (run == n)
            {
                juce::Array<int> range;
                for (int s = slot - n + 1; s <= slot; ++s)
                    range.add (s);
                return range;
            }
        }
        return {};
    }

    // The nodes without those that lie inside another of them: they travel with it.
    juce::Array<juce::ValueTree> outermostOf (const juce::Array<juce::ValueTree>& nodes)
    {
        juce::Array<juce::ValueTree> result;
        for (auto& node : nodes)
        {
            bool inside = false;
            for (auto& other : nodes)
                inside = inside || (other != node && node.isAChildOf (other));
            if (! inside)
                result.addIfNotAlreadyThere (node);
        }
        return result;
    }

    enum MenuItems
    {
        menuSync = 1, menuSendChanges, menuBackupAll, menuBackupSelected, menuBackupUser,
        menuCreateGroup, menuGroupSelected, menuDuplicate, menuDelete, menuRename,
        menuSend, menuRestore, menuCopyToWorkspace, menuCreateLocalArchive,
        menuCloudSync, menuUpload, menuImportArd, menuImportPack, menuConvertPacks
    };
}

SourceDataBrowser::SourceDataBrowser()
{
    setName ("Browser");
    setWantsKeyboardFocus (false);
    addAndMakeVisible (treeView);
    treeView.addMouseListener (this, true);
    treeView.setColour (juce::TreeView::backgroundColourId, paletteColour096);

    addChildComponent (renameEditor);
    renameEditor.addListener (this);
}

SourceDataBrowser::~SourceDataBrowser()
{
    treeView.removeMouseListener (this);
    treeView.setRootItem (nullptr);
}

//==============================================================================
void SourceDataBrowser::setRoot (DataPageEditOperations* newPage, const juce::ValueTree& newRoot)
{
    renamingNode = {};
    renameEditor.setVisible (false);
    treeView.setRootItem (nullptr);
    rootItem.reset();

    page = newPage;
    root = newRoot;
    if (page != nullptr && root.isValid())
    {
        rootItem = std::make_unique<SourceTreeItem> (*this, root, &page->getUndoManager());
        treeView.setRootItem (rootItem.get());
        rootItem->setOpen (true);
        // The sources themselves start open.
        for (int i = 0; i < rootItem->getNumSubItems(); ++i)
            rootItem->getSubItem (i)->setOpen (true);
    }
    resized();
}

bool SourceDataBrowser::selectSource (const juce::ValueTree& node)
{
    if (rootItem == nullptr || ! node.isValid())
        return false;
    auto* item = rootItem->findItemFor (node);
    if (item == nullptr || item == rootItem.get())
        return false;
    item->setSelected (true, true);
    treeView.scrollToKeepItemVisible (item);
    return item->isSelected();
}

juce::Array<juce::ValueTree> SourceDataBrowser::getSelectedNodes() const
{
    return treeView.getSelectedNodes();
}

juce::ValueTree SourceDataBrowser::firstSelectedNode() const
{
    const auto nodes = getSelectedNodes();
    return nodes.isEmpty() ? juce::ValueTree() : nodes.getFirst();
}

std::unique_ptr<DeviceData> SourceDataBrowser::getSelectedData() const
{
    std::unique_ptr<DeviceData> combined;
    for (auto& node : getSelectedNodes())
        if (auto* working = getSourceNodeWorkingData (node))
        {
            if (combined == nullptr)
                combined = working->createFullCopy (false);
            else
                combined->mergeFrom (*working);
        }
    return combined;
}

void SourceDataBrowser::addListener (SourceBrowserListener* l)
{
    if (l != nullptr)
        listeners.addIfNotAlreadyThere (l);
}

void SourceDataBrowser::removeListener (SourceBrowserListener* l)
{
    listeners.removeFirstMatchingValue (l);
}

void SourceDataBrowser::notifySelectionChanged()
{
    juce::Component::BailOutChecker checker (this);
    for (int i = listeners.size(); --i >= 0;)
    {
        if (checker.shouldBailOut())
            return;
        i = juce::jmin (i, listeners.size() - 1);
        if (i < 0)
            return;
        listeners.getUnchecked (i)->sourceSelectionChanged();
    }
}

//==============================================================================
bool SourceDataBrowser::isUnderArchive (const juce::ValueTree& node) const
{
    return categoryOf (node) == SourceCategories::archive;
}

bool SourceDataBrowser::isDeletable (const juce::ValueTree& node) const
{
    if (node.hasType (SourceIds::category) || node.hasType (SourceIds::root) || ! node.getParent().isValid())
        return false;
    if (isUnderArchive (node))
        return true;
    // In the cloud only what lies inside an upload folder, not the folder itself.
    return subCategoryOf (node) == SourceCategories::uploadFolder
           && ! (node.hasType (SourceIds::subCategory)
                 && node[SourceIds::subCategory].toString() == SourceCategories::uploadFolder);
}

juce::ValueTree SourceDataBrowser::getArchiveTarget() const
{
    const auto archive = findSourceNodeByCategory (root, SourceCategories::archive);
    const auto first = firstSelectedNode();
    if (first.isValid() && isUnderArchive (first) && ! first.hasType (SourceIds::category))
    {
        if (first.hasType (SourceIds::group))
            return first;
        const auto parent = first.getParent();
        if (parent.isValid() && (parent.hasType (SourceIds::group) || parent == archive))
            return parent;
    }
    return archive;
}

juce::String SourceDataBrowser::makeUniqueTitle (const juce::ValueTree& target, const juce::String& title)
{
    juce::StringArray taken;
    int similar = 0;
    for (const auto& child : target)
    {
        const auto label = child[SourceIds::label].toString();
        taken.add (label);
        if (label == title || label.startsWith (title + " ("))
            ++similar;
    }
    if (similar == 0)
        return title;

    for (int n = similar + 1;; ++n)
    {
        const auto candidate = title + " (" + juce::String (n) + ")";
        if (! taken.contains (candidate))
            return candidate;
    }
}

bool SourceDataBrowser::saveArchive()
{
    auto* manager = page != nullptr ? page->getArchiveManager() : nullptr;
    if (manager == nullptr || manager->isConversionRunning())
        return false;
    if (manager->saveIndex())
        return true;
    showWarningBox (this, "File Error",
                    "Larkspire was unable to save the backups to disk. Please make sure the drive is not full.");
    return false;
}

bool SourceDataBrowser::unitHasPresets() const
{
    auto* set = page != nullptr ? page->getDataSet() : nullptr;
    auto* live = set != nullptr ? set->getDevice() : nullptr;
    return live != nullptr && live->countPresets() > 0;
}

//==============================================================================
void SourceDataBrowser::backup (bool all, bool selected, bool user)
{
    backupInto (getArchiveTarget(), all, selected, user);
}

void SourceDataBrowser::backupInto (juce::ValueTree target, bool all, bool selected, bool user)
{
    if (page == nullptr)
        return;
    const auto deviceNode = findDeviceSourceNode (root);
    auto* working = getSourceNodeWorkingData (deviceNode);
    if (working == nullptr || ! target.isValid())
        return;

    juce::Array<int> slots;
    if (all)
        slots = working->getPresetIndices();
    else
    {
        if (selected)
            for (auto slot : page->getSelectedSlots())
                slots.addIfNotAlreadyThere (slot);
        if (user)
            for (auto slot : working->getNonFactoryPresetIndices())
                slots.addIfNotAlreadyThere (slot);
        slots.sort();
    }

    auto data = working->createCopy (slots, true, true);
    auto item = std::make_unique<DeviceDataArchive> (data.get(), "Backup", juce::String());
    const char* kind = all ? " (All)" : (user && ! selected) ? " (User)" : (selected && ! user) ? " (Selected)" : " (\?\?\?)";
    item->setTitle (makeUniqueTitle (target, item->getDateText() + kind));

    auto node = createArchiveSourceNode (std::move (item));
    auto& undo = page->getUndoManager();
    undo.beginNewTransaction();
    target.appendChild (node, &undo);
    saveArchive();
}

juce::String SourceDataBrowser::nextGroupLabel()
{
    ++groupsMade;
    return groupsMade == 1 ? juce::String ("New Group") : "New Group " + juce::String (groupsMade);
}

juce::ValueTree SourceDataBrowser::addGroupTo (juce::ValueTree target)
{
    auto group = createSourceNode (SourceIds::group, nextGroupLabel());
    target.appendChild (group, &page->getUndoManager());
    return group;
}

void SourceDataBrowser::createGroup()
{
    auto target = getArchiveTarget();
    if (page == nullptr || ! target.isValid())
        return;
    page->getUndoManager().beginNewTransaction();
    auto group = addGroupTo (target);
    saveArchive();
    if (selectSource (group))
        startRename (true);
}

void SourceDataBrowser::groupSelected()
{
    auto target = getArchiveTarget();
    if (page == nullptr || ! target.isValid())
        return;

    juce::Array<juce::ValueTree> moving;
    for (auto& node : getSelectedNodes())
        if (isUnderArchive (node) && (node.hasType (SourceIds::node) || node.hasType (SourceIds::group)))
            moving.add (node);
    moving = outermostOf (moving);

    // The new group sits beside the selection, so a selected group is never moved into itself.
    if (moving.contains (target))
        target = target.getParent();

    auto& undo = page->getUndoManager();
    undo.beginNewTransaction();
    auto group = addGroupTo (target);
    for (auto& node : moving)
    {
        if (group.isAChildOf (node))
            continue;
        node.getParent().removeChild (node, &undo);
        group.appendChild (node, &undo);
    }
    saveArchive();
    if (selectSource (group))
        startRename (true);
}

void SourceDataBrowser::deleteSelected()
{
    deleteNodes (getSelectedNodes());
}

void SourceDataBrowser::deleteNodes (const juce::Array<juce::ValueTree>& nodes)
{
    if (page == nullptr || nodes.isEmpty())
        return;
    const bool inCloud = categoryOf (nodes.getFirst()) == SourceCategories::cloud;

    auto& undo = page->getUndoManager();
    bool any = false;
    for (int i = nodes.size(); --i >= 0;)
    {
        const auto& node = nodes.getReference (i);
        if (! isDeletable (node) || ! node.getParent().isValid())
            continue;
        if (! any)
            undo.beginNewTransaction();
        juce::Component::SafePointer<SourceDataBrowser> self (this);
        any = undo.perform (new RemoveSourceNodeAction (node, [self] {
                  if (self != nullptr)
                      self->saveArchive();
              })) || any;
    }
    if (! any)
        return;

    saveArchive();
    const auto next = inCloud ? findSourceNodeByCategory (root, SourceCategories::cloud, SourceCategories::uploadFolder)
                              : findSourceNodeByCategory (root, SourceCategories::archive);
    selectSource (next);
}

void SourceDataBrowser::addArchiveCopy (juce::ValueTree target, const DeviceDataArchive& item, DeviceData* working,
                                        const juce::String& title)
{
    auto copy = std::make_unique<DeviceDataArchive> (item);
    // The copy has no files of its own yet: the index gives it a new name in the backups.
    copy->setLinkData ({});
    copy->setHomeFolder ({});
    if (working != nullptr)
        copy->setData (*working);
    copy->setTitle (title);
    target.appendChild (createArchiveSourceNode (std::move (copy)), &page->getUndoManager());
}

void SourceDataBrowser::duplicateSelected()
{
    if (page == nullptr)
        return;
    const auto first = firstSelectedNode();
    auto target = categoryOf (first) == SourceCategories::archive ? getArchiveTarget()
                                                                   : findSourceNodeByCategory (root, SourceCategories::archive);
    if (! target.isValid())
        return;

    bool began = false;
    for (auto& node : getSelectedNodes())
        if (auto* item = getSourceNodeArchive (node))
        {
            if (! began)
                page->getUndoManager().beginNewTransaction();
            began = true;
            addArchiveCopy (target, *item, getSourceNodeWorkingData (node), makeUniqueTitle (target, item->getTitle() + " copy"));
        }
    if (began)
        saveArchive();
}

void SourceDataBrowser::startRename (bool selectAllText)
{
    auto* item = dynamic_cast<SourceTreeItem*> (treeView.getSelectedItem (0));
    if (item == nullptr)
        return;

    renamingNode = item->getNode();
    const auto area = item->getItemPosition (true).translated (treeView.getX(), treeView.getY());
    renameEditor.setFont (item->getFont());
    renameEditor.setBounds (area.withTrimmedLeft (juce::roundToInt (area.getHeight() * 0.9f)));
    renameEditor.setText (renamingNode[SourceIds::label].toString(), false);
    renameEditor.setVisible (true);
    renameEditor.toFront (false);
    renameEditor.grabKeyboardFocus();
    if (selectAllText)
        renameEditor.selectAll();
    else
        renameEditor.setCaretPosition (renameEditor.getTotalNumChars());
}

void SourceDataBrowser::commitRename()
{
    auto node = renamingNode;
    renamingNode = {};
    renameEditor.setVisible (false);
    if (! node.isValid() || page == nullptr)
        return;

    const auto text = renameEditor.getText().trim();
    if (text.isEmpty() || text == node[SourceIds::label].toString())
        return;
    page->setArchiveItemTitle (node, text, true, true);
    saveArchive();
}

void SourceDataBrowser::textEditorReturnKeyPressed (juce::TextEditor&)  { commitRename(); }
void SourceDataBrowser::textEditorFocusLost (juce::TextEditor&)        { commitRename(); }

void SourceDataBrowser::textEditorEscapeKeyPressed (juce::TextEditor&)
{
    renamingNode = {};
    renameEditor.setVisible (false);
}

//==============================================================================
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
    const int result = getDialogService().showPopupMenuAtPointer (menu, this);
    if (result != 0)
        performContextMenuItem (result);
}

//==============================================================================
juce::var SourceDataBrowser::makePresetDragDescription (const juce::ValueTree& sourceNode, const juce::Array<int>& slots)
{
    auto* object = new juce::DynamicObject();
    object->setProperty (SourceIds::id, sourceNode[SourceIds::id]);
    juce::Array<juce::var> list;
    for (auto slot : slots)
        list.add (slot);
    object->setProperty ("slots", list);
    return juce::var (object);
}

juce::Array<juce::ValueTree> SourceDataBrowser::draggedNodesOf (const SourceDetails& details) const
{
    if (details.sourceComponent.get() != &treeView || details.description.toString() != SourceTreeItem::dragDescription)
        return {};
    auto nodes = treeView.getDraggedNodes();
    if (nodes.isEmpty())
        nodes = getSelectedNodes();
    return nodes;
}

namespace
{
    juce::ValueTree findNodeById (const juce::ValueTree& node, const juce::var& id)
    {
        if (node[SourceIds::id] == id)
            return node;
        for (const auto& child : node)
            if (auto found = findNodeById (child, id); found.isValid())
                return found;
        return {};
    }

    bool isPresetDrag (const juce::DragAndDropTarget::SourceDetails& details)
    {
        if (dynamic_cast<PresetDragSource*> (details.sourceComponent.get()) != nullptr)
            return true;
        auto* object = details.description.getDynamicObject();
        return object != nullptr && object->hasProperty ("slots") && object->hasProperty (SourceIds::id);
    }
}

bool SourceDataBrowser::canDrop (const juce::ValueTree& target, const SourceDetails& details) const
{
    if (page == nullptr)
        return false;

    const bool ontoDevice = isCategoryNode (target, SourceCategories::device);
    const bool ontoArchive = isCategoryNode (target, SourceCategories::archive)
                             || (target.hasType (SourceIds::group) && isUnderArchive (target));

    if (isPresetDrag (details))
        return ontoDevice;

    const auto nodes = draggedNodesOf (details);
    if (nodes.isEmpty())
        return false;
    const auto first = nodes.getFirst();

    if (isCategoryNode (first, SourceCategories::device))
        return ontoArchive;

    const auto category = categoryOf (first);
    if (category != SourceCategories::archive && category != SourceCategories::cloud)
        return false;
    if (ontoDevice)
        return getSourceNodeWorkingData (first) != nullptr;
    if (! ontoArchive)
        return false;
    // A group never goes into itself or below itself.
    for (auto& node : nodes)
        if (node == target || target.isAChildOf (node))
            return false;
    return true;
}

void SourceDataBrowser::moveNodes (const juce::Array<juce::ValueTree>& nodes, juce::ValueTree target, int insertIndex)
{
    auto& undo = page->getUndoManager();
    undo.beginNewTransaction();
    int position = insertIndex;
    for (auto node : outermostOf (nodes))
    {
        if (node == target || target.isAChildOf (node) || ! node.getParent().isValid())
            continue;
        auto parent = node.getParent();
        const int from = parent.indexOf (node);
        if (parent == target && position >= 0 && from < position)
            --position;
        parent.removeChild (node, &undo);
        const int at = position < 0 ? -1 : juce::jmin (position, target.getNumChildren());
        target.addChild (node, at, &undo);
        if (position >= 0)
            ++position;
    }
    saveArchive();
}

void SourceDataBrowser::dropOnto (const juce::ValueTree& target, int insertIndex, bool onto, const SourceDetails& details)
{
    if (! canDrop (target, details))
        return;

    if (isPresetDrag (details))
    {
        juce::ValueTree sourceNode;
        juce::Array<int> slots;
        if (auto* source = dynamic_cast<PresetDragSource*> (details.sourceComponent.get()))
        {
            sourceNode = source->getDraggedSourceNode();
            slots = source->getDraggedSlots();
        }
        else if (auto* object = details.description.getDynamicObject())
        {
            sourceNode = findNodeById (root, object->getProperty (SourceIds::id));
            if (auto* list = object->getProperty ("slots").getArray())
                for (auto& v : *list)
                    slots.add ((int) v);
        }
        if (sourceNode.isValid())
            dropPresetsOnDevice (sourceNode, slots);
        return;
    }

    const auto nodes = draggedNodesOf (details);
    const auto first = nodes.getFirst();

    if (isCategoryNode (first, SourceCategories::device))
    {
        // A backup of everything into the group it was dropped on.
        backupInto (target, true, false, false);
        return;
    }

    if (isCategoryNode (target, SourceCategories::device))
    {
        if (auto* working = getSourceNodeWorkingData (first))
            dropPresetsOnDevice (first, working->getPresetIndices());
        return;
    }

    // Within the backups, a drop between rows moves; a drop onto a group, or anything
    // from the cloud, copies.
    if (! onto && categoryOf (first) == SourceCategories::archive)
    {
        moveNodes (nodes, target, insertIndex);
        return;
    }

    page->getUndoManager().beginNewTransaction();
    bool any = false;
    for (auto& node : nodes)
        if (auto* item = getSourceNodeArchive (node))
        {
            addArchiveCopy (target, *item, getSourceNodeWorkingData (node),
                            makeUniqueTitle (target, item->getTitle() + " copy"));
            any = true;
        }
    if (any)
        saveArchive();
}

void SourceDataBrowser::dropPresetsOnDevice (const juce::ValueTree& sourceNode, const juce::Array<int>& slots)
{
    if (page == nullptr || slots.isEmpty())
        return;
    const auto deviceNode = findDeviceSourceNode (root);
    auto* target = getSourceNodeWorkingData (deviceNode);
    auto* source = getSourceNodeWorkingData (sourceNode);
    if (target == nullptr || source == nullptr)
        return;

    const int n = slots.size();
    const juce::String noun = n == 1 ? "Preset" : "Presets";
    auto empties = target->getEmptySlots (target->getNumSlots() - 1);
    empties.removeRange (n, empties.size());
    const auto range = findEmptyRange (*target, n);

    juce::PopupMenu menu;
    menu.addSectionHeader ("To Workspace");
    if (n == 1)
    {
        auto* p = source->getPreset (slots.getFirst());
        menu.addItem (1, "Replace " + juce::String (slots.getFirst()) + ": " + (p != nullptr ? p->getName() : juce::String ("<empty>")));
    }
    else
    {
        menu.addItem (1, "Replace Presets");
    }
    menu.addItem (2, "Paste " + noun + " to Empty Slot" + (n == 1 ? "" : "s"), empties.size() == n);
    menu.addItem (3, "Paste " + noun + " to Empty Range"
                      + (range.isEmpty() ? juce::String()
                                         : " [" + juce::String (range.getFirst()) + "-" + juce::String (range.getLast()) + "]"),
                  ! range.isEmpty());
    menu.addSectionHeader ("To " + page->getDeviceName());
    menu.addItem (4, "Restore Data");
    menu.addItem (5, "Send Presets");
    menu.addItem (6, "Send Setup");
    menu.addSeparator();
    menu.addItem (7, "Cancel");

    const int result = getDialogService().showPopupMenuAtPointer (menu, this);
    juce::Array<int> targetSlots;
    switch (result)
    {
        case 1: targetSlots = slots; break;
        case 2: if (empties.size() == n) targetSlots = empties; break;
        case 3: targetSlots = range; break;
        case 4:
        case 5:
            page->sendDataToDevice (source->createCopy (slots, true, true), result == 4);
            return;
        case 6:
            page->sendDataToDevice (source->createCopy ({}, true, true), false);
            return;
        default:
            return;
    }
    if (targetSlots.isEmpty())
        return;
    page->copyPresets (deviceNode, targetSlots, sourceNode, slots, true, true);
    page->selectSlots (deviceNode, targetSlots);
}

//==============================================================================
void SourceDataBrowser::paint (juce::Graphics& g)
{
    g.fillAll (paletteColour096);
    const int header = juce::roundToInt (20.0f * scaleOf (*this));
    if (auto* laf = dynamic_cast<LSLookAndFeel*> (&getLookAndFeel()))
        laf->drawPanelHeader (g, getLocalBounds().removeFromTop (header), getName(), false, true);
    g.setColour (paletteColour097);
    g.drawRect (treeView.getBounds().expanded (1), 1);
}

void SourceDataBrowser::resized()
{
    const float scale = scaleOf (*this);
    auto area = getLocalBounds();
    area.removeFromTop (juce::roundToInt (20.0f * scale));
    treeView.setBounds (area.reduced (juce::roundToInt (4.0f * scale)));
}

void SourceDataBrowser::mouseDown (const juce::MouseEvent& e)
{
    if (e.mods.isPopupMenu() && rootItem != nullptr && treeView.getNumSelectedItems() > 0)
        showContextMenu();
}

bool SourceDataBrowser::keyPressed (const juce::KeyPress& key)
{
    if (rootItem != nullptr && (key == juce::KeyPress::deleteKey || key == juce::KeyPress::backspaceKey))
        deleteSelected();
    return false;
}
