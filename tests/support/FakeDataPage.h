#pragma once

#include "ui/datapage/DataPageEditOperations.h"
#include "ui/datapage/DataPageHost.h"
#include <vector>

namespace testing_support
{
    // A data page for the grid and panel tests. It records every call; the edits that change
    // preset data (delete, copy, paste, insert, rename) and the title change are carried out
    // by the page's own edit operations, through their undoable actions when the caller asks
    // for undo, so that what the tests see is what the real page does. Listeners are told as
    // the real page tells them (last registered first).
    class FakeDataPage : public DataPageHost,
                         public DataPageEditOperations
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
        juce::UndoManager undoManager;
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

        //==============================================================================
        // DataPageHost
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

        //==============================================================================
        // DataPageContext: what the edit operations and their actions need
        juce::UndoManager& getUndoManager() override { return undoManager; }
        void notifyPresetDataChanged (const juce::ValueTree& node, const juce::Array<int>& slots) override;
        void notifyArchiveChanged (const juce::ValueTree& node) override;
        juce::ValueTree getSourcesRoot() const override { return {}; }
        DataSet* getDataSet() const override { return nullptr; }
        const DeviceCaps& getCaps() const override { return connectedCaps != nullptr ? *connectedCaps : noCaps; }
        juce::String getDeviceName() const override { return deviceName; }
        LocalArchiveManager* getArchiveManager() const override { return nullptr; }
        juce::Array<int> getSelectedSlots() const override { return {}; }
        void selectSlots (const juce::ValueTree&, const juce::Array<int>&) override {}
        void sendDataToDevice (std::unique_ptr<DeviceData>, bool) override {}
        void syncWithWarning() override {}
        bool invokeCommand (juce::CommandID) override { return false; }
        void importDataFiles (const juce::ValueTree&) override {}
        void importPresetPack (const juce::ValueTree&) override {}
        void convertPresetPacks() override {}

    private:
        const DeviceCaps noCaps {};
    };
}
