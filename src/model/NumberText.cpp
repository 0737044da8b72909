#include "model/NumberText.h"

#include <limits>

namespace NumberText
{
    int parseLeadingInt (const juce::String& text) noexcept
    {
        auto p = text.getCharPointer().findEndOfWhitespace();
        bool negative = false;
        if (*p == '-' || *p == '+')
        {
            negative = (*p == '-');
            ++p;
        }

        juce::uint32 value = 0;  // unsigned: wraps instead of overflowing
        for (;;)
        {
            const auto c = *p;
            if (c < '0' || c > '9')
                break;
            value = value * 10u + (juce::uint32) (c - '0');
            ++p;
        }

        if (negative)
            value = 0u - value;
        return (int) (juce::int32) value;  // two's complement reinterpretation
    }

    float parseFloat (const juce::String& text) noexcept
    {
        const double v = text.getDoubleValue();
        if (std::isnan (v))
            return 0.0f;
        const double limit = (double) std::numeric_limits<float>::max();
        return (float) juce::jlimit (-limit, limit, v);
    }
}
