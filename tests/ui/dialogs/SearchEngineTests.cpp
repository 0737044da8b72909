#include <gtest/gtest.h>
#include "archive/DataSourceTree.h"
#include "ui/dialogs/CompareResultsByName.h"
#include "ui/dialogs/CompareResultsByNumber.h"
#include "ui/dialogs/CompareResultsByPath.h"
#include "ui/dialogs/CompareResultsByRank.h"
#include "ui/dialogs/SearchEngine.h"
#include "support/DataFixtures.h"
#include "support/TestEnvironment.h"

using namespace testing_support;

namespace
{
    struct PresetSpec
    {
        int slot;
        const char* name;
        int tags;
    };

    // Keeps a copy of every results message it is sent.
    struct RecordingOwner : juce::MessageListener
    {
        void handleMessage (const juce::Message& m) override
        {
            if (auto* r = dynamic_cast<const SearchResultsMessage*> (&m))
                received.push_back (std::make_unique<SearchResultsMessage> (*r));
        }
        std::vector<std::unique_ptr<SearchResultsMessage>> received;
    };

    struct CountingListener : SearchEngine::Listener
    {
        void searchResultsArrived (SearchEngine& e) override
        {
            ++calls;
            lastResults = e.getResults();
        }
        int calls = 0;
        juce::Array<SearchResult> lastResults;
    };

    const juce::StringArray allLocations { "Device", "Backups", "Cloud" };

    // Waits for a condition without running the message loop (so that posted
    // messages stay queued).
    bool waitUntil (const std::function<bool()>& condition, int timeoutMs = 20000)
    {
        const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) timeoutMs;
        while (! condition())
        {
            if (juce::Time::getMillisecondCounter() > end)
                return false;
            juce::Thread::sleep (2);
        }
        return true;
    }

    // A source tree as the data page builds it:
    //   Root Node
    //     Merle (device)            1 Dbl Vocal, 2 Warm Hall, 3 Octave Down, 5 Harmony Lead
    //     Backups (archive)
    //       Live (group)
    //         Evening Set           1 Dbl Vocal, 2 Big Verb, 4 Hall
    //       "" (no label)           1 Vocal Thin
    //     Cloud (cloud)
    //       Harmony Pack            1 Dbl Vocal, 3 Robopitch
    struct SearchTreeTest : ::testing::Test
    {
        ScopedProductNames productNames;
        DeviceDataFormat format = smallFormat (12);
        juce::ValueTree root, deviceNode, backupsNode, group, evening, unnamed, cloudNode, pack;

        SearchTreeTest()
        {
            root = createSourceNode (SourceIds::root, "Root Node");
            deviceNode = createDeviceSourceNode ("Merle");
            attach (deviceNode, { { 1, "Dbl Vocal", 0x1 }, { 2, "Warm Hall", 0x2 }, { 3, "Octave Down", 0 }, { 5, "Harmony Lead", 0x5 } });
            backupsNode = createBackupsSourceNode();
            group = createSourceNode (SourceIds::group, "Live");
            evening = dataNode ("Evening Set", { { 1, "Dbl Vocal", 0x1 }, { 2, "Big Verb", 0x2 }, { 4, "Hall", 0 } });
            unnamed = dataNode ("", { { 1, "Vocal Thin", 0x4 } });
            cloudNode = createCloudSourceNode();
            pack = dataNode ("Harmony Pack", { { 1, "Dbl Vocal", 0x1 }, { 3, "Robopitch", 0x4 } });

            root.appendChild (deviceNode, nullptr);
            root.appendChild (backupsNode, nullptr);
            backupsNode.appendChild (group, nullptr);
            group.appendChild (evening, nullptr);
            backupsNode.appendChild (unnamed, nullptr);
            root.appendChild (cloudNode, nullptr);
            cloudNode.appendChild (pack, nullptr);
        }

        std::unique_ptr<DeviceData> makeData (std::initializer_list<PresetSpec> presets)
        {
            auto d = std::make_unique<DeviceData> (VersionNumber (0, 1, 0, 0, 50, 0), format, nullptr);
            for (auto& p : presets)
            {
                auto preset = makePreset (format, p.slot, p.name, 1, p.slot);
                auto info = preset->getInfo();
                info.tags = p.tags;
                preset->setInfo (info);
                d->setPreset (p.slot, std::move (preset));
            }
            return d;
        }

        void attach (juce::ValueTree node, std::initializer_list<PresetSpec> presets)
        {
            node.setProperty (SourceIds::data, new DataSet (nullptr, makeData (presets)), nullptr);
        }

        juce::ValueTree dataNode (const juce::String& label, std::initializer_list<PresetSpec> presets)
        {
            auto node = createSourceNode (SourceIds::node, label);
            attach (node, presets);
            return node;
        }

        juce::Array<juce::ValueTree> deviceSources() const { return { deviceNode }; }
        juce::Array<juce::ValueTree> backupSources() const
        {
            juce::Array<juce::ValueTree> out;
            collectSourceDataNodes (backupsNode, out);
            return out;
        }
        juce::Array<juce::ValueTree> cloudSources() const
        {
            juce::Array<juce::ValueTree> out;
            collectSourceDataNodes (cloudNode, out);
            return out;
        }

        // One pass run on this thread; returns the posted results.
        juce::Array<SearchResult> runSearch (const juce::String& query, const juce::StringArray& locations = allLocations,
                                             int tagMask = 0, int tagCount = 0)
        {
            RecordingOwner owner;
            SearchThread thread (owner, deviceSources(), backupSources(), cloudSources(), locations, query, tagMask, tagCount);
            thread.run();
            EXPECT_TRUE (pumpUntil ([&] { return owner.received.size() == 1; }));
            return owner.received.empty() ? juce::Array<SearchResult>() : owner.received.front()->results;
        }

        static juce::StringArray describe (const juce::Array<SearchResult>& results)
        {
            juce::StringArray out;
            for (auto& r : results)
                out.add (juce::String (r.number) + " " + r.name + " @ " + r.location);
            return out;
        }
    };

    SearchResult result (const juce::String& name, float score, int number = 1, const juce::String& location = "L",
                         const juce::String& category = "archive")
    {
        return SearchResult (juce::ValueTree ("node"), score, number, name, location, category);
    }
}

