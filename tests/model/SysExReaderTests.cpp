#include <gtest/gtest.h>
#include "model/SysExReader.h"
#include "support/DataFixtures.h"

using namespace testing_support;

namespace
{
    juce::uint32 classify (const Bytes& b, const DeviceCaps* caps, int& productId, int& number)
    {
        return classifySysExMessage (b.data(), (int) b.size(), 0x21, smallFormat(), caps, productId, number);
    }

    juce::uint32 classify (const Bytes& b, const DeviceCaps* caps = nullptr)
    {
        int productId = -5, number = -5;
        return classify (b, caps, productId, number);
    }

    Bytes presetBytes (const Preset& p)
    {
        juce::MemoryOutputStream out;
        p.writeSysExToStream (out);
        return bytesOf (out);
    }

    Bytes setupBytes (const SetupData& s)
    {
        juce::MemoryOutputStream out;
        s.writeSysExToStream (out);
        return bytesOf (out);
    }

    // Sets a packet's byte and recomputes nothing.
    Bytes with (Bytes b, size_t at, juce::uint8 value)
    {
        b[at] = value;
        return b;
    }
}

TEST (SysExClassification, EachKind)
{
    const auto f = smallFormat();
    const auto header = bytesOf (buildPresetHeaderMessage (makeInfo (1, "A", 1, 3), 0x21));
    const auto data = bytesOf (buildPresetDataMessages ({ 1, 2 }, f)[0]);
    const auto setup = bytesOf (buildSetupMessages ({ 1, 2, 3, 4, 5, 6 }, f)[0]);
    const Bytes ack { 0xF0, 0x00, 0x7A, 0x15, 0x00, 0x60, 0x51, 0x00, 0xF7 };

    int productId = -5, number = -5;
    EXPECT_EQ (classify ({ 0x90, 0x40, 0x7F }, nullptr, productId, number), 0x10000u);
    EXPECT_EQ (number, -1);
    EXPECT_EQ (classify ({}), 0x10000u);
    EXPECT_EQ (classify ({ 0xF0, 0x00, 0x20, 0x33, 0x01, 0x02, 0xF7 }), 0x20000u);
    EXPECT_EQ (classify (ack, nullptr, productId, number), 8u);
    EXPECT_EQ (classify (with (header, 5, 0x22), nullptr, productId, number), 0x100000u);
    EXPECT_EQ (productId, 0x22);

    EXPECT_EQ (classify (setup, nullptr, productId, number), 1u);
    EXPECT_EQ (productId, 0x21);
    EXPECT_EQ (number, 2);
    EXPECT_EQ (classify (with (setup, 8, 0x05), nullptr, productId, number), 0x40001u);
    EXPECT_EQ (number, 5);

    EXPECT_EQ (classify (header, nullptr, productId, number), 2u);
    EXPECT_EQ (number, 3);
    EXPECT_EQ (classify (data), 4u);
    EXPECT_EQ (classify ({ 0xF0, 0x00, 0x7A, 0x15, 0x00, 0x21, 0x56, 0xF7 }), 0x80000u);
    // A message too short for the fields of its kind is not taken for that kind.
    EXPECT_EQ (classify ({ 0xF0, 0x00, 0x7A, 0x15, 0x00, 0x21, 0x20, 0x00, 0xF7 }), 0x80000u);
}

TEST (SysExClassification, AcknowledgeWhateverTheProduct)
{
    const Bytes ack { 0xF0, 0x00, 0x7A, 0x15, 0x00, 0x60, 0x51, 0x00, 0xF7, 0x12, 0x34 };
    for (int id : { 0x01, 0x21, 0x60, 0x7F })
    {
        int productId = 0, number = 0;
        EXPECT_EQ (classifySysExMessage (ack.data(), (int) ack.size(), (juce::uint8) id, smallFormat(), nullptr,
                                         productId, number), 8u) << id;
    }
}

TEST (SysExClassification, CompatibleHeaderVersions)
{
    auto features = juce::parseXML ("<features presetCompatibilityList='4, 6' presetVersion='3'/>");
    DeviceCaps caps (nullptr, features.get(), 0x21, 100, 100);
    const auto v4 = bytesOf (buildPresetHeaderMessage (makeInfo (1, "A", 1, 4), 0x21));
    const auto v5 = bytesOf (buildPresetHeaderMessage (makeInfo (1, "A", 1, 5), 0x21));
    EXPECT_EQ (classify (v4, &caps), 0x12u);
    EXPECT_EQ (classify (v4), 0x40002u);
    EXPECT_EQ (classify (v5, &caps), 0x40002u);
}

TEST (SysExClassification, OnlyTheMessageItselfIsLookedAt)
{
    // A short message followed by other bytes: the bytes after its F7 are not its fields.
    const Bytes shortHeader { 0xF0, 0x00, 0x7A, 0x15, 0x00, 0x21, 0x20, 0xF7, 0x00, 0x03, 0x00, 0x03 };
    EXPECT_EQ (classify (shortHeader), 0x80000u);
    const Bytes cut { 0xF0, 0x00, 0x7A };
    EXPECT_EQ (classify (cut), 0x20000u);
}

TEST (SysExReaders, SetupRoundTrip)
{
    const auto f = smallFormat();
    auto original = makeSetup (f, 3);
    auto bytes = setupBytes (*original);
    bytes.push_back (0xF0);  // something after the setup stays unread

    int used = 0;
    juce::uint32 flags = 0;
    auto s = parseSetupMessages (bytes.data(), (int) bytes.size(), used, flags, f);
    ASSERT_NE (s, nullptr);
    EXPECT_EQ (flags, 1u);
    EXPECT_EQ (used, 60);
    EXPECT_EQ (s->getSetupDataVersion(), 2);
    EXPECT_FALSE (s->isModified());
    EXPECT_TRUE (s->isComplete());
    EXPECT_EQ (s->getData(), original->getData());
}

