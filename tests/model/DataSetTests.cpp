#include <gtest/gtest.h>
#include "model/DataSet.h"
#include "support/DataFixtures.h"

using namespace testing_support;

namespace
{
    // The smallest archive item: it holds data and copies itself, counting the copies.
    struct HeldArchive : DeviceDataArchiveBase
    {
        explicit HeldArchive (std::unique_ptr<DeviceData> d, int* copies = nullptr) : data (std::move (d)), copyCount (copies) {}
        DeviceData* getData() const override { return data.get(); }
        std::unique_ptr<DeviceDataArchiveBase> createArchiveCopy() const override
        {
            if (copyCount != nullptr)
                ++*copyCount;
            return std::make_unique<HeldArchive> (data != nullptr ? data->createFullCopy (false) : nullptr, copyCount);
        }
        std::unique_ptr<DeviceData> data;
        int* copyCount;
    };

    struct DataSetTest : ::testing::Test
    {
        ScopedProductNames names;
        DeviceDataFormat f = smallFormat (6);

        std::unique_ptr<DeviceData> make (std::initializer_list<int> filled)
        {
            auto d = std::make_unique<DeviceData> (VersionNumber (0, 1, 0, 0, 50, 0), f, nullptr);
            for (auto i : filled)
                d->setPreset (i, makePreset (f, i, "P", 1, i));
            return d;
        }
    };
}

TEST_F (DataSetTest, UnitDataIsReachedWeakly)
{
    auto unit = make ({ 1, 2 });
    DataSet::Ptr set (new DataSet (unit.get(), nullptr));
    ASSERT_NE (set->getWorking(), nullptr);
    EXPECT_EQ (set->getDevice(), unit.get());
    EXPECT_EQ (set->getSourceDeviceData(), unit.get());
    EXPECT_EQ (set->getWorking()->countPresets(), 2);
    EXPECT_TRUE (set->getWorking()->isModified()) << "a working copy of the unit keeps its flags";

    unit.reset();
    EXPECT_EQ (set->getDevice(), nullptr);
    EXPECT_EQ (set->getSourceDeviceData(), nullptr);
    ASSERT_NE (set->getWorking(), nullptr);
    EXPECT_EQ (set->getWorking()->countPresets(), 2);
}

TEST_F (DataSetTest, GivenWorkingCopyIsTaken)
{
    auto unit = make ({ 1 });
    auto working = make ({ 3 });
    auto* raw = working.get();
    DataSet set (unit.get(), std::move (working));
    EXPECT_EQ (set.getWorking(), raw);
    EXPECT_EQ (DataSet (nullptr, nullptr).getWorking(), nullptr);
}

TEST_F (DataSetTest, UnsavedChanges)
{
    auto unit = make ({ 1, 2, 4 });
    unit->clearModifiedFlags (false);
    DataSet set (unit.get(), nullptr);
    EXPECT_FALSE (set.hasUnsavedChanges());

    set.getWorking()->setPresetModified (2, true);
    EXPECT_TRUE (set.hasUnsavedChanges());
    set.getWorking()->clearModifiedFlags (false);

    // A slot the unit fills that the working copy lost counts, even without flags.
    set.getWorking()->removePreset (4);
    set.getWorking()->clearModifiedFlags (false);
    EXPECT_TRUE (set.hasUnsavedChanges());

    EXPECT_FALSE (DataSet (nullptr, nullptr).hasUnsavedChanges());
}

TEST_F (DataSetTest, ArchiveItemsAndCopies)
{
    int copies = 0;
    auto archived = make ({ 2 });
    archived->setModified (true);
    auto* archivedRaw = archived.get();
    DataSet set (std::make_unique<HeldArchive> (std::move (archived), &copies));
    EXPECT_EQ (set.getDevice(), nullptr);
    EXPECT_EQ (set.getSourceDeviceData(), archivedRaw);
    ASSERT_NE (set.getWorking(), nullptr);
    EXPECT_NE (set.getWorking(), archivedRaw);
    EXPECT_TRUE (set.getWorking()->isModified());

    set.getWorking()->setPresetModified (2, true);
    DataSet copy (set);
    EXPECT_EQ (copies, 1);
    ASSERT_NE (copy.getArchive(), nullptr);
    EXPECT_NE (copy.getArchive(), set.getArchive());
    ASSERT_NE (copy.getWorking(), nullptr);
    EXPECT_FALSE (copy.getWorking()->isModified()) << "a copied data set starts without flags";
    EXPECT_EQ (copy.getWorking()->countPresets(), 1);

    DataSet empty (std::make_unique<HeldArchive> (nullptr));
    EXPECT_EQ (empty.getWorking(), nullptr);
    EXPECT_EQ (empty.getSourceDeviceData(), nullptr);
}

TEST_F (DataSetTest, CopyKeepsTheUnitReference)
{
    auto unit = make ({ 1 });
    DataSet set (unit.get(), nullptr);
    DataSet copy (set);
    EXPECT_EQ (copy.getDevice(), unit.get());
    EXPECT_EQ (copy.getArchive(), nullptr);
    unit.reset();
    EXPECT_EQ (copy.getDevice(), nullptr);
}
