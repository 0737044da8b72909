#include "ui/dialogs/SearchSnapshot.h"
#include "ui/dialogs/SearchResult.h"
#include "archive/DataSourceTree.h"
#include "model/DeviceData.h"

const char* SearchSnapshot::getLocationName (int location)
{
    static const char* const names[numLocations] = { "Device", "Backups", "Cloud" };
    return juce::isPositiveAndBelow (location, (int) numLocations) ? names[location] : "";
}

juce::String SearchSnapshot::Source::nameText (const PresetEntry& p) const
{
    using CharType = juce::CharPointer_UTF32::CharType;
    return juce::String (juce::CharPointer_UTF32 (reinterpret_cast<const CharType*> (nameOf (p))), (size_t) p.nameLength);
}

std::unique_ptr<SearchSnapshot> SearchSnapshot::capture (const juce::Array<juce::ValueTree>& deviceSources,
                                                         const juce::Array<juce::ValueTree>& backupSources,
                                                         const juce::Array<juce::ValueTree>& cloudSources,
                                                         const juce::StringArray& locations)
{
    auto snapshot = std::make_unique<SearchSnapshot>();
    const juce::Array<juce::ValueTree>* arrays[numLocations] = { &deviceSources, &backupSources, &cloudSources };

    for (int i = 0; i < numLocations; ++i)
    {
        if (! locations.contains (getLocationName (i), false))
            continue;
        auto& list = snapshot->sources[(size_t) i];
        list.reserve ((size_t) arrays[i]->size());
        for (auto& node : *arrays[i])
            list.push_back (captureSource (node));
    }
    return snapshot;
}

SearchSnapshot::Source SearchSnapshot::captureSource (const juce::ValueTree& node)
{
    Source s;
    s.node = node;
    s.label = node.getProperty (SourceIds::label).toString();
    s.labelLocation = SearchResult::makeLocation (node, 0);
    s.presetLocation = SearchResult::makeLocation (node, 1);
    juce::String subCategory;
    getSourceNodeCategory (node, s.category, subCategory);

    if (auto* data = getSourceNodeWorkingData (node))
        capturePresets (*data, s);
    return s;
}

void SearchSnapshot::capturePresets (const DeviceData& data, Source& s)
{
    const int slots = data.getNumSlots();
    s.presets.reserve ((size_t) slots);
    s.names.reserve ((size_t) slots * 16);

    for (int slot = 1; slot < slots; ++slot)
    {
        const auto* preset = data.getPreset (slot);
        if (preset == nullptr)
            continue;

        const auto& info = preset->getInfo();
        PresetEntry e;
        e.number = slot;
        e.tags = info.tags;
        e.nameStart = (juce::uint32) s.names.size();

        // The name as the preset shows it: its bytes up to the first zero, each byte
        // the character of its code.
        if (const auto* bytes = info.getNameData())
            for (int i = 0; i < info.getNameLength() && bytes[i] != 0; ++i)
                s.names.push_back ((char32_t) bytes[i]);

        e.nameLength = (juce::uint32) s.names.size() - e.nameStart;
        s.presets.push_back (e);
    }
}

int SearchSnapshot::countPresets() const
{
    size_t n = 0;
    for (auto& list : sources)
        for (auto& s : list)
            n += s.presets.size();
    return (int) n;
}
