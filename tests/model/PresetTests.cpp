#include <gtest/gtest.h>
#include "model/Preset.h"
#include "support/DataFixtures.h"

using namespace testing_support;

namespace
{
    juce::SparseSet<int> stepsOf (std::initializer_list<int> list)
    {
        juce::SparseSet<int> s;
        for (auto i : list)
            s.addRange ({ i, i + 1 });
        return s;
    }

    // The first value of each step, which makePreset makes seed * 1000 + step * 10 + 1.
    juce::Array<int> firstValues (const Preset& p)
    {
        juce::Array<int> r;
        for (int s = 0; s < p.getStepCount(); ++s)
            r.add (p.getStepData (s)[0]);
        return r;
    }

    void expectRenumbered (const Preset& p)
    {
        for (int i = 0; i < p.getNumMessages(); ++i)
            EXPECT_EQ (p.getMessage (i)->getRawData()[7], i & 0x7F) << i;
    }
}

TEST (PresetInfo, NameBytes)
{
    PresetInfo info;
    info.setNameBytes ("Twelve chars", 15);
    ASSERT_EQ (info.getNameLength(), 15);
    EXPECT_EQ (Bytes (info.getNameData(), info.getNameData() + 15),
               (Bytes { 'T', 'w', 'e', 'l', 'v', 'e', ' ', 'c', 'h', 'a', 'r', 's', 0, 0, 0 }));
    EXPECT_EQ (info.getName(), "Twelve chars");

    const juce::uint8 withHigh[] = { 'A', 'b', 0xC3, 'x' };
    info.setNameBytes (withHigh, 4);
    EXPECT_EQ (info.getName(), "Ab");

    info.setNameBytes (nullptr, 0);
    EXPECT_FALSE (info.hasNameBuffer());
    EXPECT_EQ (info.getName(), "");

    // Copying goes through setNameBytes; a source without a buffer gives length 0.
    PresetInfo source;
    source.number = 4;
    source.stepCount = 2;
    PresetInfo copy = makeInfo (1, "Old", 1, 3);
    copy = source;
    EXPECT_EQ (copy.getNameLength(), 0);
    EXPECT_FALSE (copy.hasNameBuffer());
    EXPECT_EQ (copy.number, 4);
    EXPECT_EQ (copy.stepCount, 2);
}

TEST (Preset, NamesOnTheFifteenByteField)
{
    const auto f = smallFormat();
    Preset p (f);
    EXPECT_FALSE (p.setName ("x"));
    EXPECT_FALSE (p.setNumber (3));
    EXPECT_FALSE (p.isModified());

    p.setInfo (makeInfo (1, "", 0, f.presetVersion));
    p.setModified (false);
    EXPECT_TRUE (p.setName ("Twelve chars"));
    EXPECT_TRUE (p.isModified());
    EXPECT_EQ (Bytes (p.getInfo().getNameData(), p.getInfo().getNameData() + 15),
               (Bytes { 'T', 'w', 'e', 'l', 'v', 'e', ' ', 'c', 'h', 'a', 'r', 's', 0, 0, 0 }));

    EXPECT_TRUE (p.setName (juce::String::fromUTF8 ("Caf\xc3\xa9 Noir")));
    EXPECT_EQ (p.getName(), "Caf");
    EXPECT_TRUE (p.setName ("A name far longer than fifteen"));
    EXPECT_EQ (p.getName(), "A name far long");

    p.setModified (false);
    EXPECT_TRUE (p.setName ("A name far long"));  // unchanged: not an edit
    EXPECT_FALSE (p.isModified());
}

TEST (Preset, OnlyWellFramedDataPacketsOfTheFormatAreStored)
{
    const auto f = smallFormat();
    Preset p (f);
    const auto good = buildPresetDataMessages ({ 1, 2 }, f)[0];
    EXPECT_TRUE (p.addMessage (good));

    auto bytes = bytesOf (good);
    auto shorter = bytes;
    shorter.erase (shorter.begin() + 9);
    EXPECT_FALSE (p.addMessage (messageOf (shorter)));
    auto setupCommand = bytes;
    setupCommand[6] = 0x13;
    EXPECT_FALSE (p.addMessage (messageOf (setupCommand)));
    auto noEnd = bytes;
    noEnd.back() = 0x00;
    EXPECT_FALSE (p.addMessage (messageOf (noEnd)));
    EXPECT_FALSE (p.addMessage (juce::MidiMessage::noteOn (1, 1, (juce::uint8) 1)));
    EXPECT_EQ (p.getNumMessages(), 1);
    EXPECT_EQ (p.getMessage (1), nullptr);
    EXPECT_EQ (p.getMessage (-1), nullptr);
}

