#include "ui/dialogs/SearchThread.h"
#include "ui/dialogs/PresetNameMatcher.h"
#include "ui/dialogs/SearchResultsMessage.h"

SearchThread::SearchThread (juce::MessageListener& o,
                            const juce::Array<juce::ValueTree>& deviceSources,
                            const juce::Array<juce::ValueTree>& backupSources,
                            const juce::Array<juce::ValueTree>& cloudSources,
                            const juce::StringArray& chosen, const juce::String& text,
                            int mask, int count, int gen)
    : SearchThread (o, SearchSnapshot::capture (deviceSources, backupSources, cloudSources, chosen),
                    chosen, text, mask, count, gen)
{
}

SearchThread::SearchThread (juce::MessageListener& o, std::unique_ptr<const SearchSnapshot> s,
                            const juce::StringArray& chosen, const juce::String& text,
                            int mask, int count, int gen)
    : juce::Thread ("searchThread"),
      owner (&o),
      snapshot (s != nullptr ? std::move (s) : std::make_unique<const SearchSnapshot>()),
      locations (chosen),
      query (text),
      tagCount (clampTagCount (count)),
      allTagsMask (makeAllTagsMask (count)),
      // Bits above the known tags choose nothing the dialog shows.
      tagMask (mask & makeAllTagsMask (count)),
      generation (gen)
{
    buildSearchWordTable (wordTable);
}

SearchThread::~SearchThread()
{
    stopThread (5000);
}

bool SearchThread::passesTagFilter (int presetTags, int mask) const noexcept
{
    if (tagCount == 0)
        return true;
    mask &= allTagsMask;
    const int tags = presetTags & makeAllTagsMask (maxTagCount);
    if (tags == 0)
        return mask == 0 || mask == allTagsMask;
    return (tags & mask) != 0;
}

juce::Array<SearchResult> SearchThread::searchLocation (const juce::String& text,
                                                        const std::vector<SearchSnapshot::Source>& sources, int mask)
{
    juce::Array<SearchResult> results;
    PresetNameMatcher matcher (wordTable, text);
    const bool hasQuery = text.isNotEmpty();

    for (auto& source : sources)
    {
        if (hasQuery)
        {
            const float labelScore = matcher.score (source.label);
            if (labelScore > minimumScore)
                results.add (SearchResult (source.node, labelScore, 0, source.label, source.labelLocation, source.category));
        }

        for (auto& preset : source.presets)
        {
            if (threadShouldExit())
                return results;
            if (! passesTagFilter (preset.tags, mask))
                continue;

            const float score = hasQuery ? matcher.score (source.nameOf (preset), preset.nameLength) : 1.0f;
            if (! hasQuery || score > minimumScore)
                results.add (SearchResult (source.node, score, preset.number, source.nameText (preset),
                                           source.presetLocation, source.category));
        }
    }
    return results;
}

void SearchThread::run()
{
    juce::Array<SearchResult> results;
    for (int location = 0; location < SearchSnapshot::numLocations; ++location)
    {
        if (locations.contains (SearchSnapshot::getLocationName (location), false))
            results.addArray (searchLocation (query, snapshot->getSources (location), tagMask));
        if (threadShouldExit())
            return;
    }

    if (auto* target = owner.get())
        target->postMessage (new SearchResultsMessage (std::move (results), generation));
}
