#pragma once

#include "ui/dialogs/ResultsComparer.h"

// Name (exact text comparison); equal names by score.
class CompareResultsByName : public ResultsComparer
{
public:
    using ResultsComparer::ResultsComparer;
    int compare (const SearchResult& a, const SearchResult& b) const override;
};