TEST (SysExReaders, SetupFlags)
{
    const auto f = smallFormat();
    const auto good = setupBytes (*makeSetup (f, 3));
    auto read = [&f] (const Bytes& b) {
        int used = 0;
        juce::uint32 flags = 0;
        auto s = parseSetupMessages (b.data(), (int) b.size(), used, flags, f);
        EXPECT_EQ (s, nullptr);
        return flags;
    };

    EXPECT_EQ (read (with (good, 20 + 18, 0x00)), 0x2000001u);        // second packet's checksum
    EXPECT_EQ (read (with (good, 20 + 9, 0x02)), 0x1000001u);         // second packet's index
    EXPECT_EQ (read (with (good, 20 + 8, 0x07)), 0x40001u);           // second packet's version
    EXPECT_EQ (read (with (good, 20 + 5, 0x22)), 0x100001u);          // second packet's product
    EXPECT_EQ (read (Bytes (good.begin(), good.begin() + 40)), 0x4000001u);  // one packet short
    EXPECT_EQ (read (Bytes (good.begin(), good.begin() + 50)), 0x4000001u);  // cut inside a packet
    EXPECT_EQ (read ({}), 0x4000001u);
    EXPECT_EQ (read ({ 0x01, 0x02 }), 0x80000001u);

    auto longer = good;
    longer.insert (longer.begin() + 25, 0x00);                        // a packet of the wrong length
    EXPECT_EQ (read (longer), 0x2000001u);

    auto noPackets = f;
    noPackets.syxPackagesPerSetup = 0;
    int used = 0;
    juce::uint32 flags = 0;
    EXPECT_EQ (parseSetupMessages (good.data(), (int) good.size(), used, flags, noPackets), nullptr);
    EXPECT_EQ (flags, 0x80000001u);
}

TEST (SysExReaders, PresetRoundTrip)
{
    const auto f = smallFormat();
    auto original = makePreset (f, 9, "Reader", 3, 5);
    const auto bytes = presetBytes (*original);
    int used = 0;
    juce::uint32 flags = 0;
    auto p = parsePresetMessages (bytes.data(), (int) bytes.size(), used, flags, f);
    ASSERT_NE (p, nullptr);
    EXPECT_EQ (flags, 4u);
    EXPECT_EQ (used, (int) bytes.size());
    EXPECT_FALSE (p->isModified());
    EXPECT_TRUE (p->isComplete());
    EXPECT_EQ (p->getInfo(), original->getInfo());
    EXPECT_EQ (p->getMd5(), original->getMd5());
}

TEST (SysExReaders, PresetFlags)
{
    const auto f = smallFormat();
    const auto good = presetBytes (*makePreset (f, 9, "Reader", 2, 5));
    auto read = [&f] (const Bytes& b) {
        int used = 0;
        juce::uint32 flags = 0;
        auto p = parsePresetMessages (b.data(), (int) b.size(), used, flags, f);
        EXPECT_EQ (p, nullptr);
        return flags;
    };

    const size_t firstPacket = 32, secondPacket = 32 + 18;
    EXPECT_EQ (read (Bytes (good.begin(), good.begin() + (long) (good.size() - 18))), 0x4000004u);  // one packet early
    EXPECT_EQ (read (Bytes (good.begin(), good.begin() + (long) (good.size() - 5))), 0x4000004u);
    EXPECT_EQ (read (with (good, secondPacket + 16, 0x00)), 0x2000004u);
    EXPECT_EQ (read (with (good, secondPacket + 7, 0x05)), 0x1000004u);
    EXPECT_EQ (read (with (good, firstPacket + 6, 0x13)), 0x2000004u);   // not a data packet
    EXPECT_EQ (read (with (good, 5, 0x22)), 0x100000u);                  // header of another product
    EXPECT_EQ (read (with (good, 10, 0x04)), 0x40000u);                  // header of another version
    EXPECT_EQ (read ({ 0x00 }), 0x80000000u);
    auto shortHeader = good;
    shortHeader.erase (shortHeader.begin() + 12);
    EXPECT_EQ (read (shortHeader), 0x4000000u);
}

TEST (SysExReaders, PacketIndicesAreComparedAsSevenBitNumbers)
{
    auto f = smallFormat();
    f.maxPresetSteps = 100;
    Preset p (f);
    p.setInfo (makeInfo (1, "Long", 0, f.presetVersion));
    for (int s = 0; s < 70; ++s)
        ASSERT_TRUE (p.setStepData (s, { s, s + 1, s + 2, s + 3 }));
    const auto bytes = presetBytes (p);
    int used = 0;
    juce::uint32 flags = 0;
    auto back = parsePresetMessages (bytes.data(), (int) bytes.size(), used, flags, f);
    ASSERT_NE (back, nullptr) << std::hex << flags;
    EXPECT_EQ (back->getNumMessages(), 140);
    EXPECT_EQ (back->getStepData (69), juce::Array<int> ({ 69, 70, 71, 72 }));
}

TEST (SysExReaders, HeaderWithoutStepsIsAWholePreset)
{
    const auto f = smallFormat();
    const auto header = bytesOf (buildPresetHeaderMessage (makeInfo (4, "Empty", 0, f.presetVersion), 0x21));
    int used = 0;
    juce::uint32 flags = 0;
    auto p = parsePresetMessages (header.data(), (int) header.size(), used, flags, f);
    ASSERT_NE (p, nullptr);
    EXPECT_EQ (flags, 4u);
    EXPECT_EQ (p->getStepCount(), 0);
    EXPECT_EQ (used, 32);
}