TEST (Preset, StreamFormIsExact)
{
    const auto f = smallFormat();
    auto p = makePreset (f, 7, "Ab", 1, 1);
    ASSERT_NE (p, nullptr);
    ASSERT_TRUE (p->isComplete());

    const auto packets = buildPresetDataMessages ({ 1001, 1002, 1003, 1004 }, f);
    ASSERT_EQ (packets.size(), 2);

    Bytes expected;
    appendInt (expected, 2);           // expected messages
    appendInt (expected, 2);           // messages
    expected.push_back (0);            // not modified
    appendInt (expected, -1);
    expected.push_back (1);            // has info
    appendInt (expected, 7);
    appendInt (expected, 3);
    appendInt (expected, 15);
    append (expected, { 'A', 'b', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0 });
    appendInt (expected, 5);
    appendInt (expected, 1);
    appendInt (expected, 2);
    for (auto& m : packets)
    {
        appendInt (expected, 18);
        append (expected, bytesOf (m));
    }

    juce::MemoryOutputStream out;
    ASSERT_TRUE (p->writeToStream (out));
    EXPECT_EQ (hex (bytesOf (out)), hex (expected));

    // Read back from the second value on (the first is the file's slot marker).
    juce::MemoryInputStream in (expected.data() + 4, expected.size() - 4, false);
    Preset back (f);
    ASSERT_TRUE (back.readFromStream (in));
    EXPECT_TRUE (in.isExhausted());
    EXPECT_FALSE (back.isModified());
    EXPECT_EQ (back.getInfo(), p->getInfo());
    juce::MemoryOutputStream again;
    back.writeToStream (again);
    EXPECT_EQ (bytesOf (again), expected);

    // The stored modified flag comes back.
    p->setModified (true);
    juce::MemoryOutputStream modifiedOut;
    p->writeToStream (modifiedOut);
    juce::MemoryInputStream modifiedIn (static_cast<const char*> (modifiedOut.getData()) + 4, modifiedOut.getDataSize() - 4, false);
    ASSERT_TRUE (back.readFromStream (modifiedIn));
    EXPECT_TRUE (back.isModified());
}

TEST (Preset, BadStreamsFailCleanly)
{
    const auto f = smallFormat();
    auto p = makePreset (f, 7, "Ab", 2, 1);
    juce::MemoryOutputStream out;
    p->writeToStream (out);
    const auto good = bytesOf (out);

    auto readsBack = [&f] (const Bytes& b) {
        juce::MemoryInputStream in (b.data() + 4, b.size() - 4, false);
        Preset q (f);
        return q.readFromStream (in);
    };
    ASSERT_TRUE (readsBack (good));

    // Every truncation fails, none reads past the end.
    for (size_t n = 4; n < good.size(); ++n)
        EXPECT_FALSE (readsBack (Bytes (good.begin(), good.begin() + (long) n))) << n;

    auto patched = [&good] (size_t offset, int value) {
        auto b = good;
        for (int i = 0; i < 4; ++i)
            b[offset + (size_t) i] = (juce::uint8) (((juce::uint32) value >> (8 * i)) & 0xFF);
        return b;
    };
    const size_t secondCount = 4, nameLength = 4 + 4 + 1 + 4 + 1 + 4 + 4;
    const size_t stepCount = nameLength + 4 + 15 + 4, thirdCount = stepCount + 4, firstLength = thirdCount + 4;
    EXPECT_FALSE (readsBack (patched (secondCount, 5)));      // the two counts differ
    EXPECT_FALSE (readsBack (patched (thirdCount, 5)));
    EXPECT_FALSE (readsBack (patched (nameLength, 16)));      // names have 15 bytes of room
    EXPECT_FALSE (readsBack (patched (nameLength, -1)));
    EXPECT_FALSE (readsBack (patched (stepCount, 128)));      // step counts are 7-bit
    EXPECT_FALSE (readsBack (patched (stepCount, 3)));        // messages for 2 steps, 3 announced
    EXPECT_FALSE (readsBack (patched (firstLength, 17)));     // a packet of the wrong length
    EXPECT_FALSE (readsBack (patched (firstLength, 0x7FFFFFFF)));
    auto brokenPacket = good;
    brokenPacket[firstLength + 4 + 9] = 0xF7;                 // a packet that is not well framed
    EXPECT_FALSE (readsBack (brokenPacket));
}

