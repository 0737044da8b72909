#include <gtest/gtest.h>
#include "archive/ConversionThread.h"
#include "core/InfoCodes.h"
#include "support/BackupWorld.h"

using namespace testing_support;

namespace
{
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

    // Titles of the items in the set of the given versions, in index order, with their groups.
    juce::String titlesIn (const juce::XmlElement& e, const juce::File& folder)
    {
        juce::String s;
        for (auto* child : e.getChildIterator())
        {
            if (child->hasTagName ("group"))
                s << child->getStringAttribute ("name") << "{" << titlesIn (*child, folder) << "}";
            else if (child->hasTagName ("archive"))
            {
                auto xml = juce::parseXML (juce::File (child->getAllSubText()));
                s << (xml != nullptr ? xml->getChildElementAllSubText ("title", {}) : juce::String ("?")) << ";";
            }
        }
        return s;
    }

    juce::XmlElement* setOf (juce::XmlElement& index, int presetVersion, int setupVersion)
    {
        for (auto* set : index.getChildWithTagNameIterator ("set"))
            if (set->getIntAttribute ("presetVersion") == presetVersion && set->getIntAttribute ("setupVersion") == setupVersion)
                return set;
        return nullptr;
    }

    // Loads an item from its description and checks that its data is in the format.
    bool isConvertedItem (const juce::File& description, const BackupWorld& w)
    {
        auto xml = juce::parseXML (description);
        if (xml == nullptr)
            return false;
        DeviceDataArchive item (*xml, w.dataFolder());
        return item.isValid() && item.getData()->getFormat() == w.newFormat
            && item.getData()->getSetup().isComplete();
    }
}

TEST (BackupConversion, OldSetsAreConvertedIntoTheCurrentSet)
{
    BackupWorld w;
    const auto cur = w.writeItem ("cur", w.newFormat, "Current");
    const auto a = w.writeItem ("old_a", w.oldFormat, "Old A", { 1, 2, 5 });
    const auto b = w.writeItem ("old_b", w.oldFormat, "Old B");
    const auto c = w.writeItem ("old_c", w.oldFormat, "Old C", { 4 });

    juce::XmlElement index ("BACKUP");
    BackupWorld::addEntry (*BackupWorld::addSet (index, 2, 2), cur);
    auto* old = BackupWorld::addSet (index, 1, 1);
    auto* live = BackupWorld::addGroup (*old, "Live");
    BackupWorld::addEntry (*live, a);
    BackupWorld::addEntry (*BackupWorld::addGroup (*live, "Encores"), b);
    BackupWorld::addGroup (*old, "Empty folder");
    BackupWorld::addEntry (*old, c);
    BackupWorld::addEntry (*old, w.dataFolder().getChildFile ("vanished.xml"));
    w.writeIndex (index);
    const auto oldPreset = [&] { DeviceDataArchive item (*readXml (a), w.dataFolder()); return *item.getData()->getPreset (5); }();

    auto m = w.makeManager();
    ASSERT_TRUE (m->buildTree());
    {
        // Held here, the lock keeps the conversion waiting at its start while its state is checked.
        const juce::ScopedLock sl (m->getLock());
        ASSERT_TRUE (m->startConversion (w.newVersion));
        EXPECT_TRUE (m->isConversionRunning());
        EXPECT_FALSE (m->startConversion (w.newVersion));   // one at a time
        EXPECT_EQ (m->getTree().getNumChildren(), 0);        // a placeholder while it runs
        // The index belongs to the conversion until it ends: nothing writes or rebuilds it meanwhile.
        EXPECT_FALSE (m->saveIndex());
        EXPECT_FALSE (m->buildTree());
        EXPECT_TRUE (m->createNextArchiveFile().isEmpty());
    }

    ASSERT_TRUE (w.waitForReport());
    const auto report = w.lastReport();
    EXPECT_EQ (report.p1, 1) << report.text;
    EXPECT_EQ (report.p2, 0);
    EXPECT_TRUE (report.text.isEmpty());
    EXPECT_FALSE (m->isConversionRunning());

    // The old set and its emptied groups are gone; the converted items (new files) sit in the
    // current set, groups recreated by name.
    auto written = readXml (w.indexFile());
    ASSERT_NE (written, nullptr);
    EXPECT_EQ (setOf (*written, 1, 1), nullptr);
    auto* current = setOf (*written, 2, 2);
    ASSERT_NE (current, nullptr);
    EXPECT_EQ (titlesIn (*current->getChildByName ("group"), w.dataFolder()),
               "Current;Live{Old A;Encores{Old B;}}Empty folder{}Old C;");
    for (auto* entry : current->getChildByName ("group")->getChildWithTagNameIterator ("archive"))
        EXPECT_TRUE (isConvertedItem (juce::File (entry->getAllSubText()), w));

    // The old files are gone only now that the index no longer names them.
    for (auto& f : { a, b, c })
    {
        EXPECT_FALSE (f.exists());
        EXPECT_FALSE (f.withFileExtension ("ard").exists());
    }

    // The converted data is what the rules make of the old data.
    auto converted = m->getTree();
    auto liveNode = converted.getChildWithProperty (SourceIds::label, "Live");
    ASSERT_TRUE (liveNode.isValid());
    auto* item = getSourceNodeArchive (liveNode.getChild (0));
    ASSERT_NE (item, nullptr);
    EXPECT_EQ (item->getTitle(), "Old A");
    EXPECT_EQ (item->getPresetIndices(), juce::Array<int> ({ 1, 2, 5 }));
    auto expectedValues = oldPreset.getStepData (1);
    expectedValues.add (0);
    EXPECT_EQ (item->getData()->getPreset (5)->getStepData (1), expectedValues);
    EXPECT_EQ (item->getData()->getSetup().getData().size(), 8);

    // Nothing more to ask.
    juce::String question;
    EXPECT_FALSE (m->getConversionQuestion (question));
}

