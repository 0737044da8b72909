#include <gtest/gtest.h>
#include "model/DeviceData.h"
#include "support/DataFixtures.h"
#include "support/TestEnvironment.h"

using namespace testing_support;

namespace
{
    struct DeviceDataTest : ::testing::Test
    {
        ScopedProductNames names;
        DeviceDataFormat f = smallFormat (10);
        VersionNumber v { 0, 1, 2, 0, 120, 0 };

        std::unique_ptr<DeviceData> make (std::initializer_list<int> filled, int slots = 10)
        {
            auto d = std::make_unique<DeviceData> (v, smallFormat (slots), nullptr);
            for (auto i : filled)
                d->setPreset (i, makePreset (d->getFormat(), i, "P" + juce::String (i), 1, i));
            d->clearModifiedFlags (false);
            return d;
        }

        // Which preset (by the seed it was made with) each slot holds; 0 for empty.
        static juce::Array<int> layout (const DeviceData& d)
        {
            juce::Array<int> r;
            for (int i = 0; i < d.getNumSlots(); ++i)
                r.add (d.hasPreset (i) ? d.getPreset (i)->getStepData (0)[0] / 1000 : 0);
            return r;
        }

        static juce::Array<int> numbers (const DeviceData& d)
        {
            juce::Array<int> r;
            for (auto i : d.getPresetIndices())
                r.add (d.getPreset (i)->getNumber());
            return r;
        }
    };
}

TEST_F (DeviceDataTest, NewDataHasOneEmptySlotPerPreset)
{
    DeviceData d (v, smallFormat (100), nullptr);
    EXPECT_EQ (d.getNumSlots(), 100);
    EXPECT_EQ (d.countPresets(), 0);
    EXPECT_EQ (d.getProductName(), "Veloce");
    EXPECT_FALSE (d.isModified());
    EXPECT_EQ (d.getFactoryBank(), nullptr);
    EXPECT_EQ (d.getSetup().getNumMessages(), 0);

    auto huge = smallFormat (1 << 30);
    EXPECT_EQ (DeviceData (v, huge, nullptr).getNumSlots(), DeviceDataFormat::maxSlots);
    EXPECT_EQ (DeviceData (v, smallFormat (-3), nullptr).getNumSlots(), 0);
}

TEST_F (DeviceDataTest, SlotOperations)
{
    auto d = make ({ 1, 3 });
    EXPECT_TRUE (d->hasPreset (1));
    EXPECT_FALSE (d->hasPreset (2));
    EXPECT_FALSE (d->hasPreset (10));
    EXPECT_EQ (d->getPreset (-1), nullptr);
    EXPECT_EQ (d->createPreset (10), nullptr);
    EXPECT_FALSE (d->setPreset (10, makePreset (f, 1, "x", 1, 1)));
    EXPECT_FALSE (d->isModified());

    EXPECT_EQ (d->getPresetIndices(), juce::Array<int> ({ 1, 3 }));
    EXPECT_EQ (d->getPresetIndices (2, 99), juce::Array<int> ({ 3 }));
    EXPECT_EQ (d->getPresetIndices (-5, 1), juce::Array<int> ({ 1 }));
    EXPECT_EQ (d->getEmptySlots (4), juce::Array<int> ({ 2, 4 }));
    EXPECT_EQ (d->getPresetNames ({ 3, 2, 1 }), juce::StringArray ({ "P3", "", "P1" }));

    d->removePreset (2);
    EXPECT_FALSE (d->isModified());  // an empty slot emptied is no change
    d->removePresets ({ 1 });
    EXPECT_TRUE (d->isModified());
    EXPECT_EQ (d->countPresets(), 1);
    d->removeAllPresets();
    EXPECT_EQ (d->countPresets(), 0);
    EXPECT_EQ (d->getNumSlots(), 10);
}