//==============================================================================
TEST_F (SearchTreeTest, LocationsNameTheAncestorsBelowTheRoot)
{
    EXPECT_EQ (SearchResult::makeLocation (evening, 2), "Backups - Live - Evening Set");
    EXPECT_EQ (SearchResult::makeLocation (evening, 0), "Backups - Live") << "a label hit leaves out the node's own label";
    EXPECT_EQ (SearchResult::makeLocation (deviceNode, 0), "") << "a top-level node's label hit has no location";
    EXPECT_EQ (SearchResult::makeLocation (deviceNode, 3), "Merle");
    EXPECT_EQ (SearchResult::makeLocation (unnamed, 1), "Backups") << "no trailing separator for a node without label";
    EXPECT_EQ (SearchResult::makeLocation (pack, 1), "Cloud - Harmony Pack");

    const auto loose = createSourceNode (SourceIds::node, "Loose");
    EXPECT_EQ (SearchResult::makeLocation (loose, 1), "Loose") << "a node outside the tree has no ancestors to name";
    EXPECT_EQ (SearchResult::makeLocation (loose, 0), "");

    const SearchResult r (evening, 0.5f, 2, "Big Verb");
    EXPECT_EQ (r.location, "Backups - Live - Evening Set");
    EXPECT_EQ (r.category, "archive");
    EXPECT_EQ (SearchResult (deviceNode, 1.0f, 1, "Dbl Vocal").category, "device");
    EXPECT_EQ (r.source, evening) << "the result shares the node";
}

TEST_F (SearchTreeTest, SearchesDeviceThenBackupsThenCloud)
{
    const auto results = runSearch ("dbl vocal");
    EXPECT_EQ (describe (results), juce::StringArray ({ "1 Dbl Vocal @ Merle",
                                                        "1 Dbl Vocal @ Backups - Live - Evening Set",
                                                        "1 Vocal Thin @ Backups",
                                                        "1 Dbl Vocal @ Cloud - Harmony Pack" }));
    for (auto& r : results)
        EXPECT_GT (r.score, SearchThread::minimumScore);
    EXPECT_EQ (results[0].category, "device");
    EXPECT_EQ (results[1].category, "archive");
    EXPECT_EQ (results[3].category, "cloud");
    EXPECT_EQ (results[1].source, evening);

    RecordingOwner owner;
    EXPECT_EQ (SearchThread (owner, {}, {}, {}, allLocations, "", 0, 0).getThreadName(), "searchThread");
}