TEST (BackupConversion, OnlyTheCurrentSetConvertsNothingAndSucceeds)
{
    BackupWorld w;
    const auto cur = w.writeItem ("cur", w.newFormat, "Current");
    juce::XmlElement index ("BACKUP");
    BackupWorld::addEntry (*BackupWorld::addSet (index, 2, 2), cur);
    w.writeIndex (index);
    const auto before = snapshotFolder (w.dataFolder());

    auto m = w.makeManager();
    ASSERT_TRUE (m->startConversion (w.newVersion));
    ASSERT_TRUE (w.waitForReport());
    EXPECT_EQ (w.lastReport().p1, 1);
    auto after = snapshotFolder (w.dataFolder());
    EXPECT_EQ (after[cur.getFileName()], before.at (cur.getFileName()));
    EXPECT_EQ (m->getTree().getNumChildren(), 1);
}

TEST (BackupConversion, FailedItemsStayWithTheirFilesUntouched)
{
    BackupWorld w;
    const auto good = w.writeItem ("good", w.oldFormat, "Good");
    const auto bad1 = w.writeItem ("bad1", w.oldFormat, "Bad One", { 1, 2 }, 2, "Bad");
    const auto bad2 = w.writeItem ("bad2", w.oldFormat, "Bad Two", { 1, 3 }, 1, "Bad");

    juce::XmlElement index ("BACKUP");
    auto* old = BackupWorld::addSet (index, 1, 1);
    auto* group = BackupWorld::addGroup (*old, "Mixed");
    BackupWorld::addEntry (*group, bad1);
    BackupWorld::addEntry (*group, good);
    BackupWorld::addEntry (*old, bad2);
    w.writeIndex (index);
    const auto before = snapshotFolder (w.dataFolder());

    auto m = w.makeManager();
    ASSERT_TRUE (m->startConversion (w.newVersion));
    ASSERT_TRUE (w.waitForReport());
    const auto report = w.lastReport();
    EXPECT_EQ (report.p1, 0);
    EXPECT_EQ (report.p2, 1);
    EXPECT_EQ (report.text, "\nbad preset");   // two items, one text

    // The failed items keep their entries and their files byte for byte.
    auto after = snapshotFolder (w.dataFolder());
    for (auto& f : { bad1, bad2 })
    {
        EXPECT_EQ (after[f.getFileName()], before.at (f.getFileName()));
        const auto dataName = f.withFileExtension ("ard").getFileName();
        EXPECT_EQ (after[dataName], before.at (dataName));
    }
    auto written = readXml (w.indexFile());
    EXPECT_EQ (titlesIn (*setOf (*written, 1, 1)->getChildByName ("group"), w.dataFolder()), "Mixed{Bad One;}Bad Two;");
    EXPECT_EQ (titlesIn (*setOf (*written, 2, 2)->getChildByName ("group"), w.dataFolder()), "Mixed{Good;}");
    EXPECT_FALSE (good.exists());

    // The question comes again at the next connection.
    juce::String question;
    EXPECT_TRUE (m->getConversionQuestion (question));
    // And the tree shows what did convert.
    EXPECT_EQ (m->getTree().getNumChildren(), 1);
}

