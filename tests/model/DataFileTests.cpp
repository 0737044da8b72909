#include <gtest/gtest.h>
#include "model/DataLocation.h"
#include "model/DeviceData.h"
#include "support/DataFixtures.h"
#include "support/TestEnvironment.h"

using namespace testing_support;

namespace
{
    const VersionNumber unitVersion { 0, 1, 2, 0, 120, 0 };

    struct DataFileTest : ::testing::Test
    {
        ScopedProductNames names;
        TempFolder folder;
        DeviceDataFormat f = smallFormat (3);

        // Three slots, slot 1 holding a one-step preset, and a complete setup.
        std::unique_ptr<DeviceData> sample()
        {
            auto d = std::make_unique<DeviceData> (unitVersion, f, nullptr);
            d->setPreset (1, makePreset (f, 1, "Ab", 1, 1));
            d->setSetup (*makeSetup (f, 4), false);
            d->clearModifiedFlags (false);
            return d;
        }

        static Bytes header (const char* writer, const char* product, const char* version)
        {
            Bytes b;
            appendText (b, writer);
            appendText (b, product);
            appendText (b, version);
            return b;
        }

        Bytes formatRecord (bool legacy) const
        {
            Bytes b { f.productId };
            if (legacy)
                append (b, { 0xAA, 0xBB, 0xCC });
            for (int v : { f.syxPackagesPerPresetStep, f.presetStepPacketSize, f.presetVersion, f.syxPackagesPerSetup,
                           f.setupPacketSize, f.setupVersion, f.numPresets, f.presetNameLength, f.maxPresetSteps })
                appendInt (b, v);
            return b;
        }

        // The sample's bytes after the format record, built by hand.
        Bytes sampleBody() const
        {
            Bytes b;
            appendInt (b, 3);    // slots
            appendInt (b, -1);   // slot 0
            appendInt (b, 2);    // slot 1: expected messages, then the preset
            appendInt (b, 2);
            b.push_back (0);
            appendInt (b, -1);
            b.push_back (1);
            appendInt (b, 1);
            appendInt (b, 3);
            appendInt (b, 15);
            append (b, { 'A', 'b', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0 });
            appendInt (b, 5);
            appendInt (b, 1);
            appendInt (b, 2);
            for (auto& m : buildPresetDataMessages ({ 1001, 1002, 1003, 1004 }, f))
            {
                appendInt (b, 18);
                append (b, bytesOf (m));
            }
            appendInt (b, -1);   // slot 2
            appendInt (b, 2);    // setup: version, messages, packets
            appendInt (b, 3);
            for (auto& m : buildSetupMessages ({ 400, 401, 402, 403, 404, 405 }, f))
            {
                appendInt (b, 20);
                append (b, bytesOf (m));
            }
            return b;
        }

        Bytes sampleFile() const
        {
            auto b = header ("0.1.1.2.139.0", "Veloce", "0.1.2.0.120.0");
            append (b, formatRecord (false));
            append (b, sampleBody());
            return b;
        }

        static std::unique_ptr<DeviceData> read (const Bytes& b)
        {
            return DeviceData::createFromData (b.data(), b.size());
        }

        static Bytes written (const DeviceData& d)
        {
            juce::MemoryOutputStream out;
            EXPECT_EQ (d.writeToStream (out), 0);
            return bytesOf (out);
        }

        static void patchInt (Bytes& b, size_t at, int value)
        {
            for (int i = 0; i < 4; ++i)
                b[at + (size_t) i] = (juce::uint8) (((juce::uint32) value >> (8 * i)) & 0xFF);
        }

        // Offsets in the sample file: three texts of 14, 7 and 14 bytes, then the format.
        static constexpr size_t formatAt = 35, numPresetsAt = 36 + 24, nameLengthAt = 36 + 28,
                                maxStepsAt = 36 + 32, slotCountAt = 72;
    };
}

