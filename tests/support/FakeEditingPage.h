#pragma once

#include "archive/LocalArchiveManager.h"
#include "ui/datapage/DataPageEditOperations.h"
#include "support/DataFixtures.h"
#include <vector>

// A stand-in for the data page: the real edit operations and undo manager over a real
// sources root, with every notification and every request to the page recorded.
namespace testing_support
{
    class FakeEditingPage : public DataPageEditOperations
    {
    public:
        struct Notice
        {
            juce::ValueTree node;
            juce::Array<int> slots;
        };

        struct Send
        {
            std::unique_ptr<DeviceData> data;
            bool wholeImage;
        };

        FakeEditingPage();

        juce::UndoManager undoManager;
        juce::ValueTree root;
        DataSet::Ptr dataSet;
        DeviceCaps caps;
        juce::String deviceName { "Veloce 1" };
        std::unique_ptr<LocalArchiveManager> archiveManager;
        juce::Array<int> gridSelection;

        std::vector<Notice> presetNotices, archiveNotices, selections;
        std::vector<Send> sends;
        std::vector<juce::CommandID> commands;
        std::vector<juce::String> developerCalls;
        int syncRequests = 0;

        juce::UndoManager& getUndoManager() override { return undoManager; }
        void notifyPresetDataChanged (const juce::ValueTree& node, const juce::Array<int>& slots) override
        {
            presetNotices.push_back ({ node, slots });
        }
        void notifyArchiveChanged (const juce::ValueTree& node) override { archiveNotices.push_back ({ node, {} }); }
        juce::ValueTree getSourcesRoot() const override { return root; }
        DataSet* getDataSet() const override { return dataSet.get(); }
        const DeviceCaps& getCaps() const override { return caps; }
        juce::String getDeviceName() const override { return deviceName; }
        LocalArchiveManager* getArchiveManager() const override { return archiveManager.get(); }
        juce::Array<int> getSelectedSlots() const override { return gridSelection; }
        void selectSlots (const juce::ValueTree& node, const juce::Array<int>& slots) override
        {
            selections.push_back ({ node, slots });
        }
        void sendDataToDevice (std::unique_ptr<DeviceData> data, bool wholeImage) override
        {
            sends.push_back ({ std::move (data), wholeImage });
        }
        void syncWithWarning() override { ++syncRequests; }
        bool invokeCommand (juce::CommandID id) override { commands.push_back (id); return true; }
        void importDataFiles (const juce::ValueTree& target) override { developerCalls.push_back ("ard:" + target[SourceIds::label].toString()); }
        void importPresetPack (const juce::ValueTree& target) override { developerCalls.push_back ("pack:" + target[SourceIds::label].toString()); }
        void convertPresetPacks() override { developerCalls.push_back ("convert"); }
    };

    // A data node whose data set owns an archive item made from the data (the item's
    // data is the source; the working copy is a full copy of it).
    juce::ValueTree makeArchiveNode (const DeviceData& data, const juce::String& title);

    // The stored form of every slot and of the setup of a working copy, with each
    // preset's modified flag: equal exactly when two states hold the same bytes.
    struct DataState
    {
        std::vector<Bytes> slots;
        std::vector<bool> flags;
        Bytes setup;
        bool operator== (const DataState& o) const { return slots == o.slots && flags == o.flags && setup == o.setup; }
        bool operator!= (const DataState& o) const { return ! operator== (o); }
    };
    DataState stateOf (const DeviceData& data);
    // The MD5 of each slot (empty text for an empty slot).
    juce::StringArray digestsOf (const DeviceData& data);
}
