#include "model/AtomicFileWriter.h"
#include <condition_variable>
#include <mutex>
#include <set>

namespace
{
    // The temporaries in use by writers of this process. With one fixed temporary per
    // target, a second writer of the same target waits until the first has finished.
    struct TemporariesInUse
    {
        std::mutex mutex;
        std::condition_variable released;
        std::set<juce::String> paths;
    };

    TemporariesInUse& inUse()
    {
        static TemporariesInUse instance;
        return instance;
    }

    void claim (const juce::File& temporary)
    {
        auto& u = inUse();
        std::unique_lock<std::mutex> lock (u.mutex);
        const auto path = temporary.getFullPathName();
        u.released.wait (lock, [&u, &path] { return u.paths.count (path) == 0; });
        u.paths.insert (path);
    }

    void release (const juce::File& temporary)
    {
        auto& u = inUse();
        {
            const std::lock_guard<std::mutex> lock (u.mutex);
            u.paths.erase (temporary.getFullPathName());
        }
        u.released.notify_all();
    }
}

AtomicFileWriter::AtomicFileWriter (const juce::File& t)
    : AtomicFileWriter (t, temporaryFor (t))
{
}

AtomicFileWriter::AtomicFileWriter (const juce::File& t, const juce::File& temp)
    : target (t), temporary (temp)
{
    claim (temporary);
    temporary.deleteFile();   // a leftover: the stream below would append to it
    openStream();
}

AtomicFileWriter::~AtomicFileWriter()
{
    stream.reset();
    if (! committed)
        temporary.deleteFile();
    release (temporary);
}

juce::File AtomicFileWriter::temporaryFor (const juce::File& t)
{
    return t.getSiblingFile ("." + t.getFileName() + ".tmp");
}

void AtomicFileWriter::discardLeftover (const juce::File& temp)
{
    auto& u = inUse();
    const std::lock_guard<std::mutex> lock (u.mutex);
    if (u.paths.count (temp.getFullPathName()) == 0 && temp.existsAsFile())
        temp.deleteFile();
}

AtomicFileWriter::ScopedClaim::ScopedClaim (const juce::File& t)
    : temporary (t)
{
    claim (temporary);
}

AtomicFileWriter::ScopedClaim::~ScopedClaim()
{
    release (temporary);
}

void AtomicFileWriter::openStream()
{
    auto s = std::make_unique<juce::FileOutputStream> (temporary, 16384);
    if (s->openedOk())
        stream = std::move (s);
}

bool AtomicFileWriter::finish()
{
    if (! finished && stream != nullptr)
    {
        stream->flush();
        written = stream->getStatus().wasOk();
        stream.reset();
        finished = true;
    }
    return written;
}

bool AtomicFileWriter::commit()
{
    if (committed || ! finish() || target.isDirectory())
        return false;
    committed = temporary.replaceFileIn (target);
    return committed;
}

bool AtomicFileWriter::replaceWithData (const juce::File& target, const void* data, size_t size)
{
    AtomicFileWriter writer (target);
    auto* out = writer.getStream();
    if (out == nullptr)
        return false;
    if (size > 0 && ! out->write (data, size))
        return false;
    return writer.commit();
}

bool AtomicFileWriter::replaceWithXml (const juce::File& target, const juce::XmlElement& xml,
                                       const juce::XmlElement::TextFormat& format)
{
    AtomicFileWriter writer (target);
    auto* out = writer.getStream();
    if (out == nullptr)
        return false;
    xml.writeTo (*out, format);
    return writer.commit();
}
