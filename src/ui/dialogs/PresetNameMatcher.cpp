#include "ui/dialogs/PresetNameMatcher.h"

using searchtext::Chars;

namespace
{
    inline juce::uint64 pairKey (char32_t a, char32_t b) noexcept
    {
        return ((juce::uint64) a << 32) | (juce::uint64) b;
    }

    inline juce::uint32 pairHash (juce::uint64 key) noexcept
    {
        key *= 0x9E3779B97F4A7C15ull;
        return (juce::uint32) (key >> 32);
    }

    inline juce::uint64 filterBit (juce::uint32 hash) noexcept
    {
        return juce::uint64 (1) << (hash >> 26);
    }

    constexpr float weightFolded = 0.75f, weightPlain = 0.25f;
    constexpr float wordBonusPerCharacter = 0.07f, beginningBonus = 0.1f, beginningPenalty = 0.04f;
    constexpr int beginningLimit = 6;
}

//==============================================================================
void PresetNameMatcher::PairCounts::build (const Chars& text)
{
    keys.clear();
    counts.clear();
    filter = 0;
    total = text.size() < 2 ? 0 : (int) text.size() - 1;

    size_t size = 8;
    while (size < (size_t) total * 2)
        size *= 2;
    slots.assign (size, 0);
    slotMask = (juce::uint32) size - 1;

    for (size_t i = 0; i + 1 < text.size(); ++i)
    {
        const auto key = pairKey (text[i], text[i + 1]);
        const int found = find (key);
        if (found >= 0)
        {
            ++counts[(size_t) found];
            continue;
        }

        const auto hash = pairHash (key);
        filter |= filterBit (hash);
        auto slot = hash & slotMask;
        while (slots[slot] != 0)
            slot = (slot + 1) & slotMask;
        keys.push_back (key);
        counts.push_back (1);
        slots[slot] = (int) keys.size();
    }
}

int PresetNameMatcher::PairCounts::find (juce::uint64 key) const noexcept
{
    const auto hash = pairHash (key);
    if ((filter & filterBit (hash)) == 0)
        return -1;
    for (auto slot = hash & slotMask;; slot = (slot + 1) & slotMask)
    {
        const int entry = slots[slot];
        if (entry == 0)
            return -1;
        if (keys[(size_t) entry - 1] == key)
            return entry - 1;
    }
}

int PresetNameMatcher::PairCounts::countMatches (const Chars& text, std::vector<int>& remaining) const
{
    remaining.assign (counts.begin(), counts.end());
    int matches = 0;
    for (size_t i = 0; i + 1 < text.size(); ++i)
    {
        const int found = find (pairKey (text[i], text[i + 1]));
        if (found >= 0 && remaining[(size_t) found] > 0)
        {
            --remaining[(size_t) found];
            ++matches;
        }
    }
    return matches;
}

//==============================================================================
PresetNameMatcher::PresetNameMatcher (const SearchWordTable& t, const juce::String& query)
    : table (t), upperQuery (searchtext::toChars (query))
{
    searchtext::toUpper (upperQuery);

    padded = upperQuery;
    searchtext::padWithBlanks (padded);
    plainQueryPairs.build (padded);

    folded = padded;
    searchtext::applyTable (table, folded);
    searchtext::padWithBlanks (folded);
    foldedQueryPairs.build (folded);

    // The query's words as typed (upper-cased, split at blanks); the free-standing
    // symbols "-" and "+" never earn a bonus, and an empty word could earn nothing.
    size_t start = 0;
    for (;;)
    {
        const auto end = upperQuery.find (U' ', start);
        auto word = upperQuery.substr (start, end == Chars::npos ? Chars::npos : end - start);
        if (! word.empty() && word != U"-" && word != U"+")
        {
            const int length = (int) word.size();
            searchtext::padWithBlanks (word);
            paddedWords.emplace_back (std::move (word), length);
        }
        if (end == Chars::npos)
            break;
        start = end + 1;
    }
}

float PresetNameMatcher::similarity (const PairCounts& queryPairs, const Chars& text)
{
    const int namePairs = text.size() < 2 ? 0 : (int) text.size() - 1;
    const int total = namePairs + queryPairs.getTotal();
    if (total == 0)
        return 0.0f;
    const int matches = queryPairs.countMatches (text, scratch);
    return (float) (2 * matches) / (float) total;
}

float PresetNameMatcher::score (const juce::String& name)
{
    const auto chars = searchtext::toChars (name);
    return score (chars.data(), chars.size());
}

float PresetNameMatcher::score (const char32_t* name, size_t length)
{
    if (length == 0 || upperQuery.empty())
        return 0.0f;

    upperName.assign (name, length);
    searchtext::toUpper (upperName);

    padded.clear();
    if (upperName.front() != U' ')
        padded.push_back (U' ');
    padded += upperName;
    if (padded.back() != U' ')
        padded.push_back (U' ');

    folded = padded;
    searchtext::applyTable (table, folded);

    const float plain = similarity (plainQueryPairs, padded);

    // The folded name is needed unpadded for the word test below.
    const auto foldedLength = folded.size();
    padded = folded;
    searchtext::padWithBlanks (padded);
    const float foldedSimilarity = similarity (foldedQueryPairs, padded);

    float score = weightFolded * foldedSimilarity + weightPlain * plain;

    // Whole-word bonus: the folded name lies within one padded query word. An empty
    // folded name (a name of dots) lies within every word but matches none of them.
    if (foldedLength > 0)
    {
        for (auto& [word, wordLength] : paddedWords)
            if (word.size() >= foldedLength && word.find (folded) != Chars::npos)
                score = score + wordBonusPerCharacter * (float) wordLength * (1.0f - score);
    }

    // Shared beginning: up to five bonuses while the name starts with ever more of the
    // query; a start that breaks off early costs a little.
    int k = 1;
    for (; k < beginningLimit; ++k)
    {
        const auto n = std::min ((size_t) k, upperQuery.size());
        if (upperName.size() < n || upperName.compare (0, n, upperQuery, 0, n) != 0)
            break;
        score = score + beginningBonus * (1.0f - score);
    }
    if (k < beginningLimit && k > 1)
        score = score * (1.0f - beginningPenalty * (float) (beginningLimit - k));

    return score;
}
