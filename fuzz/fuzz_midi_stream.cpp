// What a client of the socket port layer sends: its first line and then a raw MIDI byte
// stream. The parser gives the same messages however the stream is cut into pieces, and
// only well-formed ones; the name line gives a valid name or none.
//
// Input: a selector byte (piece size and SysEx limit), then the stream.

#include "FuzzSupport.h"
#include "device/MidiByteStreamParser.h"
#include "device/SocketMidiPortLayer.h"

namespace
{
    using Bytes = std::vector<juce::uint8>;

    std::vector<Bytes> parse (const juce::uint8* data, size_t size, size_t piece, size_t limit)
    {
        MidiByteStreamParser parser (limit);
        std::vector<Bytes> out;
        for (size_t i = 0; i < size; i += piece)
            parser.feed (data + i, juce::jmin (piece, size - i), 0.0, [&] (const juce::MidiMessage& m)
            {
                out.emplace_back (m.getRawData(), m.getRawData() + m.getRawDataSize());
            });
        return out;
    }

    void checkMessage (const Bytes& m, size_t limit)
    {
        fuzz_support::require (! m.empty() && m.front() >= 0x80);
        if (m.front() == 0xF0)
        {
            fuzz_support::require (m.size() >= 2 && m.size() <= limit && m.back() == 0xF7);
            for (size_t i = 1; i + 1 < m.size(); ++i)
                fuzz_support::require (m[i] < 0x80);
            return;
        }
        fuzz_support::require (m.front() != 0xF7);
        fuzz_support::require ((int) m.size() == juce::MidiMessage::getMessageLengthFromFirstByte (m.front()));
        for (size_t i = 1; i < m.size(); ++i)
            fuzz_support::require (m[i] < 0x80);
    }
}

extern "C" int LLVMFuzzerTestOneInput (const juce::uint8* data, size_t size)
{
    if (size < 1)
        return 0;
    const juce::uint8 selector = data[0];
    const auto* bytes = data + 1;
    const size_t n = size - 1;
    const size_t piece = (size_t) (selector & 0x0F) + 1;
    const size_t limit = (selector & 0x80) != 0 ? 65536 : (size_t) ((selector >> 4) & 0x07) * 4 + 2;

    const auto whole = parse (bytes, n, juce::jmax ((size_t) 1, n), limit);
    const auto pieces = parse (bytes, n, piece, limit);
    fuzz_support::require (whole == pieces);
    for (auto& m : whole)
        checkMessage (m, limit);

    const auto name = SocketMidiPortLayer::parseNameLine (bytes, n);
    if (name.isNotEmpty())
    {
        fuzz_support::require (name.length() <= SocketMidiPortLayer::maxNameLength && name == name.trim());
        for (auto p = name.getCharPointer(); ! p.isEmpty(); ++p)
            fuzz_support::require (*p >= 0x20 && (*p < 0x7F || *p >= 0xA0));
    }
    return 0;
}
