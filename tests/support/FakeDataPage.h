#pragma once

#include "ui/datapage/DataPageHost.h"
#include <vector>

namespace testing_support
{
    // A data page for the grid and panel tests: it carries out the edits on the nodes'
    // working copies (without undo), records every call, and tells its listeners as the
    // real page does (last registered first).
    class FakeDataPage : public DataPageHost
    {
    public:
        struct Call
        {
            juce::String op;
            juce::ValueTree node, otherNode;
            juce::Array<int> slots, otherSlots;
            int a = 0, b = 0;
            bool undoable = false, newTransaction = false;
            juce::String text;
        };

        std::vector<Call> calls;
        juce::Component component;
        juce::Array<PresetDataChangeListener*> presetListeners;
        juce::Array<ArchiveChangeListener*> archiveListeners;
        bool undoAvailable = false, redoAvailable = false;
        DeviceData* connectedData = nullptr;
        const DeviceCaps* connectedCaps = nullptr;
        juce::String deviceName { "Merle 4711" };
        juce::Image productImage;
        juce::Array<juce::ValueTree> browserSelections;
        juce::Array<juce::ValueTree> deletedNodes;
        int nameEditRequests = 0;

        juce::StringArray ops() const;
        const Call* last (const juce::String& op) const;

        void notify (const juce::ValueTree& node, const juce::Array<int>& slots);

        void addPresetDataChangeListener (PresetDataChangeListener* l) override { if (l != nullptr) presetListeners.add (l); }
        void removePresetDataChangeListener (PresetDataChangeListener* l) override { presetListeners.removeFirstMatchingValue (l); }
        void addArchiveChangeListener (ArchiveChangeListener* l) override { if (l != nullptr) archiveListeners.add (l); }
        void removeArchiveChangeListener (ArchiveChangeListener* l) override { archiveListeners.removeFirstMatchingValue (l); }
        juce::Component& getPageComponent() override { return component; }

        bool deletePresets (const juce::ValueTree&, const juce::Array<int>&, bool, bool) override;
        bool copyPresets (const juce::ValueTree&, const juce::Array<int>&, const juce::ValueTree&,
                          const juce::Array<int>&, bool, bool) override;
        bool pastePresets (const juce::ValueTree&, const juce::Array<int>&, const DeviceData&, bool, bool) override;
        bool insertPresets (const juce::ValueTree&, int, const DeviceData&, const juce::Array<int>&, bool, bool) override;
        bool swapPresets (const juce::ValueTree&, int, int, bool, bool) override;
        bool addPresetsAsSteps (const juce::ValueTree&, int, const juce::Array<int>&, bool, bool) override;
        bool renamePresets (const juce::ValueTree&, const juce::Array<int>&, const juce::String&, bool, bool) override;
        bool setPresetTag (const juce::ValueTree&, const juce::Array<int>&, int, bool, bool, bool) override;
        bool insertPresetSteps (const juce::ValueTree&, int, int, const juce::Array<int>&, bool, bool) override;
        bool setArchiveItemTitle (const juce::ValueTree&, const juce::String&, bool, bool) override;

        bool canUndo() const override { return undoAvailable; }
        bool canRedo() const override { return redoAvailable; }
        void undo() override { calls.push_back ({ "undo" }); }
        void redo() override { calls.push_back ({ "redo" }); }

        DeviceData* getConnectedDeviceData() const override { return connectedData; }
        const DeviceCaps* getConnectedDeviceCaps() const override { return connectedCaps; }
        juce::String getConnectedDeviceName() const override { return deviceName; }
        juce::Image getConnectedProductImage() const override { return productImage; }

        bool selectSourceInBrowser (const juce::ValueTree& node) override { browserSelections.add (node); return true; }
        void deleteSourceNodes (const juce::Array<juce::ValueTree>& nodes) override { deletedNodes.addArray (nodes); }
        void beginPresetNameEdit() override { ++nameEditRequests; }
    };
}
