#include <gtest/gtest.h>
#include "archive/DataSourceTree.h"
#include "support/ArchiveFixtures.h"
#include "support/FakeEditingPage.h"

using namespace testing_support;

namespace
{
    struct EditWorld
    {
        ScopedProductNames names;
        DeviceDataFormat format = smallFormat (10);
        FakeEditingPage page;
        std::unique_ptr<DeviceData> original = makeUnitData (format, { 1, 2, 3, 5, 7 }, 10);
        std::unique_ptr<DeviceData> other = makeUnitData (format, { 2, 4, 8 }, 50);
        juce::ValueTree node = makeArchiveNode (*original, "Item");
        juce::ValueTree otherNode = makeArchiveNode (*other, "Other");

        DeviceData& working() { return *getSourceNodeWorkingData (node); }
        DeviceData& otherWorking() { return *getSourceNodeWorkingData (otherNode); }
        juce::String nameAt (int slot) { return working().hasPreset (slot) ? working().getPreset (slot)->getName() : "-"; }
        juce::String digestAt (int slot) { return working().getPreset (slot)->getMd5().toHexString(); }

        juce::StringArray names10()
        {
            juce::StringArray s;
            for (int i = 1; i < working().getNumSlots(); ++i)
                s.add (nameAt (i));
            return s;
        }
    };

    // The stored form of each slot without its modified flag (the fifth byte of its record).
    std::vector<Bytes> contentOf (const DataState& state)
    {
        auto slots = state.slots;
        for (auto& b : slots)
            if (b.size() > 8)
                b[8] = 0;
        return slots;
    }

    void expectFlagsFollowTheSource (EditWorld& w)
    {
        for (int slot = 1; slot < w.working().getNumSlots(); ++slot)
            if (w.working().hasPreset (slot) && w.original->hasPreset (slot))
                EXPECT_EQ (w.working().isPresetModified (slot),
                           w.working().getPreset (slot)->getMd5() != w.original->getPreset (slot)->getMd5())
                    << "slot " << slot;
    }

    // Performs the edit, then undoes and redoes it several times: every undo must give back
    // exactly the bytes and flags from before, every redo exactly those after.
    void expectExactUndoRedo (EditWorld& w, const std::function<void()>& edit, const char* what)
    {
        SCOPED_TRACE (what);
        const auto before = stateOf (w.working());
        const auto beforeOther = stateOf (w.otherWorking());
        edit();
        const auto after = stateOf (w.working());
        ASSERT_NE (after, before) << "the edit changed nothing";
        ASSERT_TRUE (w.page.undoManager.canUndo());

        for (int round = 0; round < 3; ++round)
        {
            ASSERT_TRUE (w.page.undoManager.undo());
            EXPECT_EQ (stateOf (w.working()), before) << "round " << round;
            EXPECT_FALSE (w.working().isModified()) << "round " << round;
            ASSERT_TRUE (w.page.undoManager.redo());
            EXPECT_EQ (stateOf (w.working()), after) << "round " << round;
        }
        EXPECT_EQ (stateOf (w.otherWorking()), beforeOther) << "another node was touched";
    }
}

TEST (EditOperations, EveryEditUndoesToTheExactBytesAndRedoesToTheSameResult)
{
    const std::vector<std::pair<const char*, std::function<void (EditWorld&)>>> edits {
        { "delete", [] (EditWorld& w) { w.page.deletePresets (w.node, { 2, 5 }, true, true); } },
        { "copy", [] (EditWorld& w) { w.page.copyPresets (w.node, { 3, 4 }, w.otherNode, { 2, 8 }, true, true); } },
        { "paste", [] (EditWorld& w) { w.page.pastePresets (w.node, { 1, 6, 9 }, *w.other, true, true); } },
        { "insert", [] (EditWorld& w) { w.page.insertPresets (w.node, 2, *w.other, { 4, 8 }, true, true); } },
        { "swap", [] (EditWorld& w) { w.page.swapPresets (w.node, 1, 7, true, true); } },
        { "steps", [] (EditWorld& w) { w.page.addPresetsAsSteps (w.node, 1, { 2, 3 }, true, true); } },
        { "insert steps", [] (EditWorld& w) {
              juce::SparseSet<int> steps;
              steps.addRange ({ 0, 1 });
              w.page.insertPresetSteps (w.node, 3, 0, *w.other->getPreset (8), steps, true, true); } },
        { "rename", [] (EditWorld& w) { w.page.renamePresets (w.node, { 1, 3, 4 }, "Chorus", true, true); } },
        { "tag", [] (EditWorld& w) { w.page.setPresetTag (w.node, { 2, 5 }, 4, true, true, true); } },
        { "defragment", [] (EditWorld& w) { w.page.defragment (w.node, true, true); } },
        { "merge", [] (EditWorld& w) { w.page.mergeData (w.node, *w.other, true, true); } },
    };

    for (auto& entry : edits)
    {
        EditWorld w;
        const auto& edit = entry.second;
        expectExactUndoRedo (w, [&] { edit (w); }, entry.first);
    }
}

