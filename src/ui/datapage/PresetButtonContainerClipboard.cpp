// The grid's clipboard and the edits of its selection: copy, cut, delete, insert
// and paste, each through the page's undoable edit operations; and the count of the
// changes not yet sent to the unit.

#include "ui/datapage/PresetButtonContainer.h"
#include "device/DeviceObject.h"
#include "archive/DataSourceTree.h"

juce::Array<int> PresetButtonContainer::followingSlots (int first, int count) const
{
    juce::Array<int> slots;
    for (int slot = first; slot < caps.getNumPresets() && slots.size() < count; ++slot)
        slots.add (slot);
    return slots;
}

bool PresetButtonContainer::copySelected()
{
    auto* d = data.get();
    if (d == nullptr || selection.isEmpty())
        return false;

    clipboard = d->createCopy (selection, false, false);
    return clipboard != nullptr;
}

bool PresetButtonContainer::cutSelected()
{
    if (! canRemovePresets() || ! copySelected())
        return false;
    return deleteSelected();
}

bool PresetButtonContainer::deleteSelected()
{
    if (data == nullptr || selection.isEmpty() || page == nullptr || ! canRemovePresets())
        return false;

    for (int slot : selection)
        if (auto* b = buttons[slot])
            b->setToggleState (false, juce::dontSendNotification);

    const auto slots = selection;
    selection.clear();
    page->deletePresets (source, slots, true, true);
    sendChangeMessage();
    return true;
}

bool PresetButtonContainer::insertClipboardAt (int slot)
{
    if (data == nullptr || clipboard == nullptr || page == nullptr || isSourceReadOnly())
        return false;

    const auto sourceSlots = clipboard->getPresetIndices();
    if (! page->insertPresets (source, slot, *clipboard, sourceSlots, true, true))
        return false;

    juce::Array<int> inserted;
    for (int i = 0; i < sourceSlots.size(); ++i)
        inserted.add (slot + i);
    selectSlots (inserted);
    return true;
}

bool PresetButtonContainer::pasteClipboardTo (const juce::Array<int>& slots)
{
    if (data == nullptr || clipboard == nullptr || page == nullptr || slots.isEmpty() || isSourceReadOnly())
        return false;

    if (! page->pastePresets (source, slots, *clipboard, true, true))
        return false;

    selectSlots (slots);
    return true;
}

int PresetButtonContainer::countPendingChanges() const
{
    auto set = getSourceNodeDataSet (source);
    auto* sourceData = set != nullptr ? set->getSourceDeviceData() : nullptr;
    auto* d = data.get();
    if (sourceData == nullptr || d == nullptr)
        return 0;

    // The unit's own data changes under its device thread while it is read.
    juce::Array<int> missing, modified;
    const juce::ScopedLock dl (DeviceObject::getUnitDataLock());
    d->collectPresetChanges (*sourceData, missing, modified);
    return missing.size() + modified.size();
}
