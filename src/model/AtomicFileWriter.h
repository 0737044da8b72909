#pragma once

#include <juce_core/juce_core.h>
#include <memory>

// Replaces a file as a whole or not at all: everything is written to a sibling
// temporary file, which is renamed over the target only when every write worked.
// On any failure the target keeps its old content and the temporary file goes.
//
// Each target has one fixed temporary name, so a save cut short by a crash leaves at
// most that one file behind, which the next save of the target replaces (and which
// readers may clear with discardLeftover). Writers of one target in this process take
// turns.
class AtomicFileWriter
{
public:
    // Writes through the target's own temporary (temporaryFor).
    explicit AtomicFileWriter (const juce::File& target);
    // Writes through a given temporary file (a leftover of it is deleted first).
    AtomicFileWriter (const juce::File& target, const juce::File& temporary);
    ~AtomicFileWriter();

    // Null when the temporary file could not be opened.
    juce::OutputStream* getStream() noexcept { return stream.get(); }

    // Flushes and closes the temporary file; false when any write failed. The target is
    // not touched yet: several files can be written whole before any is replaced.
    bool finish();

    // Finishes when not done yet, then renames the temporary over the target; false
    // keeps the old target.
    bool commit();

    // Writes the whole block in one replacement.
    static bool replaceWithData (const juce::File& target, const void* data, size_t size);
    // Writes the document in one replacement.
    static bool replaceWithXml (const juce::File& target, const juce::XmlElement& xml,
                                const juce::XmlElement::TextFormat& format);

    // The fixed temporary of a target: a hidden sibling, "." + the file name + ".tmp".
    static juce::File temporaryFor (const juce::File& target);

    // Deletes what an interrupted save of the target left behind, unless a writer of this
    // process is using it right now.
    static void discardLeftover (const juce::File& temporary);

    // Holds a temporary as a writer does, for clearing up after a save cut short: waits
    // until no writer of this process uses it, and keeps writers from it until destroyed.
    class ScopedClaim
    {
    public:
        explicit ScopedClaim (const juce::File& temporary);
        ~ScopedClaim();

    private:
        juce::File temporary;
        JUCE_DECLARE_NON_COPYABLE (ScopedClaim)
    };

private:
    void openStream();

    juce::File target, temporary;
    std::unique_ptr<juce::FileOutputStream> stream;
    bool finished = false, written = false, committed = false;

    JUCE_DECLARE_NON_COPYABLE (AtomicFileWriter)
};
