#include <gtest/gtest.h>
#include "archive/LocalArchiveManager.h"
#include "support/BackupWorld.h"

using namespace testing_support;

namespace
{
    juce::StringArray labelsOf (const juce::ValueTree& node)
    {
        juce::StringArray labels;
        for (const auto& child : node)
            labels.add (child[SourceIds::label].toString());
        return labels;
    }

    juce::ValueTree childLabelled (const juce::ValueTree& node, const juce::String& label)
    {
        for (const auto& child : node)
            if (child[SourceIds::label].toString() == label)
                return child;
        return {};
    }

    // "set(p,s)[...]" text of an index, for comparing whole structures.
    juce::String describe (const juce::XmlElement& e, const juce::File& folder)
    {
        juce::String s;
        for (auto* child : e.getChildIterator())
        {
            if (child->hasTagName ("set"))
                s << "set(" << child->getStringAttribute ("presetVersion") << "," << child->getStringAttribute ("setupVersion")
                  << ")[" << describe (*child, folder) << "]";
            else if (child->hasTagName ("group"))
                s << (child->hasAttribute ("name") ? child->getStringAttribute ("name") : juce::String()) << "{"
                  << describe (*child, folder) << "}";
            else if (child->hasTagName ("archive"))
                s << juce::File (child->getAllSubText()).getRelativePathFrom (folder) << ";";
        }
        return s;
    }
}

TEST (LocalArchiveManager, NewDataFileNamesSkipTakenNumbers)
{
    BackupWorld w;
    juce::XmlElement index ("BACKUP");
    index.setAttribute ("nextFileNum", 7);
    w.writeIndex (index);
    w.dataFolder().getChildFile ("Veloce_000007.ard").create();
    w.dataFolder().getChildFile ("Veloce_000008.ard").create();

    auto m = w.makeManager();
    const auto base = m->createNextArchiveFile();
    EXPECT_EQ (base, w.dataFolder().getChildFile ("Veloce_000009").getFullPathName());

    juce::ScopedLock sl (m->getLock());
    EXPECT_EQ (m->getBackupIndex().getIndex()->getIntAttribute ("nextFileNum"), 10);
}

TEST (LocalArchiveManager, AnIndexThatDoesNotParseIsLeftAlone)
{
    BackupWorld w;
    // Cut off inside a set, and inside the root's opening tag (which the parser alone takes
    // for an empty index).
    for (auto* damaged : { "<BACKUP><set", "<BACKUP" })
    {
        w.indexFile().replaceWithText (damaged);
        const auto before = fileBytes (w.indexFile());

        auto m = w.makeManager();
        EXPECT_FALSE (m->hasIndex()) << damaged;
        EXPECT_FALSE (m->buildTree());
        EXPECT_TRUE (m->getTree().isValid());
        EXPECT_EQ (m->getTree().getNumChildren(), 0);
        EXPECT_FALSE (m->saveIndex());
        EXPECT_TRUE (m->createNextArchiveFile().isEmpty());
        juce::String question = "x";
        EXPECT_FALSE (m->getConversionQuestion (question));
        EXPECT_TRUE (question.isEmpty());
        EXPECT_FALSE (m->startConversion (w.newVersion));
        EXPECT_EQ (fileBytes (w.indexFile()), before);
    }

    // Another root is no index either.
    w.indexFile().replaceWithText ("<NOTES/>");
    auto other = w.makeManager();
    EXPECT_FALSE (other->hasIndex());

    // No file at all is an empty index.
    w.indexFile().deleteFile();
    auto fresh = w.makeManager();
    EXPECT_TRUE (fresh->hasIndex());
    EXPECT_TRUE (fresh->buildTree());
    EXPECT_EQ (fresh->getTree().getNumChildren(), 0);
}