TEST_F (DataFileTest, SmallFileIsExactAndReadsBackEqual)
{
    auto d = sample();
    const auto file = folder.child ("unit.ard");
    ASSERT_EQ (d->writeToFile (file), 0);
    EXPECT_EQ (hex (fileBytes (file)), hex (sampleFile()));

    auto back = DeviceData::createFromFile (file.getFullPathName());
    ASSERT_NE (back, nullptr);
    EXPECT_FALSE (back->isModified());
    EXPECT_FALSE (back->isPresetModified (1));
    EXPECT_EQ (back->getProductName(), "Veloce");
    EXPECT_EQ (back->getVersion(), unitVersion);
    EXPECT_EQ (back->getFormat(), f);
    EXPECT_EQ (back->getPresetIndices(), juce::Array<int> ({ 1 }));
    EXPECT_EQ (back->getPreset (1)->getMd5(), d->getPreset (1)->getMd5());
    EXPECT_EQ (back->getSetup().getMd5(), d->getSetup().getMd5());
    EXPECT_EQ (back->getSetup().getSetupDataVersion(), 2);
    EXPECT_EQ (written (*back), sampleFile());
}

TEST_F (DataFileTest, StoredModifiedFlagsComeBack)
{
    auto d = sample();
    d->getPreset (1)->setModified (true);
    auto back = read (written (*d));
    ASSERT_NE (back, nullptr);
    EXPECT_TRUE (back->isPresetModified (1));
    EXPECT_TRUE (back->isModified());

    // A modified preset in slot 0 alone is not kept pending.
    auto zero = std::make_unique<DeviceData> (unitVersion, f, nullptr);
    zero->setPreset (0, makePreset (f, 0, "Z", 1, 2));
    zero->getPreset (0)->setModified (true);
    back = read (written (*zero));
    ASSERT_NE (back, nullptr);
    EXPECT_FALSE (back->isModified());
    EXPECT_FALSE (back->isPresetModified (0));
}

TEST_F (DataFileTest, OlderWritersHoldTheFortyByteFormat)
{
    for (auto* writer : { "0.1.0.0.25.0", "0.1.0.0.30.0" })
    {
        auto b = header (writer, "Veloce", "0.1.2.0.120.0");
        append (b, formatRecord (true));
        append (b, sampleBody());
        auto d = read (b);
        ASSERT_NE (d, nullptr) << writer;
        EXPECT_EQ (d->getFormat(), f);
        EXPECT_EQ (d->countPresets(), 1);
    }

    auto b = header ("0.1.0.0.31.0", "Veloce", "0.1.2.0.120.0");
    append (b, formatRecord (false));
    append (b, sampleBody());
    ASSERT_NE (read (b), nullptr);

    auto wrongForm = header ("0.1.0.0.31.0", "Veloce", "0.1.2.0.120.0");
    append (wrongForm, formatRecord (true));
    append (wrongForm, sampleBody());
    EXPECT_EQ (read (wrongForm), nullptr);
}

TEST_F (DataFileTest, ThreeSlotsWithSlotOneFilled)
{
    const auto b = written (*sample());
    const auto body = Bytes (b.begin() + (long) slotCountAt, b.end());
    ASSERT_GE (body.size(), 12u);
    EXPECT_EQ (Bytes (body.begin(), body.begin() + 8), (Bytes { 3, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF }));
}

TEST_F (DataFileTest, HeaderChecks)
{
    auto noName = header ("0.1.1.2.139.0", "", "0.1.2.0.120.0");
    append (noName, formatRecord (false));
    append (noName, sampleBody());
    EXPECT_EQ (read (noName), nullptr);

    auto noWriterBuild = header ("0.1.1.2.0.0", "Veloce", "0.1.2.0.120.0");
    append (noWriterBuild, formatRecord (false));
    append (noWriterBuild, sampleBody());
    EXPECT_EQ (read (noWriterBuild), nullptr);

    auto noDataBuild = header ("0.1.1.2.139.0", "Veloce", "0.1.2.0");
    append (noDataBuild, formatRecord (false));
    append (noDataBuild, sampleBody());
    EXPECT_EQ (read (noDataBuild), nullptr);

    EXPECT_EQ (read (header ("0.1.1.2.139.0", "Veloce", "0.1.2.0.120.0")), nullptr);

    auto invalidFormat = sampleFile();
    invalidFormat[formatAt] = 0;   // product id 0
    EXPECT_EQ (read (invalidFormat), nullptr);
}