TEST (EditOperations, MixedEditsUndoStepByStepToEveryEarlierState)
{
    EditWorld w;
    std::vector<DataState> states { stateOf (w.working()) };
    std::vector<juce::StringArray> digests { digestsOf (w.working()) };

    auto record = [&] { states.push_back (stateOf (w.working())); digests.push_back (digestsOf (w.working())); };
    w.page.deletePresets (w.node, { 3 }, true, true);                        record();
    w.page.swapPresets (w.node, 1, 2, true, true);                           record();
    w.page.insertPresets (w.node, 1, *w.other, { 2 }, true, true);           record();
    w.page.renamePresets (w.node, { 1, 2 }, "Lead", true, true);             record();
    w.page.defragment (w.node, true, true);                                  record();
    w.page.mergeData (w.node, *w.other, true, true);                         record();
    w.page.copyPresets (w.node, { 4, 5, 6 }, w.node, { 3, 4, 5 }, true, true); record();

    for (int round = 0; round < 2; ++round)
    {
        for (int i = (int) states.size() - 2; i >= 0; --i)
        {
            ASSERT_TRUE (w.page.undoManager.undo());
            // The same presets byte for byte; only the modified flags are recomputed
            // against the source (a preset moved back to where the source has it is
            // no longer a change).
            EXPECT_EQ (contentOf (stateOf (w.working())), contentOf (states[(size_t) i])) << "after undoing to state " << i;
            EXPECT_EQ (stateOf (w.working()).setup, states[(size_t) i].setup);
            expectFlagsFollowTheSource (w);
            EXPECT_EQ (digestsOf (w.working()), digests[(size_t) i]);
        }
        EXPECT_FALSE (w.page.undoManager.canUndo());
        for (size_t i = 1; i < states.size(); ++i)
        {
            ASSERT_TRUE (w.page.undoManager.redo());
            EXPECT_EQ (contentOf (stateOf (w.working())), contentOf (states[i])) << "after redoing to state " << i;
        }
    }

    // The whole data file of the undone working copy equals the original's byte for byte.
    while (w.page.undoManager.undo()) {}
    juce::MemoryOutputStream a, b;
    ASSERT_EQ (w.working().writeToStream (a), 0);
    ASSERT_EQ (w.original->writeToStream (b), 0);
    EXPECT_EQ (bytesOf (a), bytesOf (b));
}

TEST (EditOperations, TransactionsGroupOnlyWhatTheCallerGroups)
{
    EditWorld w;
    const auto before = stateOf (w.working());
    w.page.deletePresets (w.node, { 1 }, true, true);
    w.page.renamePresets (w.node, { 2 }, "Joined", true, false);
    w.page.swapPresets (w.node, 3, 5, true, true);

    EXPECT_EQ (w.page.undoManager.getNumActionsInCurrentTransaction(), 1);
    ASSERT_TRUE (w.page.undoManager.undo());   // the swap alone
    EXPECT_EQ (w.nameAt (3), "P3");
    EXPECT_EQ (w.nameAt (2), "Joined");
    ASSERT_TRUE (w.page.undoManager.undo());   // delete and rename together
    EXPECT_EQ (stateOf (w.working()), before);
    EXPECT_FALSE (w.page.undoManager.canUndo());
}

