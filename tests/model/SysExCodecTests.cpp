#include <gtest/gtest.h>
#include "model/SysExCodec.h"
#include "support/DataFixtures.h"

using namespace testing_support;

TEST (SysExCodec, ChecksumIsTheByteSumMaskedTo7Bits)
{
    const juce::uint8 a[] = { 0x7F, 0x01 };
    EXPECT_EQ (sysExChecksum (a, 2), 0x00);
    const juce::uint8 b[] = { 0x7F, 0x7F, 0x7F };   // 381 = 0x17D: 8 bits 0x7D, then 7 bits
    EXPECT_EQ (sysExChecksum (b, 3), 0x7D);
    const juce::uint8 c[] = { 0x40, 0x40, 0x40, 0x40 };  // 256: the low 8 bits are 0
    EXPECT_EQ (sysExChecksum (c, 4), 0x00);
    EXPECT_EQ (sysExChecksum (a, 0), 0);
    EXPECT_EQ (sysExChecksum (a, -3), 0);
}

TEST (SysExCodec, FourteenBitNumbersAreSignExtended)
{
    const juce::uint8 minimum[] = { 0x40, 0x00 }, maximum[] = { 0x3F, 0x7F }, highBits[] = { 0xC0, 0x80 };
    EXPECT_EQ (unpackSysEx14 (minimum), -8192);
    EXPECT_EQ (unpackSysEx14 (maximum), 8191);
    EXPECT_EQ (unpackSysEx14 (highBits), -8192);  // bits above 7 are ignored

    juce::uint8 out[2];
    packSysEx14 (300, out);
    EXPECT_EQ (out[0], 0x02);
    EXPECT_EQ (out[1], 0x2C);
    for (int v : { 0, 1, 127, 128, 8191, -1, -8192, 300, -300 })
    {
        packSysEx14 (v, out);
        EXPECT_EQ (unpackSysEx14 (out), v) << v;
    }
}

TEST (SysExCodec, TwentyEightBitNumbersAreSignExtended)
{
    const juce::uint8 minimum[] = { 0x40, 0x00, 0x00, 0x00 };
    EXPECT_EQ (unpackSysEx28 (minimum), -134217728);
    const juce::uint8 minusOne[] = { 0x7F, 0x7F, 0x7F, 0x7F };
    EXPECT_EQ (unpackSysEx28 (minusOne), -1);

    juce::uint8 out[4];
    packSysEx28 (0x0123456, out);
    EXPECT_EQ (Bytes (out, out + 4), (Bytes { 0x00, 0x48, 0x68, 0x56 }));
    for (int v : { 0, 1, 0x7FFFFFF, -0x8000000, -1, 123456789, -99 })
    {
        packSysEx28 (v, out);
        EXPECT_EQ (unpackSysEx28 (out), v) << v;
    }
}

TEST (SysExCodec, PresetHeaderLayout)
{
    auto info = makeInfo (300, "Hall", 2, 3);
    info.tags = 0x5;
    const Bytes expected { 0xF0, 0x00, 0x7A, 0x15, 0x00, 0x21, 0x20, 0x02, 0x2C, 0x00, 0x03,
                           'H', 'a', 'l', 'l', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                           0x00, 0x00, 0x00, 0x05, 0x02, 0xF7 };
    EXPECT_EQ (hex (bytesOf (buildPresetHeaderMessage (info, 0x21))), hex (expected));

    // Tags are 28 bits, the step count 7 bits.
    info.tags = 0x0FFFFFFF;
    info.stepCount = 0x85;
    const auto m = bytesOf (buildPresetHeaderMessage (info, 0x21));
    EXPECT_EQ (Bytes (m.begin() + 26, m.begin() + 31), (Bytes { 0x7F, 0x7F, 0x7F, 0x7F, 0x05 }));
}

TEST (SysExCodec, HeaderNamesFitTheRoomAndStayData)
{
    PresetInfo longName;
    const juce::uint8 twenty[] = "ABCDEFGHIJKLMNOPQRST";
    longName.setNameBytes (twenty, 20);
    auto m = bytesOf (buildPresetHeaderMessage (longName, 0x21));
    ASSERT_EQ (m.size(), 32u);
    EXPECT_EQ (std::string (m.begin() + 11, m.begin() + 26), "ABCDEFGHIJKLMNO");
    EXPECT_EQ (m[26], 0x00);

    // A stored name may hold any byte; the header ends the name before one that is not data.
    PresetInfo odd;
    const juce::uint8 raw[] = { 'O', 'k', 0xE9, 'x', 0, 0 };
    odd.setRawNameBytes (raw, 6);
    m = bytesOf (buildPresetHeaderMessage (odd, 0x21));
    EXPECT_EQ (m[11], 'O');
    EXPECT_EQ (m[12], 'k');
    EXPECT_EQ (m[13], 0x00);
    EXPECT_EQ (m[14], 0x00);
    for (size_t i = 1; i + 1 < m.size(); ++i)
        EXPECT_LT (m[i], 0x80) << i;
}

