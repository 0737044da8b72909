#include <gtest/gtest.h>
#include "archive/DataSourceTree.h"
#include "content/ContentManager.h"
#include "support/ArchiveFixtures.h"
#include "support/ContentWorld.h"

using namespace testing_support;

namespace
{
    class SourceTreeTest : public ::testing::Test
    {
    protected:
        ScopedProductNames names;
        DeviceDataFormat format = smallFormat (8);

        juce::ValueTree archiveNode (const juce::String& title, int seed = 1)
        {
            auto d = makeUnitData (format, { 1, 2, 5 }, seed);
            return createArchiveSourceNode (std::make_unique<DeviceDataArchive> (d.get(), title, ""));
        }

        juce::ValueTree subCategoryNode (const juce::String& label, const juce::String& sub)
        {
            auto n = createSourceNode (SourceIds::subCategory, label);
            n.setProperty (SourceIds::subCategory, sub, nullptr);
            return n;
        }

        // Root: unit, backups (group with one item, one loose item), cloud (a pack folder with one pack,
        // a user with an upload folder holding an item), and a top-level "user" source with its own
        // upload folder.
        juce::ValueTree buildTree()
        {
            auto root = createRootSourceNode ("Merle 1");
            auto backups = findSourceNodeByCategory (root, "archive");
            auto group = createSourceNode (SourceIds::group, "Gigs");
            group.appendChild (archiveNode ("Friday"), nullptr);
            backups.appendChild (group, nullptr);
            backups.appendChild (archiveNode ("Loose"), nullptr);

            auto cloud = createCloudSourceNode();
            auto packs = createSourceNode (SourceIds::group, "Studio Voices");
            packs.appendChild (archiveNode ("Pack"), nullptr);
            cloud.appendChild (packs, nullptr);
            auto user = subCategoryNode ("Me", "user");
            auto upload = subCategoryNode ("Uploads", "upload-folder");
            upload.appendChild (archiveNode ("Mine"), nullptr);
            user.appendChild (upload, nullptr);
            cloud.appendChild (user, nullptr);
            if (! findSourceNodeByCategory (root, "cloud").isValid())
                root.appendChild (cloud, nullptr);

            auto userTop = createSourceNode (SourceIds::category, "Account");
            userTop.setProperty (SourceIds::category, "user", nullptr);
            auto ownUpload = subCategoryNode ("My uploads", "upload-folder");
            ownUpload.appendChild (archiveNode ("Own"), nullptr);
            userTop.appendChild (ownUpload, nullptr);
            userTop.appendChild (subCategoryNode ("Following", "following"), nullptr);
            root.appendChild (userTop, nullptr);
            return root;
        }

        static juce::ValueTree findByLabel (const juce::ValueTree& t, const juce::String& label)
        {
            if (t[SourceIds::label].toString() == label)
                return t;
            for (const auto& child : t)
                if (auto found = findByLabel (child, label); found.isValid())
                    return found;
            return {};
        }
    };
}

TEST_F (SourceTreeTest, NodeIdsAreConsecutiveAndUnique)
{
    auto a = createSourceNode (SourceIds::group, "A");
    auto b = createSourceNode (SourceIds::node, "B");
    EXPECT_EQ ((int) b[SourceIds::id], (int) a[SourceIds::id] + 1);
    EXPECT_EQ (a.getType(), SourceIds::group);
    EXPECT_EQ (a[SourceIds::label].toString(), "A");

    // Nodes made on many threads at once never share an id.
    std::vector<int> ids (8 * 500);
    juce::OwnedArray<juce::Thread> threads;
    struct Maker : juce::Thread
    {
        Maker (int* out) : juce::Thread ("maker"), target (out) {}
        void run() override
        {
            for (int i = 0; i < 500; ++i)
                target[i] = (int) createSourceNode (SourceIds::node, {})[SourceIds::id];
        }
        int* target;
    };
    for (int t = 0; t < 8; ++t)
        threads.add (new Maker (ids.data() + t * 500))->startThread();
    for (auto* t : threads)
        ASSERT_TRUE (t->waitForThreadToExit (60000));
    std::sort (ids.begin(), ids.end());
    EXPECT_EQ (std::adjacent_find (ids.begin(), ids.end()), ids.end());
}

