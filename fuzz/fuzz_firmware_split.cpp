// Firmware images: split into whole messages, or refused.

#include "FuzzSupport.h"
#include "device/SysExFileAnalysis.h"

using fuzz_support::require;

extern "C" int LLVMFuzzerTestOneInput (const juce::uint8* data, size_t size)
{
    juce::OwnedArray<juce::MidiMessage> messages;
    if (! splitFirmwareImageData (data, (int) size, messages))
    {
        require (messages.isEmpty());
        return 0;
    }

    // The messages are the whole image, each a well-framed SysEx message.
    size_t offset = 0;
    for (int i = 0; i < messages.size(); ++i)
    {
        const auto* m = messages.getUnchecked (i);
        const auto length = (size_t) m->getRawDataSize();
        require (offset + length <= size && memcmp (data + offset, m->getRawData(), length) == 0);
        require (m->getRawData()[0] == 0xF0 && m->getRawData()[length - 1] == 0xF7);
        require (i == 0 || length <= (size_t) SysExFileAnalysis::maxBlockLength);
        offset += length;
    }
    require (offset == size);
    return 0;
}
