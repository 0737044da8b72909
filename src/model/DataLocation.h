#pragma once

#include <juce_core/juce_core.h>
#include "core/WebAddress.h"
#include <functional>
#include <memory>

// Opening a data location: a local path, or a web address once the content layer
// has installed its web opener (which also opens local paths).
namespace DataLocation
{
    using Opener = std::function<std::unique_ptr<juce::InputStream> (const juce::String& location)>;
    void setOpener (Opener opener);

    // Only http:// and https:// are web addresses.
    inline bool isWebAddress (const juce::String& location) { return ::isWebAddress (location); }

    // The installed opener's stream; without one, the local file (web addresses give null).
    std::unique_ptr<juce::InputStream> open (const juce::String& location);

    enum class ReadResult { ok, cannotOpen, tooLarge, failed };

    // Reads the whole location into `out`, refusing to hold more than `maxBytes`.
    ReadResult readAll (const juce::String& location, juce::MemoryBlock& out, size_t maxBytes);
    ReadResult readAll (juce::InputStream& in, juce::MemoryBlock& out, size_t maxBytes);
}
