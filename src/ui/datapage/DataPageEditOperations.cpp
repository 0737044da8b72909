#include "ui/datapage/DataPageEditOperations.h"
#include "archive/DataSourceTree.h"
#include "ui/datapage/AddPresetStepAction.h"
#include "ui/datapage/CopyPresetAction.h"
#include "ui/datapage/DefragDataAction.h"
#include "ui/datapage/DeletePresetAction.h"
#include "ui/datapage/InsertPresetAction.h"
#include "ui/datapage/InsertPresetStepAction.h"
#include "ui/datapage/MergeDataAction.h"
#include "ui/datapage/NewBackups.h"
#include "ui/datapage/PastePresetAction.h"
#include "ui/datapage/RenamePresetAction.h"
#include "ui/datapage/SetArchiveItemTitleAction.h"
#include "ui/datapage/SetPresetTagAction.h"
#include "ui/datapage/SwapPresetAction.h"

bool DataPageEditOperations::performAction (juce::UndoableAction* action, bool newTransaction)
{
    std::unique_ptr<juce::UndoableAction> owned (action);
    auto& undo = getUndoManager();

    // The history cannot take an action while it undoes or redoes one.
    if (undo.isPerformingUndoRedo())
        return false;

    if (newTransaction)
        undo.beginNewTransaction();
    return undo.perform (owned.release());
}

bool DataPageEditOperations::undoStep (juce::Component* boxOwner)
{
    const bool stepped = getUndoManager().undo();
    finishBackupStep (boxOwner);
    return stepped;
}

bool DataPageEditOperations::redoStep (juce::Component* boxOwner)
{
    const bool stepped = getUndoManager().redo();
    finishBackupStep (boxOwner);
    return stepped;
}

void DataPageEditOperations::noteBackupsChanged (bool filesWritten)
{
    backupsChanged = true;
    backupFilesWritten = backupFilesWritten && filesWritten;
}

void DataPageEditOperations::finishBackupStep (juce::Component* boxOwner)
{
    const bool changed = std::exchange (backupsChanged, false);
    const bool written = std::exchange (backupFilesWritten, true);
    if (changed)
        saveBackups (*this, boxOwner, written);
}

//==============================================================================
void DataPageEditOperations::deletePresets (const juce::ValueTree& node, const juce::Array<int>& slots,
                                            bool undoable, bool newTransaction)
{
    if (undoable)
    {
        performAction (new DeletePresetAction (*this, node, slots), newTransaction);
        return;
    }

    auto* working = getSourceNodeWorkingData (node);
    if (working == nullptr)
        return;
    working->removePresets (slots);
    notifyPresetDataChanged (node, slots);
}

void DataPageEditOperations::copyPresets (const juce::ValueTree& target, const juce::Array<int>& targetSlots,
                                          const juce::ValueTree& source, const juce::Array<int>& sourceSlots,
                                          bool undoable, bool newTransaction)
{
    if (undoable)
    {
        performAction (new CopyPresetAction (*this, target, targetSlots, source, sourceSlots), newTransaction);
        return;
    }

    auto* to = getSourceNodeWorkingData (target);
    auto* from = getSourceNodeWorkingData (source);
    if (to == nullptr || from == nullptr)
        return;

    // Within one working copy the old contents are read from a copy, so that
    // overlapping ranges never copy a preset that this copy already overwrote.
    std::unique_ptr<DeviceData> temporary;
    if (to == from)
    {
        temporary = from->createCopy (sourceSlots, false, true);
        from = temporary.get();
    }

    for (int i = 0; i < targetSlots.size(); ++i)
    {
        const int sourceSlot = i < sourceSlots.size() ? sourceSlots.getUnchecked (i) : 0;
        to->copyPresetTo (targetSlots.getUnchecked (i), sourceSlot, *from);
    }
    notifyPresetDataChanged (target, targetSlots);
}

void DataPageEditOperations::pastePresets (const juce::ValueTree& node, const juce::Array<int>& targetSlots,
                                           const DeviceData& clipboard, bool undoable, bool newTransaction)
{
    if (undoable)
    {
        performAction (new PastePresetAction (*this, node, targetSlots, clipboard), newTransaction);
        return;
    }

    auto* working = getSourceNodeWorkingData (node);
    const auto filled = clipboard.getPresetIndices();
    if (working == nullptr || filled.isEmpty())
        return;

    // A short clipboard fills a longer target list by repetition.
    for (int i = 0; i < targetSlots.size(); ++i)
        working->copyPresetTo (targetSlots.getUnchecked (i), filled.getUnchecked (i % filled.size()), clipboard);
    notifyPresetDataChanged (node, targetSlots);
}

bool DataPageEditOperations::insertPresets (const juce::ValueTree& node, int position, const DeviceData& source,
                                            const juce::Array<int>& sourceSlots, bool undoable, bool newTransaction)
{
    auto* working = getSourceNodeWorkingData (node);
    if (working == nullptr || sourceSlots.isEmpty())
        return false;

    const auto touched = working->getInsertSlots (position, sourceSlots);

    if (undoable)
        return performAction (new InsertPresetAction (*this, node, touched, position, source, sourceSlots),
                              newTransaction);

    if (! working->insertPresets (position, sourceSlots, source))
        return false;
    notifyPresetDataChanged (node, touched);
    return true;
}

