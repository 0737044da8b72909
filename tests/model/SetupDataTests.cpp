#include <gtest/gtest.h>
#include "model/SetupData.h"
#include "support/DataFixtures.h"

using namespace testing_support;

namespace
{
    bool readBack (const Bytes& b, SetupData& into)
    {
        juce::MemoryInputStream in (b.data(), b.size(), false);
        return into.readFromStream (in);
    }
}

TEST (SetupData, EmptySetupIsTheSingleMinusOne)
{
    const auto f = smallFormat();
    SetupData s (f);
    juce::MemoryOutputStream out;
    ASSERT_TRUE (s.writeToStream (out));
    EXPECT_EQ (bytesOf (out), (Bytes { 0xFF, 0xFF, 0xFF, 0xFF }));

    auto full = makeSetup (f, 1);
    full->setModified (true);
    ASSERT_TRUE (readBack (bytesOf (out), *full));
    EXPECT_EQ (full->getNumMessages(), 0);
    EXPECT_FALSE (full->isModified());
    EXPECT_EQ (full->getSetupDataVersion(), -1);
    EXPECT_FALSE (full->isComplete());
}

TEST (SetupData, StreamFormIsExact)
{
    const auto f = smallFormat();
    auto s = makeSetup (f, 4);
    ASSERT_TRUE (s->isComplete());

    Bytes expected;
    appendInt (expected, 2);   // data version
    appendInt (expected, 3);   // messages
    for (auto& m : buildSetupMessages ({ 400, 401, 402, 403, 404, 405 }, f))
    {
        appendInt (expected, 20);
        append (expected, bytesOf (m));
    }
    juce::MemoryOutputStream out;
    ASSERT_TRUE (s->writeToStream (out));
    EXPECT_EQ (hex (bytesOf (out)), hex (expected));

    SetupData back (f);
    ASSERT_TRUE (readBack (expected, back));
    EXPECT_FALSE (back.isModified());
    EXPECT_TRUE (back.isComplete());
    EXPECT_EQ (back.getSetupDataVersion(), 2);
    EXPECT_EQ (back.getData(), s->getData());
    EXPECT_EQ (back.getMd5(), s->getMd5());
}

TEST (SetupData, BadStreamsFailAndStayModified)
{
    const auto f = smallFormat();
    juce::MemoryOutputStream out;
    makeSetup (f, 4)->writeToStream (out);
    const auto good = bytesOf (out);

    for (size_t n = 0; n < good.size(); ++n)
    {
        SetupData s (f);
        EXPECT_FALSE (readBack (Bytes (good.begin(), good.begin() + (long) n), s)) << n;
    }

    auto wrongCount = good;
    wrongCount[4] = 2;
    SetupData s (f);
    EXPECT_FALSE (readBack (wrongCount, s));
    EXPECT_TRUE (s.isModified());

    auto wrongLength = good;
    wrongLength[8] = 21;
    EXPECT_FALSE (readBack (wrongLength, s));

    auto hugeLength = good;
    hugeLength[8] = 0xFF; hugeLength[9] = 0xFF; hugeLength[10] = 0xFF; hugeLength[11] = 0x7F;
    EXPECT_FALSE (readBack (hugeLength, s));
}

TEST (SetupData, SetDataNeedsExactlyTheSetupsPackets)
{
    const auto f = smallFormat();
    SetupData s (f);
    s.setSetupDataVersion (f.setupVersion);
    EXPECT_TRUE (s.setData ({ 1, 2, 3, 4, 5, 6 }));
    EXPECT_EQ (s.getNumMessages(), 3);
    EXPECT_EQ (s.getData(), juce::Array<int> ({ 1, 2, 3, 4, 5, 6 }));

    // A count that does not make exactly the packets leaves no messages.
    EXPECT_FALSE (s.setData ({ 1, 2 }));
    EXPECT_EQ (s.getNumMessages(), 0);
    EXPECT_TRUE (s.getData().isEmpty());

    // More values than the setup holds: refused, nothing changed.
    ASSERT_TRUE (s.setData ({ 1, 2, 3, 4, 5, 6 }));
    EXPECT_FALSE (s.setData ({ 1, 2, 3, 4, 5, 6, 7 }));
    EXPECT_EQ (s.getNumMessages(), 3);
}

