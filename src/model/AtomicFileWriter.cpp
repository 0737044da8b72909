#include "model/AtomicFileWriter.h"

AtomicFileWriter::AtomicFileWriter (const juce::File& t)
    : target (t), temporary (std::make_unique<juce::TemporaryFile> (t, juce::TemporaryFile::useHiddenFile))
{
    openStream();
}

AtomicFileWriter::AtomicFileWriter (const juce::File& t, const juce::File& temp)
    : target (t), temporary (std::make_unique<juce::TemporaryFile> (t, temp))
{
    temp.deleteFile();
    openStream();
}

AtomicFileWriter::~AtomicFileWriter()
{
    stream.reset();
    if (! committed)
        temporary->getFile().deleteFile();
}

void AtomicFileWriter::openStream()
{
    auto s = std::make_unique<juce::FileOutputStream> (temporary->getFile(), 16384);
    if (s->openedOk())
        stream = std::move (s);
}

bool AtomicFileWriter::commit()
{
    if (stream == nullptr || committed)
        return false;
    stream->flush();
    const bool written = stream->getStatus().wasOk();
    stream.reset();
    if (! written || target.isDirectory())
        return false;
    committed = temporary->getFile().replaceFileIn (target);
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