TEST (SysExCodec, ParsePresetHeader)
{
    const auto f = smallFormat();
    const auto sent = makeInfo (42, "Choir Lead", 3, f.presetVersion);
    PresetInfo got;
    EXPECT_EQ (parsePresetHeader (buildPresetHeaderMessage (sent, 0x21), f, got), 0u);
    EXPECT_EQ (got.number, 42);
    EXPECT_EQ (got.dataVersion, 3);
    EXPECT_EQ (got.getName(), "Choir Lead");
    EXPECT_EQ (got.getNameLength(), 15);
    EXPECT_EQ (got.tags, 5);
    EXPECT_EQ (got.stepCount, 3);

    EXPECT_EQ (parsePresetHeader (buildPresetHeaderMessage (sent, 0x22), f, got), (juce::uint32) PresetHeaderResult::otherProduct);
    auto otherVersion = sent;
    otherVersion.dataVersion = 4;
    EXPECT_EQ (parsePresetHeader (buildPresetHeaderMessage (otherVersion, 0x21), f, got), (juce::uint32) PresetHeaderResult::otherVersion);
    EXPECT_EQ (got.dataVersion, 4);  // filled even when the version differs
}

TEST (SysExCodec, MisshapenHeadersAreRejectedWithoutReading)
{
    const auto f = smallFormat();
    auto good = bytesOf (buildPresetHeaderMessage (makeInfo (7, "Name", 1, f.presetVersion), 0x21));
    PresetInfo untouched;
    untouched.number = 99;

    auto shortOne = good;
    shortOne.erase (shortOne.begin() + 20);
    EXPECT_EQ (parsePresetHeader (messageOf (shortOne), f, untouched), (juce::uint32) PresetHeaderResult::tooShort);
    auto longOne = good;
    longOne.insert (longOne.begin() + 20, 0x00);
    EXPECT_EQ (parsePresetHeader (messageOf (longOne), f, untouched), (juce::uint32) PresetHeaderResult::tooLong);
    auto notData = good;
    notData[15] = 0x90;
    EXPECT_EQ (parsePresetHeader (messageOf (notData), f, untouched), (juce::uint32) PresetHeaderResult::malformed);
    auto otherCommand = good;
    otherCommand[6] = 0x21;
    EXPECT_EQ (parsePresetHeader (messageOf (otherCommand), f, untouched), (juce::uint32) PresetHeaderResult::malformed);
    EXPECT_EQ (untouched.number, 99);
}

TEST (SysExCodec, PresetDataPacketLayout)
{
    auto f = smallFormat();
    const auto packets = buildPresetDataMessages ({ 1, -1 }, f);
    ASSERT_EQ (packets.size(), 1);
    const Bytes expected { 0xF0, 0x00, 0x7A, 0x15, 0x00, 0x21, 0x21, 0x00,
                           0x00, 0x00, 0x00, 0x01, 0x7F, 0x7F, 0x7F, 0x7F, 0x7D, 0xF7 };
    EXPECT_EQ (hex (bytesOf (packets[0])), hex (expected));
    EXPECT_EQ (parseSysExValues (packets[0]), juce::Array<int> ({ 1, -1 }));
}

TEST (SysExCodec, NineValuesInSixteenBytePacketsMakeThreePackets)
{
    auto f = smallFormat();
    f.presetStepPacketSize = 16;
    juce::Array<int> values;
    for (int i = 1; i <= 9; ++i)
        values.add (i * 1000);
    const auto packets = buildPresetDataMessages (values, f);
    ASSERT_EQ (packets.size(), 3);
    for (int i = 0; i < 3; ++i)
    {
        EXPECT_EQ (packets[i].getRawDataSize(), 26);
        EXPECT_EQ (packets[i].getRawData()[7], i);
    }
    EXPECT_EQ (parseSysExValues (packets[2]), juce::Array<int> ({ 9000, 0, 0, 0 }));
    EXPECT_EQ (parseSysExValues (packets[1]), juce::Array<int> ({ 5000, 6000, 7000, 8000 }));
}

