#pragma once

#include <juce_core/juce_core.h>
#include <memory>

// Replaces a file as a whole or not at all: everything is written to a sibling
// temporary file, which is renamed over the target only when every write worked.
// On any failure the target keeps its old content and the temporary file goes.
class AtomicFileWriter
{
public:
    // A hidden sibling with a unique name.
    explicit AtomicFileWriter (const juce::File& target);
    // A given temporary file (a leftover of it is deleted first).
    AtomicFileWriter (const juce::File& target, const juce::File& temporary);
    ~AtomicFileWriter();

    // Null when the temporary file could not be opened.
    juce::OutputStream* getStream() noexcept { return stream.get(); }

    // Flushes, closes and renames the temporary over the target; false keeps the old target.
    bool commit();

    // Writes the whole block in one replacement.
    static bool replaceWithData (const juce::File& target, const void* data, size_t size);

private:
    void openStream();

    juce::File target;
    std::unique_ptr<juce::TemporaryFile> temporary;
    std::unique_ptr<juce::FileOutputStream> stream;
    bool committed = false;
};
