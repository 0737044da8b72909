// Binary data files: reading must fail cleanly on anything, and whatever reads
// and writes again must read back and write the very same bytes.

#include "FuzzSupport.h"
#include "model/DeviceData.h"

using fuzz_support::require;

extern "C" int LLVMFuzzerTestOneInput (const juce::uint8* data, size_t size)
{
    static const bool ready = (fuzz_support::installProductNames(), true);
    juce::ignoreUnused (ready);

    auto d = DeviceData::createFromData (data, size);
    if (d == nullptr)
        return 0;

    require (d->getNumSlots() <= DeviceDataFormat::maxSlots);
    for (auto i : d->getPresetIndices())
    {
        auto* p = d->getPreset (i);
        require (p->getNumMessages() == p->getExpectedNumMessages());
        for (int s = 0; s < p->getStepCount(); ++s)
            p->getStepData (s);
        p->getMd5();
    }
    d->getSetup().getData();

    juce::MemoryOutputStream first;
    if (d->writeToStream (first) != 0)
        return 0;

    auto again = DeviceData::createFromData (first.getData(), first.getDataSize());
    require (again != nullptr);
    juce::MemoryOutputStream second;
    require (again->writeToStream (second) == 0);
    require (first.getDataSize() == second.getDataSize()
             && memcmp (first.getData(), second.getData(), first.getDataSize()) == 0);

    // Slot operations on what was read never lose a preset.
    const int count = again->countPresets();
    again->compactPresets (again->getNumSlots() - 1);
    require (again->countPresets() == count);
    require (! again->hasGapsBetweenPresets());
    auto copy = again->createFullCopy (true);
    require (copy->countPresets() == count);
    const auto filled = again->getPresetIndices();
    if (! filled.isEmpty() && copy->insertPresets (1, { filled.getFirst() }, *again))
        require (copy->countPresets() == count + 1);
    return 0;
}