TEST (EditOperations, CopyWithinOneSourceReadsTheOldPresetsOfAnOverlappingRange)
{
    EditWorld w;
    w.page.copyPresets (w.node, { 2, 3, 4 }, w.node, { 1, 2, 3 }, false, false);
    EXPECT_EQ (w.names10().joinIntoString (","), "P1,P1,P2,P3,P5,-,P7,-,-");
    // Renumbered copies of the old contents: the same steps under the new number.
    for (int slot : { 2, 3, 4 })
    {
        auto* copy = w.working().getPreset (slot);
        auto* old = w.original->getPreset (slot - 1);
        EXPECT_EQ (copy->getNumber(), slot);
        ASSERT_EQ (copy->getStepCount(), old->getStepCount());
        for (int step = 0; step < old->getStepCount(); ++step)
            EXPECT_EQ (copy->getStepData (step), old->getStepData (step));
    }
    ASSERT_EQ (w.page.presetNotices.size(), 1u);
    EXPECT_EQ (w.page.presetNotices[0].slots, juce::Array<int> ({ 2, 3, 4 }));
}

TEST (EditOperations, PasteRepeatsAShortClipboardAcrossTheTargets)
{
    EditWorld w;
    auto clipboard = makeUnitData (w.format, { 4, 6 }, 90);
    w.page.pastePresets (w.node, { 1, 2, 3, 8, 9 }, *clipboard, true, true);
    EXPECT_EQ (w.names10().joinIntoString (","), "P4,P6,P4,-,P5,-,P7,P6,P4");
    for (int slot : { 1, 2, 3, 8, 9 })
        EXPECT_EQ (w.working().getPreset (slot)->getNumber(), slot);

    // Redo pastes the action's own copy, not the clipboard as it is later.
    clipboard->removeAllPresets();
    ASSERT_TRUE (w.page.undoManager.undo());
    ASSERT_TRUE (w.page.undoManager.redo());
    EXPECT_EQ (w.names10().joinIntoString (","), "P4,P6,P4,-,P5,-,P7,P6,P4");

    // An empty clipboard changes nothing and tells nobody.
    w.page.presetNotices.clear();
    w.page.pastePresets (w.node, { 4 }, *clipboard, false, false);
    EXPECT_TRUE (w.page.presetNotices.empty());
    EXPECT_FALSE (w.working().hasPreset (4));
}

TEST (EditOperations, AddingPresetsAsStepsBuildsOnTheTarget)
{
    EditWorld w;
    // Into an empty slot: the first source becomes the target, the next one its steps.
    const int steps2 = w.working().getPreset (2)->getStepCount();
    const int steps3 = w.working().getPreset (3)->getStepCount();
    w.page.addPresetsAsSteps (w.node, 4, { 2, 3 }, true, true);
    ASSERT_TRUE (w.working().hasPreset (4));
    EXPECT_EQ (w.nameAt (4), "P2");
    EXPECT_EQ (w.working().getPreset (4)->getNumber(), 4);
    EXPECT_EQ (w.working().getPreset (4)->getStepCount(), steps2 + steps3);

    // A preset is never added as a step of itself.
    const auto before = stateOf (w.working());
    w.page.addPresetsAsSteps (w.node, 1, { 1 }, false, false);
    EXPECT_EQ (stateOf (w.working()), before);
    ASSERT_FALSE (w.page.presetNotices.empty());
    EXPECT_EQ (w.page.presetNotices.back().slots, juce::Array<int> ({ 1 }));
}

TEST (EditOperations, InsertWithNothingToInsertRecordsNothing)
{
    EditWorld w;
    w.page.deletePresets (w.node, { 1 }, true, true);
    const int transactions = w.page.undoManager.getNumActionsInCurrentTransaction();
    const auto before = stateOf (w.working());
    w.page.presetNotices.clear();

    EXPECT_FALSE (w.page.insertPresets (w.node, 2, *w.other, {}, true, true));
    auto bare = createSourceNode (SourceIds::node, "No data");
    EXPECT_FALSE (w.page.insertPresets (bare, 2, *w.other, { 2 }, true, true));
    EXPECT_FALSE (w.page.insertPresets (bare, 2, *w.other, { 2 }, false, false));

    EXPECT_EQ (stateOf (w.working()), before);
    EXPECT_TRUE (w.page.presetNotices.empty());
    EXPECT_EQ (w.page.undoManager.getNumActionsInCurrentTransaction(), transactions);
    ASSERT_TRUE (w.page.undoManager.undo());
    EXPECT_TRUE (w.working().hasPreset (1));   // the earlier delete is still the last thing done
}

