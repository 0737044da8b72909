// Drops onto the source tree: presets onto the unit (with the drop menu), the unit
// onto the backups (a backup), and backups and cloud items moved or copied among the
// backups or sent to the unit.

#include "ui/datapage/SourceDataBrowser.h"
#include "archive/DataSourceTree.h"
#include "core/DialogService.h"
#include "ui/datapage/PresetDragSource.h"

namespace
{
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

    copyIntoBackups (target, nodes);
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