TEST (SysExCodec, PresetPacketLimits)
{
    auto f = smallFormat();
    EXPECT_TRUE (buildPresetDataMessages ({}, f).isEmpty());
    juce::Array<int> tooMany;
    for (int i = 0; i < 2 * 5 * 2 + 1; ++i)  // one value more than 5 steps of 2 packets of 2 values
        tooMany.add (i);
    EXPECT_TRUE (buildPresetDataMessages (tooMany, f).isEmpty());
    tooMany.removeLast();
    EXPECT_EQ (buildPresetDataMessages (tooMany, f).size(), 10);
    f.presetStepPacketSize = 3;
    EXPECT_TRUE (buildPresetDataMessages ({ 1 }, f).isEmpty());
}

TEST (SysExCodec, PacketIndicesWrapAtSevenBits)
{
    auto f = smallFormat();
    f.maxPresetSteps = 127;
    f.syxPackagesPerPresetStep = 2;
    juce::Array<int> values;
    for (int i = 0; i < 2 * 130; ++i)
        values.add (i);
    const auto packets = buildPresetDataMessages (values, f);
    ASSERT_EQ (packets.size(), 130);
    EXPECT_EQ (packets[127].getRawData()[7], 127);
    EXPECT_EQ (packets[128].getRawData()[7], 0);
    EXPECT_EQ (packets[129].getRawData()[7], 1);
}

TEST (SysExCodec, SetupPacketLayoutAndCount)
{
    const auto f = smallFormat();
    const auto packets = buildSetupMessages ({ 10, 20, 30, 40, 50 }, f);  // 5 values, 2 per packet: 3 packets
    ASSERT_EQ (packets.size(), 3);
    const Bytes expected { 0xF0, 0x00, 0x7A, 0x15, 0x00, 0x21, 0x13, 0x00, 0x02, 0x02,
                           0x00, 0x00, 0x00, 0x32, 0x00, 0x00, 0x00, 0x00, 0x32, 0xF7 };
    EXPECT_EQ (hex (bytesOf (packets[2])), hex (expected));
    EXPECT_EQ (parseSysExValues (packets[0]), juce::Array<int> ({ 10, 20 }));

    // A value count that does not make exactly the setup's packets gives nothing.
    EXPECT_TRUE (buildSetupMessages ({ 1, 2, 3, 4 }, f).isEmpty());
    EXPECT_TRUE (buildSetupMessages ({ 1, 2, 3, 4, 5, 6, 7 }, f).isEmpty());
    EXPECT_EQ (buildSetupMessages ({ 1, 2, 3, 4, 5, 6 }, f).size(), 3);
}

TEST (SysExCodec, ValuesOfOtherMessagesAreEmpty)
{
    EXPECT_TRUE (parseSysExValues (juce::MidiMessage()).isEmpty());
    EXPECT_TRUE (parseSysExValues (messageOf ({ 0xF0, 0x00, 0x7A, 0x15, 0x00, 0x21, 0x45, 0x00, 0x01, 0xF7 })).isEmpty());
    EXPECT_TRUE (parseSysExValues (juce::MidiMessage::noteOn (1, 60, (juce::uint8) 100)).isEmpty());
    // Only whole values inside the value field are read (a 6-byte field holds one).
    EXPECT_EQ (parseSysExValues (messageOf ({ 0xF0, 0x00, 0x7A, 0x15, 0x00, 0x21, 0x21, 0x00,
                                              0x00, 0x00, 0x00, 0x07, 0x01, 0x02, 0x0A, 0xF7 })),
               juce::Array<int> ({ 7 }));
}

TEST (SysExCodec, MessageFraming)
{
    const juce::uint8 good[] = { 0xF0, 0x01, 0x02, 0xF7, 0xF0 };
    EXPECT_EQ (SysExCodec::getMessageLength (good, 5), 4);
    EXPECT_EQ (SysExCodec::getMessageLength (good, 3), 0);  // no end within the bytes
    const juce::uint8 broken[] = { 0xF0, 0x01, 0x90, 0xF7 };
    EXPECT_EQ (SysExCodec::getMessageLength (broken, 4), 0);
    EXPECT_EQ (SysExCodec::getMessageLength (good + 1, 4), 0);
}