TEST_F (SearchTreeTest, OnlyChosenLocationsAreSearchedByExactName)
{
    EXPECT_EQ (describe (runSearch ("dbl vocal", { "Cloud" })), juce::StringArray ({ "1 Dbl Vocal @ Cloud - Harmony Pack" }));
    EXPECT_TRUE (runSearch ("dbl vocal", { "device", "BACKUPS" }).isEmpty());
    EXPECT_TRUE (runSearch ("dbl vocal", {}).isEmpty());
    // The order stays fixed whatever order the locations are listed in.
    EXPECT_EQ (describe (runSearch ("dbl vocal", { "Cloud", "Device" })),
               juce::StringArray ({ "1 Dbl Vocal @ Merle", "1 Dbl Vocal @ Cloud - Harmony Pack" }));
}

TEST_F (SearchTreeTest, EmptyQueryListsEveryPresetWithFullScoreAndNoLabels)
{
    const auto results = runSearch ("");
    EXPECT_EQ (results.size(), 10);
    for (auto& r : results)
    {
        EXPECT_EQ (r.score, 1.0f);
        EXPECT_NE (r.number, 0) << "no label hits without a query";
    }
    EXPECT_EQ (describe (results)[3], "5 Harmony Lead @ Merle") << "slot order within a source";
}

TEST_F (SearchTreeTest, LabelsOfSourcesAreHitsWithNumberZero)
{
    auto results = runSearch ("evening set");
    ASSERT_EQ (results.size(), 1);
    EXPECT_EQ (results[0].number, 0);
    EXPECT_EQ (results[0].name, "Evening Set");
    EXPECT_EQ (results[0].location, "Backups - Live");
    EXPECT_EQ (results[0].source, evening);

    results = runSearch ("merle");
    ASSERT_EQ (results.size(), 1);
    EXPECT_EQ (results[0].location, "");
    EXPECT_EQ (results[0].category, "device");

    // A label hit ignores the tag filter: it is not a preset.
    results = runSearch ("harmony pack", allLocations, 0x2, 3);
    ASSERT_EQ (results.size(), 1) << "Harmony Lead is filtered out by its tags";
    EXPECT_EQ (results[0].number, 0);
}

TEST_F (SearchTreeTest, TagFilter)
{
    // Tags: Dbl Vocal 1 (three times), Warm Hall 2, Octave Down -, Harmony Lead 1+4,
    // Big Verb 2, Hall -, Vocal Thin 4, Robopitch 4.
    auto names = [&] (int mask, int count)
    {
        juce::StringArray out;
        for (auto& r : runSearch ("", allLocations, mask, count))
            out.addIfNotAlreadyThere (r.name);
        return out;
    };

    EXPECT_EQ (names (0x1, 3), juce::StringArray ({ "Dbl Vocal", "Harmony Lead" }));
    EXPECT_EQ (names (0x6, 3), juce::StringArray ({ "Warm Hall", "Harmony Lead", "Big Verb", "Vocal Thin", "Robopitch" }))
        << "some tags chosen: untagged presets are hidden";
    EXPECT_EQ (names (0x7, 3).size(), 8) << "all tags chosen: untagged presets show too";
    EXPECT_EQ (names (0, 3), juce::StringArray ({ "Octave Down", "Hall" })) << "no tag chosen: only untagged presets";
    EXPECT_EQ (names (0x1, 0).size(), 8) << "no tags known: no filter";
}

TEST_F (SearchTreeTest, TagCountIsLimitedToTheTagField)
{
    RecordingOwner owner;
    for (int count : { 28, 31, 32, 40, 1000 })
    {
        SearchThread t (owner, {}, {}, {}, allLocations, "x", -1, count);
        EXPECT_EQ (t.getTagCount(), 28);
        EXPECT_EQ (t.getAllTagsMask(), 0x0FFFFFFF);
        EXPECT_TRUE (t.passesTagFilter (0, -1)) << "every tag chosen: untagged presets show";
        EXPECT_TRUE (t.passesTagFilter (1 << 27, -1));
    }
    SearchThread negative (owner, {}, {}, {}, allLocations, "x", 0, -5);
    EXPECT_EQ (negative.getTagCount(), 0);
    EXPECT_TRUE (negative.passesTagFilter (0, 0x3));

    SearchThread fifteen (owner, {}, {}, {}, allLocations, "x", 0x7FFF, 15);
    EXPECT_EQ (fifteen.getAllTagsMask(), 0x7FFF);
    EXPECT_FALSE (fifteen.passesTagFilter (0, 0x3));
    EXPECT_TRUE (fifteen.passesTagFilter (0x2, 0x3));
    EXPECT_FALSE (fifteen.passesTagFilter (0x4, 0x3));

    // With 40 tags and everything chosen the whole search still shows untagged presets.
    EXPECT_EQ (runSearch ("", allLocations, -1, 40).size(), 10);
}