TEST (Preset, DigestOfMessagesAndRecord)
{
    const auto f = smallFormat();
    auto a = makePreset (f, 7, "Ab", 2, 1);
    auto b = makePreset (f, 7, "Ab", 2, 1);
    EXPECT_EQ (a->getMd5(), b->getMd5());

    // MD5 over the MD5 of each message and the MD5 of the stored record.
    juce::MemoryOutputStream parts;
    for (int i = 0; i < a->getNumMessages(); ++i)
        parts.write (juce::MD5 (a->getMessage (i)->getRawData(), (size_t) a->getMessage (i)->getRawDataSize()).getChecksumDataArray(), 16);
    juce::MemoryOutputStream record;
    a->getInfo().writeToStream (record);
    parts.write (juce::MD5 (record.getData(), record.getDataSize()).getChecksumDataArray(), 16);
    EXPECT_EQ (a->getMd5(), juce::MD5 (parts.getData(), parts.getDataSize()));

    // Flags take no part; one name byte does.
    b->setModified (true);
    EXPECT_EQ (a->getMd5(), b->getMd5());
    b->setName ("Ac");
    EXPECT_NE (a->getMd5(), b->getMd5());
    b->setName ("Ab");
    EXPECT_EQ (a->getMd5(), b->getMd5());
    b->setStepData (1, stepValues (f, 9, 1));
    EXPECT_NE (a->getMd5(), b->getMd5());
}

TEST (Preset, InsertStepsDropsWhatNoLongerFits)
{
    auto f = smallFormat();
    auto p = makePreset (f, 1, "Target", 4, 1);
    auto other = makePreset (f, 2, "Source", 3, 2);
    ASSERT_EQ (p->getStepCount(), 4);

    EXPECT_EQ (p->insertStepsFrom (*other, 1, stepsOf ({ 0, 1, 2 })), 3);
    EXPECT_EQ (p->getStepCount(), 5);
    EXPECT_EQ (p->getNumMessages(), 10);
    EXPECT_EQ (firstValues (*p), juce::Array<int> ({ 1001, 2001, 2011, 2021, 1011 }));
    EXPECT_TRUE (p->isComplete());
    EXPECT_TRUE (p->isModified());
    expectRenumbered (*p);
}

TEST (Preset, InsertPositionsAndRefusals)
{
    auto f = smallFormat();
    auto p = makePreset (f, 1, "Target", 2, 1);
    auto other = makePreset (f, 2, "Source", 3, 2);

    // Outside 0 .. step count means the end.
    EXPECT_EQ (p->insertStepsFrom (*other, 99, stepsOf ({ 2 })), 1);
    EXPECT_EQ (firstValues (*p), juce::Array<int> ({ 1001, 1011, 2021 }));

    // Steps the other does not have are not counted.
    EXPECT_EQ (p->insertStepsFrom (*other, 0, stepsOf ({ 5, 7 })), 0);
    EXPECT_EQ (p->getStepCount(), 3);

    auto otherVersion = makePreset (f, 3, "Other", 1, 3);
    auto info = otherVersion->getInfo();
    info.dataVersion = 9;
    otherVersion->setInfo (info);
    EXPECT_EQ (p->insertStepsFrom (*otherVersion, 0, stepsOf ({ 0 })), 0);
    EXPECT_EQ (p->appendStepsFrom (*otherVersion), 0);
    EXPECT_FALSE (p->replaceStep (*otherVersion, 0));
    EXPECT_EQ (p->getStepCount(), 3);
}

