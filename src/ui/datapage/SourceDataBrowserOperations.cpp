// The browser's operations on the tree, for the toolbar, the menus and the keys:
// backups of the unit, groups, deleting, duplicating and renaming. Each is one
// undoable step, saved to the backup index at once.

#include "ui/datapage/SourceDataBrowser.h"
#include "archive/DataSourceTree.h"
#include "ui/datapage/NewBackups.h"
#include "ui/datapage/BackupNodeAction.h"

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

    addNewBackups (*page, target, { createArchiveSourceNode (std::move (item)) }, this);
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
        any = undo.perform (new BackupNodeAction (BackupNodeAction::Step::remove, node, node.getParent(), *page)) || any;
    }
    // The index is saved once, and only then are the files it no longer lists removed.
    page->finishBackupStep (this);
    if (! any)
        return;

    const auto next = inCloud ? findSourceNodeByCategory (root, SourceCategories::cloud, SourceCategories::uploadFolder)
                              : findSourceNodeByCategory (root, SourceCategories::archive);
    selectSource (next);
}

juce::ValueTree SourceDataBrowser::makeArchiveCopy (const DeviceDataArchive& item, DeviceData* working,
                                                    const juce::String& title)
{
    auto copy = std::make_unique<DeviceDataArchive> (item);
    // The copy has no files of its own yet: the index gives it a new name in the backups.
    copy->setLinkData ({});
    copy->setHomeFolder ({});
    if (working != nullptr)
        copy->setData (*working);
    copy->setTitle (title);
    return createArchiveSourceNode (std::move (copy));
}

void SourceDataBrowser::copyIntoBackups (juce::ValueTree target, const juce::Array<juce::ValueTree>& nodes)
{
    // Each copy's title is made unique among the target's children and the copies before it.
    juce::ValueTree titles ("titles");
    for (const auto& child : target)
        titles.appendChild (juce::ValueTree (SourceIds::node, { { SourceIds::label, child[SourceIds::label] } }), nullptr);

    juce::Array<juce::ValueTree> copies;
    for (auto& node : nodes)
        if (auto* item = getSourceNodeArchive (node))
        {
            const auto title = makeUniqueTitle (titles, item->getTitle() + " copy");
            titles.appendChild (juce::ValueTree (SourceIds::node, { { SourceIds::label, title } }), nullptr);
            copies.add (makeArchiveCopy (*item, getSourceNodeWorkingData (node), title));
        }
    if (! copies.isEmpty())
        addNewBackups (*page, target, copies, this);
}

void SourceDataBrowser::duplicateSelected()
{
    if (page == nullptr)
        return;
    const auto first = firstSelectedNode();
    auto target = categoryOf (first) == SourceCategories::archive ? getArchiveTarget()
                                                                   : findSourceNodeByCategory (root, SourceCategories::archive);
    if (target.isValid())
        copyIntoBackups (target, getSelectedNodes());
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
