// The stored form of a preset, and the step operations on whatever reads.

#include "FuzzSupport.h"
#include "model/Preset.h"
#include "model/SysExReader.h"

using fuzz_support::require;

namespace
{
    bool consistent (const Preset& p) { return p.getNumMessages() == p.getExpectedNumMessages(); }
}

extern "C" int LLVMFuzzerTestOneInput (const juce::uint8* data, size_t size)
{
    if (size < 1)
        return 0;
    const auto format = fuzz_support::format (data[0]);
    juce::MemoryInputStream in (data + 1, size - 1, false);
    Preset p (format);
    if (! p.readFromStream (in))
        return 0;
    require (consistent (p));

    // Written and read again, the preset is the same.
    juce::MemoryOutputStream out;
    require (p.writeToStream (out));
    juce::MemoryInputStream back (static_cast<const char*> (out.getData()) + 4, out.getDataSize() - 4, false);
    Preset q (format);
    require (q.readFromStream (back));
    require (q.getInfo() == p.getInfo() && q.getMd5() == p.getMd5() && q.isModified() == p.isModified());

    // Step operations keep the messages and the step count together.
    juce::SparseSet<int> all;
    all.addRange ({ 0, juce::jmax (1, p.getStepCount()) });
    q.appendStepsFrom (p);
    require (consistent (q));
    q.insertStepsFrom (p, 1, all);
    require (consistent (q));
    q.insertStepsFrom (p, -5, all);
    require (consistent (q));
    juce::SparseSet<int> odd;
    for (int s = 1; s < q.getStepCount(); s += 2)
        odd.addRange ({ s, s + 1 });
    q.removeSteps (odd);
    require (consistent (q));
    if (p.getStepCount() > 0)
        q.replaceStep (p, 0);
    require (consistent (q));
    if (q.getStepCount() > 0)
    {
        const auto values = q.getStepData (0);
        if (! values.isEmpty())
        {
            require (q.setStepData (0, values));
            require (q.getStepData (0) == values);
        }
    }
    q.setStepData (q.getStepCount(), { 1, 2, 3 });
    require (consistent (q));
    q.setName ("Renamed");

    // Its raw SysEx reads back as a preset with the same packets.
    if (q.isComplete())
    {
        juce::MemoryOutputStream raw;
        require (q.writeSysExToStream (raw));
        int used = 0;
        juce::uint32 flags = 0;
        auto r = parsePresetMessages (static_cast<const juce::uint8*> (raw.getData()), (int) raw.getDataSize(), used, flags, format);
        if (r != nullptr)
            require (r->getNumMessages() == q.getNumMessages());
    }
    return 0;
}
