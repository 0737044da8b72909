#pragma once

#include <juce_core/juce_core.h>
#include <vector>

// The simulated unit's own reading and writing of the maker's SysEx messages. It is
// written apart from the program's codec, on purpose: when both sides agree only because
// they share a mistake, the tests cannot see it.
namespace SimSysEx
{
    using Bytes = std::vector<juce::uint8>;

    // F0 00 7A 15 00 <device id> <command>, without the closing F7.
    Bytes begin (juce::uint8 deviceId, juce::uint8 command);
    void end (Bytes& message);

    // Numbers go out most significant group first, seven bits a byte.
    void append14 (Bytes& message, int value);
    void append28 (Bytes& message, int value);
    // Reading masks each byte to seven bits and sign-extends the 14- or 28-bit result.
    int read14 (const juce::uint8* bytes);
    int read28 (const juce::uint8* bytes);

    // Low seven bits of the byte sum.
    juce::uint8 sum7 (const juce::uint8* bytes, size_t count);

    // True for a whole message of the maker: F0 00 7A 15 00 ... F7, data bytes below 0x80.
    bool isMakersMessage (const Bytes& message);

    // A status answer: F0 00 7A 15 00 <id> 7F <status> F7.
    Bytes status (juce::uint8 deviceId, int value);
}