TEST (SetupData, EveryEditDropsTheDigest)
{
    const auto f = smallFormat();
    auto s = makeSetup (f, 1);
    const auto before = s->getMd5();
    s->setModified (false);
    ASSERT_TRUE (s->setData ({ 9, 9, 9, 9, 9, 9 }));
    EXPECT_TRUE (s->isModified());
    EXPECT_NE (s->getMd5(), before);
    SetupData same (f);
    same.setSetupDataVersion (2);
    ASSERT_TRUE (same.setData ({ 9, 9, 9, 9, 9, 9 }));
    EXPECT_EQ (s->getMd5(), same.getMd5());

    // The digest is the MD5 of the messages' MD5s; the data version takes no part.
    juce::MemoryOutputStream parts;
    for (int i = 0; i < s->getNumMessages(); ++i)
        parts.write (juce::MD5 (s->getMessage (i)->getRawData(), (size_t) s->getMessage (i)->getRawDataSize()).getChecksumDataArray(), 16);
    EXPECT_EQ (s->getMd5(), juce::MD5 (parts.getData(), parts.getDataSize()));
    s->setSetupDataVersion (7);
    EXPECT_EQ (s->getMd5(), juce::MD5 (parts.getData(), parts.getDataSize()));
}

TEST (SetupData, SetupWithoutAVersionIsStoredWithTheFormatsVersion)
{
    const auto f = smallFormat();
    SetupData s (f);
    ASSERT_EQ (s.getSetupDataVersion(), -1);
    EXPECT_FALSE (s.setData ({ 1, 2, 3, 4, 5, 6 }));   // messages there, but no version yet
    EXPECT_EQ (s.getNumMessages(), 3);
    EXPECT_TRUE (s.canBeStored());

    juce::MemoryOutputStream out;
    ASSERT_TRUE (s.writeToStream (out));
    SetupData back (f);
    ASSERT_TRUE (readBack (bytesOf (out), back));
    EXPECT_EQ (back.getSetupDataVersion(), f.setupVersion);
    EXPECT_EQ (back.getData(), juce::Array<int> ({ 1, 2, 3, 4, 5, 6 }));

    // With no version anywhere the write fails instead of writing a setup that reads back empty.
    auto noVersion = f;
    noVersion.setupVersion = -1;
    SetupData lost (noVersion);
    lost.setData ({ 1, 2, 3, 4, 5, 6 });
    ASSERT_EQ (lost.getNumMessages(), 3);
    EXPECT_FALSE (lost.canBeStored());
    juce::MemoryOutputStream refused;
    EXPECT_FALSE (lost.writeToStream (refused));
}

TEST (SetupData, SameSetupAndCompleteness)
{
    const auto f = smallFormat();
    auto a = makeSetup (f, 1);
    auto b = makeSetup (f, 2);
    EXPECT_TRUE (a->isSameSetup (*b));
    SetupData empty (f);
    EXPECT_FALSE (empty.isSameSetup (*a));
    EXPECT_FALSE (empty.isComplete());
    EXPECT_EQ (empty.getDataVersion(), f.setupVersion);

    SetupData copy (*a);
    EXPECT_EQ (copy.getSetupDataVersion(), 2);
    EXPECT_EQ (copy.getData(), a->getData());
    copy.clear();
    EXPECT_EQ (copy.getSetupDataVersion(), -1);
    EXPECT_EQ (copy.getNumMessages(), 0);
}

TEST (SetupData, RawSysExIsThePackets)
{
    const auto f = smallFormat();
    auto s = makeSetup (f, 1);
    juce::MemoryOutputStream out;
    ASSERT_TRUE (s->writeSysExToStream (out));
    Bytes expected;
    for (int i = 0; i < s->getNumMessages(); ++i)
        append (expected, bytesOf (*s->getMessage (i)));
    EXPECT_EQ (bytesOf (out), expected);

    SetupData empty (f);
    juce::MemoryOutputStream none;
    EXPECT_TRUE (empty.writeSysExToStream (none));
    EXPECT_EQ (none.getDataSize(), 0u);
}
