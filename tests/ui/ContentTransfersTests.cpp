#include <gtest/gtest.h>
#include "archive/DataSourceTree.h"
#include "core/InfoCodes.h"
#include "core/Settings.h"
#include "device/DeviceObject.h"
#include "ui/AppCommandIds.h"
#include "support/ContentComponentWorld.h"

using namespace testing_support;

namespace
{
    bool performCommand (LarkspireContentComponent& c, int id)
    {
        juce::ApplicationCommandTarget::InvocationInfo info (id);
        return c.perform (info);
    }

    // A world with a Merle unit holding presets 1 to 6, connected and read once.
    struct SyncedWorld
    {
        ContentComponentWorld w;
        std::shared_ptr<SimulatedUnit> unit;
        DeviceData* live = nullptr;

        SyncedWorld()
        {
            unit = w.devices.addUnit (DeviceWorld::merle, 140, 4321);
            unit->fillPresets ({ 1, 2, 3, 4, 5, 6 }, 7);
            if (! w.scan() || ! isUnitConnected())
                return;

            const auto before = w.countEndings();
            w.component().invokeDirectly (AppCommand::downloadDeviceData, false);
            if (w.waitForEnding (before).code != InfoCode::commandDone)
                return;

            live = w.manager().getDeviceData();
            // The data page's data set: the live data and a working copy of it.
            w.parts.dataPage->dataSet = new DataSet (live, nullptr);
            unit->clearLog();
        }

        LarkspireContentComponent& c() { return w.component(); }
        DeviceData& working() { return *w.parts.dataPage->dataSet->getWorking(); }
        bool pagesEnabled() const
        {
            return w.parts.dataPage->page.isEnabled() && w.parts.devicePage->page.isEnabled();
        }

        std::vector<int> numbersReceived (juce::uint8 command) const
        {
            std::vector<int> out;
            for (auto& e : unit->getReceived (command))
                out.push_back (e.value14());
            return out;
        }

        // Whether a deletion still holds the pages, asked as the device layer would ask: the
        // end of another command gives disabled pages back unless a deletion is pending. The
        // probe's ending counts among the endings.
        bool deletionHoldsPages()
        {
            w.parts.dataPage->page.setEnabled (false);
            w.deliver (DeviceInfoMessage (InfoCode::commandDone, DeviceCommandMessage (DeviceCommand::reidentify)));
            return ! pagesEnabled();
        }
    };
}

TEST (ContentTransfers, ApplyChangesWritesThenDeletesAndReadsTheDeletedSlotsBack)
{
    SyncedWorld s;
    ASSERT_NE (s.live, nullptr);
    auto& c = s.c();

    ASSERT_TRUE (s.working().getPreset (2)->setName ("Night Choir"));
    s.working().removePreset (5);

    // The pages' state at the moment each ending is broadcast (before the component acts on it).
    std::vector<std::pair<int, bool>> enabledAtEnding;
    s.w.changes.onChange = [&] (const ChangeInfo& i)
    {
        if (i.kind == 3 && i.event.code == InfoCode::commandDone)
            enabledAtEnding.push_back ({ i.event.command.code, s.pagesEnabled() });
    };

    const auto before = s.w.countEndings();
    ASSERT_TRUE (c.invokeDirectly (AppCommand::applyChanges, false));
    EXPECT_FALSE (s.pagesEnabled());
    EXPECT_EQ (c.getStatusBar().getStepTotal(), 1 + 2 * 1);
    // The written preset went into the unit's live data first.
    EXPECT_EQ (s.live->getPreset (2)->getName(), "Night Choir");

    const auto write = s.w.waitForEnding (before);
    EXPECT_EQ (write.commandCode, DeviceCommand::writePresets);
    EXPECT_EQ (write.slots, juce::Array<int> ({ 2 }));
    const auto del = s.w.waitForEnding (before + 1);
    EXPECT_EQ (del.commandCode, DeviceCommand::deletePresets);
    EXPECT_EQ (del.slots, juce::Array<int> ({ 5 }));
    const auto readBack = s.w.waitForEnding (before + 2);
    EXPECT_EQ (readBack.code, InfoCode::commandDone);
    EXPECT_EQ (readBack.commandCode, DeviceCommand::readPresets);
    EXPECT_EQ (readBack.slots, juce::Array<int> ({ 5 }));
    pumpFor (50);

    // The pages stayed disabled through the write, the delete and the read-back.
    ASSERT_EQ (enabledAtEnding.size(), 3u);
    for (auto& e : enabledAtEnding)
        EXPECT_FALSE (e.second) << std::hex << e.first;
    EXPECT_TRUE (s.pagesEnabled());

    // On the wire: the write, then the delete of slot 5, then exactly slot 5 asked for again.
    EXPECT_EQ (s.unit->getPreset (2).name, "Night Choir");
    EXPECT_FALSE (s.unit->hasPreset (5));
    EXPECT_EQ (s.numbersReceived (0x50), (std::vector<int> { 5 }));
    EXPECT_EQ (s.numbersReceived (0x45), (std::vector<int> { 5 }));
    EXPECT_EQ (s.unit->countReceived (0x15), 0);   // no setup read
}