TEST (Preset, AppendCountsOnlyWholeSteps)
{
    auto f = smallFormat();
    auto p = makePreset (f, 1, "Target", 1, 1);

    // A source whose header announces three steps but which holds the packets of one.
    auto partial = makePreset (f, 2, "Partial", 1, 2);
    auto info = partial->getInfo();
    info.stepCount = 3;
    partial->setInfo (info);
    ASSERT_EQ (partial->getNumMessages(), 2);

    EXPECT_EQ (p->appendStepsFrom (*partial), 1);
    EXPECT_EQ (p->getStepCount(), 2);
    EXPECT_EQ (p->getNumMessages(), 4);
    EXPECT_TRUE (p->isComplete());

    // A preset whose own messages and step count disagree is not extended.
    EXPECT_EQ (partial->appendStepsFrom (*p), 0);
    EXPECT_EQ (partial->getNumMessages(), 2);
}

TEST (Preset, AppendAtTheMaximumChangesNothing)
{
    auto f = smallFormat();
    auto full = makePreset (f, 1, "Full", 5, 1);
    auto other = makePreset (f, 2, "Other", 2, 2);
    full->setModified (false);
    const auto before = full->getMd5();
    EXPECT_EQ (full->appendSteps (*other, stepsOf ({ 0, 1 })), 0);
    EXPECT_EQ (full->getStepCount(), 5);
    EXPECT_FALSE (full->isModified());
    EXPECT_EQ (full->getMd5(), before);

    auto four = makePreset (f, 3, "Four", 4, 3);
    EXPECT_EQ (four->appendSteps (*other, stepsOf ({ 1, 0 })), 1);  // ascending, one fits
    EXPECT_EQ (firstValues (*four), juce::Array<int> ({ 3001, 3011, 3021, 3031, 2001 }));
    expectRenumbered (*four);

    // A huge choice of steps is clipped to what exists.
    auto two = makePreset (f, 4, "Two", 2, 4);
    juce::SparseSet<int> everything;
    everything.addRange ({ -1000000, 2000000000 });
    EXPECT_EQ (two->appendSteps (*other, everything), 2);
    EXPECT_EQ (two->getStepCount(), 4);
}

TEST (Preset, RemoveSteps)
{
    auto f = smallFormat();
    auto p = makePreset (f, 1, "Three", 3, 1);
    EXPECT_EQ (p->removeSteps (stepsOf ({ 1 })), juce::Array<int> ({ 0, 2 }));
    EXPECT_EQ (p->getStepCount(), 2);
    EXPECT_EQ (firstValues (*p), juce::Array<int> ({ 1001, 1021 }));
    EXPECT_TRUE (p->isComplete());
    expectRenumbered (*p);

    p->setModified (false);
    EXPECT_EQ (p->removeSteps (stepsOf ({ 7 })), juce::Array<int> ({ 0, 1 }));
    EXPECT_FALSE (p->isModified());
    EXPECT_EQ (p->removeSteps (stepsOf ({ 0, 1 })), juce::Array<int>());
    EXPECT_EQ (p->getStepCount(), 0);
    EXPECT_EQ (p->getNumMessages(), 0);
}

TEST (Preset, StepData)
{
    auto f = smallFormat();
    auto p = makePreset (f, 1, "Steps", 2, 1);
    EXPECT_EQ (p->getStepData (1), juce::Array<int> ({ 1011, 1012, 1013, 1014 }));
    EXPECT_TRUE (p->getStepData (2).isEmpty());
    EXPECT_TRUE (p->getStepData (-1).isEmpty());

    // A step equal to the count appends exactly one step.
    EXPECT_TRUE (p->setStepData (2, { 7, 8, 9, 10 }));
    EXPECT_EQ (p->getStepCount(), 3);
    EXPECT_EQ (p->getNumMessages(), 6);
    EXPECT_EQ (p->getStepData (2), juce::Array<int> ({ 7, 8, 9, 10 }));

    // An existing step is replaced and the count stays.
    EXPECT_TRUE (p->setStepData (0, { -1, -2, -3, -4 }));
    EXPECT_EQ (p->getStepCount(), 3);
    EXPECT_EQ (p->getStepData (0), juce::Array<int> ({ -1, -2, -3, -4 }));
    EXPECT_EQ (p->getStepData (1), juce::Array<int> ({ 1011, 1012, 1013, 1014 }));
    expectRenumbered (*p);

    // Fewer values than a step holds are followed by zeros, so the step stays whole.
    EXPECT_TRUE (p->setStepData (1, { 5 }));
    EXPECT_EQ (p->getStepData (1), juce::Array<int> ({ 5, 0, 0, 0 }));
    EXPECT_TRUE (p->isComplete());

    EXPECT_FALSE (p->setStepData (1, { 1, 2, 3, 4, 5 }));  // more than a step holds
    EXPECT_FALSE (p->setStepData (4, { 1 }));              // beyond the count
    EXPECT_FALSE (p->setStepData (0, {}));
    EXPECT_TRUE (p->setStepData (3, { 1 }));
    EXPECT_TRUE (p->setStepData (4, { 2 }));
    EXPECT_FALSE (p->setStepData (5, { 3 }));              // at the maximum of five steps
    EXPECT_EQ (p->getStepCount(), 5);

    Preset noInfo (f);
    EXPECT_FALSE (noInfo.setStepData (0, { 1 }));
}