TEST_F (SourceTreeTest, StandardNodesWithoutOnlineContent)
{
    setContentManager (nullptr);
    auto root = createRootSourceNode ("Merle 1");
    EXPECT_EQ (root.getType(), SourceIds::root);
    EXPECT_EQ (root[SourceIds::label].toString(), "Root Node");
    ASSERT_EQ (root.getNumChildren(), 2);

    auto unit = root.getChild (0);
    EXPECT_EQ (unit.getType(), SourceIds::category);
    EXPECT_EQ (unit[SourceIds::label].toString(), "Merle 1");
    EXPECT_EQ (unit[SourceIds::category].toString(), "device");
    EXPECT_EQ (findDeviceSourceNode (root), unit);

    auto backups = root.getChild (1);
    EXPECT_EQ (backups[SourceIds::label].toString(), "Backups");
    EXPECT_EQ (backups[SourceIds::category].toString(), "archive");
    EXPECT_EQ (findSourceNodeByCategory (root, "archive"), backups);

    EXPECT_FALSE (findSourceNodeByCategory (root, "cloud").isValid());
    EXPECT_FALSE (findSourceNodeByCategory (root, "archive", "user").isValid());

    auto cloud = createCloudSourceNode();
    EXPECT_EQ (cloud[SourceIds::label].toString(), "Cloud");
    EXPECT_EQ (cloud[SourceIds::category].toString(), "cloud");
}

TEST_F (SourceTreeTest, OnlineContentAddsTheCloud)
{
    ContentWorld w;
    setContentManager (newFetchedContentManager());
    ASSERT_TRUE (getContentManager()->isOnline());
    auto root = createRootSourceNode ({});
    setContentManager (nullptr);

    ASSERT_EQ (root.getNumChildren(), 3);
    EXPECT_EQ (root.getChild (2)[SourceIds::category].toString(), "cloud");
    EXPECT_EQ (findSourceNodeByCategory (root, "cloud"), root.getChild (2));
    EXPECT_TRUE (root.getChild (0)[SourceIds::label].toString().isEmpty());
}

TEST_F (SourceTreeTest, CategoriesAndReadOnlyRule)
{
    auto root = buildTree();
    struct Expect { const char* label; const char* category; const char* sub; bool readOnly; };
    const Expect cases[] = {
        { "Merle 1", "device", "", false },
        { "Backups", "archive", "", false },
        { "Gigs", "archive", "", false },
        { "Friday", "archive", "", false },
        { "Loose", "archive", "", false },
        { "Cloud", "cloud", "", true },
        { "Studio Voices", "cloud", "", true },
        { "Pack", "cloud", "", true },
        { "Me", "cloud", "user", true },
        // The user's upload folders in the cloud hold writable data.
        { "Uploads", "cloud", "upload-folder", false },
        { "Mine", "cloud", "upload-folder", false },
        { "Account", "user", "", true },
        { "My uploads", "user", "upload-folder", false },
        { "Own", "user", "upload-folder", false },
        { "Following", "user", "following", true },
    };
    for (auto& c : cases)
    {
        auto node = findByLabel (root, c.label);
        ASSERT_TRUE (node.isValid()) << c.label;
        juce::String category, sub;
        getSourceNodeCategory (node, category, sub);
        EXPECT_EQ (category, c.category) << c.label;
        EXPECT_EQ (sub, c.sub) << c.label;
        EXPECT_EQ (isReadOnlySourceNode (node), c.readOnly) << c.label;
    }

    // The root and detached nodes belong to no source.
    juce::String category = "x", sub = "y";
    getSourceNodeCategory (root, category, sub);
    EXPECT_TRUE (category.isEmpty() && sub.isEmpty());
    EXPECT_TRUE (isReadOnlySourceNode (createSourceNode (SourceIds::node, "loose")));

    // Upload folders are found one level deeper, inside the user's branch.
    EXPECT_EQ (findSourceNodeByCategory (root, "cloud", "upload-folder"), findByLabel (root, "Uploads"));
    EXPECT_EQ (findSourceNodeByCategory (root, "cloud", "user"), findByLabel (root, "Me"));
    EXPECT_EQ (findSourceNodeByCategory (root, "user", "following"), findByLabel (root, "Following"));
    EXPECT_FALSE (findSourceNodeByCategory (root, "user", "upload-folder").isValid());
}