TEST_F (DeviceDataTest, ModifiedFlags)
{
    auto d = make ({ 0, 2 });
    d->getPreset (0)->setModified (true);
    EXPECT_FALSE (d->isModified()) << "slot 0 is not a user preset";
    EXPECT_TRUE (d->isPresetModified (0));
    d->setPresetModified (0, true);   // through the data: the data's own flag is set
    EXPECT_TRUE (d->isModified());

    d->clearModifiedFlags (false);
    d->setPresetModified (5, true);   // an empty slot still marks the data
    EXPECT_TRUE (d->isModified());
    d->clearModifiedFlags (false);
    d->setPresetModified (55, true);
    EXPECT_FALSE (d->isModified());

    // With nothing pending only the own flag goes; with a modified preset nothing does.
    d->setModified (true);
    d->getPreset (2)->setModified (true);
    d->clearModifiedFlags (true);
    EXPECT_TRUE (d->isPresetModified (2));
    d->clearModifiedFlags (false);
    EXPECT_FALSE (d->isModified());
    d->setModified (true);
    d->clearModifiedFlags (true);
    EXPECT_FALSE (d->isModified());

    // A complete, modified setup counts; clearing reaches it.
    ASSERT_TRUE (d->setSetup (*makeSetup (f, 1), true));
    EXPECT_TRUE (d->isModified());
    d->clearModifiedFlags (false);
    EXPECT_FALSE (d->getSetup().isModified());
    EXPECT_FALSE (d->isModified());

    juce::Array<int> missing, modified;
    auto reference = make ({ 1, 2, 4 });
    d->getPreset (2)->setModified (true);
    d->getPreset (0)->setModified (true);
    d->collectPresetChanges (*reference, missing, modified);
    EXPECT_EQ (missing, juce::Array<int> ({ 1, 4 }));
    EXPECT_EQ (modified, juce::Array<int> ({ 2 }));
}

TEST_F (DeviceDataTest, SetupRules)
{
    auto d = make ({});
    auto other = f;
    other.setupVersion = 7;
    SetupData otherVersion (other);
    otherVersion.setSetupDataVersion (7);
    otherVersion.setData ({ 1, 2, 3, 4, 5, 6 });
    EXPECT_FALSE (d->setSetup (otherVersion, true));
    EXPECT_EQ (d->getSetup().getNumMessages(), 0);
    EXPECT_FALSE (d->isModified());

    auto s = makeSetup (f, 1);
    EXPECT_TRUE (d->setSetup (*s, false));
    EXPECT_FALSE (d->isModified());
    EXPECT_EQ (d->getSetup().getData(), s->getData());
    EXPECT_TRUE (d->setSetup (*makeSetup (f, 2), true));
    EXPECT_TRUE (d->getSetup().isModified());

    d->clearModifiedFlags (false);
    d->clearSetup();
    EXPECT_TRUE (d->isModified());
    EXPECT_EQ (d->getSetup().getSetupDataVersion(), -1);
}

TEST_F (DeviceDataTest, CompactMovesRunsDownAndRenumbers)
{
    auto d = make ({ 1, 3 });
    d->compactPresets (9);
    EXPECT_EQ (layout (*d), juce::Array<int> ({ 0, 1, 3, 0, 0, 0, 0, 0, 0, 0 }));
    EXPECT_EQ (d->getPreset (2)->getNumber(), 2);
    EXPECT_TRUE (d->isModified());

    auto e = make ({ 2, 3, 6, 7, 9 });
    e->compactPresets (9);
    EXPECT_EQ (layout (*e), juce::Array<int> ({ 0, 2, 3, 6, 7, 9, 0, 0, 0, 0 }));
    EXPECT_EQ (numbers (*e), juce::Array<int> ({ 1, 2, 3, 4, 5 }));
    EXPECT_FALSE (e->hasGapsBetweenPresets());

    auto g = make ({ 1, 2 });
    g->compactPresets (9);
    EXPECT_FALSE (g->isModified());

    // Presets beyond `last` stay where they are.
    auto h = make ({ 1, 6 });
    EXPECT_TRUE (h->hasGapsBetweenPresets());
    h->compactPresets (4);
    EXPECT_EQ (layout (*h), juce::Array<int> ({ 0, 1, 0, 0, 0, 0, 6, 0, 0, 0 }));
}