TEST (Preset, ReplaceStepChangesNothingWhenRefused)
{
    auto f = smallFormat();
    auto p = makePreset (f, 1, "P", 2, 1);
    auto source = makePreset (f, 2, "S", 1, 2);
    p->setModified (false);

    EXPECT_FALSE (p->replaceStep (*source, 2));
    Preset empty (f);
    empty.setInfo (makeInfo (3, "E", 1, f.presetVersion));  // announces a step, holds no packet
    EXPECT_FALSE (p->replaceStep (empty, 0));
    EXPECT_FALSE (p->isModified());
    EXPECT_EQ (firstValues (*p), juce::Array<int> ({ 1001, 1011 }));

    EXPECT_TRUE (p->replaceStep (*source, 1));
    EXPECT_EQ (firstValues (*p), juce::Array<int> ({ 1001, 2001 }));
    expectRenumbered (*p);
}

TEST (Preset, RenumberingWrapsAtSevenBits)
{
    auto f = smallFormat();
    f.maxPresetSteps = 100;
    f.syxPackagesPerPresetStep = 2;
    Preset p (f);
    p.setInfo (makeInfo (1, "Long", 0, f.presetVersion));
    for (int s = 0; s < 70; ++s)
        ASSERT_TRUE (p.setStepData (s, { s, s, s, s }));
    ASSERT_EQ (p.getNumMessages(), 140);
    expectRenumbered (p);
    EXPECT_EQ (p.getMessage (128)->getRawData()[7], 0);
}

TEST (Preset, RawSysExIsHeaderThenPackets)
{
    const auto f = smallFormat();
    auto p = makePreset (f, 7, "Ab", 1, 1);
    juce::MemoryOutputStream out;
    ASSERT_TRUE (p->writeSysExToStream (out));
    Bytes expected = bytesOf (buildPresetHeaderMessage (p->getInfo(), 0x21));
    for (int i = 0; i < p->getNumMessages(); ++i)
        append (expected, bytesOf (*p->getMessage (i)));
    EXPECT_EQ (bytesOf (out), expected);
    EXPECT_EQ (expected.size(), 32u + 2 * 18u);

    Preset noInfo (f);
    juce::MemoryOutputStream none;
    EXPECT_FALSE (noInfo.writeSysExToStream (none));
}

TEST (Preset, CopiesAndClear)
{
    const auto f = smallFormat();
    auto p = makePreset (f, 7, "Copy me", 2, 1);
    p->setModified (true);
    Preset copy (*p);
    EXPECT_TRUE (copy.isModified());
    EXPECT_EQ (copy.getInfo(), p->getInfo());
    EXPECT_EQ (copy.getMd5(), p->getMd5());
    EXPECT_TRUE (copy.isSamePreset (*p));

    copy.clear();
    EXPECT_FALSE (copy.hasInfo());
    EXPECT_EQ (copy.getNumMessages(), 0);
    EXPECT_FALSE (copy.isModified());
    EXPECT_EQ (copy.getName(), "");
    EXPECT_FALSE (copy.isSamePreset (*p));
    EXPECT_TRUE (p->hasInfo());
}
