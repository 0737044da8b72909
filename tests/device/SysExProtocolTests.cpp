#include <gtest/gtest.h>
#include "device/DeviceQuery.h"
#include "device/SysExTemplates.h"
#include "support/DataFixtures.h"

using namespace testing_support;
using Kind = SysExTemplates::Kind;

TEST (SysExTemplates, TableAsStored)
{
    auto t = [] (Kind k) { return hex (SysExTemplates::get (k)); };
    EXPECT_EQ (t (Kind::identityQuery), "F0 00 7A 15 00 7F 7E 7F 00 00 00 00 00 00 00 00 F7");
    EXPECT_EQ (t (Kind::presetRequest), "F0 00 7A 15 00 FF 45 FF FF F7");
    EXPECT_EQ (t (Kind::setupRequest), "F0 00 7A 15 00 FF 15 00 F7");
    EXPECT_EQ (t (Kind::deletePreset), "F0 00 7A 15 00 FF 50 FF FF F7");
    EXPECT_EQ (t (Kind::suspend), "F0 00 7A 15 00 FF 57 FF FF F7");
    EXPECT_EQ (t (Kind::presetHeader), "F0 00 7A 15 00 FF 20 FF FF FF FF 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 FF FF FF FF FF F7");
    EXPECT_EQ (t (Kind::presetDataHead), "F0 00 7A 15 00 FF 21 FF");
    EXPECT_EQ (t (Kind::setupHead), "F0 00 7A 15 00 FF 13 FF FF FF");
    EXPECT_EQ (t (Kind::firmwareBlockHeader), "F0 00 7A 15 00 60 7E 00 00 00 F7");
    EXPECT_EQ (t (Kind::firmwareBlockEnd), "F0 00 7A 15 00 60 7D F7");
    EXPECT_EQ (t (Kind::acknowledge), "F0 00 7A 15 00 60 51 00 F7");
    EXPECT_EQ (t (Kind::command46), "F0 00 7A 15 00 FF 46 FF FF F7");
    EXPECT_EQ (t (Kind::command4B), "F0 00 7A 15 00 FF 4B FF FF F7");
}

TEST (SysExTemplates, Requests)
{
    EXPECT_EQ (hex (bytesOf (buildPresetRequestMessage (0x21, 300))), "F0 00 7A 15 00 21 45 02 2C F7");
    EXPECT_EQ (hex (bytesOf (buildPresetRequestMessage (0x21, 1))), "F0 00 7A 15 00 21 45 00 01 F7");
    EXPECT_EQ (hex (bytesOf (buildSetupRequestMessage (0x21))), "F0 00 7A 15 00 21 15 00 F7");
    EXPECT_EQ (hex (bytesOf (buildDeletePresetMessage (0x22, 129))), "F0 00 7A 15 00 22 50 01 01 F7");
    EXPECT_EQ (hex (bytesOf (buildSysEx57Message (0x21, 0))), "F0 00 7A 15 00 21 57 00 00 F7");
    EXPECT_EQ (hex (bytesOf (buildSysEx57Message (0x21, 1))), "F0 00 7A 15 00 21 57 00 01 F7");
    EXPECT_EQ (hex (bytesOf (buildSysEx7EMessage (0x35, 16383))), "F0 00 7A 15 00 60 7E 35 7F 7F F7");
    EXPECT_EQ (hex (bytesOf (buildFirmwareBlockEndMessage())), "F0 00 7A 15 00 60 7D F7");
    EXPECT_EQ (hex (bytesOf (buildAcknowledgeMessage())), "F0 00 7A 15 00 60 51 00 F7");
}

TEST (SysExTemplates, FirmwareBlockHeaderDescribesTheWholeBlock)
{
    // Checksum of every byte of the block, F0 and F7 included, and its length.
    const Bytes block { 0xF0, 0x00, 0x7A, 0x15, 0x00, 0x60, 0x30, 0x11, 0x22, 0xF7 };
    // 0xF0 + 0x7A + 0x15 + 0x60 + 0x30 + 0x11 + 0x22 + 0xF7 = 0x339: 8 bits 0x39, 7 bits 0x39
    EXPECT_EQ (hex (bytesOf (buildFirmwareBlockHeader (messageOf (block)))), "F0 00 7A 15 00 60 7E 39 00 0A F7");
}

