#pragma once

#include "ui/dialogs/SearchResult.h"
#include "ui/dialogs/SearchSnapshot.h"
#include "ui/dialogs/SearchWordTable.h"
#include <juce_events/juce_events.h>

// One pass of a preset search: scores the names of the presets and of the source
// nodes of the chosen locations against the query, keeps the presets that pass the
// tag filter, and posts all hits to its owner in one SearchResultsMessage. It works
// on a snapshot taken at construction (on the message thread) and stops early,
// without posting, when asked to exit.
class SearchThread : public juce::Thread
{
public:
    // Hits must score above this.
    static constexpr float minimumScore = 0.35f;
    // The preset header's tag field has 28 bits.
    static constexpr int maxTagCount = 28;

    // Message thread: takes the snapshot of the chosen locations' sources.
    SearchThread (juce::MessageListener& owner,
                  const juce::Array<juce::ValueTree>& deviceSources,
                  const juce::Array<juce::ValueTree>& backupSources,
                  const juce::Array<juce::ValueTree>& cloudSources,
                  const juce::StringArray& locations, const juce::String& query,
                  int tagMask, int tagCount, int generation = 0);

    // With a snapshot taken beforehand.
    SearchThread (juce::MessageListener& owner, std::unique_ptr<const SearchSnapshot> snapshot,
                  const juce::StringArray& locations, const juce::String& query,
                  int tagMask, int tagCount, int generation = 0);

    ~SearchThread() override;

    void run() override;

    // The hits among one location's sources, in source and slot order.
    juce::Array<SearchResult> searchLocation (const juce::String& query,
                                              const std::vector<SearchSnapshot::Source>& sources, int tagMask);

    // Whether a preset with these tags is shown for the thread's mask and tag count.
    bool passesTagFilter (int presetTags, int tagMask) const noexcept;

    int getTagCount() const noexcept { return tagCount; }
    int getAllTagsMask() const noexcept { return allTagsMask; }
    int getGeneration() const noexcept { return generation; }
    const SearchSnapshot& getSnapshot() const noexcept { return *snapshot; }

    // The tag count limited to the tag field, and the mask with every such tag chosen.
    static int clampTagCount (int count) noexcept { return juce::jlimit (0, maxTagCount, count); }
    static int makeAllTagsMask (int count) noexcept { return (int) ((1u << clampTagCount (count)) - 1u); }

private:
    // Made on the message thread, so that posting from the search thread only copies
    // the listener's existing weak-reference handle.
    juce::WeakReference<juce::MessageListener> owner;
    std::unique_ptr<const SearchSnapshot> snapshot;
    const juce::StringArray locations;
    const juce::String query;
    const int tagCount, allTagsMask, tagMask;
    const int generation;
    SearchWordTable wordTable;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (SearchThread)
};
