#include "model/DeviceData.h"
#include "model/AtomicFileWriter.h"
#include "model/DataLocation.h"
#include "model/StreamReading.h"
#include "core/AppPaths.h"

// The program's binary data file: a header (writer's version, product name, data version and
// format), the preset slots and the setup.

namespace
{
    // A zero-terminated UTF-8 text of at most `limit` bytes; false at the end of the
    // stream, when no terminator comes within the limit, or for bytes that are not UTF-8.
    bool readText (juce::InputStream& in, juce::String& out, int limit = 4096)
    {
        juce::MemoryOutputStream bytes (64);
        for (int i = 0; i <= limit; ++i)
        {
            juce::uint8 b = 0;
            if (in.read (&b, 1) != 1)
                return false;
            if (b == 0)
            {
                if (! StreamReading::isValidUtf8 (static_cast<const juce::uint8*> (bytes.getData()), bytes.getDataSize()))
                    return false;
                out = juce::String::fromUTF8 (static_cast<const char*> (bytes.getData()), (int) bytes.getDataSize());
                return true;
            }
            bytes.writeByte ((char) b);
        }
        return false;
    }

    struct FileHeader
    {
        VersionNumber writerVersion;
        juce::String productName;
        VersionNumber dataVersion;
        DeviceDataFormat format;
    };

    // Items 1 to 4 of a data file; the format in the form the writer's build selects.
    bool readHeader (juce::InputStream& in, FileHeader& h)
    {
        juce::String writer, data;
        if (! readText (in, writer) || ! readText (in, h.productName) || ! readText (in, data))
            return false;
        h.writerVersion.fromString (writer);
        h.dataVersion.fromString (data);
        if (h.writerVersion.build == 0 || h.productName.isEmpty() || h.dataVersion.build == 0 || in.isExhausted())
            return false;
        return h.writerVersion.build <= 30 ? h.format.readLegacyFromStream (in) : h.format.readFromStream (in);
    }
}

int DeviceData::writeToStream (juce::OutputStream& out) const
{
    // Data without a product name could never be read back.
    if (productName.isEmpty())
        return 2;
    if (! hasReadableHeader())
        return 1;

    bool ok = out.writeString (getApplicationVersionNumber().toString());
    ok = out.writeString (productName) && ok;
    ok = out.writeString (version.toString()) && ok;
    ok = format.writeToStream (out) && ok;
    if (! ok)
        return 2;

    if (presets.size() > 0)
    {
        if (! out.writeInt (presets.size()))
            return 2;
        for (auto* p : presets)
        {
            if (p == nullptr)
            {
                if (! out.writeInt (-1))
                    return 2;
                continue;
            }
            if (! p->isComplete())
                return 1;
            if (! p->writeToStream (out))
                return 2;
        }
    }
    else if (! out.writeInt (-1))
    {
        return 2;
    }

    if (! setup.canBeStored())
        return 1;
    return setup.writeToStream (out) ? 0 : 2;
}

bool DeviceData::hasReadableHeader() const noexcept
{
    // The reader's own tests: a header it refuses is never written.
    return format.isValid() && format.isWithinLimits() && version.build != 0;
}

int DeviceData::writeThrough (AtomicFileWriter& writer) const
{
    auto* out = writer.getStream();
    if (out == nullptr)
        return 2;
    const int result = writeToStream (*out);
    if (result != 0)
        return result;
    return writer.commit() ? 0 : 2;
}

int DeviceData::writeToFile (const juce::File& file) const
{
    if (productName.isEmpty() || file.isDirectory())
        return 2;
    if (! hasReadableHeader())
        return 1;
    AtomicFileWriter writer (file);
    return writeThrough (writer);
}

int DeviceData::saveDataFile (const juce::File& folder, bool working) const
{
    if (! folder.isDirectory() && ! folder.createDirectory().wasOk())
        return 2;
    const auto path = folder.getFullPathName();
    const juce::File target (working ? AppPaths::getWorkingFile (path, false) : AppPaths::getSyncFile (path, false));
    const juce::File temporary (working ? AppPaths::getWorkingFile (path, true) : AppPaths::getSyncFile (path, true));

    // Written under the temporary name and renamed over the snapshot only when
    // complete; the temporary never outlives this call.
    if (productName.isEmpty())
        return 2;
    if (! hasReadableHeader())
        return 1;
    AtomicFileWriter writer (target, temporary);
    return writeThrough (writer);
}

std::unique_ptr<DeviceData> DeviceData::createFromFile (const juce::String& location)
{
    juce::MemoryBlock data;
    if (DataLocation::readAll (location, data, maxFileSize) != DataLocation::ReadResult::ok)
        return nullptr;
    return createFromData (data.getData(), data.getSize());
}

std::unique_ptr<DeviceData> DeviceData::createFromData (const void* bytes, size_t size)
{
    if (bytes == nullptr || size == 0)
        return nullptr;
    juce::MemoryInputStream in (bytes, size, false);

    FileHeader header;
    if (! readHeader (in, header))
        return nullptr;

    int slotCount = 0;
    if (! StreamReading::readInt (in, slotCount) || slotCount < -1)
        return nullptr;
    if (! header.format.isValid() || ! header.format.isWithinLimits())
        return nullptr;

    auto data = std::make_unique<DeviceData> (header.dataVersion, header.format, nullptr);
    // Data of a product the content does not (yet) know keeps the name it was stored under.
    if (data->productName.isEmpty())
        data->productName = header.productName;

    for (int i = 0; i < slotCount; ++i)
    {
        int marker = 0;
        if (! StreamReading::readInt (in, marker))
            return nullptr;
        if (marker == -1)
            continue;
        auto* preset = data->createPreset (i);
        if (preset == nullptr || ! preset->readFromStream (in))
            return nullptr;
    }

    if (! data->setup.readFromStream (in))
        return nullptr;

    data->clearModifiedFlags (true);
    return data;
}

bool DeviceData::isFileCompatible (const juce::File& file) const
{
    juce::FileInputStream in (file);
    if (! in.openedOk())
        return false;
    FileHeader header;
    if (! readHeader (in, header))
        return false;
    return header.productName == productName && header.format == format && header.dataVersion.build == version.build;
}
