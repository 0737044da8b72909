#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

// A firmware image as the update sends it: the loader's acknowledge message, then the
// blocks, each a well-framed SysEx message short enough for the 14-bit length field that
// describes it to the unit, and nothing else. The same test decides whether a downloaded
// image is kept and whether the update takes it.
namespace FirmwareImage
{
    // The largest image read.
    constexpr juce::int64 maxSize = 64 * 1024 * 1024;
    // A firmware block's length travels as a 14-bit number.
    constexpr int maxBlockLength = 16383;

    // Reads an image piece by piece: true when it opens with the acknowledge message, holds at
    // least one block after it, and is all well-framed messages of at most maxBlockLength bytes
    // within maxSize. `out`, when given, receives the messages (none on failure).
    bool read (juce::InputStream& in, juce::OwnedArray<juce::MidiMessage>* out);
    bool read (const juce::File& file, juce::OwnedArray<juce::MidiMessage>* out);

    // read (file) without the messages, remembered for each file until it changes (its size,
    // time or identity): the firmware lists ask often, from the message thread too.
    bool isWhole (const juce::File& file);
}
