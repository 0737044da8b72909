#pragma once

#include "ui/dialogs/SearchThread.h"
#include "ui/dialogs/SearchResultsMessage.h"

// The preset search behind the Find Preset dialog: holds the sources handed in by
// the data page, runs one search thread at a time, and keeps the current results,
// thinned and sorted. Message thread only.
//
// Every search started or stopped takes a new generation number; results carry the
// number of the search that found them, and only those of the current search are
// taken, so the results of a stopped or replaced search never arrive.
class SearchEngine : private juce::MessageListener
{
public:
    class Listener
    {
    public:
        virtual ~Listener() = default;
        // New results are in place (thinned and sorted by rank, highest first).
        virtual void searchResultsArrived (SearchEngine& engine) = 0;
    };

    // Thinning: from this many results on, only the good ones stay when there are
    // more than `thinningMinimumGood` of them.
    static constexpr int thinningThreshold = 30;
    static constexpr int thinningMinimumGood = 15;
    static constexpr float goodScore = 0.7f;
    static constexpr int stopTimeoutMs = 5000;

    SearchEngine();
    ~SearchEngine() override;

    void setSources (const juce::Array<juce::ValueTree>& deviceSources,
                     const juce::Array<juce::ValueTree>& backupSources,
                     const juce::Array<juce::ValueTree>& cloudSources);

    void setListener (Listener* l) noexcept { listener = l; }

    // Stops a running search, clears the results and starts a new search.
    void restartSearch (const juce::String& query, int tagMask, int tagCount, const juce::StringArray& locations);

    // Stops a running search; its results will not arrive.
    void stopSearch();

    // A search was started and its results have not arrived yet.
    bool isSearching() const noexcept { return searching; }

    // The search thread is still working (its results may already be on their way).
    bool isThreadRunning() const { return thread != nullptr && thread->isThreadRunning(); }

    const juce::Array<SearchResult>& getResults() const noexcept { return results; }

    // Takes the results of the current search (those of any other are dropped):
    // thins them, sorts them by rank and tells the listener.
    void acceptSearchResults (const SearchResultsMessage& message);

    // Sorts the results with the comparer of table column 1-4 and the direction
    // (+1 forwards, -1 backwards); other columns change nothing.
    void createComparerForColumn (int columnId, int direction);
    int getSortColumn() const noexcept { return sortColumn; }
    int getSortDirection() const noexcept { return sortDirection; }

    // With `thinningThreshold` or more results: when more than `thinningMinimumGood`
    // score `goodScore` or more, only those stay, in their order.
    static void thinResults (juce::Array<SearchResult>& results);

    int getGeneration() const noexcept { return generation; }

private:
    void handleMessage (const juce::Message& message) override;

    juce::Array<juce::ValueTree> sources[SearchSnapshot::numLocations];
    std::unique_ptr<SearchThread> thread;
    juce::Array<SearchResult> results;
    Listener* listener = nullptr;
    int generation = 0;
    bool searching = false;
    int sortColumn = 1, sortDirection = 1;

    JUCE_DECLARE_NON_COPYABLE (SearchEngine)
};