TEST_F (SearchTreeTest, SlotZeroIsNoPreset)
{
    auto* data = getSourceNodeWorkingData (pack);
    ASSERT_NE (data, nullptr);
    data->setPreset (0, makePreset (format, 0, "Dbl Vocal", 1, 9));
    for (auto& r : runSearch ("dbl vocal"))
        EXPECT_NE (r.number, 0) << r.location;
}

TEST_F (SearchTreeTest, SearchesTheWorkingCopy)
{
    auto* data = getSourceNodeWorkingData (evening);
    ASSERT_NE (data, nullptr);
    data->getPreset (2)->setName ("Dbl Chorus");
    const auto found = describe (runSearch ("dbl chorus"));
    EXPECT_TRUE (found.contains ("2 Dbl Chorus @ Backups - Live - Evening Set")) << found.joinIntoString (", ");
    EXPECT_TRUE (describe (runSearch ("big verb")).isEmpty());
}

TEST_F (SearchTreeTest, SearchReadsOnlyTheSnapshotTakenAtTheStart)
{
    RecordingOwner owner;
    SearchThread thread (owner, deviceSources(), backupSources(), cloudSources(), allLocations, "dbl vocal", 0, 0);
    EXPECT_EQ (thread.getSnapshot().countPresets(), 10);

    // What a rescan or an edit does meanwhile on the message thread: rename, drop the
    // data, drop whole branches.
    getSourceNodeWorkingData (deviceNode)->getPreset (1)->setName ("Renamed");
    evening.removeProperty (SourceIds::data, nullptr);
    group.removeAllChildren (nullptr);
    root.removeAllChildren (nullptr);
    pack = deviceNode = evening = group = {};

    thread.startThread();
    ASSERT_TRUE (pumpUntil ([&] { return owner.received.size() == 1; }));
    EXPECT_EQ (describe (owner.received.front()->results),
               juce::StringArray ({ "1 Dbl Vocal @ Merle",
                                    "1 Dbl Vocal @ Backups - Live - Evening Set",
                                    "1 Vocal Thin @ Backups",
                                    "1 Dbl Vocal @ Cloud - Harmony Pack" }));
}

//==============================================================================
TEST (SearchResultOrder, RankIsScoreThenNameThenSourceThenLocation)
{
    juce::Array<SearchResult> r {
        result ("B", 0.5f, 1, "Cloud - P", "cloud"),
        result ("B", 0.5f, 2, "Backups - Z", "archive"),
        result ("B", 0.5f, 3, "Merle", "device"),
        result ("B", 0.5f, 4, "Backups - A", "archive"),
        result ("A", 0.5f, 5, "Zed", "user"),
        result ("C", 0.9f, 6),
        result ("B", 0.5f, 7, "Other - Q", "user"),
        result ("B", 0.5f, 8, "Other - A", "cloud"),
    };

    auto numbers = [] (const juce::Array<SearchResult>& list)
    {
        juce::Array<int> out;
        for (auto& x : list)
            out.add (x.number);
        return out;
    };

    CompareResultsByRank forwards (1);
    forwards.sortResults (r);
    // Two "other" categories count as equal, so their locations decide.
    EXPECT_EQ (numbers (r), juce::Array<int> ({ 6, 5, 3, 4, 2, 1, 8, 7 }));

    CompareResultsByRank backwards (-1);
    backwards.sortResults (r);
    EXPECT_EQ (numbers (r), juce::Array<int> ({ 5, 3, 4, 2, 1, 8, 7, 6 }))
        << "only the score turns round; name, source and location keep their order";
}

