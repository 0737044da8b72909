#include "ui/datapage/UndoablePresetAction.h"
#include "archive/DataSourceTree.h"

UndoablePresetAction::UndoablePresetAction (DataPageEditOperations& p, const juce::ValueTree& n,
                                            const juce::Array<int>& s)
    : page (p), node (n), slots (s)
{
}

UndoablePresetAction::~UndoablePresetAction() = default;

bool UndoablePresetAction::perform()
{
    auto* working = getSourceNodeWorkingData (node);
    if (working == nullptr)
        return false;

    auto before = working->createCopy (slots, snapshotsSetup, false);
    if (before == nullptr)
        return false;

    if (! performEdit())
        return false;

    snapshot = std::move (before);
    return true;
}

bool UndoablePresetAction::undo()
{
    if (snapshot == nullptr)
        return false;

    auto* working = getSourceNodeWorkingData (node);
    if (working == nullptr)
        return true;   // the data is gone: nothing left to restore

    // A working copy of another layout than the snapshot's could not take it back;
    // removing its presets would only lose them.
    if (! working->hasSameFormat (snapshot->getFormat()))
        return true;

    working->removePresets (slots);
    working->mergeFrom (*snapshot);

    // The merge marks what it brings back as modified: each preset gets its own flag
    // back first, and is then compared with the source's data.
    for (auto slot : slots)
        if (auto* restored = working->getPreset (slot))
            restored->setModified (snapshot->isPresetModified (slot));
    if (snapshotsSetup)
        working->getSetup() = snapshot->getSetup();
    markChangedSlots (node, slots);

    page.notifyPresetDataChanged (node, slots);
    return true;
}
