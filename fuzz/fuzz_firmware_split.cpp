// Firmware images: read whole into their messages, or refused.

#include "FuzzSupport.h"
#include "device/SysExTemplates.h"
#include "model/FirmwareImage.h"

using fuzz_support::require;

extern "C" int LLVMFuzzerTestOneInput (const juce::uint8* data, size_t size)
{
    juce::OwnedArray<juce::MidiMessage> messages;
    juce::MemoryInputStream in (data, size, false);
    if (! FirmwareImage::read (in, &messages))
    {
        require (messages.isEmpty());
        return 0;
    }

    // The messages are the whole image: the acknowledge message, then at least one block,
    // each a well-framed SysEx message.
    const auto ack = buildAcknowledgeMessage();
    require (messages.size() >= 2);
    require (messages[0]->getRawDataSize() == ack.getRawDataSize()
             && memcmp (messages[0]->getRawData(), ack.getRawData(), (size_t) ack.getRawDataSize()) == 0);
    size_t offset = 0;
    for (int i = 0; i < messages.size(); ++i)
    {
        const auto* m = messages.getUnchecked (i);
        const auto length = (size_t) m->getRawDataSize();
        require (offset + length <= size && memcmp (data + offset, m->getRawData(), length) == 0);
        require (m->getRawData()[0] == 0xF0 && m->getRawData()[length - 1] == 0xF7);
        require (length <= (size_t) FirmwareImage::maxBlockLength);
        offset += length;
    }
    require (offset == size);
    return 0;
}
