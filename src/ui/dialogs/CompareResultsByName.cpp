#include "ui/dialogs/CompareResultsByName.h"

int CompareResultsByName::compare (const SearchResult& a, const SearchResult& b) const
{
    if (const int byName = compareTexts (a.name, b.name))
        return byName * direction;
    return compareScoresHighestFirst (a, b);
}
