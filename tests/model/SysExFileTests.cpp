#include <gtest/gtest.h>
#include "model/DeviceData.h"
#include "model/SysExReader.h"
#include "support/DataFixtures.h"
#include "support/TestEnvironment.h"

using namespace testing_support;

namespace
{
    const VersionNumber unitVersion { 0, 1, 2, 0, 120, 0 };

    struct SysExFileTest : ::testing::Test
    {
        ScopedProductNames names;
        TempFolder folder;
        DeviceDataFormat f = smallFormat (10);

        std::unique_ptr<DeviceData> make (std::initializer_list<int> filled)
        {
            auto d = std::make_unique<DeviceData> (unitVersion, f, nullptr);
            for (auto i : filled)
                d->setPreset (i, makePreset (f, i, "P" + juce::String (i), 2, i));
            d->setSetup (*makeSetup (f, 3), false);
            d->clearModifiedFlags (false);
            return d;
        }

        static Bytes rawOf (const DeviceMidiData& item)
        {
            juce::MemoryOutputStream out;
            item.writeSysExToStream (out);
            return bytesOf (out);
        }

        juce::uint32 import (DeviceData& into, const Bytes& bytes, juce::Array<int>& used, int firstSlot = -1)
        {
            const auto file = folder.child ("in.syx");
            writeFile (file, bytes);
            return into.importSysEx (file.getFullPathName(), used, firstSlot);
        }
    };
}

TEST_F (SysExFileTest, ExportOnePreset)
{
    auto d = make ({ 2, 5 });
    const auto file = folder.child ("one.syx");
    writeFile (file, { 1, 2, 3 });
    ASSERT_TRUE (d->exportPresetSysEx (file, 2, false));
    EXPECT_EQ (fileBytes (file), rawOf (*d->getPreset (2)));
    EXPECT_EQ (fileBytes (file).size(), 32u + 4 * 18u);

    ASSERT_TRUE (d->exportPresetSysEx (file, 5, true));
    auto both = rawOf (*d->getPreset (2));
    append (both, rawOf (*d->getPreset (5)));
    EXPECT_EQ (fileBytes (file), both);

    EXPECT_FALSE (d->exportPresetSysEx (file, 3, false));
    EXPECT_FALSE (d->exportPresetSysEx (folder.get(), 2, false));
    EXPECT_EQ (fileBytes (file), both);
}

TEST_F (SysExFileTest, ExportManyStartsAfreshAndFailsWhole)
{
    auto d = make ({ 1, 2, 3 });
    auto half = std::make_unique<Preset> (f);
    half->setInfo (makeInfo (4, "Half", 1, f.presetVersion));
    d->setPreset (4, std::move (half));

    const auto file = folder.child ("many.syx");
    writeFile (file, { 'o', 'l', 'd' });
    ASSERT_TRUE (d->exportPresetsSysEx (file, { 1, 3 }));
    auto expected = rawOf (*d->getPreset (1));
    append (expected, rawOf (*d->getPreset (3)));
    EXPECT_EQ (fileBytes (file), expected);

    // A first preset that cannot be written leaves no stale file to append to, and a
    // later one that fails leaves the old file as it was.
    EXPECT_FALSE (d->exportPresetsSysEx (file, { 4, 2 }));
    EXPECT_EQ (fileBytes (file), expected);
    EXPECT_FALSE (d->exportPresetsSysEx (file, { 2, 7 }));
    EXPECT_EQ (fileBytes (file), expected);
    EXPECT_EQ (folder.get().getNumberOfChildFiles (juce::File::findFiles, "*"), 1);

    EXPECT_TRUE (d->exportPresetsSysEx (folder.child ("none.syx"), {}));
    EXPECT_FALSE (folder.child ("none.syx").exists());
}

TEST_F (SysExFileTest, ExportSetup)
{
    auto d = make ({});
    const auto file = folder.child ("setup.syx");
    ASSERT_TRUE (d->exportSetupSysEx (file));
    EXPECT_EQ (fileBytes (file), rawOf (d->getSetup()));
    EXPECT_EQ (fileBytes (file).size(), 60u);

    d->clearSetup();
    EXPECT_FALSE (d->exportSetupSysEx (folder.child ("none.syx")));
    EXPECT_FALSE (folder.child ("none.syx").exists());
}

TEST_F (SysExFileTest, ImportPresetsIntoTheirSlots)
{
    auto source = make ({ 2, 5 });
    auto bytes = rawOf (*source->getPreset (5));
    append (bytes, rawOf (*source->getPreset (2)));

    DeviceData into (unitVersion, f, nullptr);
    juce::Array<int> used;
    EXPECT_EQ (import (into, bytes, used), 4u);
    EXPECT_EQ (used, juce::Array<int> ({ 2, 5 }));
    EXPECT_EQ (into.getPreset (5)->getMd5(), source->getPreset (5)->getMd5());
    EXPECT_EQ (into.getPreset (2)->getName(), "P2");
    EXPECT_TRUE (into.isPresetModified (2));
    EXPECT_TRUE (into.isModified());
    EXPECT_TRUE (into.getPreset (2)->isComplete());
}

