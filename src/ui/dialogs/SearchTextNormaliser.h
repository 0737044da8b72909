#pragma once

#include "ui/dialogs/SearchWordTable.h"

// Matching of preset and source names against a search query. Names of vocal
// presets are short and full of abbreviations, so texts are first folded through
// the word table; the score then mixes two letter-pair similarities (of the folded
// and of the plain texts) with bonuses for whole query words and a shared start.
// All arithmetic is single precision.

// One blank in front unless the text starts with one, then one at the end unless it
// then ends with one (so an empty text becomes a single blank).
juce::String padWithBlanks (const juce::String& text);

// Upper-cases and pads the text, applies every table entry in order (one left-to-right
// pass each, continuing after the inserted replacement) and trims blanks at both ends.
juce::String normaliseSearchText (const SearchWordTable& table, const juce::String& text);

// The two-character substrings at positions 0 .. length-2.
juce::StringArray letterPairs (const juce::String& text);

// Dice coefficient of the letter pairs of the padded, upper-cased texts; each pair of
// the second text matches at most once. Two texts without any pair give 0.
float letterPairSimilarity (const juce::String& x, const juce::String& y);

// The score of a name for a query, 0 when either is empty.
float scorePresetName (const SearchWordTable& table, const juce::String& name, const juce::String& query);

// The same operations on code-point texts, shared by the functions above and by the
// prepared matcher that scores many names against one query.
namespace searchtext
{
    using Chars = std::u32string;

    Chars toChars (const juce::String& text);
    juce::String toString (const Chars& chars);

    // Every letter that has a one-character upper case, whatever the locale.
    void toUpper (Chars& text);
    void padWithBlanks (Chars& text);
    void trimBlanks (Chars& text);

    // Adds the characters and character pairs of the text to a 128-bit mask.
    void addToCharacterMask (const Chars& text, juce::uint64 mask[2]);

    // Table steps and trim on a text that is already upper-cased and padded.
    void applyTable (const SearchWordTable& table, Chars& text);

    // Both texts as given (already padded and upper-cased).
    float pairSimilarity (const Chars& x, const Chars& y);
}
