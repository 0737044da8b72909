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

    void FakeDataPage::notify (const juce::ValueTree& node, const juce::Array<int>& slots)
    {
        for (int i = presetListeners.size(); --i >= 0;)
            presetListeners.getUnchecked (i)->presetDataChanged (node, slots);
    }

    bool FakeDataPage::deletePresets (const juce::ValueTree& node, const juce::Array<int>& slots, bool u, bool t)
    {
        Call c { "delete", node, {}, slots };
        c.undoable = u; c.newTransaction = t;
        calls.push_back (c);
        if (auto* d = getSourceNodeWorkingData (node))
            d->removePresets (slots);
        notify (node, slots);
        return true;
    }

    bool FakeDataPage::copyPresets (const juce::ValueTree& target, const juce::Array<int>& targetSlots,
                                    const juce::ValueTree& source, const juce::Array<int>& sourceSlots, bool u, bool t)
    {
        Call c { "copy", target, source, targetSlots, sourceSlots };
        c.undoable = u; c.newTransaction = t;
        calls.push_back (c);

        auto* to = getSourceNodeWorkingData (target);
        auto* from = getSourceNodeWorkingData (source);
        if (to == nullptr || from == nullptr)
            return false;

        // Through a copy, so that overlapping ranges of one data set read the old presets.
        auto snapshot = from->createFullCopy (false);
        for (int i = 0; i < juce::jmin (targetSlots.size(), sourceSlots.size()); ++i)
            to->copyPresetTo (targetSlots[i], sourceSlots[i], *snapshot);
        notify (target, targetSlots);
        return true;
    }

    bool FakeDataPage::pastePresets (const juce::ValueTree& node, const juce::Array<int>& slots,
                                     const DeviceData& data, bool u, bool t)
    {
        Call c { "paste", node, {}, slots, data.getPresetIndices() };
        c.undoable = u; c.newTransaction = t;
        calls.push_back (c);

        auto* to = getSourceNodeWorkingData (node);
        if (to == nullptr)
            return false;
        const auto sources = data.getPresetIndices();
        for (int i = 0; i < juce::jmin (slots.size(), sources.size()); ++i)
            to->copyPresetTo (slots[i], sources[i], data);
        notify (node, slots);
        return true;
    }

    bool FakeDataPage::insertPresets (const juce::ValueTree& node, int at, const DeviceData& source,
                                      const juce::Array<int>& sourceSlots, bool u, bool t)
    {
        Call c { "insert", node, {}, {}, sourceSlots, at };
        c.undoable = u; c.newTransaction = t;
        calls.push_back (c);

        auto* to = getSourceNodeWorkingData (node);
        if (to == nullptr)
            return false;
        auto snapshot = source.createFullCopy (false);
        if (! to->insertPresets (at, sourceSlots, *snapshot))
            return false;
        juce::Array<int> touched;
        for (int i = at; i < to->getNumSlots(); ++i)
            touched.add (i);
        notify (node, touched);
        return true;
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
        if (auto* d = getSourceNodeWorkingData (node))
            for (int s : slots)
                if (auto* p = d->getPreset (s))
                    p->setName (name);
        notify (node, slots);
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
        juce::ValueTree (node).setProperty (SourceIds::label, title, nullptr);
        return true;
    }
}