TEST (EditOperations, InsertWithoutRoomIsRefusedAndLeavesNoHistory)
{
    EditWorld w;
    auto full = makeUnitData (w.format, { 1, 2, 3, 4, 5, 6, 7, 8 }, 5);
    auto fullNode = makeArchiveNode (*full, "Full");
    const auto before = stateOf (*getSourceNodeWorkingData (fullNode));
    EXPECT_FALSE (w.page.insertPresets (fullNode, 2, *w.other, { 2, 4 }, true, true));
    EXPECT_EQ (stateOf (*getSourceNodeWorkingData (fullNode)), before);
    EXPECT_FALSE (w.page.undoManager.canUndo());
}

TEST (EditOperations, InsertShiftsThePresetsAndReportsTheTouchedSlots)
{
    EditWorld w;
    EXPECT_TRUE (w.page.insertPresets (w.node, 2, *w.other, { 4, 8 }, true, true));
    EXPECT_EQ (w.names10().joinIntoString (","), "P1,P4,P8,P2,P3,P5,P7,-,-");
    ASSERT_FALSE (w.page.presetNotices.empty());
    EXPECT_EQ (w.page.presetNotices.back().slots, juce::Array<int> ({ 2, 3, 4, 5, 6 }));
}

TEST (EditOperations, RenameAndTagSkipEmptyAndOutOfRangeSlotsButAlwaysTell)
{
    EditWorld w;
    const auto before = stateOf (w.working());
    w.page.renamePresets (w.node, {}, "X", true, true);
    w.page.setPresetTag (w.node, {}, 3, true, true, true);
    EXPECT_EQ (stateOf (w.working()), before);
    ASSERT_EQ (w.page.presetNotices.size(), 2u);
    EXPECT_TRUE (w.page.presetNotices[0].slots.isEmpty());
    EXPECT_TRUE (w.page.presetNotices[1].slots.isEmpty());

    w.page.renamePresets (w.node, { 4, 99, -1, 2 }, "Vox", false, false);
    EXPECT_EQ (w.nameAt (2), "Vox");
    EXPECT_FALSE (w.working().hasPreset (4));

    // The tag bit is taken modulo 32: bit 33 is bit 1.
    const auto tags = w.working().getPreset (5)->getInfo().tags;
    w.page.setPresetTag (w.node, { 5, 6, 40 }, 33, true, false, false);
    EXPECT_EQ (w.working().getPreset (5)->getInfo().tags, tags | 2);
    EXPECT_TRUE (w.working().isPresetModified (5));
    w.page.setPresetTag (w.node, { 5 }, 1, false, false, false);
    EXPECT_EQ (w.working().getPreset (5)->getInfo().tags, tags & ~2);
    w.page.setPresetTag (w.node, { 5 }, 31, true, false, false);
    EXPECT_EQ ((juce::uint32) w.working().getPreset (5)->getInfo().tags, ((juce::uint32) tags & ~2u) | 0x80000000u);
}

TEST (EditOperations, UndoOfADeleteRecomputesFlagsAgainstTheSource)
{
    EditWorld w;
    // Slot 2 edited (modified), slot 3 untouched: both deleted, then the delete undone.
    w.page.renamePresets (w.node, { 2 }, "Edited", false, false);
    ASSERT_TRUE (w.working().isPresetModified (2));
    w.page.deletePresets (w.node, { 2, 3 }, true, true);
    ASSERT_TRUE (w.page.undoManager.undo());
    EXPECT_EQ (w.nameAt (2), "Edited");
    EXPECT_TRUE (w.working().isPresetModified (2));
    EXPECT_FALSE (w.working().isPresetModified (3));
    EXPECT_TRUE (w.working().isModified());

    // An edit undone back to the source's content shows as unmodified again.
    w.page.renamePresets (w.node, { 2 }, "P2", false, false);
    w.page.swapPresets (w.node, 1, 2, true, true);
    ASSERT_TRUE (w.page.undoManager.undo());
    EXPECT_FALSE (w.working().isPresetModified (2));
    EXPECT_FALSE (w.working().isModified());
}

