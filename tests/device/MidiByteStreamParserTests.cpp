#include <gtest/gtest.h>
#include "device/MidiByteStreamParser.h"

namespace
{
    using Bytes = std::vector<juce::uint8>;

    Bytes raw (const juce::MidiMessage& m)
    {
        return Bytes (m.getRawData(), m.getRawData() + m.getRawDataSize());
    }

    // Every message the bytes give, fed in pieces of the given size.
    std::vector<Bytes> parse (MidiByteStreamParser& parser, const Bytes& bytes, size_t piece = 0)
    {
        std::vector<Bytes> out;
        const auto collect = [&] (const juce::MidiMessage& m) { out.push_back (raw (m)); };
        if (piece == 0)
            piece = juce::jmax ((size_t) 1, bytes.size());
        for (size_t i = 0; i < bytes.size(); i += piece)
            parser.feed (bytes.data() + i, juce::jmin (piece, bytes.size() - i), 1.5, collect);
        return out;
    }

    std::vector<Bytes> parse (const Bytes& bytes, size_t piece = 0)
    {
        MidiByteStreamParser parser;
        return parse (parser, bytes, piece);
    }

    Bytes sysEx (size_t totalSize, juce::uint8 fill = 0x11)
    {
        Bytes b (totalSize, fill);
        b.front() = 0xF0;
        b.back() = 0xF7;
        return b;
    }
}

TEST (MidiByteStreamParser, SysExAndChannelMessagesWithRunningStatusInAnyPieces)
{
    const Bytes stream { 0xF0, 0x00, 0x7A, 0x15, 0x01, 0x02, 0xF7,
                         0x90, 0x3C, 0x64, 0x3E, 0x00,          // note on, then one by running status
                         0xC3, 0x05, 0x06,                      // program change takes one data byte
                         0xE0, 0x00, 0x40,
                         0xF2, 0x10, 0x20, 0xF1, 0x33, 0xF6,    // system common: no running status after it
                         0x44 };                                // so this one is stray
    const std::vector<Bytes> expected { { 0xF0, 0x00, 0x7A, 0x15, 0x01, 0x02, 0xF7 },
                                        { 0x90, 0x3C, 0x64 }, { 0x90, 0x3E, 0x00 },
                                        { 0xC3, 0x05 }, { 0xC3, 0x06 },
                                        { 0xE0, 0x00, 0x40 },
                                        { 0xF2, 0x10, 0x20 }, { 0xF1, 0x33 }, { 0xF6 } };
    for (size_t piece : { (size_t) 0, (size_t) 1, (size_t) 2, (size_t) 5 })
    {
        MidiByteStreamParser parser;
        EXPECT_EQ (parse (parser, stream, piece), expected) << piece;
        EXPECT_EQ (parser.getStrayByteCount(), 1) << piece;
        EXPECT_EQ (parser.getDroppedSysExCount(), 0) << piece;
    }

    // The messages carry the time they were given and are what JUCE takes them for.
    MidiByteStreamParser parser;
    std::vector<juce::MidiMessage> messages;
    const Bytes two { 0xF0, 0x01, 0x02, 0xF7, 0x91, 0x40, 0x7F };
    parser.feed (two.data(), two.size(), 2.25, [&] (const juce::MidiMessage& m) { messages.push_back (m); });
    ASSERT_EQ (messages.size(), 2u);
    EXPECT_TRUE (messages[0].isSysEx());
    EXPECT_EQ (messages[0].getSysExDataSize(), 2);
    EXPECT_TRUE (messages[1].isNoteOn());
    EXPECT_EQ (messages[1].getChannel(), 2);
    EXPECT_EQ (messages[1].getTimeStamp(), 2.25);
}

TEST (MidiByteStreamParser, GarbageBeforeAndBetweenMessagesIsDropped)
{
    const Bytes stream { 0x01, 0x02, 0x7F, 0xF7, 0x55,          // data without status, an end without a start
                         0xF0, 0x42, 0xF7,
                         0x10, 0x20,
                         0xF0, 0x43, 0xF7 };
    MidiByteStreamParser parser;
    EXPECT_EQ (parse (parser, stream), (std::vector<Bytes> { { 0xF0, 0x42, 0xF7 }, { 0xF0, 0x43, 0xF7 } }));
    EXPECT_EQ (parser.getStrayByteCount(), 7);
}

TEST (MidiByteStreamParser, RealTimeBytesPassThroughASysExWithoutEndingIt)
{
    const Bytes stream { 0xF0, 0x01, 0xF8, 0x02, 0xFE, 0xF7, 0x90, 0x3C, 0xFA, 0x7F };
    EXPECT_EQ (parse (stream, 1),
               (std::vector<Bytes> { { 0xF8 }, { 0xFE }, { 0xF0, 0x01, 0x02, 0xF7 }, { 0xFA }, { 0x90, 0x3C, 0x7F } }));
}

TEST (MidiByteStreamParser, ASysExCutShortByAStatusIsDroppedAndTheStatusCounts)
{
    MidiByteStreamParser parser;
    const Bytes stream { 0xF0, 0x01, 0x02, 0x80, 0x3C, 0x00,    // cut by a note off
                         0xF0, 0x05, 0xF0, 0x06, 0xF7,          // cut by a new SysEx
                         0x90, 0x3C };                          // a message not yet complete
    EXPECT_EQ (parse (parser, stream), (std::vector<Bytes> { { 0x80, 0x3C, 0x00 }, { 0xF0, 0x06, 0xF7 } }));
    EXPECT_EQ (parser.getDroppedSysExCount(), 2);

    // The rest of the note on completes it; after a reset nothing of it is left.
    EXPECT_EQ (parse (parser, { 0x7F }), (std::vector<Bytes> { { 0x90, 0x3C, 0x7F } }));
    parse (parser, { 0x90, 0x3C });
    parser.reset();
    EXPECT_TRUE (parse (parser, { 0x7F }).empty());
}

TEST (MidiByteStreamParser, SysExUpToTheLimitPassesAndALongerOneIsDropped)
{
    MidiByteStreamParser parser;   // 64 KiB
    EXPECT_EQ (parser.getMaxSysExBytes(), 65536u);

    const auto atLimit = sysEx (65536);
    const auto over = sysEx (65537);
    const Bytes small { 0xF0, 0x09, 0xF7 };
    Bytes stream;
    for (auto* part : { &over, &atLimit, &over, &small })
        std::copy (part->begin(), part->end(), std::back_inserter (stream));

    const auto messages = parse (parser, stream, 1000);
    ASSERT_EQ (messages.size(), 2u);
    EXPECT_EQ (messages[0], atLimit);
    EXPECT_EQ (messages[1], small);
    EXPECT_EQ (parser.getDroppedSysExCount(), 2);

    // A smaller limit holds the same way.
    MidiByteStreamParser tight (8);
    EXPECT_EQ (parse (tight, sysEx (8)).size(), 1u);
    EXPECT_TRUE (parse (tight, sysEx (9)).empty());
    EXPECT_EQ (parse (tight, sysEx (3)).size(), 1u);
}
