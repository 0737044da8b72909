#pragma once

#include "ui/dialogs/ResultsComparer.h"

// Higher score first; equal scores by name, then device hits before backups before
// the rest, then by location.
class CompareResultsByRank : public ResultsComparer
{
public:
    using ResultsComparer::ResultsComparer;
    int compare (const SearchResult& a, const SearchResult& b) const override;
};