TEST (DeviceQuery, BroadcastAndPerProductQueries)
{
    DeviceQuery any;
    EXPECT_EQ (any.getProductId(), 255);
    EXPECT_EQ (hex (bytesOf (any.makeMessage (DeviceQuery::firmwareVersion))),
               "F0 00 7A 15 00 7F 7E 7F 00 00 00 00 00 00 00 00 F7");

    DeviceQuery one (0x21);
    EXPECT_EQ (hex (bytesOf (one.makeMessage (DeviceQuery::serialNumber))),
               "F0 00 7A 15 00 21 7E 07 00 00 00 00 00 00 00 00 F7");
    EXPECT_EQ (hex (bytesOf (one.makeMessage (DeviceQuery::manufactureDate))),
               "F0 00 7A 15 00 21 7E 09 00 00 00 00 00 00 00 00 F7");

    any.setProductId (0x22);
    EXPECT_EQ (bytesOf (any.makeMessage (0x7F))[5], 0x22);

    DeviceQuery copy;
    copy = one;
    EXPECT_EQ (copy.getProductId(), 0x21);
    EXPECT_EQ (bytesOf (copy.makeMessage (0x7F)), bytesOf (one.makeMessage (0x7F)));

    copy.clear();
    EXPECT_TRUE (copy.isEmpty());
    EXPECT_EQ (copy.makeMessage (0x7F).getRawDataSize(), 2);  // F0 F7: nothing to send
}

TEST (DeviceQuery, MatchingReplies)
{
    DeviceQuery q (0x21);
    const Bytes reply { 0xF0, 0x00, 0x7A, 0x15, 0x00, 0x21, 0x7E, 0x7F, 0x01, 0x02, 0x03, 0x00, 0x00, 0x01, 0x0B, 0x00, 0xF7 };
    EXPECT_TRUE (q.matchesReply (messageOf (reply)));
    auto otherProduct = reply;
    otherProduct[5] = 0x22;
    EXPECT_FALSE (q.matchesReply (messageOf (otherProduct)));
    auto longer = reply;
    longer.insert (longer.begin() + 10, 0x00);
    EXPECT_FALSE (q.matchesReply (messageOf (longer)));
    EXPECT_FALSE (q.matchesReply (juce::MidiMessage()));

    int productId = 0, number = 0;
    const auto header = bytesOf (buildPresetHeaderMessage (makeInfo (1, "A", 1, 3), 0x21));
    EXPECT_EQ (q.classifyReply (header.data(), (int) header.size(), smallFormat(), nullptr, productId, number), 2u);
    DeviceQuery other (0x22);
    EXPECT_EQ (other.classifyReply (header.data(), (int) header.size(), smallFormat(), nullptr, productId, number), 0x100000u);
}

TEST (DeviceQuery, RepliesMustHaveTheLengthOfTheirKind)
{
    const auto f = smallFormat();
    auto ok = [&f] (const Bytes& b) { return DeviceQuery::isWellFormedReply (messageOf (b), f); };
    auto longer = [] (Bytes b) { b.insert (b.begin() + 7, 0x00); return b; };
    auto shorter = [] (Bytes b) { b.erase (b.begin() + 7); return b; };

    const Bytes identity { 0xF0, 0x00, 0x7A, 0x15, 0x00, 0x21, 0x7E, 0x7F, 0x01, 0x02, 0x03, 0x00, 0x00, 0x01, 0x0B, 0x00, 0xF7 };
    const auto header = bytesOf (buildPresetHeaderMessage (makeInfo (1, "A", 1, 3), 0x21));
    const auto data = bytesOf (buildPresetDataMessages ({ 1, 2 }, f)[0]);
    const auto setup = bytesOf (buildSetupMessages ({ 1, 2, 3, 4, 5, 6 }, f)[0]);
    for (auto& b : { identity, header, data, setup })
    {
        EXPECT_TRUE (ok (b)) << hex (b);
        EXPECT_FALSE (ok (longer (b))) << hex (b);
        EXPECT_FALSE (ok (shorter (b))) << hex (b);
    }

    EXPECT_TRUE (ok ({ 0xF0, 0x00, 0x7A, 0x15, 0x00, 0x21, 0x7F, 0x01, 0xF7 }));
    EXPECT_FALSE (ok ({ 0xF0, 0x00, 0x7A, 0x15, 0x00, 0x21, 0x34, 0xF7 }));
    EXPECT_TRUE (ok ({ 0xF0, 0x00, 0x7A, 0x15, 0x00, 0x21, 0x56, 0xF7 }));
    EXPECT_FALSE (ok ({ 0xF0, 0x00, 0x7A, 0x16, 0x00, 0x21, 0x56, 0xF7 }));
    EXPECT_FALSE (ok ({ 0xF0, 0x00, 0x7A, 0x15, 0x00, 0x21, 0x56, 0x80, 0xF7 }));
    EXPECT_FALSE (ok ({ 0xF0, 0x00, 0x7A, 0x15, 0x00, 0x21, 0x56, 0x00 }));
}
