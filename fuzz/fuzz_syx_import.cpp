// SysEx files: the import walk and the two packet readers.

#include "FuzzSupport.h"
#include "model/DeviceData.h"
#include "model/SysExReader.h"

using fuzz_support::require;

extern "C" int LLVMFuzzerTestOneInput (const juce::uint8* data, size_t size)
{
    static const bool ready = (fuzz_support::installProductNames(), true);
    juce::ignoreUnused (ready);
    if (size < 1)
        return 0;

    const auto format = fuzz_support::format (data[0]);
    const int firstSlot = (data[0] & 0x80) != 0 ? (data[0] >> 4) & 0x7 : -1;
    const auto* bytes = data + 1;
    const int n = (int) size - 1;

    int used = 0;
    juce::uint32 flags = 0;
    if (auto s = parseSetupMessages (bytes, n, used, flags, format))
        require (s->isComplete() && used > 0 && used <= n);
    if (auto p = parsePresetMessages (bytes, n, used, flags, format))
        require (p->getNumMessages() == p->getExpectedNumMessages() && used > 0 && used <= n);

    DeviceData d (VersionNumber (0, 1, 0, 0, 100, 0), format, nullptr);
    juce::Array<int> slots;
    d.importSysExData (bytes, (size_t) n, slots, firstSlot);
    for (auto i : slots)
        require (d.hasPreset (i) && d.getPreset (i)->getNumMessages() == d.getPreset (i)->getExpectedNumMessages());

    // What was imported stores and reads back.
    juce::MemoryOutputStream out;
    if (d.writeToStream (out) == 0)
        require (DeviceData::createFromData (out.getData(), out.getDataSize()) != nullptr);
    return 0;
}