TEST (BackupConversion, AnItemWhoseSetupDoesNotConvertIsKept)
{
    BackupWorld w;
    // Setup version 3 has no rule to version 2: the presets would convert, the setup not.
    auto odd = versionFormat (veloce, 1, 3);
    w.rules.profile (odd, 50, 99);
    const auto item = w.writeItem ("odd", odd, "Odd Setup");
    juce::XmlElement index ("BACKUP");
    BackupWorld::addEntry (*BackupWorld::addSet (index, 1, 3), item);
    w.writeIndex (index);
    const auto before = snapshotFolder (w.dataFolder());

    auto m = w.makeManager();
    ASSERT_TRUE (m->startConversion (w.newVersion));
    ASSERT_TRUE (w.waitForReport());
    EXPECT_EQ (w.lastReport().p1, 0);
    EXPECT_EQ (w.lastReport().text, "\nAn error occurred during setup conversion.");
    auto after = snapshotFolder (w.dataFolder());
    EXPECT_EQ (after["odd.xml"], before.at ("odd.xml"));
    EXPECT_EQ (after["odd.ard"], before.at ("odd.ard"));
    EXPECT_NE (setOf (*readXml (w.indexFile()), 1, 3), nullptr);
}

TEST (BackupConversion, StopEndsARunningScriptQuicklyAndLosesNothing)
{
    BackupWorld w;
    const auto first = w.writeItem ("first", w.oldFormat, "First");
    const auto looping = w.writeItem ("loop", w.oldFormat, "Looping", { 1, 2 }, 2, "Loop");
    const auto last = w.writeItem ("last", w.oldFormat, "Last");
    juce::XmlElement index ("BACKUP");
    auto* old = BackupWorld::addSet (index, 1, 1);
    BackupWorld::addEntry (*old, first);
    BackupWorld::addEntry (*old, looping);
    BackupWorld::addEntry (*old, last);
    w.writeIndex (index);
    const auto before = snapshotFolder (w.dataFolder());

    auto m = w.makeManager();
    ASSERT_TRUE (m->startConversion (w.newVersion));
    auto* thread = m->getConversionThread();
    ASSERT_NE (thread, nullptr);
    ASSERT_TRUE (pumpUntil ([&] { return thread->getStatusMessage() == "Converting: Looping"; }));
    pumpFor (200);   // well inside the script by now

    // The script limit is a minute: a report well before it means the script was interrupted.
    thread->stopPressed();
    ASSERT_TRUE (w.waitForReport (20000));
    EXPECT_EQ (w.lastReport().p1, 0);
    EXPECT_EQ (w.lastReport().p2, 0);
    EXPECT_FALSE (m->isConversionRunning());

    // What converted before the stop is kept; the rest is untouched.
    auto written = readXml (w.indexFile());
    EXPECT_EQ (titlesIn (*setOf (*written, 2, 2)->getChildByName ("group"), w.dataFolder()), "First;");
    EXPECT_EQ (titlesIn (*setOf (*written, 1, 1)->getChildByName ("group"), w.dataFolder()), "Looping;Last;");
    auto after = snapshotFolder (w.dataFolder());
    for (auto& f : { looping, last })
    {
        EXPECT_EQ (after[f.getFileName()], before.at (f.getFileName()));
        EXPECT_EQ (after[f.withFileExtension ("ard").getFileName()], before.at (f.withFileExtension ("ard").getFileName()));
    }
    EXPECT_EQ (m->getTree().getNumChildren(), 1);
}

TEST (BackupConversion, ClosingTheManagerStopsTheConversion)
{
    BackupWorld w;
    const auto looping = w.writeItem ("loop", w.oldFormat, "Looping", { 1, 2 }, 1, "Loop");
    juce::XmlElement index ("BACKUP");
    BackupWorld::addEntry (*BackupWorld::addSet (index, 1, 1), looping);
    w.writeIndex (index);
    const auto before = snapshotFolder (w.dataFolder());

    {
        auto m = w.makeManager();
        ASSERT_TRUE (m->startConversion (w.newVersion));
        auto* thread = m->getConversionThread();
        ASSERT_TRUE (pumpUntil ([&] { return thread->getStatusMessage() == "Converting: Looping"; }));
    }   // the script runs until it is interrupted by the manager going away

    EXPECT_EQ (w.host.fatalCode.load(), 0);
    pumpFor (300);
    EXPECT_TRUE (w.host.eventsWithCode (InfoCode::backupConversionFinished).empty());
    auto after = snapshotFolder (w.dataFolder());
    EXPECT_EQ (after["loop.xml"], before.at ("loop.xml"));
    EXPECT_EQ (after["loop.ard"], before.at ("loop.ard"));
}

