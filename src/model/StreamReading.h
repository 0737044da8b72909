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

    // Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF. Texts
    // are only made from bytes that pass, as the framework's text classes expect.
    inline bool isValidUtf8 (const juce::uint8* s, size_t size)
    {
        size_t i = 0;
        while (i < size)
        {
            const juce::uint32 c = s[i];
            int extra = 0;
            juce::uint32 value = 0, minimum = 0;
            if (c < 0x80)           { ++i; continue; }
            else if (c >= 0xC2 && c <= 0xDF) { extra = 1; value = c & 0x1F; minimum = 0x80; }
            else if (c >= 0xE0 && c <= 0xEF) { extra = 2; value = c & 0x0F; minimum = 0x800; }
            else if (c >= 0xF0 && c <= 0xF4) { extra = 3; value = c & 0x07; minimum = 0x10000; }
            else return false;

            if (size - i <= (size_t) extra)
                return false;
            for (int k = 1; k <= extra; ++k)
            {
                const juce::uint32 b = s[i + (size_t) k];
                if ((b & 0xC0) != 0x80)
                    return false;
                value = (value << 6) | (b & 0x3F);
            }
            if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
                return false;
            i += (size_t) extra + 1;
        }
        return true;
    }
}
