#pragma once

#include <juce_core/juce_core.h>

// Reads that report a short stream instead of quietly giving zeros.
namespace StreamReading
{
    inline bool readInt (juce::InputStream& in, int& out)
    {
        juce::uint8 b[4];
        if (in.read (b, 4) != 4)
            return false;
        out = (int) (juce::int32) juce::ByteOrder::littleEndianInt (b);
        return true;
    }

    inline bool readByte (juce::InputStream& in, juce::uint8& out)
    {
        return in.read (&out, 1) == 1;
    }
}
