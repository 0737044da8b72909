#pragma once

#include <juce_core/juce_core.h>

// Only http:// and https:// texts name web addresses; anything else is a local
// path and is opened as a file, unencoded.
inline bool isWebAddress (const juce::String& text)
{
    const auto t = text.trimStart();
    return t.startsWithIgnoreCase ("http://") || t.startsWithIgnoreCase ("https://");
}

// The last segment of a web address or a local path: the text after its last "/" or
// "\", or all of it when it has neither. Nothing is trimmed or checked.
inline juce::String lastPathSegment (const juce::String& text)
{
    const int cut = text.lastIndexOfAnyOf ("/\\");
    return cut >= 0 ? text.substring (cut + 1) : text;
}
