#pragma once

#include "ui/dialogs/ResultsComparer.h"

// Slot number; equal numbers by score.
class CompareResultsByNumber : public ResultsComparer
{
public:
    using ResultsComparer::ResultsComparer;
    int compare (const SearchResult& a, const SearchResult& b) const override;
};