TEST (LocalArchiveManager, TreeShowsTheCurrentSetOnly)
{
    BackupWorld w;
    const auto a = w.writeItem ("cur_a", w.newFormat, "Current A");
    const auto b = w.writeItem ("cur_b", w.newFormat, "Current B");
    const auto old = w.writeItem ("old_a", w.oldFormat, "Old A");
    const auto wrongFormat = w.writeItem ("cur_old", w.oldFormat, "Listed in the wrong set");
    const auto broken = w.dataFolder().getChildFile ("broken.xml");
    broken.replaceWithText ("<ARCHIVE><uuid>1</uuid></ARCHIVE>");

    juce::XmlElement index ("BACKUP");
    auto* current = BackupWorld::addSet (index, 2, 2);
    auto* gigs = BackupWorld::addGroup (*current, "Gigs");
    BackupWorld::addEntry (*gigs, a);
    BackupWorld::addGroup (*gigs, "Empty");
    BackupWorld::addEntry (*current, b);
    BackupWorld::addEntry (*current, wrongFormat);
    BackupWorld::addEntry (*current, broken);
    BackupWorld::addEntry (*current, w.dataFolder().getChildFile ("missing.xml"));
    BackupWorld::addEntry (*BackupWorld::addSet (index, 1, 1), old);
    w.writeIndex (index);

    auto m = w.makeManager();
    ASSERT_TRUE (m->buildTree());
    auto tree = m->getTree();
    EXPECT_EQ (tree[SourceIds::category].toString(), "archive");
    EXPECT_EQ (tree[SourceIds::label].toString(), "Backups");
    EXPECT_EQ (labelsOf (tree).joinIntoString ("|"), "Gigs|Current B");
    auto group = childLabelled (tree, "Gigs");
    EXPECT_EQ (group.getType(), SourceIds::group);
    EXPECT_EQ (labelsOf (group).joinIntoString ("|"), "Current A|Empty");
    auto* item = getSourceNodeArchive (group.getChild (0));
    ASSERT_NE (item, nullptr);
    EXPECT_EQ (item->getData()->getFormat(), w.newFormat);
}

TEST (LocalArchiveManager, SavingWritesTheTreeAndKeepsWhatWasNotShown)
{
    BackupWorld w;
    const auto a = w.writeItem ("cur_a", w.newFormat, "Current A");
    const auto hidden = w.writeItem ("cur_hidden", w.oldFormat, "Hidden");
    const auto old = w.writeItem ("old_a", w.oldFormat, "Old A");
    const auto missing = w.dataFolder().getChildFile ("gone.xml");

    juce::XmlElement index ("BACKUP");
    BackupWorld::addEntry (*BackupWorld::addSet (index, 1, 1), old);
    auto* current = BackupWorld::addSet (index, 2, 2);
    auto* gigs = BackupWorld::addGroup (*current, "Gigs");
    BackupWorld::addEntry (*gigs, a);
    BackupWorld::addEntry (*gigs, hidden);
    BackupWorld::addEntry (*current, missing);
    BackupWorld::addEntry (*BackupWorld::addSet (index, 3, 3), old);
    w.writeIndex (index);
    const auto oldBytes = fileBytes (old);

    auto m = w.makeManager();
    EXPECT_FALSE (m->saveIndex());   // not before the tree was built
    ASSERT_TRUE (m->buildTree());
    auto tree = m->getTree();

    // The user adds a new backup into a new group, and edits the existing one.
    auto newGroup = createSourceNode (SourceIds::group, "New");
    auto unit = versionUnit (w.newFormat, { 3 });
    newGroup.appendChild (createArchiveSourceNode (std::make_unique<DeviceDataArchive> (unit.get(), "Fresh", "")), nullptr);
    tree.appendChild (newGroup, nullptr);
    auto gigsNode = childLabelled (tree, "Gigs");
    auto existing = gigsNode.getChild (0);
    getSourceNodeWorkingData (existing)->getPreset (1)->setName ("Edited");

    ASSERT_TRUE (m->saveIndex());

    auto written = readXml (w.indexFile());
    ASSERT_NE (written, nullptr);
    // The current set first; the other sets keep their order after it; entries not shown stay
    // where they were.
    EXPECT_EQ (describe (*written, w.dataFolder()),
               "set(2,2)[{Gigs{cur_a.xml;cur_hidden.xml;}New{Veloce_000000.xml;}gone.xml;}]"
               "set(1,1)[{old_a.xml;}]set(3,3)[{old_a.xml;}]");
    EXPECT_EQ (written->getIntAttribute ("nextFileNum"), 1);

    // The new item and the edit are on disk.
    DeviceDataArchive fresh (*readXml (w.dataFolder().getChildFile ("Veloce_000000.xml")), w.dataFolder());
    ASSERT_TRUE (fresh.isValid());
    EXPECT_EQ (fresh.getTitle(), "Fresh");
    DeviceDataArchive edited (*readXml (a), w.dataFolder());
    ASSERT_TRUE (edited.isValid());
    EXPECT_EQ (edited.getData()->getPreset (1)->getName(), "Edited");
    EXPECT_EQ (fileBytes (old), oldBytes);

    // Saving again replaces the current set and changes nothing else.
    ASSERT_TRUE (m->saveIndex());
    auto again = readXml (w.indexFile());
    EXPECT_EQ (describe (*again, w.dataFolder()), describe (*written, w.dataFolder()));

    // A fresh manager shows the same tree.
    auto reread = w.makeManager();
    ASSERT_TRUE (reread->buildTree());
    EXPECT_EQ (labelsOf (reread->getTree()).joinIntoString ("|"), "Gigs|New");
}

