#include "ui/dialogs/CompareResultsByPath.h"

int CompareResultsByPath::compare (const SearchResult& a, const SearchResult& b) const
{
    if (const int byLocation = compareTexts (a.location, b.location))
        return byLocation * direction;
    return compareScoresHighestFirst (a, b);
}