TEST (SearchResultOrder, OtherColumnsBreakTiesByHigherScoreInBothDirections)
{
    const juce::Array<SearchResult> base {
        result ("B", 0.4f, 2, "X"), result ("A", 0.8f, 1, "Y"), result ("B", 0.9f, 2, "X"), result ("A", 0.5f, 3, "Y"),
    };
    auto scores = [] (const juce::Array<SearchResult>& list)
    {
        juce::StringArray out;
        for (auto& x : list)
            out.add (x.name + x.location + juce::String (x.number) + ":" + juce::String (x.score, 1));
        return out;
    };

    auto sorted = [&] (const ResultsComparer& c)
    {
        auto copy = base;
        copy.sort (c, true);
        return scores (copy);
    };

    EXPECT_EQ (sorted (CompareResultsByNumber (1)), juce::StringArray ({ "AY1:0.8", "BX2:0.9", "BX2:0.4", "AY3:0.5" }));
    EXPECT_EQ (sorted (CompareResultsByNumber (-1)), juce::StringArray ({ "AY3:0.5", "BX2:0.9", "BX2:0.4", "AY1:0.8" }));
    EXPECT_EQ (sorted (CompareResultsByName (1)), juce::StringArray ({ "AY1:0.8", "AY3:0.5", "BX2:0.9", "BX2:0.4" }));
    EXPECT_EQ (sorted (CompareResultsByName (-1)), juce::StringArray ({ "BX2:0.9", "BX2:0.4", "AY1:0.8", "AY3:0.5" }));
    EXPECT_EQ (sorted (CompareResultsByPath (1)), juce::StringArray ({ "BX2:0.9", "BX2:0.4", "AY1:0.8", "AY3:0.5" }));
    EXPECT_EQ (sorted (CompareResultsByPath (-1)), juce::StringArray ({ "AY1:0.8", "AY3:0.5", "BX2:0.9", "BX2:0.4" }));

    // Names compare exactly: capitals before small letters, characters by code point.
    EXPECT_LT (CompareResultsByName (1).compare (result ("Z", 0.5f), result ("a", 0.5f)), 0);
    const juce::String texts[] = { "", "a", "ab", "Z", "z", juce::String::fromUTF8 ("\xc3\xa9"), juce::String::fromUTF8 ("\xe6\x97\xa5"),
                                   juce::String::fromUTF8 ("\xf0\x9f\x8e\xa4"), juce::String::fromUTF8 ("a\xc3\xa9") };
    for (auto& a : texts)
        for (auto& b : texts)
            EXPECT_EQ (ResultsComparer::compareTexts (a, b), ResultsComparer::sign (a.compare (b))) << a << " / " << b;

    EXPECT_EQ (ResultsComparer::createForColumn (0, 1), nullptr);
    EXPECT_EQ (ResultsComparer::createForColumn (5, 1), nullptr);
    ASSERT_NE (ResultsComparer::createForColumn (2, -7), nullptr);
    EXPECT_EQ (ResultsComparer::createForColumn (2, -7)->getDirection(), -1);
}

TEST (SearchResultThinning, KeepsOnlyGoodScoresWhenThereAreEnough)
{
    auto make = [] (int total, int good)
    {
        juce::Array<SearchResult> list;
        for (int i = 0; i < total; ++i)
            list.add (result ("N" + juce::String (i), i < total - good ? 0.5f : (i % 2 == 0 ? 0.7f : 0.95f), i + 1));
        return list;
    };

    auto forty = make (40, 16);
    SearchEngine::thinResults (forty);
    ASSERT_EQ (forty.size(), 16);
    EXPECT_EQ (forty.getFirst().number, 25) << "the good ones stay in their order";
    EXPECT_EQ (forty.getLast().number, 40);

    auto fewGood = make (40, 15);
    SearchEngine::thinResults (fewGood);
    EXPECT_EQ (fewGood.size(), 40);

    auto short29 = make (29, 20);
    SearchEngine::thinResults (short29);
    EXPECT_EQ (short29.size(), 29) << "fewer than 30 results are never thinned";

    auto exactly30 = make (30, 16);
    SearchEngine::thinResults (exactly30);
    EXPECT_EQ (exactly30.size(), 16);

    auto justBelow = make (40, 0);
    for (int i = 0; i < 20; ++i)
        justBelow.getReference (i).score = 0.69999f;
    SearchEngine::thinResults (justBelow);
    EXPECT_EQ (justBelow.size(), 40);
}

