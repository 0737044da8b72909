#include "device/sim/SimSysEx.h"

namespace SimSysEx
{
    Bytes begin (juce::uint8 deviceId, juce::uint8 command)
    {
        return Bytes { 0xF0, 0x00, 0x7A, 0x15, 0x00, deviceId, command };
    }

    void end (Bytes& message)
    {
        message.push_back (0xF7);
    }

    void append14 (Bytes& message, int value)
    {
        const unsigned v = (unsigned) value;
        for (int shift = 7; shift >= 0; shift -= 7)
            message.push_back ((juce::uint8) ((v >> shift) & 0x7Fu));
    }

    void append28 (Bytes& message, int value)
    {
        const unsigned v = (unsigned) value;
        for (int shift = 21; shift >= 0; shift -= 7)
            message.push_back ((juce::uint8) ((v >> shift) & 0x7Fu));
    }

    int read14 (const juce::uint8* b)
    {
        const int raw = ((b[0] & 0x7F) * 128) + (b[1] & 0x7F);
        return raw >= 0x2000 ? raw - 0x4000 : raw;
    }

    int read28 (const juce::uint8* b)
    {
        juce::int64 raw = 0;
        for (int i = 0; i < 4; ++i)
            raw = raw * 128 + (b[i] & 0x7F);
        return (int) (raw >= 0x8000000 ? raw - 0x10000000 : raw);
    }

    juce::uint8 sum7 (const juce::uint8* bytes, size_t count)
    {
        unsigned total = 0;
        for (size_t i = 0; i < count; ++i)
            total += bytes[i];
        return (juce::uint8) (total % 128u);
    }

    bool isMakersMessage (const Bytes& m)
    {
        if (m.size() < 8 || m.front() != 0xF0 || m.back() != 0xF7)
            return false;
        if (m[1] != 0x00 || m[2] != 0x7A || m[3] != 0x15 || m[4] != 0x00)
            return false;
        for (size_t i = 1; i + 1 < m.size(); ++i)
            if (m[i] >= 0x80)
                return false;
        return true;
    }

    Bytes status (juce::uint8 deviceId, int value)
    {
        auto m = begin (deviceId, 0x7F);
        m.push_back ((juce::uint8) (value & 0x7F));
        end (m);
        return m;
    }
}
