#pragma once

#include <juce_core/juce_core.h>

// Reading numbers out of texts that come from files and downloads, where any
// text at all may turn up: nothing here may overflow or read past the text.
namespace NumberText
{
    // Optional white space and sign, then decimal digits; no digits gives 0. Digits
    // beyond what an int holds wrap around (the low 32 bits of the value are kept).
    int parseLeadingInt (const juce::String& text) noexcept;

    // A decimal number read as by the framework, limited to the range of a float.
    float parseFloat (const juce::String& text) noexcept;
}