TEST_F (DataFileTest, SlotCounts)
{
    auto setupOnly = f;
    setupOnly.numPresets = 0;
    DeviceData d (unitVersion, setupOnly, nullptr);
    d.setSetup (*makeSetup (setupOnly, 1), false);
    auto b = written (d);
    EXPECT_EQ (Bytes (b.begin() + (long) slotCountAt, b.begin() + (long) slotCountAt + 4), (Bytes { 0xFF, 0xFF, 0xFF, 0xFF }));
    auto back = read (b);
    ASSERT_NE (back, nullptr);
    EXPECT_EQ (back->getNumSlots(), 0);
    EXPECT_TRUE (back->getSetup().isComplete());

    auto minusTwo = sampleFile();
    patchInt (minusTwo, slotCountAt, -2);
    EXPECT_EQ (read (minusTwo), nullptr);

    // A count beyond the format's slots: the extra marker is a filled slot the data lacks.
    auto tooMany = sampleFile();
    patchInt (tooMany, slotCountAt, 4);
    EXPECT_EQ (read (tooMany), nullptr);

    // Empty slots beyond the format's count are harmless.
    auto b2 = header ("0.1.1.2.139.0", "Veloce", "0.1.2.0.120.0");
    append (b2, formatRecord (false));
    appendInt (b2, 5);
    for (int i = 0; i < 5; ++i)
        appendInt (b2, -1);
    appendInt (b2, -1);
    auto empty = read (b2);
    ASSERT_NE (empty, nullptr);
    EXPECT_EQ (empty->getNumSlots(), 3);
    EXPECT_EQ (empty->countPresets(), 0);
}

TEST_F (DataFileTest, FormatValuesAreBoundedWhenRead)
{
    auto patched = [this] (size_t at, int value) {
        auto b = sampleFile();
        patchInt (b, at, value);
        return b;
    };
    EXPECT_EQ (read (patched (numPresetsAt, 20000)), nullptr);
    EXPECT_EQ (read (patched (nameLengthAt, 16)), nullptr);
    EXPECT_EQ (read (patched (nameLengthAt, -1)), nullptr);
    EXPECT_EQ (read (patched (maxStepsAt, 128)), nullptr);
    EXPECT_EQ (read (patched (36 + 4, 0x7FFFFFF0)), nullptr);   // packet size
    EXPECT_EQ (read (patched (36, 1 << 28)), nullptr);          // packets per step
    EXPECT_NE (read (patched (numPresetsAt, 16384)), nullptr);
    EXPECT_NE (read (patched (maxStepsAt, 127)), nullptr);
}

TEST_F (DataFileTest, FormatsTheReaderRefusesAreNeverWritten)
{
    const auto file = folder.child ("data.ard");
    const auto unit = folder.child ("unit");
    unit.createDirectory();
    for (auto change : { +[] (DeviceDataFormat& g) { g.numPresets = 20000; },
                         +[] (DeviceDataFormat& g) { g.presetNameLength = 16; },
                         +[] (DeviceDataFormat& g) { g.maxPresetSteps = 128; },
                         +[] (DeviceDataFormat& g) { g.setupPacketSize = 20000; } })
    {
        auto g = f;
        change (g);
        DeviceData d (unitVersion, g, nullptr);
        d.setSetup (*makeSetup (f, 4), false);
        juce::MemoryOutputStream out;
        EXPECT_NE (d.writeToStream (out), 0);

        writeFile (file, { 9, 9 });
        EXPECT_NE (d.writeToFile (file), 0);
        EXPECT_EQ (fileBytes (file), (Bytes { 9, 9 }));
        writeFile (unit.getChildFile ("working.ard"), { 7 });
        EXPECT_NE (d.saveDataFile (unit, true), 0);
        EXPECT_EQ (fileBytes (unit.getChildFile ("working.ard")), (Bytes { 7 }));
        EXPECT_EQ (folder.get().getNumberOfChildFiles (juce::File::findFiles, "*"), 1);
        EXPECT_EQ (unit.getNumberOfChildFiles (juce::File::findFiles, "*"), 1);
    }
}

TEST_F (DataFileTest, EveryTruncationFailsCleanly)
{
    const auto b = sampleFile();
    for (size_t n = 0; n < b.size(); ++n)
        EXPECT_EQ (read (Bytes (b.begin(), b.begin() + (long) n)), nullptr) << n;
    EXPECT_NE (read (b), nullptr);
}