TEST_F (DeviceDataTest, CopyPresets)
{
    auto d = make ({ 1 });
    auto source = make ({ 4 });
    d->copyPresetFrom (4, *source);
    EXPECT_EQ (layout (*d), juce::Array<int> ({ 0, 1, 0, 0, 4, 0, 0, 0, 0, 0 }));
    EXPECT_TRUE (d->isPresetModified (4));
    EXPECT_TRUE (d->isModified());
    EXPECT_NE (d->getPreset (4), source->getPreset (4));

    d->clearModifiedFlags (false);
    d->copyPresetFrom (5, *source);  // nothing there
    d->copyPresetFrom (1, *d);
    EXPECT_FALSE (d->isModified());

    d->copyPresetTo (7, 4, *source);
    EXPECT_EQ (d->getPreset (7)->getNumber(), 7);
    EXPECT_TRUE (d->getPreset (7)->isModified());
    d->copyPresetTo (2, 1, *d);
    EXPECT_EQ (layout (*d), juce::Array<int> ({ 0, 1, 1, 0, 4, 0, 0, 4, 0, 0 }));
    d->copyPresetTo (3, 3, *source);  // empty source slot
    EXPECT_FALSE (d->hasPreset (3));
}

TEST_F (DeviceDataTest, InsertShiftsIntoTheNextEmptySlots)
{
    auto d = make ({ 3, 4 });
    auto source = make ({ 1, 2 });
    EXPECT_EQ (d->getInsertSlots (3, { 1, 2 }), juce::Array<int> ({ 3, 4, 5, 6 }));
    ASSERT_TRUE (d->insertPresets (3, { 1, 2 }, *source));
    EXPECT_EQ (layout (*d), juce::Array<int> ({ 0, 0, 0, 1, 2, 3, 4, 0, 0, 0 }));
    EXPECT_EQ (numbers (*d), juce::Array<int> ({ 3, 4, 5, 6 }));
    EXPECT_TRUE (d->isModified());

    auto e = make ({ 3, 5 });
    EXPECT_EQ (e->getInsertSlots (3, { 1, 2 }), juce::Array<int> ({ 3, 4, 5, 6 }));
    ASSERT_TRUE (e->insertPresets (3, { 1, 2 }, *source));
    EXPECT_EQ (layout (*e), juce::Array<int> ({ 0, 0, 0, 1, 2, 3, 5, 0, 0, 0 }));
}

TEST_F (DeviceDataTest, InsertWithoutRoomIsRefusedAndLosesNothing)
{
    auto d = make ({ 6, 7, 8 });
    auto source = make ({ 1, 2 });
    EXPECT_EQ (d->getInsertSlots (7, { 1, 2 }), juce::Array<int> ({ 7, 8, 9 }));
    EXPECT_FALSE (d->insertionFits (7, { 1, 2 }));
    EXPECT_FALSE (d->insertPresets (7, { 1, 2 }, *source));
    EXPECT_EQ (layout (*d), juce::Array<int> ({ 0, 0, 0, 0, 0, 0, 6, 7, 8, 0 }));
    EXPECT_FALSE (d->isModified());

    // Only as many as the slots from the position hold are inserted.
    auto e = make ({});
    ASSERT_TRUE (e->insertPresets (8, { 1, 2, 1 }, *source));
    EXPECT_EQ (layout (*e), juce::Array<int> ({ 0, 0, 0, 0, 0, 0, 0, 0, 1, 2 }));

    EXPECT_FALSE (e->insertPresets (3, {}, *source));
    EXPECT_FALSE (e->insertPresets (10, { 1 }, *source));
    EXPECT_FALSE (e->insertPresets (-1, { 1 }, *source));
}

TEST_F (DeviceDataTest, InsertFromItselfUsesTheOldContents)
{
    auto d = make ({ 3, 4 });
    // Reversed source order onto the source slots themselves.
    ASSERT_TRUE (d->insertPresets (3, { 4, 3 }, *d));
    EXPECT_EQ (layout (*d), juce::Array<int> ({ 0, 0, 0, 4, 3, 3, 4, 0, 0, 0 }));
    EXPECT_EQ (numbers (*d), juce::Array<int> ({ 3, 4, 5, 6 }));
}

