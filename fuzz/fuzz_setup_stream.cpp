// The stored form of a setup, and its values.

#include "FuzzSupport.h"
#include "model/SetupData.h"

using fuzz_support::require;

extern "C" int LLVMFuzzerTestOneInput (const juce::uint8* data, size_t size)
{
    if (size < 1)
        return 0;
    const auto format = fuzz_support::format (data[0]);
    juce::MemoryInputStream in (data + 1, size - 1, false);
    SetupData s (format);
    if (! s.readFromStream (in))
        return 0;
    require (s.getNumMessages() == 0 || s.getNumMessages() == s.getExpectedNumMessages());

    juce::MemoryOutputStream out;
    if (! s.writeToStream (out))
        return 0;
    juce::MemoryInputStream back (out.getData(), out.getDataSize(), false);
    SetupData t (format);
    require (t.readFromStream (back));
    require (t.getMd5() == s.getMd5());

    const auto values = t.getData();
    if (! values.isEmpty())
    {
        SetupData u (format);
        u.setSetupDataVersion (format.setupVersion);
        if (u.setData (values))
            require (u.getData() == values);
    }
    juce::MemoryOutputStream raw;
    require (t.writeSysExToStream (raw));
    return 0;
}
