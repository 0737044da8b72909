#include "support/FakeEditingPage.h"
#include "archive/DataSourceTree.h"

namespace testing_support
{
    FakeEditingPage::FakeEditingPage()
        : root (createSourceNode (SourceIds::root, "Root Node"))
    {
    }

    juce::ValueTree makeArchiveNode (const DeviceData& data, const juce::String& title)
    {
        return createArchiveSourceNode (std::make_unique<DeviceDataArchive> (&data, title, juce::String()));
    }

    DataState stateOf (const DeviceData& data)
    {
        DataState state;
        for (int slot = 0; slot < data.getNumSlots(); ++slot)
        {
            juce::MemoryOutputStream out;
            if (auto* p = data.getPreset (slot))
            {
                p->writeToStream (out);
                state.flags.push_back (p->isModified());
            }
            else
            {
                state.flags.push_back (false);
            }
            state.slots.push_back (bytesOf (out));
        }
        juce::MemoryOutputStream setup;
        data.getSetup().writeToStream (setup);
        state.setup = bytesOf (setup);
        return state;
    }

    juce::StringArray digestsOf (const DeviceData& data)
    {
        juce::StringArray digests;
        for (int slot = 0; slot < data.getNumSlots(); ++slot)
            digests.add (data.hasPreset (slot) ? data.getPreset (slot)->getMd5().toHexString() : juce::String());
        return digests;
    }
}