TEST_F (SourceTreeTest, TitlesCountsAndCollections)
{
    auto root = buildTree();
    EXPECT_EQ (makeSourceNodeTitle (findByLabel (root, "Friday")), "Backups - Friday");
    EXPECT_EQ (makeSourceNodeTitle (findByLabel (root, "Backups")), "Backups");
    EXPECT_EQ (makeSourceNodeTitle (findByLabel (root, "Pack")), "Cloud - Pack");
    EXPECT_EQ (makeSourceNodeTitle (createSourceNode (SourceIds::node, "Alone")), "Alone");

    int dataDirect = -1, containersDirect = -1, dataAll = -1, containersAll = -1;
    countSourceNodes (findByLabel (root, "Backups"), dataDirect, containersDirect, dataAll, containersAll);
    EXPECT_EQ (dataDirect, 1);
    EXPECT_EQ (containersDirect, 1);
    EXPECT_EQ (dataAll, 2);
    EXPECT_EQ (containersAll, 1);

    countSourceNodes (root, dataDirect, containersDirect, dataAll, containersAll);
    EXPECT_EQ (dataDirect, 0);
    EXPECT_EQ (containersDirect, 4);
    EXPECT_EQ (dataAll, 5);
    EXPECT_EQ (containersAll, 10);

    juce::Array<juce::ValueTree> nodes;
    collectSourceDataNodes (findByLabel (root, "Backups"), nodes);
    ASSERT_EQ (nodes.size(), 2);
    EXPECT_EQ (nodes[0][SourceIds::label].toString(), "Friday");
    EXPECT_EQ (nodes[1][SourceIds::label].toString(), "Loose");

    // A data node alone, and no duplicates when collected again.
    collectSourceDataNodes (findByLabel (root, "Friday"), nodes);
    EXPECT_EQ (nodes.size(), 2);
    juce::Array<juce::ValueTree> one;
    collectSourceDataNodes (findByLabel (root, "Pack"), one);
    ASSERT_EQ (one.size(), 1);
    EXPECT_EQ (one[0][SourceIds::label].toString(), "Pack");
}

TEST_F (SourceTreeTest, DataNodesReachTheirData)
{
    auto node = archiveNode ("Reach");
    auto set = getSourceNodeDataSet (node);
    ASSERT_NE (set, nullptr);
    auto* archive = getSourceNodeArchive (node);
    ASSERT_NE (archive, nullptr);
    EXPECT_EQ (archive->getTitle(), "Reach");
    EXPECT_EQ (node[SourceIds::label].toString(), "Reach");
    auto* working = getSourceNodeWorkingData (node);
    ASSERT_NE (working, nullptr);
    EXPECT_NE (working, archive->getData());
    EXPECT_EQ (set->getSourceDeviceData(), archive->getData());
    EXPECT_EQ (working->getPresetIndices(), archive->getData()->getPresetIndices());

    auto group = createSourceNode (SourceIds::group, "G");
    EXPECT_EQ (getSourceNodeDataSet (group), nullptr);
    EXPECT_EQ (getSourceNodeWorkingData (group), nullptr);
    EXPECT_EQ (getSourceNodeArchive (group), nullptr);

    // A unit's node: a data set without an archive item.
    auto unitData = makeUnitData (format, { 1 }, 3);
    auto unitNode = createDeviceSourceNode ("Unit");
    DataSet::Ptr unitSet (new DataSet (unitData.get(), nullptr));
    unitNode.setProperty (SourceIds::data, juce::var (unitSet.get()), nullptr);
    EXPECT_EQ (getSourceNodeArchive (unitNode), nullptr);
    EXPECT_EQ (getSourceNodeDataSet (unitNode)->getSourceDeviceData(), unitData.get());

    // The node keeps its data set alive.
    juce::WeakReference<DeviceDataArchive> weak (archive);
    set = nullptr;
    EXPECT_NE (weak.get(), nullptr);
    node = juce::ValueTree();
    EXPECT_EQ (weak.get(), nullptr);
}

TEST_F (SourceTreeTest, CopiedSubtreesGetFreshIdsAndTheirOwnData)
{
    auto root = buildTree();
    auto original = findByLabel (root, "Backups");
    auto copy = original.createCopy();
    renewSourceNodeIds (copy);

    std::set<int> originalIds, copyIds;
    std::function<void (const juce::ValueTree&, std::set<int>&)> ids = [&] (const juce::ValueTree& t, std::set<int>& out)
    {
        out.insert ((int) t[SourceIds::id]);
        for (const auto& c : t)
            ids (c, out);
    };
    ids (original, originalIds);
    ids (copy, copyIds);
    EXPECT_EQ (copyIds.size(), originalIds.size());
    for (auto id : copyIds)
        EXPECT_EQ (originalIds.count (id), 0u);

    juce::Array<juce::ValueTree> a, b;
    collectSourceDataNodes (original, a);
    collectSourceDataNodes (copy, b);
    ASSERT_EQ (a.size(), b.size());
    for (int i = 0; i < a.size(); ++i)
    {
        EXPECT_NE (getSourceNodeDataSet (a[i]), getSourceNodeDataSet (b[i]));
        EXPECT_NE (getSourceNodeArchive (a[i]), getSourceNodeArchive (b[i]));
        EXPECT_NE (getSourceNodeArchive (a[i])->getUuid(), getSourceNodeArchive (b[i])->getUuid());
        getSourceNodeWorkingData (b[i])->removePreset (1);
        EXPECT_TRUE (getSourceNodeWorkingData (a[i])->hasPreset (1));
    }
}

