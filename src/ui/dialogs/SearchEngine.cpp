#include "ui/dialogs/SearchEngine.h"
#include "ui/dialogs/ResultsComparer.h"
#include <algorithm>

SearchEngine::SearchEngine() = default;

SearchEngine::~SearchEngine()
{
    stopSearch();
}

void SearchEngine::setSources (const juce::Array<juce::ValueTree>& deviceSources,
                               const juce::Array<juce::ValueTree>& backupSources,
                               const juce::Array<juce::ValueTree>& cloudSources)
{
    sources[SearchSnapshot::device] = deviceSources;
    sources[SearchSnapshot::backups] = backupSources;
    sources[SearchSnapshot::cloud] = cloudSources;
}

void SearchEngine::restartSearch (const juce::String& query, int tagMask, int tagCount, const juce::StringArray& locations)
{
    JUCE_ASSERT_MESSAGE_THREAD
    stopSearch();
    results.clear();

    juce::MessageListener& owner = *this;
    thread = std::make_unique<SearchThread> (owner, sources[SearchSnapshot::device], sources[SearchSnapshot::backups],
                                             sources[SearchSnapshot::cloud], locations, query, tagMask, tagCount,
                                             ++generation);
    searching = true;
    thread->startThread();
}

void SearchEngine::stopSearch()
{
    // A new number first: whatever the old thread has posted is now stale.
    ++generation;
    searching = false;
    if (thread != nullptr)
    {
        thread->stopThread (stopTimeoutMs);
        thread.reset();
    }
}

void SearchEngine::handleMessage (const juce::Message& message)
{
    if (auto* m = dynamic_cast<const SearchResultsMessage*> (&message))
        acceptSearchResults (*m);
}

void SearchEngine::acceptSearchResults (const SearchResultsMessage& message)
{
    if (! searching || message.generation != generation)
        return;

    searching = false;
    results.swapWith (message.results);
    thinResults (results);
    createComparerForColumn (1, 1);

    if (listener != nullptr)
        listener->searchResultsArrived (*this);
}

void SearchEngine::thinResults (juce::Array<SearchResult>& list)
{
    if (list.size() < thinningThreshold)
        return;

    int good = 0;
    for (auto& r : list)
        if (r.score >= goodScore)
            ++good;

    if (good > thinningMinimumGood)
    {
        // Keeps the good ones in their order.
        const auto end = std::remove_if (list.begin(), list.end(), [] (const SearchResult& r) { return ! (r.score >= goodScore); });
        list.removeRange ((int) (end - list.begin()), list.size());
    }
}

void SearchEngine::createComparerForColumn (int columnId, int direction)
{
    auto comparer = ResultsComparer::createForColumn (columnId, direction);
    if (comparer == nullptr)
        return;

    sortColumn = columnId;
    sortDirection = comparer->getDirection();
    comparer->sortResults (results);
}