TEST (LocalArchiveManager, RemovedGroupsGiveTheirHiddenEntriesToTheRootGroup)
{
    BackupWorld w;
    const auto hidden = w.writeItem ("hidden", w.oldFormat, "Hidden");
    juce::XmlElement index ("BACKUP");
    BackupWorld::addEntry (*BackupWorld::addGroup (*BackupWorld::addSet (index, 2, 2), "Gone"), hidden);
    w.writeIndex (index);

    auto m = w.makeManager();
    ASSERT_TRUE (m->buildTree());
    m->getTree().removeAllChildren (nullptr);
    ASSERT_TRUE (m->saveIndex());
    EXPECT_EQ (describe (*readXml (w.indexFile()), w.dataFolder()), "set(2,2)[{hidden.xml;}]");
}

TEST (LocalArchiveManager, AFailedItemSaveIsReportedAndLosesNothing)
{
    BackupWorld w;
    const auto a = w.writeItem ("cur_a", w.newFormat, "Current A");
    juce::XmlElement index ("BACKUP");
    BackupWorld::addEntry (*BackupWorld::addSet (index, 2, 2), a);
    w.writeIndex (index);
    const auto before = snapshotFolder (w.dataFolder());

    auto m = w.makeManager();
    ASSERT_TRUE (m->buildTree());
    auto node = m->getTree().getChild (0);
    auto* item = getSourceNodeArchive (node);
    ASSERT_NE (item, nullptr);

    // A setup that lost packets cannot be stored whole.
    auto& setup = item->getData()->getSetup();
    auto first = *setup.getMessage (0);
    setup.clear();
    setup.addMessage (first);
    item->setTitle ("Changed");

    EXPECT_FALSE (m->saveIndex());
    auto after = snapshotFolder (w.dataFolder());
    for (auto& [name, bytes] : before)
        if (! name.endsWith ("_backup.xml"))
            EXPECT_EQ (after[name], bytes) << name;
    EXPECT_EQ (describe (*readXml (w.indexFile()), w.dataFolder()), "set(2,2)[{cur_a.xml;}]");

    // A new item that cannot be saved gets no entry.
    auto unit = versionUnit (w.newFormat, { 3 });
    auto half = std::make_unique<DeviceDataArchive> (unit.get(), "Half", "");
    half->getData()->getSetup().clear();
    half->getData()->getSetup().addMessage (first);
    m->getTree().appendChild (createArchiveSourceNode (std::move (half)), nullptr);
    EXPECT_FALSE (m->saveIndex());
    EXPECT_EQ (describe (*readXml (w.indexFile()), w.dataFolder()), "set(2,2)[{cur_a.xml;}]");
}

TEST (LocalArchiveManager, ConversionQuestions)
{
    BackupWorld w;
    auto ask = [&] (int presetVersion, int setupVersion, bool withFile) -> juce::String
    {
        juce::XmlElement index ("BACKUP");
        const auto file = withFile ? w.writeItem ("q", w.oldFormat, "Q") : w.dataFolder().getChildFile ("none.xml");
        BackupWorld::addEntry (*BackupWorld::addGroup (*BackupWorld::addSet (index, presetVersion, setupVersion), "G"), file);
        BackupWorld::addSet (index, 2, 2);
        w.writeIndex (index);
        auto m = w.makeManager ("Stage Unit");
        juce::String question = "unchanged";
        const bool asked = m->getConversionQuestion (question);
        EXPECT_EQ (asked, question.isNotEmpty());
        return question;
    };

    const juce::String upgrade = "Larkspire has found backup data in an older format than what is currently supported "
                                 "by the firmware running on Stage Unit. Would you like to update the backup data?";
    const juce::String downgrade = "Your local backup contains data in a newer format than what Stage Unit supports. "
                                   "This is most likely caused by out-of-date firmware. Larkspire can attempt to convert "
                                   "the data to the older format. The best option is to update Stage Unit to the newest "
                                   "firmware. Would you like to downgrade the backup data?";

    EXPECT_EQ (ask (1, 1, true), upgrade);
    EXPECT_EQ (ask (2, 1, true), upgrade);
    EXPECT_EQ (ask (3, 2, true), downgrade);
    EXPECT_EQ (ask (1, 3, true), downgrade);   // older presets and newer setup at once
    EXPECT_EQ (ask (1, 1, false), "");         // only missing files: nothing to ask
    EXPECT_EQ (ask (2, 2, true), "");

    // Without a unit name the product name is used.
    juce::XmlElement index ("BACKUP");
    BackupWorld::addEntry (*BackupWorld::addSet (index, 1, 1), w.writeItem ("q", w.oldFormat, "Q"));
    w.writeIndex (index);
    auto m = w.makeManager ({});
    juce::String question;
    ASSERT_TRUE (m->getConversionQuestion (question));
    EXPECT_TRUE (question.contains ("running on Veloce."));
}