TEST (EditOperations, EditsOnANodeWithoutDataDoNothingAndUndoAfterLosingTheDataIsHarmless)
{
    EditWorld w;
    auto bare = createSourceNode (SourceIds::node, "Bare");
    w.page.deletePresets (bare, { 1 }, false, false);
    w.page.renamePresets (bare, { 1 }, "X", false, false);
    w.page.defragment (bare, true, true);
    EXPECT_TRUE (w.page.presetNotices.empty());

    // Undoable edits of a node without data are not recorded.
    w.page.deletePresets (bare, { 1 }, true, true);
    w.page.mergeData (bare, *w.other, true, true);
    EXPECT_FALSE (w.page.undoManager.canUndo());

    w.page.deletePresets (w.node, { 1 }, true, true);
    w.node.removeProperty (SourceIds::data, nullptr);
    EXPECT_TRUE (w.page.undoManager.undo());
    w.page.undoManager.redo();
    EXPECT_EQ (w.original->countPresets(), 5);
    EXPECT_EQ (w.page.presetNotices.size(), 1u);   // only the delete itself told anyone
}

TEST (EditOperations, MergeUndoAlsoGivesBackTheSetupItReplaced)
{
    EditWorld w;
    auto noSetup = makeUnitData (w.format, { 1, 2 }, 30, false);
    auto node = makeArchiveNode (*noSetup, "No setup");
    auto& working = *getSourceNodeWorkingData (node);
    ASSERT_FALSE (working.getSetup().isComplete());

    w.page.mergeData (node, *w.other, true, true);
    EXPECT_TRUE (working.getSetup().isComplete());
    ASSERT_TRUE (w.page.undoManager.undo());
    EXPECT_FALSE (working.getSetup().isComplete());
    EXPECT_EQ (stateOf (working), stateOf (*noSetup));
    EXPECT_FALSE (working.isModified());
}

TEST (EditOperations, ArchiveTitlesChangeUndoablyAndASameTitleRecordsNothing)
{
    EditWorld w;
    auto* item = getSourceNodeArchive (w.node);
    ASSERT_NE (item, nullptr);

    w.page.setArchiveItemTitle (w.node, "Item", true, true);
    EXPECT_FALSE (w.page.undoManager.canUndo());
    EXPECT_TRUE (w.page.archiveNotices.empty());

    w.page.setArchiveItemTitle (w.node, "Live Set", true, true);
    EXPECT_EQ (w.node[SourceIds::label].toString(), "Live Set");
    EXPECT_EQ (item->getTitle(), "Live Set");
    EXPECT_TRUE (item->isModified());
    EXPECT_EQ (w.page.archiveNotices.size(), 1u);

    w.page.setArchiveItemTitle (w.node, "Studio", true, true);
    ASSERT_TRUE (w.page.undoManager.undo());
    EXPECT_EQ (item->getTitle(), "Live Set");
    ASSERT_TRUE (w.page.undoManager.undo());
    EXPECT_EQ (w.node[SourceIds::label].toString(), "Item");
    EXPECT_EQ (item->getTitle(), "Item");
    ASSERT_TRUE (w.page.undoManager.redo());
    ASSERT_TRUE (w.page.undoManager.redo());
    EXPECT_EQ (item->getTitle(), "Studio");

    // A group (no archive item) only changes its label.
    auto group = createSourceNode (SourceIds::group, "New Group");
    w.page.setArchiveItemTitle (group, "Vocals", false, false);
    EXPECT_EQ (group[SourceIds::label].toString(), "Vocals");
}

TEST (EditOperations, TheHistoryKeepsSevenHundredAndFiftyPresetActions)
{
    EditWorld w;
    // The framework's defaults: 30000 units, at least 30 transactions.
    for (int i = 0; i < 800; ++i)
        w.page.renamePresets (w.node, { 1 }, "N" + juce::String (i), true, true);
    int undone = 0;
    while (w.page.undoManager.undo())
        ++undone;
    EXPECT_EQ (undone, 30000 / DataPageEditOperations::presetActionUnits);
    EXPECT_EQ (w.nameAt (1), "N49");
}
