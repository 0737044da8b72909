#include "model/FirmwareImage.h"
#include "model/SysExCodec.h"
#include "model/SysExReader.h"
#include <map>
#include <mutex>

namespace FirmwareImage
{
    bool read (juce::InputStream& in, juce::OwnedArray<juce::MidiMessage>* out)
    {
        if (out != nullptr)
            out->clear();
        auto refuse = [out]
        {
            if (out != nullptr)
                out->clear();
            return false;
        };

        if (in.getTotalLength() > maxSize)
            return refuse();

        // Room for a whole message and more: a message not complete once more than
        // maxBlockLength bytes are at hand is too long, or no message at all.
        constexpr int capacity = 4 * (maxBlockLength + 1);
        juce::HeapBlock<juce::uint8> buffer (capacity);
        int start = 0, end = 0, count = 0;
        juce::int64 total = 0;
        bool exhausted = false;

        for (;;)
        {
            if (! exhausted && end - start <= maxBlockLength)
            {
                memmove (buffer.get(), buffer.get() + start, (size_t) (end - start));
                end -= start;
                start = 0;
                const int n = in.read (buffer.get() + end, capacity - end);
                if (n <= 0)
                    exhausted = true;
                end += juce::jmax (0, n);
                total += juce::jmax (0, n);
                if (total > maxSize)
                    return refuse();
                continue;
            }
            if (start == end)
                break;

            const auto* message = buffer.get() + start;
            const int length = SysExCodec::getMessageLength (message, end - start);
            if (length <= 0 || length > maxBlockLength)
                return refuse();

            if (count == 0)
            {
                int productId = 255, number = -1;
                if (classifySysExMessage (message, length, 255, DeviceDataFormat(), nullptr, productId, number)
                    != SysExFlags::acknowledge)
                    return refuse();
            }

            if (out != nullptr)
                out->add (new juce::MidiMessage (message, length, 0.0));
            ++count;
            start += length;
        }

        return count >= 2 || refuse();
    }

    bool read (const juce::File& file, juce::OwnedArray<juce::MidiMessage>* out)
    {
        juce::FileInputStream in (file);
        if (! in.openedOk())
        {
            if (out != nullptr)
                out->clear();
            return false;
        }
        return read (in, out);
    }

    bool isWhole (const juce::File& file)
    {
        struct Seen
        {
            juce::int64 size = 0, modified = 0;
            juce::uint64 identity = 0;
            bool whole = false;

            bool isSameFile (const Seen& o) const { return size == o.size && modified == o.modified && identity == o.identity; }
        };
        // Never destroyed: a thread may still ask while the program ends.
        static auto* lock = new std::mutex();
        static auto* seen = new std::map<juce::String, Seen>();

        if (! file.existsAsFile())
            return false;

        Seen now;
        now.size = file.getSize();
        now.modified = file.getLastModificationTime().toMilliseconds();
        now.identity = file.getFileIdentifier();
        const auto path = file.getFullPathName();
        {
            const std::lock_guard<std::mutex> sl (*lock);
            auto it = seen->find (path);
            if (it != seen->end() && it->second.isSameFile (now))
                return it->second.whole;
        }

        now.whole = read (file, nullptr);
        const std::lock_guard<std::mutex> sl (*lock);
        if (seen->size() >= 256)
            seen->clear();
        (*seen)[path] = now;
        return now.whole;
    }
}