TEST_F (SourceTreeTest, SlotsRestoredToTheSourceShowAsUnmodified)
{
    auto node = archiveNode ("Edits");
    auto* working = getSourceNodeWorkingData (node);
    auto* source = getSourceNodeDataSet (node)->getSourceDeviceData();
    ASSERT_FALSE (working->isModified());

    // Edit slot 2, mark, and it shows as changed.
    ASSERT_TRUE (working->getPreset (2)->setName ("Renamed"));
    markChangedSlots (node, { 2 });
    EXPECT_TRUE (working->isPresetModified (2));
    EXPECT_TRUE (working->isModified());

    // Restore it to the source's content: unmodified again, and so is the copy.
    ASSERT_TRUE (working->getPreset (2)->setName (source->getPreset (2)->getName()));
    ASSERT_EQ (working->getPreset (2)->getMd5(), source->getPreset (2)->getMd5());
    markChangedSlots (node, { 2 });
    EXPECT_FALSE (working->isPresetModified (2));
    EXPECT_FALSE (working->isModified());

    // A slot the source does not fill is left alone; another still-modified slot keeps the copy modified.
    working->setPreset (3, makePreset (format, 3, "New", 1, 40));
    ASSERT_TRUE (working->getPreset (1)->setName ("Other"));
    markChangedSlots (node, { 1, 3 });
    EXPECT_TRUE (working->isPresetModified (1));
    EXPECT_FALSE (working->isPresetModified (3));
    EXPECT_TRUE (working->isModified());

    // A setup that the source has complete and the copy has not keeps the copy modified.
    ASSERT_TRUE (working->getPreset (1)->setName (source->getPreset (1)->getName()));
    working->removePreset (3);
    working->getSetup().clear();
    working->setModified (true);
    markChangedSlots (node, { 1 });
    EXPECT_FALSE (working->isPresetModified (1));
    EXPECT_TRUE (working->isModified());

    // Nothing happens for nodes without data.
    markChangedSlots (createSourceNode (SourceIds::group, "G"), { 1 });
}

TEST_F (SourceTreeTest, IconsFollowTheKindOfNode)
{
    auto root = buildTree();
    auto iconOf = [&] (const juce::String& label) { return createSourceNodeIcon (findByLabel (root, label)); };
    auto expectIcon = [&] (const juce::String& label, const juce::String& key)
    {
        auto icon = iconOf (label);
        auto expected = resourcePicture (key);
        ASSERT_NE (icon, nullptr) << label;
        ASSERT_NE (expected, nullptr) << key;
        EXPECT_TRUE (samePicture (*icon, *expected)) << label << " should show " << key;
    };

    expectIcon ("Merle 1", "source_device_svg");
    expectIcon ("Backups", "source_archive_svg");
    expectIcon ("Cloud", "source_cloud_svg");
    expectIcon ("Gigs", "source_group_svg");
    expectIcon ("Me", "source_user_svg");
    expectIcon ("Uploads", "source_upload_folder_svg");
    expectIcon ("Following", "source_following_svg");
    expectIcon ("Account", "source_user_svg");

    // An archive item shows a copy of its own picture.
    auto node = findByLabel (root, "Friday");
    auto icon = createSourceNodeIcon (node);
    EXPECT_NE (icon.get(), getSourceNodeArchive (node)->getPicture());
    EXPECT_TRUE (samePicture (*icon, *getSourceNodeArchive (node)->getPicture()));

    auto unknown = createSourceNode (SourceIds::category, "Other");
    unknown.setProperty (SourceIds::category, "somewhere", nullptr);
    EXPECT_TRUE (samePicture (*createSourceNodeIcon (unknown), *resourcePicture ("source_unknown_svg")));

    auto imported = createSourceNode (SourceIds::category, "Files");
    imported.setProperty (SourceIds::category, "ard", nullptr);
    EXPECT_TRUE (samePicture (*createSourceNodeIcon (imported), *resourcePicture ("source_ard_svg")));
}
