#include "ui/dialogs/CompareResultsByRank.h"
#include <cstring>

namespace
{
    int categoryOrder (const juce::String& category) noexcept
    {
        const auto* text = category.toRawUTF8();
        if (std::strcmp (text, "device") == 0)
            return 0;
        if (std::strcmp (text, "archive") == 0)
            return 1;
        return 2;
    }
}

int CompareResultsByRank::compare (const SearchResult& a, const SearchResult& b) const
{
    if (const int byScore = compareScoresHighestFirst (a, b))
        return byScore * direction;
    if (const int byName = compareTexts (a.name, b.name))
        return byName;
    if (const int byCategory = sign (categoryOrder (a.category) - categoryOrder (b.category)))
        return byCategory;
    return compareTexts (a.location, b.location);
}