//==============================================================================
TEST_F (SearchTreeTest, EngineShowsResultsSortedByRank)
{
    SearchEngine engine;
    CountingListener listener;
    engine.setListener (&listener);
    engine.setSources (deviceSources(), backupSources(), cloudSources());

    engine.restartSearch ("", 0, 0, allLocations);
    EXPECT_TRUE (engine.isSearching());
    ASSERT_TRUE (pumpUntil ([&] { return listener.calls == 1; }));
    EXPECT_FALSE (engine.isSearching());
    EXPECT_EQ (engine.getSortColumn(), 1);
    EXPECT_EQ (engine.getSortDirection(), 1);
    EXPECT_EQ (describe (engine.getResults()),
               juce::StringArray ({ "2 Big Verb @ Backups - Live - Evening Set",
                                    "1 Dbl Vocal @ Merle",
                                    "1 Dbl Vocal @ Backups - Live - Evening Set",
                                    "1 Dbl Vocal @ Cloud - Harmony Pack",
                                    "4 Hall @ Backups - Live - Evening Set",
                                    "5 Harmony Lead @ Merle",
                                    "3 Octave Down @ Merle",
                                    "3 Robopitch @ Cloud - Harmony Pack",
                                    "1 Vocal Thin @ Backups",
                                    "2 Warm Hall @ Merle" }))
        << "equal scores: by name, the unit's hit before the backup's before the cloud's";

    engine.createComparerForColumn (2, -1);
    EXPECT_EQ (engine.getSortColumn(), 2);
    EXPECT_EQ (engine.getResults().getFirst().number, 5);
    engine.createComparerForColumn (9, 1);
    EXPECT_EQ (engine.getSortColumn(), 2) << "an unknown column changes nothing";
    EXPECT_EQ (engine.getResults().getFirst().number, 5);

    engine.restartSearch ("hall", 0, 0, allLocations);
    ASSERT_TRUE (pumpUntil ([&] { return listener.calls == 2; }));
    ASSERT_GE (engine.getResults().size(), 2);
    EXPECT_EQ (engine.getResults()[0].name, "Hall") << "the exact name ranks first";
    for (int i = 1; i < engine.getResults().size(); ++i)
        EXPECT_GE (engine.getResults()[i - 1].score, engine.getResults()[i].score);
}

TEST_F (SearchTreeTest, EngineThinsLargeResultSets)
{
    // 20 presets named like the query, 20 only a little like it (0.57).
    auto node = createSourceNode (SourceIds::node, "Many");
    DeviceDataFormat big = smallFormat (64);
    auto bigData = std::make_unique<DeviceData> (VersionNumber (0, 1, 0, 0, 50, 0), big, nullptr);
    for (int i = 1; i <= 40; ++i)
        bigData->setPreset (i, makePreset (big, i, i <= 20 ? "Vocal Hall" : "Big Vocal", 1, i));
    node.setProperty (SourceIds::data, new DataSet (nullptr, std::move (bigData)), nullptr);
    backupsNode.appendChild (node, nullptr);

    SearchEngine engine;
    CountingListener listener;
    engine.setListener (&listener);
    engine.setSources ({}, { node }, {});
    engine.restartSearch ("vocal hall", 0, 0, allLocations);
    ASSERT_TRUE (pumpUntil ([&] { return listener.calls == 1; }));
    ASSERT_EQ (engine.getResults().size(), 20);
    for (auto& r : engine.getResults())
        EXPECT_EQ (r.name, "Vocal Hall");
}

TEST_F (SearchTreeTest, ResultsOfAReplacedSearchNeverArrive)
{
    SearchEngine engine;
    CountingListener listener;
    engine.setListener (&listener);
    engine.setSources (deviceSources(), backupSources(), cloudSources());

    // The first search finishes and posts, but its message is still queued when the
    // query changes.
    engine.restartSearch ("warm hall", 0, 0, allLocations);
    ASSERT_TRUE (waitUntil ([&] { return ! engine.isThreadRunning(); }));
    engine.restartSearch ("robopitch", 0, 0, allLocations);
    ASSERT_TRUE (pumpUntil ([&] { return listener.calls >= 1; }));
    pumpFor (300);
    EXPECT_EQ (listener.calls, 1);
    EXPECT_EQ (describe (engine.getResults()), juce::StringArray ({ "3 Robopitch @ Cloud - Harmony Pack" }));
}