TEST (ContentTransfers, ApplyChangesWithOnlyDeletionsSendsOnlyTheDelete)
{
    SyncedWorld s;
    ASSERT_NE (s.live, nullptr);
    auto& c = s.c();
    s.working().removePresets ({ 3, 6 });

    const auto before = s.w.countEndings();
    c.invokeDirectly (AppCommand::applyChanges, false);
    EXPECT_EQ (c.getStatusBar().getStepTotal(), 2 * 2);
    EXPECT_TRUE (s.deletionHoldsPages());

    const auto del = s.w.waitForEnding (before + 1);
    EXPECT_EQ (del.commandCode, DeviceCommand::deletePresets);
    EXPECT_EQ (del.slots, juce::Array<int> ({ 3, 6 }));
    EXPECT_EQ (s.w.waitForEnding (before + 2).commandCode, DeviceCommand::readPresets);

    EXPECT_EQ (s.unit->countReceived (0x20), 0);   // no preset header: nothing written
    EXPECT_EQ (s.numbersReceived (0x50), (std::vector<int> { 3, 6 }));
    EXPECT_EQ (s.numbersReceived (0x45), (std::vector<int> { 3, 6 }));
}

TEST (ContentTransfers, ApplyChangesWithNothingToApplySaysSoAndSendsNothing)
{
    SyncedWorld s;
    ASSERT_NE (s.live, nullptr);
    auto& c = s.c();
    s.working().setModified (true);
    s.working().getSetup().setModified (true);

    c.invokeDirectly (AppCommand::applyChanges, false);
    ASSERT_EQ (s.w.boxes.boxes.size(), 1u);
    EXPECT_EQ (s.w.boxes.boxes[0].title, "Apply Changes");
    EXPECT_EQ (s.w.boxes.boxes[0].message, "There are no changes to apply.");
    EXPECT_EQ (s.w.boxes.boxes[0].icon, DialogService::Icon::warning);
    EXPECT_FALSE (s.working().isModified());
    EXPECT_TRUE (s.pagesEnabled());
    EXPECT_FALSE (s.deletionHoldsPages());

    pumpFor (200);
    EXPECT_TRUE (s.unit->getLog().empty());
}

TEST (ContentTransfers, RestoreToDeviceDeletesOnlyUserPresetsTheImageDoesNotReplace)
{
    SyncedWorld s;
    ASSERT_NE (s.live, nullptr);
    auto& c = s.c();

    // A working copy in which preset 3 counts as a factory preset.
    juce::XmlElement bankXml ("factoryBank");
    auto* entry = bankXml.createNewChildElement ("preset");
    entry->setAttribute ("number", 3);
    entry->setAttribute ("md5", s.live->getPreset (3)->getMd5().toHexString());
    const FactoryBank bank (&bankXml, *s.w.manager().getDeviceCaps());
    auto working = std::make_unique<DeviceData> (s.live->getVersion(), s.live->getFormat(), &bank);
    for (int n = 1; n <= 6; ++n)
        working->copyPresetFrom (n, *s.live);
    ASSERT_FALSE (working->differsFromFactoryPreset (3));
    s.w.parts.dataPage->dataSet = new DataSet (s.live, std::move (working));

    // The image: presets 1 and 2 (renamed) and the unit's setup.
    auto image = s.live->createCopy ({ 1, 2 }, true, true);
    image->getPreset (1)->setName ("Image One");
    ASSERT_TRUE (image->getSetup().isComplete());
    s.w.parts.dataPage->staged = std::move (image);

    const auto before = s.w.countEndings();
    c.invokeDirectly (AppCommand::restoreToDevice, false);
    EXPECT_EQ (c.getStatusBar().getStepTotal(), 1 + 2 + 2 * 3);
    EXPECT_TRUE (s.deletionHoldsPages());

    EXPECT_EQ (s.w.waitForEnding (before + 1).commandCode, DeviceCommand::writeWholeData);
    const auto del = s.w.waitForEnding (before + 2);
    EXPECT_EQ (del.commandCode, DeviceCommand::deletePresets);
    EXPECT_EQ (del.slots, juce::Array<int> ({ 4, 5, 6 }));
    EXPECT_EQ (s.w.waitForEnding (before + 3).slots, juce::Array<int> ({ 4, 5, 6 }));

    EXPECT_EQ (s.unit->getPreset (1).name, "Image One");
    EXPECT_TRUE (s.unit->hasPreset (3));
    EXPECT_EQ (s.numbersReceived (0x50), (std::vector<int> { 4, 5, 6 }));
}

