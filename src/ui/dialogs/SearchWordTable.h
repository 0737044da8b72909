#pragma once

#include <juce_core/juce_core.h>
#include <string>
#include <vector>

// The ordered list of (key, replacement) pairs through which search texts are
// folded into one spelling per word. Keys are matched case-sensitively when the
// table is applied, but adding a key that is already present (ignoring case)
// only changes that entry's replacement and keeps its place.
class SearchWordTable
{
public:
    struct Entry
    {
        juce::String key, replacement;
        // The same texts as code points, for the matcher's inner loop.
        std::u32string keyChars, replacementChars;
        // Which character pairs (hashed) and single characters the key holds: a text
        // lacking any of them cannot contain the key.
        juce::uint64 pairMask[2] = { 0, 0 };
    };

    SearchWordTable() = default;

    void add (const juce::String& key, const juce::String& replacement);
    void clear() { entries.clear(); }

    int size() const noexcept { return (int) entries.size(); }
    const Entry& operator[] (int index) const { return entries[(size_t) index]; }
    const std::vector<Entry>& getEntries() const noexcept { return entries; }

private:
    std::vector<Entry> entries;
};

// Fills the table with the standard spellings (the search thread builds one per search).
void buildSearchWordTable (SearchWordTable& table);
