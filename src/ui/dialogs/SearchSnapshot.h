#pragma once

#include <juce_data_structures/juce_data_structures.h>
#include <string>
#include <vector>

class DeviceData;

// Everything one preset search reads, copied from the source tree and the sources'
// preset data on the message thread when the search starts. The search thread
// scores only this copy, so a rescan or an edit that replaces nodes or data while it
// runs cannot pull anything from under it.
class SearchSnapshot
{
public:
    enum Location { device = 0, backups, cloud, numLocations };

    // The location names the dialog offers, in the order they are searched.
    static const char* getLocationName (int location);

    struct PresetEntry
    {
        int number = 0;
        int tags = 0;
        juce::uint32 nameStart = 0, nameLength = 0;   // in the source's name pool
    };

    struct Source
    {
        // Handed on with each hit; never read by the search thread.
        juce::ValueTree node;
        juce::String label;
        juce::String labelLocation, presetLocation;   // locations of a label hit and of a preset hit
        juce::String category;
        std::vector<PresetEntry> presets;              // slot order
        std::u32string names;                          // the presets' names, end to end

        const char32_t* nameOf (const PresetEntry& p) const noexcept { return names.data() + p.nameStart; }
        juce::String nameText (const PresetEntry& p) const;
    };

    SearchSnapshot() = default;

    // Copies the sources of the chosen locations (names compared exactly); the other
    // locations stay empty. Message thread only.
    static std::unique_ptr<SearchSnapshot> capture (const juce::Array<juce::ValueTree>& deviceSources,
                                                    const juce::Array<juce::ValueTree>& backupSources,
                                                    const juce::Array<juce::ValueTree>& cloudSources,
                                                    const juce::StringArray& locations);

    // One node: its label, locations and category from the tree, and the presets of
    // its working data (slot 1 on; slot 0 holds no user preset).
    static Source captureSource (const juce::ValueTree& node);
    // The presets of `data` into `source`.
    static void capturePresets (const DeviceData& data, Source& source);

    std::vector<Source>& getSources (int location) { return sources[(size_t) location]; }
    const std::vector<Source>& getSources (int location) const { return sources[(size_t) location]; }

    int countPresets() const;

private:
    std::vector<Source> sources[numLocations];
};