TEST (ContentTransfers, SendDirectSendsTheStagedDataElseTheSelectedSlots)
{
    SyncedWorld s;
    ASSERT_NE (s.live, nullptr);
    auto& c = s.c();
    auto& page = *s.w.parts.dataPage;

    // Nothing selected and nothing staged: nothing happens.
    c.invokeDirectly (AppCommand::sendDirectToDevice, false);
    pumpFor (100);
    EXPECT_TRUE (s.unit->getLog().empty());
    EXPECT_TRUE (s.pagesEnabled());

    // The selection of a data set: its presets in their slots, nothing else.
    auto source = s.live->createCopy ({ 1, 4 }, false, true);
    source->getPreset (4)->setName ("From Backup");
    page.selectedData = source.get();
    page.selectedSlots = { 4 };
    auto before = s.w.countEndings();
    c.invokeDirectly (AppCommand::sendDirectToDevice, false);
    EXPECT_EQ (c.getStatusBar().getStepTotal(), 1);
    auto ending = s.w.waitForEnding (before);
    EXPECT_EQ (ending.commandCode, DeviceCommand::writePresetsFrom);
    EXPECT_EQ (ending.slots, juce::Array<int> ({ 4 }));
    EXPECT_EQ (s.unit->getPreset (4).name, "From Backup");

    // Staged data wins: every preset and the setup.
    auto staged = s.live->createCopy ({ 2, 3 }, true, true);
    staged->getPreset (3)->setName ("Imported");
    page.staged = std::move (staged);
    before = s.w.countEndings();
    c.invokeDirectly (AppCommand::sendDirectToDevice, false);
    EXPECT_EQ (c.getStatusBar().getStepTotal(), 1 + 2);
    ending = s.w.waitForEnding (before);
    EXPECT_EQ (ending.code, InfoCode::commandDone);
    EXPECT_EQ (ending.commandCode, DeviceCommand::writeWholeData);
    EXPECT_EQ (s.unit->getPreset (3).name, "Imported");
}

TEST (ContentTransfers, RestoreSetupAsksFirstAndAFailureLeavesTheDeviceUsable)
{
    SyncedWorld s;
    ASSERT_NE (s.live, nullptr);
    auto& c = s.c();
    auto& page = *s.w.parts.dataPage;
    const auto name = s.w.manager().getDeviceDisplayName();

    // From the unit's own node: the short question. "No" sends nothing.
    auto deviceNode = createDeviceSourceNode (name);
    deviceNode.setProperty ("data", juce::var (page.dataSet.get()), nullptr);
    page.selectedSource = deviceNode;
    s.w.boxes.answerWith ({ 1 });
    c.invokeDirectly (AppCommand::restoreSetup, false);
    ASSERT_EQ (s.w.boxes.boxes.size(), 1u);
    EXPECT_EQ (s.w.boxes.boxes[0].title, "Confirm Send Setup");
    EXPECT_EQ (s.w.boxes.boxes[0].message, "Are you sure you want to send\nsetup data to " + name + "?");
    pumpFor (100);
    EXPECT_TRUE (s.unit->getLog().empty());

    // From a backup: the long question naming the source; the unit refuses the setup.
    auto backup = s.live->createCopy ({}, true, true);
    auto backupNode = createSourceNode ("node", "Tuesday Gig");
    page.selectedSource = backupNode;
    page.selectedData = backup.get();
    auto faults = s.unit->getFaults();
    faults.setupWriteStatus = 3;
    s.unit->setFaults (faults);

    const auto before = s.w.countEndings();
    c.invokeDirectly (AppCommand::restoreSetup, false);
    ASSERT_EQ (s.w.boxes.boxes.size(), 2u);
    EXPECT_EQ (s.w.boxes.boxes[1].message,
               "Are you sure you want to send setup data to " + name + "?\n\nNote: the setup data from 'Tuesday Gig' will be sent to "
               + name + " and replace your workspace data. To retain the current workspace setup, choose \"No\" and make a new backup first.");
    EXPECT_FALSE (s.pagesEnabled());
    const auto failed = s.w.waitForEnding (before);
    EXPECT_EQ (failed.code, InfoCode::commandFailed);
    EXPECT_EQ (failed.commandCode, DeviceCommand::writeSetupFrom);
    EXPECT_GT (s.unit->countReceived (0x13), 0);

    // The failure re-enabled the pages and reset the device: the next command runs.
    EXPECT_TRUE (s.pagesEnabled());
    EXPECT_EQ (s.w.manager().getDeviceObject()->getErrorCode(), 0);
    faults.setupWriteStatus = 1;
    s.unit->setFaults (faults);
    c.invokeDirectly (AppCommand::downloadDeviceData, false);
    EXPECT_EQ (s.w.waitForEnding (before + 1).code, InfoCode::commandDone);
}

