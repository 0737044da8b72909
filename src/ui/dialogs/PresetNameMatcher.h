#pragma once

#include "ui/dialogs/SearchTextNormaliser.h"

// One query prepared for scoring many names: the query's folded text, its letter
// pairs and its words are worked out once, so scoring a name costs one fold of the
// name and a walk over its pairs. Gives exactly scorePresetName's result. Keeps
// scratch buffers: use one matcher per thread.
class PresetNameMatcher
{
public:
    // The table must outlive the matcher.
    PresetNameMatcher (const SearchWordTable& table, const juce::String& query);

    bool hasQuery() const noexcept { return ! upperQuery.empty(); }

    float score (const juce::String& name);
    // A name given as code points.
    float score (const char32_t* name, size_t length);

private:
    // A multiset of letter pairs with a small open-addressing index.
    class PairCounts
    {
    public:
        void build (const searchtext::Chars& paddedText);
        int getTotal() const noexcept { return total; }
        // How many pairs of the padded text are found here, each pair here used once.
        int countMatches (const searchtext::Chars& paddedText, std::vector<int>& scratch) const;

    private:
        int find (juce::uint64 pair) const noexcept;

        // One bit per hashed pair present: most pairs of a name are ruled out by it.
        juce::uint64 filter = 0;
        std::vector<juce::uint64> keys;
        std::vector<int> counts;
        std::vector<int> slots;   // index + 1 into keys, 0 for free
        juce::uint32 slotMask = 0;
        int total = 0;
    };

    float similarity (const PairCounts& queryPairs, const searchtext::Chars& paddedText);

    const SearchWordTable& table;
    searchtext::Chars upperQuery;
    PairCounts foldedQueryPairs, plainQueryPairs;
    std::vector<std::pair<searchtext::Chars, int>> paddedWords;   // padded word, its own length

    searchtext::Chars upperName, padded, folded;
    std::vector<int> scratch;
};
