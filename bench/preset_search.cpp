// Searches 100 000 presets spread over a unit (1000 presets) and 99 backups (1000
// presets each) and prints how long one query takes: the snapshot taken on the
// message thread, the search pass, and the whole road from starting the search to
// the thinned and sorted results on the message thread.

#include "archive/DataSourceTree.h"
#include "core/AppPaths.h"
#include "ui/dialogs/SearchEngine.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace
{
    double median (std::vector<double> v)
    {
        std::sort (v.begin(), v.end());
        return v[v.size() / 2];
    }

    double nowMs() { return juce::Time::getMillisecondCounterHiRes(); }

    struct Arrivals : SearchEngine::Listener
    {
        void searchResultsArrived (SearchEngine&) override { ++count; }
        int count = 0;
    };

    const char* const words[] = { "Dbl", "Double", "Vocal", "Vox", "Verb", "Reverb", "Hall", "Room", "Plate", "Warm",
                                  "Harmony", "Harm", "Octave", "Oct", "Lead", "Back", "Slap", "Delay", "Dly", "Echo",
                                  "Thin", "Fat", "Wide", "Choir", "Robo", "Pitch", "Gender", "Low", "High", "3rds",
                                  "5ths", "Stack", "Tight", "Loose", "Air", "Dark", "Bright", "Live", "Stage", "Gtr",
                                  "Ac", "Clean", "Drive", "Soft", "Big", "Small", "Duet", "Trio", "Mono", "&" };

    juce::String makeName (juce::Random& rng)
    {
        juce::String name;
        for (int i = 0, n = 1 + rng.nextInt (3); i < n; ++i)
        {
            juce::String next = (name.isEmpty() ? juce::String() : " ") + words[rng.nextInt ((int) std::size (words))];
            if (name.length() + next.length() > 15)
                break;
            name << next;
        }
        return name;
    }

    juce::ValueTree makeDataNode (const juce::Identifier& type, const juce::String& label, const DeviceDataFormat& f,
                                  int presets, juce::Random& rng)
    {
        auto data = std::make_unique<DeviceData> (VersionNumber (0, 1, 2, 0, 120, 0), f, nullptr);
        for (int slot = 1; slot <= presets; ++slot)
        {
            auto* p = data->createPreset (slot);
            PresetInfo info;
            info.number = slot;
            info.dataVersion = f.presetVersion;
            info.tags = rng.nextInt (8) == 0 ? 0 : rng.nextInt (1 << 10);
            info.setNameBytes (nullptr, f.presetNameLength);
            info.writeName (makeName (rng));
            p->setInfo (info);
        }
        auto node = type == SourceIds::category ? createDeviceSourceNode (label) : createSourceNode (type, label);
        node.setProperty (SourceIds::data, new DataSet (nullptr, std::move (data)), nullptr);
        return node;
    }
}

int main()
{
    juce::ScopedJuceInitialiser_GUI juce;
    AppPaths::setProductNameLookup ([] (juce::uint8) { return juce::String ("Veloce"); });

    DeviceDataFormat f;
    f.productId = 0x21;
    f.syxPackagesPerPresetStep = 2;
    f.presetStepPacketSize = 128;
    f.presetVersion = 3;
    f.syxPackagesPerSetup = 8;
    f.setupPacketSize = 128;
    f.setupVersion = 2;
    f.numPresets = 1001;
    f.presetNameLength = 15;
    f.maxPresetSteps = 4;

    juce::Random rng (42);
    auto root = createSourceNode (SourceIds::root, "Root Node");
    auto device = makeDataNode (SourceIds::category, "Merle", f, 1000, rng);
    root.appendChild (device, nullptr);
    auto backups = createBackupsSourceNode();
    root.appendChild (backups, nullptr);
    for (int g = 0; g < 11; ++g)
    {
        auto group = createSourceNode (SourceIds::group, "Group " + juce::String (g + 1));
        backups.appendChild (group, nullptr);
        for (int i = 0; i < 9; ++i)
            group.appendChild (makeDataNode (SourceIds::node, "Backup " + juce::String (g * 9 + i + 1), f, 1000, rng), nullptr);
    }

    juce::Array<juce::ValueTree> backupNodes;
    collectSourceDataNodes (backups, backupNodes);
    const juce::Array<juce::ValueTree> deviceNodes { device };
    const juce::StringArray locations { "Device", "Backups", "Cloud" };

    SearchEngine engine;
    Arrivals arrivals;
    engine.setListener (&arrivals);
    engine.setSources (deviceNodes, backupNodes, {});

    const char* const queries[] = { "dbl vocal", "harmony", "verb", "warm hall", "robo pitch lead", "x", "vocal & 3rds", "" };
    const int rounds = 7;

    std::printf ("preset search over %d sources\n", deviceNodes.size() + backupNodes.size());
    std::printf ("%-18s %10s %12s %12s %14s\n", "query", "hits", "snapshot ms", "search ms", "whole query ms");

    double worstTyped = 0.0;
    for (auto* query : queries)
    {
        std::vector<double> snapshotTimes, passTimes, wholeTimes;
        int hits = 0, presets = 0;
        for (int r = 0; r < rounds; ++r)
        {
            // The two halves on their own, both on this thread.
            auto t0 = nowMs();
            auto snapshot = SearchSnapshot::capture (deviceNodes, backupNodes, {}, locations);
            auto t1 = nowMs();
            presets = snapshot->countPresets();
            struct Sink : juce::MessageListener { void handleMessage (const juce::Message&) override {} } sink;
            SearchThread pass (sink, std::move (snapshot), locations, query, 0x3FF, 10);
            auto t2 = nowMs();
            for (int l = 0; l < SearchSnapshot::numLocations; ++l)
                pass.searchLocation (query, pass.getSnapshot().getSources (l), 0x3FF);
            auto t3 = nowMs();
            snapshotTimes.push_back (t1 - t0);
            passTimes.push_back (t3 - t2);

            // The whole road through the engine: snapshot, thread, message, thinning, sorting.
            const int before = arrivals.count;
            const auto start = nowMs();
            engine.restartSearch (query, 0x3FF, 10, locations);
            while (arrivals.count == before)
                juce::MessageManager::getInstance()->runDispatchLoopUntil (1);
            wholeTimes.push_back (nowMs() - start);
            hits = engine.getResults().size();
        }

        const double whole = median (wholeTimes);
        if (*query != 0)
            worstTyped = std::max (worstTyped, whole);
        std::printf ("%-18s %10d %12.2f %12.2f %14.2f\n", (juce::String ("\"") + query + "\"").toRawUTF8(), hits,
                     median (snapshotTimes), median (passTimes), whole);
        if (presets != 100000)
            std::printf ("  (searched %d presets)\n", presets);
    }

    std::printf ("slowest typed query, start to sorted results: %.2f ms (goal: under 50 ms)\n", worstTyped);
    AppPaths::setProductNameLookup (nullptr);
    return 0;
}
