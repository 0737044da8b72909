#include "ui/dialogs/SearchResult.h"
#include "archive/DataSourceTree.h"

SearchResult::SearchResult (const juce::ValueTree& node, float s, int n, const juce::String& text)
    : source (node), score (s), number (n), name (text), location (makeLocation (node, n))
{
    juce::String subCategory;
    getSourceNodeCategory (node, category, subCategory);
}

SearchResult::SearchResult (const juce::ValueTree& node, float s, int n, const juce::String& text,
                            const juce::String& where, const juce::String& cat)
    : source (node), score (s), number (n), name (text), location (where), category (cat)
{
}

juce::String SearchResult::makeLocation (const juce::ValueTree& node, int number)
{
    const juce::String separator (" - ");
    juce::String location = number != 0 ? node.getProperty (SourceIds::label).toString() : juce::String();

    // Up to (not including) the root. A node outside any tree has no ancestors to name.
    for (auto current = node; current.isValid();)
    {
        const auto parent = current.getParent();
        if (! parent.isValid() || parent.hasType (SourceIds::root))
            break;
        location = parent.getProperty (SourceIds::label).toString() + separator + location;
        current = parent;
    }

    if (location.endsWith (separator))
        location = location.dropLastCharacters (separator.length());
    return location;
}
