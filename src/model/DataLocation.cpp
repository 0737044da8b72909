#include "model/DataLocation.h"

namespace DataLocation
{
    namespace
    {
        juce::CriticalSection openerLock;
        Opener& openerHolder()
        {
            static Opener opener;
            return opener;
        }
    }

    void setOpener (Opener opener)
    {
        const juce::ScopedLock sl (openerLock);
        openerHolder() = std::move (opener);
    }

    std::unique_ptr<juce::InputStream> open (const juce::String& location)
    {
        if (location.isEmpty())
            return nullptr;

        Opener opener;
        {
            const juce::ScopedLock sl (openerLock);
            opener = openerHolder();
        }
        if (opener)
            return opener (location);

        if (isWebAddress (location))
            return nullptr;
        const auto file = juce::File::isAbsolutePath (location)
                              ? juce::File (location)
                              : juce::File::getCurrentWorkingDirectory().getChildFile (location);
        if (! file.existsAsFile())
            return nullptr;
        auto stream = std::make_unique<juce::FileInputStream> (file);
        if (! stream->openedOk())
            return nullptr;
        return stream;
    }

    ReadResult readAll (juce::InputStream& in, juce::MemoryBlock& out, size_t maxBytes)
    {
        out.reset();
        const auto total = in.getTotalLength();
        if (total > 0 && (juce::uint64) total > (juce::uint64) maxBytes)
            return ReadResult::tooLarge;

        juce::MemoryOutputStream collected (out, false);
        juce::HeapBlock<char> buffer (65536);
        for (;;)
        {
            const int n = in.read (buffer.get(), 65536);
            if (n <= 0)
                break;
            if (collected.getDataSize() + (size_t) n > maxBytes)
                return ReadResult::tooLarge;
            collected.write (buffer.get(), (size_t) n);
        }
        collected.flush();
        if (total >= 0 && (juce::int64) collected.getDataSize() != total)
            return ReadResult::failed;
        out.setSize (collected.getDataSize());
        return ReadResult::ok;
    }

    ReadResult readAll (const juce::String& location, juce::MemoryBlock& out, size_t maxBytes)
    {
        auto in = open (location);
        if (in == nullptr)
            return ReadResult::cannotOpen;
        return readAll (*in, out, maxBytes);
    }
}
