#include "support/FakeDataPage.h"
#include "archive/DataSourceTree.h"

namespace testing_support
{
    juce::StringArray FakeDataPage::ops() const
    {
        juce::StringArray result;
        for (auto& c : calls)
            result.add (c.op);
        return result;
    }

    const FakeDataPage::Call* FakeDataPage::last (const juce::String& op) const
    {
        for (auto it = calls.rbegin(); it != calls.rend(); ++it)
            if (it->op == op)
                return &*it;
        return nullptr;
    }

    void FakeDataPage::notifyPresetDataChanged (const juce::ValueTree& node, const juce::Array<int>& slots)
    {
        for (int i = presetListeners.size(); --i >= 0;)
            presetListeners.getUnchecked (i)->presetDataChanged (node, slots);
    }

    void FakeDataPage::notifyArchiveChanged (const juce::ValueTree& node)
    {
        for (int i = archiveListeners.size(); --i >= 0;)
            archiveListeners.getUnchecked (i)->archiveChanged (node, SourceIds::label);
    }

    bool FakeDataPage::deletePresets (const juce::ValueTree& node, const juce::Array<int>& slots, bool u, bool t)
    {
        Call c { "delete", node, {}, slots };
        c.undoable = u; c.newTransaction = t;
        calls.push_back (c);
        DataPageEditOperations::deletePresets (node, slots, u, t);
        return true;
    }

    bool FakeDataPage::copyPresets (const juce::ValueTree& target, const juce::Array<int>& targetSlots,
                                    const juce::ValueTree& source, const juce::Array<int>& sourceSlots, bool u, bool t)
    {
        Call c { "copy", target, source, targetSlots, sourceSlots };
        c.undoable = u; c.newTransaction = t;
        calls.push_back (c);
        if (getSourceNodeWorkingData (target) == nullptr || getSourceNodeWorkingData (source) == nullptr)
            return false;
        DataPageEditOperations::copyPresets (target, targetSlots, source, sourceSlots, u, t);
        return true;
    }

    bool FakeDataPage::pastePresets (const juce::ValueTree& node, const juce::Array<int>& slots,
                                     const DeviceData& data, bool u, bool t)
    {
        Call c { "paste", node, {}, slots, data.getPresetIndices() };
        c.undoable = u; c.newTransaction = t;
        calls.push_back (c);
        if (getSourceNodeWorkingData (node) == nullptr)
            return false;
        DataPageEditOperations::pastePresets (node, slots, data, u, t);
        return true;
    }

    bool FakeDataPage::insertPresets (const juce::ValueTree& node, int at, const DeviceData& source,
                                      const juce::Array<int>& sourceSlots, bool u, bool t)
    {
        Call c { "insert", node, {}, {}, sourceSlots, at };
        c.undoable = u; c.newTransaction = t;
        calls.push_back (c);
        return DataPageEditOperations::insertPresets (node, at, source, sourceSlots, u, t);
    }

    bool FakeDataPage::swapPresets (const juce::ValueTree& node, int a, int b, bool u, bool t)
    {
        Call c { "swap", node };
        c.a = a; c.b = b; c.undoable = u; c.newTransaction = t;
        calls.push_back (c);
        return true;
    }

    bool FakeDataPage::addPresetsAsSteps (const juce::ValueTree& node, int target, const juce::Array<int>& slots, bool u, bool t)
    {
        Call c { "steps", node, {}, {}, slots, target };
        c.undoable = u; c.newTransaction = t;
        calls.push_back (c);
        return true;
    }

    bool FakeDataPage::renamePresets (const juce::ValueTree& node, const juce::Array<int>& slots,
                                      const juce::String& name, bool u, bool t)
    {
        Call c { "rename", node, {}, slots };
        c.text = name; c.undoable = u; c.newTransaction = t;
        calls.push_back (c);
        DataPageEditOperations::renamePresets (node, slots, name, u, t);
        return true;
    }

    bool FakeDataPage::setPresetTag (const juce::ValueTree& node, const juce::Array<int>& slots, int tag, bool on,
                                     bool u, bool t)
    {
        Call c { "tag", node, {}, slots };
        c.a = tag; c.b = on ? 1 : 0; c.undoable = u; c.newTransaction = t;
        calls.push_back (c);
        return true;
    }

    bool FakeDataPage::insertPresetSteps (const juce::ValueTree& node, int slot, int position,
                                          const juce::Array<int>& steps, bool u, bool t)
    {
        Call c { "insertSteps", node, {}, { slot }, steps, position };
        c.undoable = u; c.newTransaction = t;
        calls.push_back (c);
        return true;
    }

    bool FakeDataPage::setArchiveItemTitle (const juce::ValueTree& node, const juce::String& title, bool u, bool t)
    {
        Call c { "title", node };
        c.text = title; c.undoable = u; c.newTransaction = t;
        calls.push_back (c);
        DataPageEditOperations::setArchiveItemTitle (node, title, u, t);
        return true;
    }
}