TEST (BackupConversion, AThreadThatDoesNotStopIsFatalButNeverKilled)
{
    BackupWorld w;
    const auto item = w.writeItem ("old", w.oldFormat, "Old");
    juce::XmlElement index ("BACKUP");
    BackupWorld::addEntry (*BackupWorld::addSet (index, 1, 1), item);
    w.writeIndex (index);
    const auto before = snapshotFolder (w.dataFolder());

    LocalArchiveManager::setStopTimeoutMs (300);
    auto m = w.makeManager();
    auto& lock = m->getLock();

    // Holding the index lock keeps the thread from even starting its walk.
    lock.enter();
    ASSERT_TRUE (m->startConversion (w.newVersion));
    m.reset();
    LocalArchiveManager::setStopTimeoutMs (0);
    EXPECT_EQ (w.host.fatalCode.load(), 3);

    // The thread is still there and finishes on its own once it can; nothing is lost.
    lock.exit();
    pumpFor (1000);
    auto after = snapshotFolder (w.dataFolder());
    EXPECT_EQ (after["old.xml"], before.at ("old.xml"));
    EXPECT_EQ (after["old.ard"], before.at ("old.ard"));
}

TEST (BackupConversion, TheStopTimeoutIsTwentySeconds)
{
    EXPECT_EQ (LocalArchiveManager::getStopTimeoutMs(), 20000);

    BackupWorld w;
    juce::XmlElement index ("BACKUP");
    BackupWorld::addEntry (*BackupWorld::addSet (index, 1, 1), w.writeItem ("old", w.oldFormat, "Old"));
    w.writeIndex (index);
    auto m = w.makeManager();

    // Another thread holds the index lock for five seconds: the conversion cannot even begin
    // its walk before then, and a manager that waits the full time sees it end by itself.
    struct Holder : juce::Thread
    {
        explicit Holder (juce::CriticalSection& l) : juce::Thread ("lock holder"), lock (l) {}
        void run() override
        {
            const juce::ScopedLock sl (lock);
            holding.signal();
            wait (5000);
        }
        juce::CriticalSection& lock;
        juce::WaitableEvent holding;
    } holder (m->getLock());
    holder.startThread();
    ASSERT_TRUE (holder.holding.wait (20000));

    ASSERT_TRUE (m->startConversion (w.newVersion));
    m.reset();
    EXPECT_EQ (w.host.fatalCode.load(), 0);
    EXPECT_FALSE (holder.isThreadRunning());
}

TEST (BackupConversion, AnIndexThatCannotBeWrittenKeepsTheOldFiles)
{
    BackupWorld w;
    const auto a = w.writeItem ("old_a", w.oldFormat, "Old A");
    const auto b = w.writeItem ("old_b", w.oldFormat, "Old B");
    juce::XmlElement index ("BACKUP");
    auto* old = BackupWorld::addSet (index, 1, 1);
    BackupWorld::addEntry (*old, a);
    BackupWorld::addEntry (*old, b);
    w.writeIndex (index);
    const auto indexBytes = fileBytes (w.indexFile());
    const auto before = snapshotFolder (w.dataFolder());

    auto m = w.makeManager();
    auto& lock = m->getLock();
    lock.enter();
    ASSERT_TRUE (m->startConversion (w.newVersion));
    // While the thread waits for the lock, the index file's place is taken by a folder.
    ASSERT_TRUE (w.indexFile().deleteFile());
    ASSERT_TRUE (w.indexFile().createDirectory());
    lock.exit();

    ASSERT_TRUE (w.waitForReport());
    EXPECT_EQ (w.lastReport().p1, 0);
    EXPECT_TRUE (w.lastReport().text.contains ("The backup index could not be written."));

    // The old files are all there, byte for byte; the new copies were taken away again.
    ASSERT_TRUE (w.indexFile().deleteRecursively());
    writeFile (w.indexFile(), indexBytes);
    EXPECT_EQ (snapshotFolder (w.dataFolder()), before);
}