TEST_F (DeviceDataTest, Swap)
{
    auto d = make ({ 1, 2 });
    d->swapPresets (1, 2, *d);
    EXPECT_EQ (layout (*d), juce::Array<int> ({ 0, 2, 1, 0, 0, 0, 0, 0, 0, 0 }));
    EXPECT_EQ (numbers (*d), juce::Array<int> ({ 1, 2 }));
    EXPECT_TRUE (d->isModified());

    auto other = make ({ 5 });
    d->swapPresets (1, 5, *other);
    EXPECT_EQ (layout (*d)[1], 5);
    EXPECT_EQ (layout (*other)[5], 2);
    EXPECT_EQ (other->getPreset (5)->getNumber(), 5);

    d->clearModifiedFlags (false);
    d->swapPresets (1, 3, *d);  // slot 3 is empty
    EXPECT_FALSE (d->isModified());
}

TEST_F (DeviceDataTest, CopiesOfTheData)
{
    auto d = make ({ 1, 2, 4 });
    ASSERT_TRUE (d->setSetup (*makeSetup (f, 1), true));
    d->getPreset (2)->setModified (true);

    auto some = d->createCopy ({ 2, 4, 7 }, false, false);
    EXPECT_EQ (layout (*some), juce::Array<int> ({ 0, 0, 2, 0, 4, 0, 0, 0, 0, 0 }));
    EXPECT_TRUE (some->isPresetModified (2));
    EXPECT_EQ (some->getSetup().getNumMessages(), 0);
    EXPECT_EQ (some->getVersion(), v);
    EXPECT_EQ (some->getFormat(), d->getFormat());
    EXPECT_EQ (some->getProductName(), "Veloce");

    auto full = d->createFullCopy (true);
    EXPECT_EQ (full->countPresets(), 3);
    EXPECT_FALSE (full->isModified());
    EXPECT_FALSE (full->isPresetModified (2));
    EXPECT_TRUE (full->getSetup().isComplete());
    EXPECT_FALSE (full->getSetup().isModified());
    EXPECT_EQ (full->getPreset (1)->getMd5(), d->getPreset (1)->getMd5());
    EXPECT_NE (full->getPreset (1), d->getPreset (1));

    auto kept = d->createFullCopy (false);
    EXPECT_TRUE (kept->getSetup().isModified());
    EXPECT_TRUE (kept->isModified());
}

TEST_F (DeviceDataTest, MergeOnlyDataOfTheSameFormat)
{
    auto d = make ({ 1 });
    auto other = make ({ 2, 3 });
    other->setSetup (*makeSetup (f, 3), false);

    auto foreign = f;
    foreign.presetVersion = 4;
    DeviceData otherVersion (v, foreign, nullptr);
    otherVersion.setPreset (2, makePreset (foreign, 2, "x", 1, 9));
    d->mergeFrom (otherVersion);
    EXPECT_EQ (layout (*d), juce::Array<int> ({ 0, 1, 0, 0, 0, 0, 0, 0, 0, 0 }));
    EXPECT_FALSE (d->isModified());

    auto otherProduct = f;
    otherProduct.productId = 0x22;
    DeviceData cantor (v, otherProduct, nullptr);
    cantor.setPreset (2, makePreset (otherProduct, 2, "x", 1, 9));
    d->mergeFrom (cantor);
    EXPECT_FALSE (d->hasPreset (2));

    // Differing only in name length is the same format for merging.
    auto longerNames = f;
    longerNames.presetNameLength = 12;
    EXPECT_TRUE (d->hasSameFormat (longerNames));

    d->mergeFrom (*other);
    EXPECT_EQ (layout (*d), juce::Array<int> ({ 0, 1, 2, 3, 0, 0, 0, 0, 0, 0 }));
    EXPECT_TRUE (d->isPresetModified (2));
    EXPECT_FALSE (d->isPresetModified (1));
    EXPECT_EQ (d->getSetup().getData(), other->getSetup().getData());
    EXPECT_TRUE (d->isModified());
}

