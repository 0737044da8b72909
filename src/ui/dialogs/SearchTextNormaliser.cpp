#include "ui/dialogs/SearchTextNormaliser.h"
#include "ui/dialogs/PresetNameMatcher.h"
#include "ui/dialogs/UpperCaseLetters.h"
#include <algorithm>

namespace searchtext
{
    Chars toChars (const juce::String& text)
    {
        Chars out;
        out.reserve ((size_t) text.length());
        for (auto p = text.getCharPointer(); ! p.isEmpty();)
            out.push_back ((char32_t) p.getAndAdvance());
        return out;
    }

    juce::String toString (const Chars& chars)
    {
        using CharType = juce::CharPointer_UTF32::CharType;
        static_assert (sizeof (CharType) == sizeof (char32_t));
        return juce::String (juce::CharPointer_UTF32 (reinterpret_cast<const CharType*> (chars.data())), chars.size());
    }

    void toUpper (Chars& text)
    {
        for (auto& c : text)
            c = upperCaseLetter (c);
    }

    void padWithBlanks (Chars& text)
    {
        if (text.empty() || text.front() != U' ')
            text.insert (text.begin(), U' ');
        if (text.back() != U' ')
            text.push_back (U' ');
    }

    void trimBlanks (Chars& text)
    {
        size_t end = text.size();
        while (end > 0 && text[end - 1] == U' ')
            --end;
        size_t start = 0;
        while (start < end && text[start] == U' ')
            ++start;
        text.erase (end);
        text.erase (0, start);
    }

    static inline unsigned pairBit (char32_t a, char32_t b) noexcept
    {
        return (unsigned) ((((juce::uint32) a * 0x9E3779B1u) ^ ((juce::uint32) b * 0x85EBCA77u)) >> 26);
    }

    void addToCharacterMask (const Chars& text, juce::uint64 mask[2])
    {
        for (size_t i = 0; i < text.size(); ++i)
        {
            mask[0] |= juce::uint64 (1) << ((juce::uint32) text[i] & 63u);
            if (i + 1 < text.size())
                mask[1] |= juce::uint64 (1) << pairBit (text[i], text[i + 1]);
        }
    }

    void applyTable (const SearchWordTable& table, Chars& text)
    {
        // Most keys are absent from a short name; the mask rules them out without a scan.
        juce::uint64 mask[2] = { 0, 0 };
        addToCharacterMask (text, mask);

        for (auto& e : table.getEntries())
        {
            const auto keyLength = e.keyChars.size();
            if (keyLength == 0 || (e.pairMask[0] & ~mask[0]) != 0 || (e.pairMask[1] & ~mask[1]) != 0)
                continue;

            bool changed = false;
            for (size_t i = 0; (i = text.find (e.keyChars, i)) != Chars::npos;)
            {
                text.replace (i, keyLength, e.replacementChars);
                i += e.replacementChars.size();
                changed = true;
            }

            if (changed)
            {
                mask[0] = mask[1] = 0;
                addToCharacterMask (text, mask);
            }
        }

        trimBlanks (text);
    }

    float pairSimilarity (const Chars& x, const Chars& y)
    {
        auto pairsOf = [] (const Chars& t)
        {
            std::vector<juce::uint64> pairs;
            for (size_t i = 0; i + 1 < t.size(); ++i)
                pairs.push_back (((juce::uint64) t[i] << 32) | (juce::uint64) t[i + 1]);
            std::sort (pairs.begin(), pairs.end());
            return pairs;
        };

        const auto px = pairsOf (x), py = pairsOf (y);
        const auto total = px.size() + py.size();
        if (total == 0)
            return 0.0f;

        // Each pair of y is used up by the first equal pair of x: the count is the
        // size of the two collections' common part.
        size_t matches = 0;
        for (size_t i = 0, j = 0; i < px.size() && j < py.size();)
        {
            if (px[i] < py[j])
                ++i;
            else if (py[j] < px[i])
                ++j;
            else
            {
                ++matches;
                ++i;
                ++j;
            }
        }

        return (float) (2 * matches) / (float) total;
    }
}

juce::String padWithBlanks (const juce::String& text)
{
    auto result = text.startsWithChar (' ') ? text : " " + text;
    if (! result.endsWithChar (' '))
        result << ' ';
    return result;
}

juce::String normaliseSearchText (const SearchWordTable& table, const juce::String& text)
{
    auto chars = searchtext::toChars (text);
    searchtext::toUpper (chars);
    searchtext::padWithBlanks (chars);
    searchtext::applyTable (table, chars);
    return searchtext::toString (chars);
}

juce::StringArray letterPairs (const juce::String& text)
{
    juce::StringArray pairs;
    const auto chars = searchtext::toChars (text);
    for (size_t i = 0; i + 1 < chars.size(); ++i)
        pairs.add (searchtext::toString (chars.substr (i, 2)));
    return pairs;
}

float letterPairSimilarity (const juce::String& x, const juce::String& y)
{
    auto cx = searchtext::toChars (x), cy = searchtext::toChars (y);
    for (auto* c : { &cx, &cy })
    {
        searchtext::padWithBlanks (*c);
        searchtext::toUpper (*c);
    }
    return searchtext::pairSimilarity (cx, cy);
}

float scorePresetName (const SearchWordTable& table, const juce::String& name, const juce::String& query)
{
    PresetNameMatcher matcher (table, query);
    return matcher.score (name);
}
