#include "ui/dialogs/CompareResultsByNumber.h"

int CompareResultsByNumber::compare (const SearchResult& a, const SearchResult& b) const
{
    if (a.number != b.number)
        return (a.number < b.number ? -1 : 1) * direction;
    return compareScoresHighestFirst (a, b);
}