TEST_F (DataFileTest, DataWithoutAProductNameIsNotWritten)
{
    auto unknown = f;
    unknown.productId = 0x23;
    DeviceData d (unitVersion, unknown, nullptr);
    ASSERT_EQ (d.getProductName(), "");
    const auto file = folder.child ("unknown.ard");
    writeFile (file, { 1, 2, 3 });
    EXPECT_EQ (d.writeToFile (file), 2);
    EXPECT_EQ (fileBytes (file), (Bytes { 1, 2, 3 }));
    EXPECT_EQ (d.saveDataFile (folder.get(), true), 2);
    EXPECT_FALSE (folder.child ("working.ard").exists());

    // A stored file of a product the content does not know keeps its stored name.
    auto b = header ("0.1.1.2.139.0", "Mystery", "0.1.2.0.120.0");
    auto record = formatRecord (false);
    record[0] = 0x23;
    append (b, record);
    appendInt (b, -1);
    appendInt (b, -1);
    auto back = read (b);
    ASSERT_NE (back, nullptr);
    EXPECT_EQ (back->getProductName(), "Mystery");
    EXPECT_EQ (back->writeToFile (file), 0);
}

TEST_F (DataFileTest, AnIncompletePresetStopsTheWriteAndKeepsTheOldFile)
{
    auto big = smallFormat (8);
    DeviceData d (unitVersion, big, nullptr);
    d.setPreset (2, makePreset (big, 2, "Fine", 1, 1));
    auto half = std::make_unique<Preset> (big);
    half->setInfo (makeInfo (5, "Half", 2, big.presetVersion));
    half->addMessage (buildPresetDataMessages ({ 1, 2 }, big)[0]);
    d.setPreset (5, std::move (half));

    juce::MemoryOutputStream out;
    EXPECT_EQ (d.writeToStream (out), 1);

    const auto file = folder.child ("data.ard");
    writeFile (file, { 9, 9 });
    EXPECT_EQ (d.writeToFile (file), 1);
    EXPECT_EQ (fileBytes (file), (Bytes { 9, 9 }));

    const auto sync = folder.child ("sync.ard");
    writeFile (sync, { 7 });
    EXPECT_EQ (d.saveDataFile (folder.get(), false), 1);
    EXPECT_EQ (fileBytes (sync), (Bytes { 7 }));
    EXPECT_FALSE (folder.child ("sync_.ard").exists());
    EXPECT_EQ (folder.get().getNumberOfChildFiles (juce::File::findFilesAndDirectories | juce::File::ignoreHiddenFiles, "*"), 2);
    EXPECT_EQ (folder.get().getNumberOfChildFiles (juce::File::findFiles, ".*"), 0);
}

TEST_F (DataFileTest, SetupsAreStoredSoThatTheyReadBack)
{
    // Messages but no version of its own: stored with the format's version.
    auto d = std::make_unique<DeviceData> (unitVersion, f, nullptr);
    d->getSetup().setData ({ 1, 2, 3, 4, 5, 6 });
    ASSERT_EQ (d->getSetup().getSetupDataVersion(), -1);
    auto back = read (written (*d));
    ASSERT_NE (back, nullptr);
    EXPECT_EQ (back->getSetup().getData(), juce::Array<int> ({ 1, 2, 3, 4, 5, 6 }));
    EXPECT_EQ (back->getSetup().getSetupDataVersion(), 2);

    // A setup missing packets cannot be stored whole: the write fails as incomplete.
    auto partial = std::make_unique<DeviceData> (unitVersion, f, nullptr);
    partial->getSetup().addMessage (buildSetupMessages ({ 1, 2, 3, 4, 5, 6 }, f)[0]);
    juce::MemoryOutputStream out;
    EXPECT_EQ (partial->writeToStream (out), 1);
}

TEST_F (DataFileTest, SnapshotsAreReplacedWhole)
{
    auto d = sample();
    const auto unit = folder.child ("Veloce/data/123456");
    ASSERT_EQ (d->saveDataFile (unit, true), 0);
    EXPECT_EQ (fileBytes (unit.getChildFile ("working.ard")), sampleFile());

    writeFile (unit.getChildFile ("working_.ard"), { 1, 2, 3 });  // a leftover of an interrupted save
    d->getPreset (1)->setName ("Renamed");
    ASSERT_EQ (d->saveDataFile (unit, true), 0);
    auto back = DeviceData::createFromFile (unit.getChildFile ("working.ard").getFullPathName());
    ASSERT_NE (back, nullptr);
    EXPECT_EQ (back->getPreset (1)->getName(), "Renamed");
    EXPECT_FALSE (unit.getChildFile ("working_.ard").exists());

    ASSERT_EQ (d->saveDataFile (unit, false), 0);
    EXPECT_TRUE (unit.getChildFile ("sync.ard").existsAsFile());
    EXPECT_FALSE (unit.getChildFile ("sync_.ard").exists());
    EXPECT_EQ (unit.getNumberOfChildFiles (juce::File::findFiles, "*"), 2);

    // A folder where the snapshot should be is not replaced.
    unit.getChildFile ("sync.ard").deleteFile();
    unit.getChildFile ("sync.ard").createDirectory();
    EXPECT_EQ (d->saveDataFile (unit, false), 2);
    EXPECT_TRUE (unit.getChildFile ("sync.ard").isDirectory());
}