void DataPageEditOperations::swapPresets (const juce::ValueTree& node, int slotA, int slotB,
                                          bool undoable, bool newTransaction)
{
    if (undoable)
    {
        performAction (new SwapPresetAction (*this, node, slotA, slotB), newTransaction);
        return;
    }

    auto* working = getSourceNodeWorkingData (node);
    if (working == nullptr)
        return;
    working->swapPresets (slotA, slotB, *working);
    notifyPresetDataChanged (node, { slotA, slotB });
}

void DataPageEditOperations::addPresetsAsSteps (const juce::ValueTree& node, int targetSlot,
                                                const juce::Array<int>& sourceSlots, bool undoable, bool newTransaction)
{
    if (undoable)
    {
        performAction (new AddPresetStepAction (*this, node, targetSlot, sourceSlots), newTransaction);
        return;
    }

    auto* working = getSourceNodeWorkingData (node);
    if (working == nullptr)
        return;

    for (auto sourceSlot : sourceSlots)
    {
        if (working->hasPreset (targetSlot))
        {
            if (sourceSlot == targetSlot || ! working->hasPreset (sourceSlot))
                continue;
            working->setModified (true);
            working->getPreset (targetSlot)->appendStepsFrom (*working->getPreset (sourceSlot));
        }
        else
        {
            // The first source becomes the target preset; the ones after it its steps.
            working->copyPresetTo (targetSlot, sourceSlot, *working);
        }
    }
    notifyPresetDataChanged (node, { targetSlot });
}

void DataPageEditOperations::insertPresetSteps (const juce::ValueTree& node, int targetSlot, int stepPosition,
                                                const Preset& source, const juce::SparseSet<int>& steps,
                                                bool undoable, bool newTransaction)
{
    if (undoable)
    {
        performAction (new InsertPresetStepAction (*this, node, targetSlot, stepPosition, source, steps), newTransaction);
        return;
    }

    auto* working = getSourceNodeWorkingData (node);
    if (working == nullptr)
        return;

    if (auto* target = working->getPreset (targetSlot))
    {
        working->setModified (true);
        target->insertStepsFrom (source, stepPosition, steps);
    }
    notifyPresetDataChanged (node, { targetSlot });
}

void DataPageEditOperations::renamePresets (const juce::ValueTree& node, const juce::Array<int>& slots,
                                            const juce::String& name, bool undoable, bool newTransaction)
{
    if (undoable)
    {
        performAction (new RenamePresetAction (*this, node, slots, name), newTransaction);
        return;
    }

    auto* working = getSourceNodeWorkingData (node);
    if (working == nullptr)
        return;

    for (auto slot : slots)
        if (auto* preset = working->getPreset (slot))
        {
            working->setModified (true);
            preset->setName (name);
        }
    notifyPresetDataChanged (node, slots);
}

void DataPageEditOperations::setPresetTag (const juce::ValueTree& node, const juce::Array<int>& slots, int tagBit,
                                           bool on, bool undoable, bool newTransaction)
{
    if (undoable)
    {
        performAction (new SetPresetTagAction (*this, node, slots, tagBit, on), newTransaction);
        return;
    }

    auto* working = getSourceNodeWorkingData (node);
    if (working == nullptr)
        return;

    const auto mask = (juce::uint32) 1 << (tagBit & 31);
    for (auto slot : slots)
        if (auto* preset = working->getPreset (slot))
        {
            if (! preset->hasInfo())
                continue;
            auto info = preset->getInfo();
            auto tags = (juce::uint32) info.tags;
            tags = on ? (tags | mask) : (tags & ~mask);
            info.tags = (juce::int32) tags;
            preset->setInfo (info);
            working->setPresetModified (slot, true);
        }
    notifyPresetDataChanged (node, slots);
}

void DataPageEditOperations::defragment (const juce::ValueTree& node, bool undoable, bool newTransaction)
{
    auto* working = getSourceNodeWorkingData (node);
    if (working == nullptr)
        return;

    juce::Array<int> all;
    for (int slot = 1; slot < working->getNumSlots(); ++slot)
        all.add (slot);

    if (undoable)
    {
        performAction (new DefragDataAction (*this, node, all), newTransaction);
        return;
    }

    working->compactPresets (working->getNumSlots() - 1);
    notifyPresetDataChanged (node, all);
}

void DataPageEditOperations::mergeData (const juce::ValueTree& node, const DeviceData& other,
                                        bool undoable, bool newTransaction)
{
    if (undoable)
    {
        performAction (new MergeDataAction (*this, node, other), newTransaction);
        return;
    }

    auto* working = getSourceNodeWorkingData (node);
    if (working == nullptr)
        return;
    working->mergeFrom (other);
    notifyPresetDataChanged (node, other.getPresetIndices());
}

void DataPageEditOperations::setArchiveItemTitle (juce::ValueTree node, const juce::String& title,
                                                  bool undoable, bool newTransaction)
{
    if (node[SourceIds::label].toString() == title)
        return;

    if (undoable)
    {
        performAction (new SetArchiveItemTitleAction (*this, node, title, title), newTransaction);
        return;
    }

    if (auto* archive = getSourceNodeArchive (node))
        archive->setTitle (title);
    node.setProperty (SourceIds::label, title, nullptr);
    notifyArchiveChanged (node);
}