TEST_F (SearchTreeTest, ResultsOfAStoppedSearchNeverArrive)
{
    SearchEngine engine;
    CountingListener listener;
    engine.setListener (&listener);
    engine.setSources (deviceSources(), backupSources(), cloudSources());

    engine.restartSearch ("warm hall", 0, 0, allLocations);
    ASSERT_TRUE (waitUntil ([&] { return ! engine.isThreadRunning(); }));
    engine.stopSearch();
    EXPECT_FALSE (engine.isSearching());
    pumpFor (300);
    EXPECT_EQ (listener.calls, 0);
    EXPECT_TRUE (engine.getResults().isEmpty());

    // A message of an earlier search handed in directly is dropped as well.
    engine.restartSearch ("hall", 0, 0, allLocations);
    engine.acceptSearchResults (SearchResultsMessage ({ result ("Stale", 1.0f) }, engine.getGeneration() - 1));
    EXPECT_EQ (listener.calls, 0);
    ASSERT_TRUE (pumpUntil ([&] { return listener.calls == 1; }));
    for (auto& r : engine.getResults())
        EXPECT_NE (r.name, "Stale");
}

TEST_F (SearchTreeTest, StoppingALongSearchPostsNothing)
{
    // Enough presets that the pass is still running when it is stopped (and if it is
    // not, its results must still be dropped).
    juce::Array<juce::ValueTree> many;
    DeviceDataFormat big = smallFormat (4001);
    for (int n = 0; n < 10; ++n)
    {
        auto d = std::make_unique<DeviceData> (VersionNumber (0, 1, 0, 0, 50, 0), big, nullptr);
        for (int i = 1; i <= 4000; ++i)
        {
            auto p = std::make_unique<Preset> (big);
            p->setInfo (makeInfo (i, "Vocal " + juce::String (i), 0, big.presetVersion));
            d->setPreset (i, std::move (p));
        }
        auto node = createSourceNode (SourceIds::node, "Set " + juce::String (n));
        node.setProperty (SourceIds::data, new DataSet (nullptr, std::move (d)), nullptr);
        backupsNode.appendChild (node, nullptr);
        many.add (node);
    }

    SearchEngine engine;
    CountingListener listener;
    engine.setListener (&listener);
    engine.setSources ({}, many, {});
    engine.restartSearch ("vocal 12", 0, 0, allLocations);
    engine.stopSearch();
    EXPECT_FALSE (engine.isThreadRunning());
    pumpFor (300);
    EXPECT_EQ (listener.calls, 0);

    // The same engine searches again afterwards.
    engine.restartSearch ("vocal 1234", 0, 0, allLocations);
    ASSERT_TRUE (pumpUntil ([&] { return listener.calls == 1; }));
    EXPECT_EQ (engine.getResults().getFirst().name, "Vocal 1234");
}

TEST_F (SearchTreeTest, EngineGoneWhileSearchingLeavesNothingBehind)
{
    DeviceDataFormat big = smallFormat (5001);
    auto d = std::make_unique<DeviceData> (VersionNumber (0, 1, 0, 0, 50, 0), big, nullptr);
    for (int i = 1; i <= 5000; ++i)
    {
        auto p = std::make_unique<Preset> (big);
        p->setInfo (makeInfo (i, "Warm " + juce::String (i), 0, big.presetVersion));
        d->setPreset (i, std::move (p));
    }
    auto node = createSourceNode (SourceIds::node, "Big");
    node.setProperty (SourceIds::data, new DataSet (nullptr, std::move (d)), nullptr);
    backupsNode.appendChild (node, nullptr);

    CountingListener listener;
    for (int round = 0; round < 3; ++round)
    {
        auto engine = std::make_unique<SearchEngine>();
        engine->setListener (&listener);
        engine->setSources ({}, { node }, {});
        engine->restartSearch ("warm 1", 0, 0, allLocations);
        if (round > 0)
            waitUntil ([&] { return ! engine->isThreadRunning(); });   // posted, not delivered
        engine.reset();
    }
    pumpFor (300);
    EXPECT_EQ (listener.calls, 0);
}