TEST (ContentTransfers, ACancelledCommandEnablesThePagesAndEndsTheStatus)
{
    SyncedWorld s;
    ASSERT_NE (s.live, nullptr);
    auto& c = s.c();
    auto faults = s.unit->getFaults();
    faults.replyDelayMs = 150;
    s.unit->setFaults (faults);

    const auto before = s.w.countEndings();
    c.invokeDirectly (AppCommand::downloadDeviceData, false);
    ASSERT_TRUE (s.w.waitForEvents (InfoCode::presetRead, 1 + (int) s.w.changes.events (InfoCode::presetRead).size()));
    s.w.manager().requestCancel();

    const auto ending = s.w.waitForEnding (before);
    EXPECT_EQ (ending.code, InfoCode::commandCancelled);
    pumpFor (20);
    EXPECT_TRUE (s.pagesEnabled());
    EXPECT_FALSE (c.getStatusBar().getProgressBar().isVisible());
}

TEST (ContentTransfers, APendingDeletionNeverOutlivesAFailureACancelOrADisconnect)
{
    SyncedWorld s;
    ASSERT_NE (s.live, nullptr);
    auto& c = s.c();
    auto& faults = s.unit;

    // A write that fails before its delete: the pending deletion ends with the failure and
    // the reset drops the delete queued behind it.
    auto f = faults->getFaults();
    f.writeStatus[2] = 5;
    faults->setFaults (f);
    s.working().getPreset (2)->setName ("Refused");
    s.working().removePreset (6);
    auto before = s.w.countEndings();
    c.invokeDirectly (AppCommand::applyChanges, false);
    ASSERT_TRUE (s.deletionHoldsPages());
    EXPECT_EQ (s.w.waitForEnding (before + 1).code, InfoCode::commandFailed);
    EXPECT_TRUE (s.pagesEnabled());
    EXPECT_FALSE (s.deletionHoldsPages());
    pumpUntil ([&] { return s.w.manager().getDeviceObject()->isIdle(); });
    pumpFor (200);
    EXPECT_EQ (s.w.manager().getDeviceObject()->getErrorCode(), 0);
    EXPECT_TRUE (s.pagesEnabled());

    // A cancelled delete ends the pending deletion and gives the pages back.
    f.writeStatus.clear();
    faults->setFaults (f);
    s.w.parts.dataPage->dataSet = new DataSet (s.live, s.live->createFullCopy (true));   // nothing modified
    s.working().removePreset (4);
    before = s.w.countEndings();
    c.invokeDirectly (AppCommand::applyChanges, false);
    ASSERT_TRUE (s.deletionHoldsPages());
    s.w.deliver (DeviceInfoMessage (InfoCode::commandCancelled, DeviceCommandMessage (DeviceCommand::deletePresets, { 4 })));
    EXPECT_TRUE (s.pagesEnabled());
    EXPECT_FALSE (s.deletionHoldsPages());
    // The real delete still ends (after the probes and the cancel handed in above), and its
    // slot is read back.
    EXPECT_EQ (s.w.waitForEnding (before + 3).commandCode, DeviceCommand::deletePresets);
    EXPECT_EQ (s.w.waitForEnding (before + 4).commandCode, DeviceCommand::readPresets);
    pumpFor (20);

    // A disconnect while a deletion is pending.
    s.w.parts.dataPage->dataSet = new DataSet (s.live, s.live->createFullCopy (true));   // nothing modified
    s.working().removePreset (1);
    c.invokeDirectly (AppCommand::applyChanges, false);
    ASSERT_TRUE (s.deletionHoldsPages());
    c.connectToDevice (-1);
    EXPECT_FALSE (s.deletionHoldsPages());
}
