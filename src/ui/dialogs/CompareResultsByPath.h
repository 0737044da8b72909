#pragma once

#include "ui/dialogs/ResultsComparer.h"

// Location; equal locations by score.
class CompareResultsByPath : public ResultsComparer
{
public:
    using ResultsComparer::ResultsComparer;
    int compare (const SearchResult& a, const SearchResult& b) const override;
};