TEST_F (DeviceDataTest, FactoryBank)
{
    auto d = make ({ 1, 2, 3 });
    auto features = juce::parseXML ("<features numPresets='10'/>");
    DeviceCaps caps (nullptr, features.get(), 0x21, 100, 200);

    juce::XmlElement bankXml ("factoryBank");
    auto add = [&bankXml] (int number, const juce::String& md5) {
        auto* e = bankXml.createNewChildElement ("preset");
        e->setAttribute ("number", number);
        e->setAttribute ("md5", md5);
    };
    add (1, d->getPreset (1)->getMd5().toHexString());
    add (2, d->getPreset (2)->getMd5().toHexString().toUpperCase());  // only lower case matches
    add (3, d->getPreset (3)->getMd5().toHexString().dropLastCharacters (1));  // 31 characters
    add (11, d->getPreset (3)->getMd5().toHexString());  // beyond the presets
    FactoryBank bank (&bankXml, caps);
    EXPECT_EQ (bank.getDigestText (3), "");
    EXPECT_EQ (bank.getDigestText (11), "");
    EXPECT_TRUE (bank.isFactoryPreset (1, d->getPreset (1)->getMd5()));
    EXPECT_FALSE (bank.isFactoryPreset (0, d->getPreset (1)->getMd5()));

    EXPECT_EQ (d->countNonFactoryPresets(), 3);  // no bank: every preset differs
    DeviceData withBank (v, f, &bank);
    for (int i : { 1, 2, 3 })
        withBank.setPreset (i, std::make_unique<Preset> (*d->getPreset (i)));
    EXPECT_FALSE (withBank.differsFromFactoryPreset (1));
    EXPECT_TRUE (withBank.differsFromFactoryPreset (2));
    EXPECT_FALSE (withBank.differsFromFactoryPreset (4));
    EXPECT_EQ (withBank.getNonFactoryPresetIndices(), juce::Array<int> ({ 2, 3 }));

    // The copy keeps the bank; an edit makes the preset a user preset.
    auto copy = withBank.createFullCopy (true);
    EXPECT_EQ (copy->countNonFactoryPresets(), 2);
    copy->getPreset (1)->setName ("Mine");
    EXPECT_EQ (copy->countNonFactoryPresets(), 3);
}

TEST_F (DeviceDataTest, FactoryBankComesFromTheInstalledLookupWhenNoneIsGiven)
{
    juce::XmlElement bankXml ("factoryBank");
    auto* e = bankXml.createNewChildElement ("preset");
    e->setAttribute ("number", 4);
    e->setAttribute ("md5", juce::String::repeatedString ("a", 32));
    DeviceCaps caps (nullptr, nullptr, 0x21, 0, 0);

    juce::Array<int> asked;
    FactoryBank::setLookup ([&] (juce::uint8 id, int build) {
        asked.add (id);
        asked.add (build);
        return std::make_unique<FactoryBank> (&bankXml, caps);
    });
    DeviceData d (v, f, nullptr);
    FactoryBank::setLookup (nullptr);

    EXPECT_EQ (asked, juce::Array<int> ({ 0x21, 120 }));
    ASSERT_NE (d.getFactoryBank(), nullptr);
    EXPECT_EQ (d.getFactoryBank()->getDigestText (4), juce::String::repeatedString ("a", 32));
    EXPECT_EQ (DeviceData (v, f, nullptr).getFactoryBank(), nullptr);
}

TEST_F (DeviceDataTest, WeakReferencesNoticeDeletion)
{
    auto d = make ({ 1 });
    juce::WeakReference<DeviceData> ref (d.get());
    EXPECT_EQ (ref.get(), d.get());
    d.reset();
    EXPECT_EQ (ref.get(), nullptr);
}

TEST_F (DeviceDataTest, FactoryBankFileContent)
{
    auto d = make ({ 0, 2, 5 });
    auto incomplete = std::make_unique<Preset> (f);
    incomplete->setInfo (makeInfo (6, "Half", 1, f.presetVersion));
    d->setPreset (6, std::move (incomplete));

    const auto xml = d->createFactoryBank();
    ASSERT_NE (xml, nullptr);
    EXPECT_EQ (xml->getTagName(), "factoryBank");
    ASSERT_EQ (xml->getNumChildElements(), 2);
    EXPECT_EQ (xml->getChildElement (0)->getIntAttribute ("number"), 2);
    EXPECT_EQ (xml->getChildElement (0)->getStringAttribute ("md5"), d->getPreset (2)->getMd5().toHexString());
    EXPECT_EQ (xml->getChildElement (1)->getIntAttribute ("number"), 5);
}
