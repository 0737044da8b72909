// Writes a 1000-slot unit's data to a data file and reads it back, and prints the
// time one round trip takes.

#include "core/AppPaths.h"
#include "model/DeviceData.h"

#include <algorithm>
#include <cstdio>
#include <vector>

int main()
{
    AppPaths::setProductNameLookup ([] (juce::uint8) { return juce::String ("Veloce"); });

    // A unit of 1000 slots: presets of two steps of two 128-byte packets, a setup of eight packets.
    DeviceDataFormat f;
    f.productId = 0x21;
    f.syxPackagesPerPresetStep = 2;
    f.presetStepPacketSize = 128;
    f.presetVersion = 3;
    f.syxPackagesPerSetup = 8;
    f.setupPacketSize = 128;
    f.setupVersion = 2;
    f.numPresets = 1000;
    f.presetNameLength = 15;
    f.maxPresetSteps = 4;

    DeviceData data (VersionNumber (0, 1, 2, 0, 120, 0), f, nullptr);
    for (int slot = 1; slot < f.numPresets; ++slot)
    {
        auto* p = data.createPreset (slot);
        PresetInfo info;
        info.number = slot;
        info.dataVersion = f.presetVersion;
        info.setNameBytes (nullptr, f.presetNameLength);
        info.writeName ("Preset " + juce::String (slot));
        p->setInfo (info);
        for (int step = 0; step < 2; ++step)
        {
            juce::Array<int> values;
            for (int i = 0; i < p->getStepCapacity(); ++i)
                values.add (slot * 131 + step * 17 + i);
            p->setStepData (step, values);
        }
    }
    SetupData setup (f);
    setup.setSetupDataVersion (f.setupVersion);
    juce::Array<int> values;
    for (int i = 0; i < (f.setupPacketSize / 4) * f.syxPackagesPerSetup; ++i)
        values.add (i);
    setup.setData (values);
    data.setSetup (setup, false);

    const auto folder = juce::File::createTempFile ("bench");
    folder.createDirectory();
    const auto file = folder.getChildFile ("unit.ard");

    const int rounds = 200;
    std::vector<double> times;
    juce::int64 fileSize = 0;
    for (int r = 0; r < rounds + 5; ++r)
    {
        const auto start = juce::Time::getHighResolutionTicks();
        if (data.writeToFile (file) != 0)
        {
            std::printf ("write failed\n");
            return 1;
        }
        auto back = DeviceData::createFromFile (file.getFullPathName());
        const auto end = juce::Time::getHighResolutionTicks();
        if (back == nullptr || back->countPresets() != f.numPresets - 1)
        {
            std::printf ("read failed\n");
            return 1;
        }
        fileSize = file.getSize();
        if (r >= 5)  // the first rounds warm the caches
            times.push_back (juce::Time::highResolutionTicksToSeconds (end - start) * 1000.0);
    }
    folder.deleteRecursively();

    std::sort (times.begin(), times.end());
    double sum = 0;
    for (auto t : times)
        sum += t;
    std::printf ("data file round trip, 1000 slots (%d presets, %lld bytes): mean %.3f ms, median %.3f ms, "
                 "best %.3f ms, worst %.3f ms over %d rounds (goal: under 5 ms)\n",
                 f.numPresets - 1, (long long) fileSize, sum / (double) times.size(), times[times.size() / 2],
                 times.front(), times.back(), rounds);
    return 0;
}