TEST_F (DataFileTest, Compatibility)
{
    auto d = sample();
    const auto file = folder.child ("sync.ard");
    ASSERT_EQ (d->writeToFile (file), 0);
    EXPECT_TRUE (d->isFileCompatible (file));

    DeviceData otherBuild ({ 0, 1, 2, 0, 121, 0 }, f, nullptr);
    EXPECT_FALSE (otherBuild.isFileCompatible (file));
    DeviceData otherRevision ({ 0, 1, 3, 7, 120, 0 }, f, nullptr);
    EXPECT_TRUE (otherRevision.isFileCompatible (file));  // only the build number counts

    auto otherFormat = f;
    otherFormat.maxPresetSteps = 4;
    EXPECT_FALSE (DeviceData (unitVersion, otherFormat, nullptr).isFileCompatible (file));
    auto otherProduct = f;
    otherProduct.productId = 0x22;
    EXPECT_FALSE (DeviceData (unitVersion, otherProduct, nullptr).isFileCompatible (file));

    EXPECT_FALSE (d->isFileCompatible (folder.child ("missing.ard")));
    writeFile (folder.child ("short.ard"), { '0', '.', '1' });
    EXPECT_FALSE (d->isFileCompatible (folder.child ("short.ard")));
}

TEST_F (DataFileTest, LocationsOpenThroughTheInstalledOpener)
{
    const auto bytes = sampleFile();
    EXPECT_EQ (DeviceData::createFromFile ("http://127.0.0.1:9/none.ard"), nullptr);
    EXPECT_EQ (DeviceData::createFromFile (folder.child ("missing.ard").getFullPathName()), nullptr);
    EXPECT_EQ (DeviceData::createFromFile (""), nullptr);

    juce::StringArray asked;
    DataLocation::setOpener ([&] (const juce::String& location) -> std::unique_ptr<juce::InputStream> {
        asked.add (location);
        if (location == "http://example.invalid/a.ard")
            return std::make_unique<juce::MemoryInputStream> (bytes.data(), bytes.size(), true);
        return nullptr;
    });
    auto d = DeviceData::createFromFile ("http://example.invalid/a.ard");
    DataLocation::setOpener (nullptr);
    ASSERT_NE (d, nullptr);
    EXPECT_EQ (written (*d), bytes);
    EXPECT_EQ (asked, juce::StringArray ({ "http://example.invalid/a.ard" }));
}

TEST_F (DataFileTest, TextsMustBeUtf8)
{
    auto name = juce::String::fromUTF8 ("Voc\xc3\xa9 \xe2\x99\xaa");
    auto good = header ("0.1.1.2.139.0", name.toRawUTF8(), "0.1.2.0.120.0");
    append (good, formatRecord (false));
    append (good, sampleBody());
    auto d = read (good);
    ASSERT_NE (d, nullptr);
    EXPECT_EQ (d->getProductName(), "Veloce");   // the content's name wins

    for (const char* bad : { "Voc\xc3", "\xd0\xd0\xd0", "\xc0\x80", "\xed\xa0\x80", "\xf4\x90\x80\x80", "\xff" })
    {
        auto b = header ("0.1.1.2.139.0", bad, "0.1.2.0.120.0");
        append (b, formatRecord (false));
        append (b, sampleBody());
        EXPECT_EQ (read (b), nullptr) << bad;
        auto v = header (bad, "Veloce", "0.1.2.0.120.0");
        append (v, formatRecord (false));
        append (v, sampleBody());
        EXPECT_EQ (read (v), nullptr) << bad;
    }
}
