#pragma once

#include <juce_core/juce_core.h>

// Only http:// and https:// texts name web addresses; anything else is a local
// path and is opened as a file, unencoded.
inline bool isWebAddress (const juce::String& text)
{
    const auto t = text.trimStart();
    return t.startsWithIgnoreCase ("http://") || t.startsWithIgnoreCase ("https://");
}
