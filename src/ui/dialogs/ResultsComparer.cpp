#include "ui/dialogs/ResultsComparer.h"
#include "ui/dialogs/CompareResultsByName.h"
#include "ui/dialogs/CompareResultsByNumber.h"
#include "ui/dialogs/CompareResultsByPath.h"
#include "ui/dialogs/CompareResultsByRank.h"
#include <algorithm>
#include <vector>

std::unique_ptr<ResultsComparer> ResultsComparer::createForColumn (int columnId, int direction)
{
    switch (columnId)
    {
        case 1:  return std::make_unique<CompareResultsByRank> (direction);
        case 2:  return std::make_unique<CompareResultsByNumber> (direction);
        case 3:  return std::make_unique<CompareResultsByName> (direction);
        case 4:  return std::make_unique<CompareResultsByPath> (direction);
        default: return nullptr;
    }
}

void ResultsComparer::sortResults (juce::Array<SearchResult>& results) const
{
    // Sorts positions rather than the results themselves: a result is five members to
    // move, one of them reference-counted.
    std::vector<int> order ((size_t) results.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = (int) i;

    const auto* items = results.begin();
    std::stable_sort (order.begin(), order.end(),
                      [this, items] (int a, int b) { return compare (items[a], items[b]) < 0; });

    juce::Array<SearchResult> sorted;
    sorted.ensureStorageAllocated (results.size());
    for (auto i : order)
        sorted.add (std::move (results.getReference (i)));
    results.swapWith (sorted);
}