TEST_F (SysExFileTest, ImportFromAFirstSlot)
{
    auto source = make ({ 2, 5 });
    auto bytes = rawOf (*source->getPreset (2));
    append (bytes, rawOf (*source->getPreset (5)));

    DeviceData into (unitVersion, f, nullptr);
    juce::Array<int> used;
    EXPECT_EQ (import (into, bytes, used, 7), 4u);
    EXPECT_EQ (used, juce::Array<int> ({ 7, 8 }));
    EXPECT_EQ (into.getPreset (7)->getNumber(), 7);
    EXPECT_EQ (into.getPreset (8)->getName(), "P5");

    // Presets beyond the last slot: the ones that fit stay, the flag says why the rest did not.
    DeviceData tight (unitVersion, f, nullptr);
    used.clear();
    EXPECT_EQ (import (tight, bytes, used, 9), 0x10000004u);
    EXPECT_EQ (used, juce::Array<int> ({ 9 }));
    EXPECT_EQ (tight.countPresets(), 1);
}

TEST_F (SysExFileTest, ImportSetupAndPresetsTogether)
{
    auto source = make ({ 3 });
    auto bytes = rawOf (source->getSetup());
    append (bytes, rawOf (*source->getPreset (3)));

    DeviceData into (unitVersion, f, nullptr);
    juce::Array<int> used;
    EXPECT_EQ (import (into, bytes, used), 4u);
    EXPECT_EQ (used, juce::Array<int> ({ 3 }));
    EXPECT_TRUE (into.getSetup().isComplete());
    EXPECT_TRUE (into.getSetup().isModified());
    EXPECT_EQ (into.getSetup().getData(), source->getSetup().getData());

    juce::Array<int> none;
    DeviceData setupOnly (unitVersion, f, nullptr);
    EXPECT_EQ (import (setupOnly, rawOf (source->getSetup()), none), 1u);
    EXPECT_TRUE (none.isEmpty());
}

TEST_F (SysExFileTest, AcknowledgeAndStrayMessagesAreStepped)
{
    auto source = make ({ 4 });
    Bytes bytes { 0xF0, 0x00, 0x7A, 0x15, 0x00, 0x60, 0x51, 0x00, 0xF7 };
    append (bytes, rawOf (*source->getPreset (4)));
    DeviceData into (unitVersion, f, nullptr);
    juce::Array<int> used;
    EXPECT_EQ (import (into, bytes, used), 4u);
    EXPECT_EQ (used, juce::Array<int> ({ 4 }));
}

TEST_F (SysExFileTest, ImportFlags)
{
    auto source = make ({ 2, 3 });
    const auto preset = rawOf (*source->getPreset (2));
    juce::Array<int> used;
    DeviceData into (unitVersion, f, nullptr);

    EXPECT_EQ (import (into, Bytes (preset.begin() + 32, preset.end()), used), 0x1000004u);  // data without header
    auto otherProduct = preset;
    otherProduct[5] = 0x22;
    EXPECT_EQ (import (into, otherProduct, used), 0x100000u);
    EXPECT_EQ (import (into, { 0xF0, 0x00, 0x20, 0x33, 0x01, 0xF7 }, used), 0x20000u);
    EXPECT_EQ (import (into, { 0x90, 0x40, 0x7F }, used), 0x10000u);
    EXPECT_EQ (import (into, {}, used), 0x80000000u);
    EXPECT_EQ (into.importSysEx (folder.child ("missing.syx").getFullPathName(), used, -1), 0x200000u);

    auto outOfRange = source->getPreset (3)->getInfo();
    outOfRange.number = 50;
    Preset far (*source->getPreset (3));
    far.setInfo (outOfRange);
    EXPECT_EQ (import (into, rawOf (far), used), 0x40000000u);

    auto badChecksum = preset;
    badChecksum[32 + 16] ^= 0x01;
    EXPECT_EQ (import (into, badChecksum, used), 0x2000004u);

    auto cut = preset;
    cut.resize (cut.size() - 3);
    EXPECT_EQ (import (into, cut, used), 0x4000004u);
    EXPECT_EQ (into.countPresets(), 0);
    EXPECT_TRUE (used.isEmpty());

    // A header of another version ends the walk; what came before stays.
    auto otherVersionInfo = source->getPreset (3)->getInfo();
    otherVersionInfo.dataVersion = 9;
    auto bytes = preset;
    append (bytes, bytesOf (buildPresetHeaderMessage (otherVersionInfo, 0x21)));
    append (bytes, rawOf (*source->getPreset (3)));
    EXPECT_EQ (import (into, bytes, used), 0x40002u);
    EXPECT_EQ (used, juce::Array<int> ({ 2 }));
}
