#include <gtest/gtest.h>
#include "core/AppPaths.h"
#include "core/InfoCodes.h"
#include "device/DeviceErrors.h"
#include "model/FirmwareImage.h"
#include "support/DeviceWorld.h"

using namespace testing_support;

namespace
{
    using Event = InfoRecorder::Event;

    // Values of a preset of the unit's data, step after step.
    std::vector<int> valuesOf (const Preset& p)
    {
        std::vector<int> v;
        for (int s = 0; s < p.getStepCount(); ++s)
            for (auto x : p.getStepData (s))
                v.push_back (x);
        return v;
    }

    // The preset numbers of the preset requests a unit received, in order.
    std::vector<int> requested (const SimulatedUnit& unit, juce::uint8 command = 0x45)
    {
        std::vector<int> out;
        for (auto& e : unit.getReceived (command))
            out.push_back (e.value14());
        return out;
    }

    std::vector<int> p1s (const std::vector<Event>& events)
    {
        std::vector<int> out;
        for (auto& e : events)
            out.push_back (e.p1);
        return out;
    }

    std::vector<int> p2s (const std::vector<Event>& events)
    {
        std::vector<int> out;
        for (auto& e : events)
            out.push_back (e.p2);
        return out;
    }

    // A connected Merle at build 140 with presets in slots 1, 2, 4, 5 and 25.
    struct Connected
    {
        explicit Connected (const DeviceTimings& t = ScopedDeviceTimings::fast()) : w (t)
        {
            unit = w.addUnit (DeviceWorld::merle, 140, 40123);
            unit->fillPresets ({ 1, 2, 4, 5, 25 }, 9);
            EXPECT_TRUE (w.scanAndSelect (0));
            unit->clearLog();
            w.recorder.clear();
        }

        void setFaults (const std::function<void (SimulatedUnit::Faults&)>& change)
        {
            auto f = unit->getFaults();
            change (f);
            unit->setFaults (f);
        }

        DeviceData& data() { return *w.device()->getDeviceData(); }

        DeviceWorld w;
        std::shared_ptr<SimulatedUnit> unit;
    };

    DeviceCommandMessage readPresets (juce::Array<int> numbers)
    {
        return DeviceCommandMessage (DeviceCommand::readPresets, numbers);
    }
}

TEST (DeviceTransfer, FullSyncOfPresetsAndSetup)
{
    Connected c;
    std::vector<int> setup;
    for (int i = 0; i < 2 * 14; ++i)
        setup.push_back (i * 4099 - 50000);
    c.unit->setSetup (setup);

    ASSERT_EQ (c.w.run (DeviceCommandMessage (DeviceCommand::readAll)), InfoCode::commandDone);

    // Every slot from 1 was asked for, between suspend 0 and suspend 1, then the setup.
    std::vector<int> all;
    for (int n = 1; n <= 25; ++n)
        all.push_back (n);
    EXPECT_EQ (requested (*c.unit), all);
    const auto log = c.unit->getLog();
    ASSERT_EQ (log.size(), 28u);
    EXPECT_EQ (log.front().command(), 0x57);
    EXPECT_EQ (log.front().value14(), 0);
    EXPECT_EQ (log[26].command(), 0x57);
    EXPECT_EQ (log[26].value14(), 1);
    EXPECT_EQ (log[27].command(), 0x15);

    // Progress: one message per slot, with the count asked for.
    EXPECT_EQ (p1s (c.w.recorder.withCode (InfoCode::presetRead)), (std::vector<int> { 1, 2, 4, 5, 25 }));
    EXPECT_EQ (c.w.recorder.count (InfoCode::presetEmpty), 20);
    for (auto& e : c.w.recorder.withCode (InfoCode::presetRead))
    {
        EXPECT_EQ (e.p2, 25);
        EXPECT_EQ (e.text, "Sim " + juce::String (e.p1));
    }

    auto& data = c.data();
    EXPECT_EQ (data.getPresetIndices(), (juce::Array<int> { 1, 2, 4, 5, 25 }));
    for (int n : { 1, 2, 4, 5, 25 })
    {
        auto* p = data.getPreset (n);
        ASSERT_NE (p, nullptr);
        const auto stored = c.unit->getPreset (n);
        EXPECT_TRUE (p->isComplete());
        EXPECT_EQ (p->getName(), stored.name);
        EXPECT_EQ (p->getInfo().tags, stored.tags);
        EXPECT_EQ (valuesOf (*p), stored.values);
    }
    ASSERT_TRUE (data.getSetup().isComplete());
    auto got = data.getSetup().getData();
    EXPECT_EQ (std::vector<int> (got.begin(), got.end()), setup);
    EXPECT_FALSE (data.isModified());
    EXPECT_TRUE (c.w.device()->isIdle());
    EXPECT_EQ (c.w.device()->getQueueState(), DeviceCommandQueue::idle);
}

TEST (DeviceTransfer, ACorruptedPacketIsReadAgain)
{
    Connected c;
    c.setFaults ([] (SimulatedUnit::Faults& f)
    {
        f.badChecksumPacket = 1;
        f.badChecksumTimes = 2;
        f.badIndexPacket = 0;
        f.badIndexTimes = 1;
    });

    // Preset 2 has several steps: packets 0 and 1 both exist.
    ASSERT_GE (c.unit->getPreset (2).steps, 2);
    ASSERT_EQ (c.w.run (readPresets ({ 2 })), InfoCode::commandDone);

    EXPECT_EQ (requested (*c.unit), (std::vector<int> { 2, 2, 2 }));
    const auto failures = c.w.recorder.withCode (InfoCode::presetReadAttemptFailed);
    EXPECT_EQ (p1s (failures), (std::vector<int> { 2, 2 }));
    EXPECT_EQ (p2s (failures), (std::vector<int> { 1, 2 }));
    EXPECT_EQ (valuesOf (*c.data().getPreset (2)), c.unit->getPreset (2).values);
    EXPECT_EQ (c.w.device()->getErrorCode(), 0);
    // A single preset goes without suspend.
    EXPECT_EQ (c.unit->countReceived (0x57), 0);
}

TEST (DeviceTransfer, TenFailuresEndTheCommandAsFailedWithTheLastError)
{
    Connected c;
    c.setFaults ([] (SimulatedUnit::Faults& f)
    {
        f.badChecksumPacket = 0;
        f.badChecksumTimes = 100;
    });

    ASSERT_EQ (c.w.run (readPresets ({ 5, 6, 7 })), InfoCode::commandFailed);

    // Ten tries of 5; 6 and 7 are never asked for; the suspend is lifted all the same.
    EXPECT_EQ (requested (*c.unit), std::vector<int> (10, 5));
    EXPECT_EQ (p2s (c.w.recorder.withCode (InfoCode::presetReadAttemptFailed)),
               (std::vector<int> { 1, 2, 3, 4, 5, 6, 7, 8, 9, 10 }));
    // The lifting message is the command's last word: the unit may take it after the command ended.
    EXPECT_TRUE (pumpUntil ([&] { return c.unit->countReceived (0x57) >= 2; }));
    auto suspends = c.unit->getReceived (0x57);
    ASSERT_EQ (suspends.size(), 2u);
    EXPECT_EQ (suspends.back().value14(), 1);

    auto d = c.w.device();
    EXPECT_EQ (d->getErrorCode(), 0xA00005);
    EXPECT_EQ (d->getQueueState(), DeviceCommandQueue::error);
    EXPECT_TRUE (d->isIdle());
    EXPECT_EQ (getDeviceErrorText (d->getErrorCode(), c.w.manager().getDeviceDisplayName()),
               "Larkspire has encountered significant data corruption while communicating with Merle. This could be "
               "caused heavy USB bus activity and/or heavy CPU load. Reduce both of these conditions, and then try "
               "again.\nCode: 10485765");
    EXPECT_EQ (c.data().getPreset (5), nullptr);   // nothing half-read stays behind
    EXPECT_EQ (c.w.recorder.endings().size(), 1u);

    // A device in error takes no further command, and says so at once.
    c.unit->clearLog();
    EXPECT_EQ (c.w.run (DeviceCommandMessage (DeviceCommand::readSetup)), InfoCode::commandFailed);
    EXPECT_TRUE (c.unit->getLog().empty());

    // Reset, it works again.
    c.w.manager().resetCurrentDevice();
    EXPECT_EQ (d->getErrorCode(), 0);
    c.setFaults ([] (SimulatedUnit::Faults& f) { f.badChecksumTimes = 0; });
    EXPECT_EQ (c.w.run (readPresets ({ 5, 6 })), InfoCode::commandDone);
    EXPECT_EQ (requested (*c.unit), (std::vector<int> { 5, 6 }));
}

TEST (DeviceTransfer, AnAnswerThatIsNoPresetIsAFailureNotDone)
{
    Connected c;
    // The unit answers the request of 4 with "accepted" instead of the preset or "empty".
    c.setFaults ([] (SimulatedUnit::Faults& f) { f.readStatus[4] = 1; });
    ASSERT_EQ (c.w.run (readPresets ({ 4 })), InfoCode::commandFailed);
    EXPECT_EQ (c.w.device()->getErrorCode(), 0xA00003);
    EXPECT_EQ (requested (*c.unit), std::vector<int> (10, 4));
    EXPECT_EQ (c.w.recorder.count (InfoCode::presetRead), 0);
    EXPECT_EQ (c.w.recorder.count (InfoCode::presetEmpty), 0);

    // "Done" in place of the preset is no empty slot either.
    c.w.manager().resetCurrentDevice();
    c.unit->clearLog();
    c.setFaults ([] (SimulatedUnit::Faults& f) { f.readStatus.clear(); f.doneInsteadOfPreset = true; });
    ASSERT_EQ (c.w.run (readPresets ({ 2 })), InfoCode::commandFailed);
    EXPECT_EQ (c.w.device()->getErrorCode(), 0xA00003);
    EXPECT_EQ (requested (*c.unit), std::vector<int> (10, 2));
    EXPECT_EQ (c.w.recorder.count (InfoCode::presetEmpty), 0);
    EXPECT_FALSE (c.data().hasPreset (2));
}

TEST (DeviceTransfer, ShortPacketsAndForeignHeadersAreUnexpectedData)
{
    Connected c;
    // A truncated packet, then a header of preset 5 for a request of 4: each is retried.
    c.setFaults ([] (SimulatedUnit::Faults& f) { f.truncatedPacket = 0; f.truncatedTimes = 1; });
    ASSERT_EQ (c.w.run (readPresets ({ 4 })), InfoCode::commandDone);
    c.setFaults ([] (SimulatedUnit::Faults& f) { f.wrongHeaderNumberTimes = 1; });
    ASSERT_EQ (c.w.run (readPresets ({ 4 })), InfoCode::commandDone);
    EXPECT_EQ (requested (*c.unit), (std::vector<int> { 4, 4, 4, 4 }));
    EXPECT_EQ (c.w.recorder.count (InfoCode::presetReadAttemptFailed), 2);
    EXPECT_EQ (c.data().getPresetIndices(), (juce::Array<int> { 4 }));
    EXPECT_EQ (valuesOf (*c.data().getPreset (4)), c.unit->getPreset (4).values);

    c.w.manager().resetCurrentDevice();
    c.setFaults ([] (SimulatedUnit::Faults& f) { f.wrongHeaderNumberTimes = 10; });
    ASSERT_EQ (c.w.run (readPresets ({ 4 })), InfoCode::commandFailed);
    EXPECT_EQ (c.w.device()->getErrorCode(), 0xA00003);
    EXPECT_FALSE (c.data().hasPreset (5));   // the header of another number filled no slot

    c.w.manager().resetCurrentDevice();
    c.setFaults ([] (SimulatedUnit::Faults& f) { f.truncatedPacket = 0; f.truncatedTimes = 10; });
    ASSERT_EQ (c.w.run (readPresets ({ 1 })), InfoCode::commandFailed);
    EXPECT_EQ (c.w.device()->getErrorCode(), 0xA00003);
}

TEST (DeviceTransfer, TheRealReplyTimeOutAndRetryPause)
{
    auto t = ScopedDeviceTimings::fast();
    t.replyTimeoutMs = 5000;
    t.retryPauseMs = 500;
    Connected c (t);
    c.setFaults ([] (SimulatedUnit::Faults& f) { f.dropReplies = 1; });

    ASSERT_EQ (c.w.run (readPresets ({ 2 })), InfoCode::commandDone);
    const auto log = c.unit->getReceived (0x45);
    ASSERT_EQ (log.size(), 2u);
    EXPECT_GE (log[1].timeMs - log[0].timeMs, 5000.0 + 500.0 - 2.0);   // waits count whole milliseconds
    EXPECT_EQ (p2s (c.w.recorder.withCode (InfoCode::presetReadAttemptFailed)), (std::vector<int> { 1 }));
    EXPECT_EQ (c.w.device()->getErrorCode(), 0);
}

TEST (DeviceTransfer, ASilentUnitTimesOut)
{
    auto t = ScopedDeviceTimings::fast();
    t.replyTimeoutMs = 200;
    Connected c (t);
    c.setFaults ([] (SimulatedUnit::Faults& f) { f.silent = true; });

    ASSERT_EQ (c.w.run (DeviceCommandMessage (DeviceCommand::readSetup)), InfoCode::commandFailed);
    EXPECT_EQ (c.w.device()->getErrorCode(), 0xA0000B);
    EXPECT_EQ (c.unit->countReceived (0x15), 10);
    EXPECT_EQ (p2s (c.w.recorder.withCode (InfoCode::setupReadAttemptFailed)),
               (std::vector<int> { 1, 2, 3, 4, 5, 6, 7, 8, 9, 10 }));
    EXPECT_FALSE (c.data().getSetup().isComplete());
}

TEST (DeviceTransfer, AUnitThatVanishesMidTransferIsLostWithoutUsingUpTheTries)
{
    // With the real reply time-out the ten tries alone would take most of a minute.
    auto t = ScopedDeviceTimings::fast();
    t.replyTimeoutMs = 5000;
    Connected c (t);
    c.setFaults ([] (SimulatedUnit::Faults& f) { f.vanishAfterSending = 4; });

    // The device manager sees the unit's ports leave the lists while the read waits for an
    // answer: the read ends as lost, without another try, and then the unit is lost.
    ASSERT_EQ (c.w.run (DeviceCommandMessage (DeviceCommand::readAll)), InfoCode::commandFailed);
    EXPECT_EQ (c.w.device()->getErrorCode(), 0xA00004);
    EXPECT_FALSE (c.unit->isPresent());
    // What the unit got before it went: the suspend and the first requests.
    EXPECT_EQ (c.unit->getLog().front().command(), 0x57);
    EXPECT_EQ (c.w.recorder.count (InfoCode::presetReadAttemptFailed), 0);
    ASSERT_TRUE (pumpUntil ([&] { return c.w.recorder.count (InfoCode::connectedUnitLost) == 1; }));
    pumpFor (500);
    EXPECT_EQ (c.w.recorder.count (InfoCode::connectedUnitLost), 1);
}

TEST (DeviceTransfer, WritingPresetsWithTheUnitsStatuses)
{
    Connected c;
    c.setFaults ([] (SimulatedUnit::Faults& f) { f.writeStatus[11] = 8; });

    auto& own = c.data();
    DeviceData source (own.getVersion(), own.getFormat(), nullptr);
    for (int n : { 10, 11, 12 })
    {
        auto* p = source.createPreset (n);
        PresetInfo info;
        info.number = n;
        info.dataVersion = own.getFormat().presetVersion;
        info.setNameBytes (nullptr, own.getFormat().presetNameLength);
        info.writeName ("Own " + juce::String (n));
        p->setInfo (info);
        juce::Array<int> values;
        for (int i = 0; i < p->getStepCapacity(); ++i)
            values.add (n * 1000 + i);
        p->setStepData (0, values);
    }

    ASSERT_EQ (c.w.run (DeviceCommandMessage (DeviceCommand::writePresetsFrom, source.createFullCopy (false), { 10, 11, 12, 13 })),
               InfoCode::commandDone);

    for (int n : { 10, 11, 12 })
    {
        ASSERT_TRUE (c.unit->hasPreset (n));
        EXPECT_EQ (c.unit->getPreset (n).name, "Own " + juce::String (n));
        EXPECT_EQ (c.unit->getPreset (n).values, valuesOf (*source.getPreset (n)));
    }
    EXPECT_FALSE (c.unit->hasPreset (13));   // an empty slot is skipped
    EXPECT_EQ (p1s (c.w.recorder.withCode (InfoCode::presetWritten)), (std::vector<int> { 10, 11, 12 }));
    EXPECT_EQ (c.w.recorder.count (InfoCode::unitNeedsTime), 1);
    EXPECT_TRUE (pumpUntil ([&] { return c.unit->countReceived (0x57) >= 2; }));
    auto suspends = c.unit->getReceived (0x57);
    ASSERT_EQ (suspends.size(), 2u);
    EXPECT_EQ (suspends.front().value14(), 0);
    EXPECT_EQ (suspends.back().value14(), 1);

    // The unit that needed time got all of its bank swap time (1.5 s for this product)
    // before the next preset.
    const auto headers = c.unit->getReceived (0x20);
    ASSERT_EQ (headers.size(), 3u);
    EXPECT_GE (headers[2].timeMs - headers[1].timeMs, 1499.0);

    // Memory full ends the command at once: one failed attempt, nothing after it is sent.
    c.unit->clearLog();
    c.w.recorder.clear();
    c.setFaults ([] (SimulatedUnit::Faults& f) { f.writeStatus.clear(); f.writeStatus[11] = 3; });
    ASSERT_EQ (c.w.run (DeviceCommandMessage (DeviceCommand::writePresetsFrom, source.createFullCopy (false), { 10, 11, 12 })),
               InfoCode::commandFailed);
    EXPECT_EQ (c.w.device()->getErrorCode(), 0xA00008);
    EXPECT_EQ (requested (*c.unit, 0x20), (std::vector<int> { 10, 11 }));
    EXPECT_EQ (p2s (c.w.recorder.withCode (InfoCode::presetWriteAttemptFailed)), (std::vector<int> { 1 }));
    EXPECT_EQ (c.w.recorder.withCode (InfoCode::presetWriteAttemptFailed)[0].text, "Own 11");

    // Rejected data is retried, and ten rejections fail with the rejection's error.
    c.w.manager().resetCurrentDevice();
    c.unit->clearLog();
    c.setFaults ([] (SimulatedUnit::Faults& f) { f.writeStatus.clear(); f.writeStatus[10] = 6; });
    ASSERT_EQ (c.w.run (DeviceCommandMessage (DeviceCommand::writePresetsFrom, source.createFullCopy (false), { 10 })), InfoCode::commandFailed);
    EXPECT_EQ (c.w.device()->getErrorCode(), 0xA00007);
    EXPECT_EQ (requested (*c.unit, 0x20), std::vector<int> (10, 10));
}

TEST (DeviceTransfer, SetupWritesAreSpacedAndWholeDataWritesBoth)
{
    DeviceWorld w;
    auto unit = w.addUnit (DeviceWorld::merleXT, 215, 31000);
    unit->fillPresets ({ 3, 7, 8 }, 2);
    ASSERT_TRUE (w.scanAndSelect (0));
    ASSERT_EQ (w.run (DeviceCommandMessage (DeviceCommand::readAll)), InfoCode::commandDone);
    unit->clearLog();
    w.recorder.clear();

    auto& own = *w.device()->getDeviceData();
    std::shared_ptr<DeviceData> copy = own.createFullCopy (true);
    juce::Array<int> setupValues;
    for (int i = 0; i < 3 * 12; ++i)
        setupValues.add (-i * 333);
    ASSERT_TRUE (copy->getSetup().setData (setupValues));
    ASSERT_TRUE (copy->getSetup().isComplete());

    ASSERT_EQ (w.run (DeviceCommandMessage (DeviceCommand::writeSetupFrom, copy, {})), InfoCode::commandDone);
    const auto packets = unit->getReceived (0x13);
    ASSERT_EQ (packets.size(), 3u);
    for (size_t i = 1; i < packets.size(); ++i)
        EXPECT_GE (packets[i].timeMs - packets[i - 1].timeMs, 49.0);   // whole milliseconds
    EXPECT_EQ (unit->getSetup(), std::vector<int> (setupValues.begin(), setupValues.end()));
    EXPECT_EQ (p1s (w.recorder.withCode (InfoCode::setupPacketSent)), (std::vector<int> { 1, 2, 3 }));
    EXPECT_EQ (p2s (w.recorder.withCode (InfoCode::setupPacketSent)), (std::vector<int> { 3, 3, 3 }));

    // A setup that is not complete only finishes.
    unit->clearLog();
    EXPECT_EQ (w.run (DeviceCommandMessage (DeviceCommand::writeSetupFrom, own.createCopy ({}, false, true), {})),
               InfoCode::commandDone);
    EXPECT_TRUE (unit->getLog().empty());

    // The whole data: every preset, then the setup.
    for (auto n : copy->getPresetIndices())
        unit->erasePreset (n);
    ASSERT_FALSE (copy->getPresetIndices().isEmpty());
    setupValues.set (0, 4242);
    copy->getSetup().setData (setupValues);
    ASSERT_EQ (w.run (DeviceCommandMessage (DeviceCommand::writeWholeData, copy, {})), InfoCode::commandDone);
    EXPECT_EQ (unit->getPresetNumbers(), copy->getPresetIndices());
    EXPECT_EQ (unit->getSetup().front(), 4242);
    EXPECT_EQ (unit->getLog().back().command(), 0x13);

    // A setup that the unit refuses is retried and fails after ten tries.
    auto f = unit->getFaults();
    f.setupWriteStatus = 5;
    unit->setFaults (f);
    unit->clearLog();
    ASSERT_EQ (w.run (DeviceCommandMessage (DeviceCommand::writeSetupFrom, copy, {})), InfoCode::commandFailed);
    EXPECT_EQ (w.device()->getErrorCode(), 0xA00002);
    EXPECT_EQ (unit->countReceived (0x13), 30);
}

TEST (DeviceTransfer, DeletingPresetsWithTheProfilesDelay)
{
    Connected c;
    ASSERT_EQ (c.w.run (DeviceCommandMessage (DeviceCommand::deletePresets, { 1, 4, 25 })), InfoCode::commandDone);
    EXPECT_EQ (requested (*c.unit, 0x50), (std::vector<int> { 1, 4, 25 }));
    EXPECT_EQ (c.unit->getPresetNumbers(), (juce::Array<int> { 2, 5 }));
    EXPECT_EQ (p1s (c.w.recorder.withCode (InfoCode::presetDeleteSent)), (std::vector<int> { 1, 4, 25 }));

    // 50 ms after each (the profile's 0.05 s).
    const auto log = c.unit->getReceived (0x50);
    for (size_t i = 1; i < log.size(); ++i)
        EXPECT_GE (log[i].timeMs - log[i - 1].timeMs, 49.0);   // whole milliseconds

    // The device is idle again: the next command runs.
    EXPECT_EQ (c.w.run (readPresets ({ 2 })), InfoCode::commandDone);
}

TEST (DeviceTransfer, FirmwareBlocksWithResendsAndTheLimitOfTwenty)
{
    Connected c;
    juce::OwnedArray<juce::MidiMessage> image;
    ASSERT_TRUE (FirmwareImage::read (ContentWorld::sampleContent().getChildFile ("Merle/firmware/merle_150.syx"), &image));
    const int n = image.size();
    ASSERT_GT (n, 3);
    c.setFaults ([] (SimulatedUnit::Faults& f) { f.firmwareResends = 2; f.rebootDownMs = 300; });

    auto payload = std::make_unique<DeviceCommandMessage::Payload>();
    for (auto* m : image)
        payload->add (new juce::MidiMessage (*m));
    ASSERT_EQ (c.w.run (DeviceCommandMessage (std::move (payload), {})), InfoCode::commandDone);

    EXPECT_EQ (c.unit->getBlocksAccepted(), n - 1);
    const auto sent = c.w.recorder.withCode (InfoCode::firmwareBlockSent);
    ASSERT_EQ ((int) sent.size(), n - 1);
    EXPECT_EQ (sent.front().p1, 2);
    EXPECT_EQ (sent.back().p1, n);
    EXPECT_EQ (sent.back().p2, n);
    const auto resent = c.w.recorder.withCode (InfoCode::firmwareBlockResent);
    ASSERT_EQ ((int) resent.size(), 2 * (n - 1));
    EXPECT_EQ (resent[0].p1, 2);
    EXPECT_EQ (resent[0].p2, 1);
    EXPECT_EQ (resent[1].p2, 2);
    // On the wire: the image's opening message once, then header, block and end per try.
    EXPECT_EQ (c.unit->countReceived (0x51, 0x60), 1);
    EXPECT_EQ (c.unit->countReceived (0x7E, 0x60), 3 * (n - 1));
    EXPECT_EQ (c.unit->countReceived (0x7D, 0x60), 3 * (n - 1));

    // The unit reboots with the new build; a scan finds it so.
    ASSERT_TRUE (pumpUntil ([&] { return c.unit->getRebootCount() == 1 && c.unit->isPresent(); }));
    ASSERT_EQ (c.w.scan(), 1);
    EXPECT_EQ (c.w.manager().getFirmwareVersion (0).build, 150);

    // A unit that keeps asking for the same block: twenty tries, then the command fails.
    ASSERT_TRUE (c.w.manager().selectDevice (0));
    c.unit->clearLog();
    c.w.recorder.clear();
    c.setFaults ([] (SimulatedUnit::Faults& f) { f.firmwareResends = 1000; });
    payload = std::make_unique<DeviceCommandMessage::Payload>();
    for (auto* m : image)
        payload->add (new juce::MidiMessage (*m));
    ASSERT_EQ (c.w.run (DeviceCommandMessage (std::move (payload), {})), InfoCode::commandFailed);
    EXPECT_EQ (c.w.device()->getErrorCode(), 0xA00002);
    EXPECT_EQ (c.unit->countReceived (0x7D, 0x60), 20);
    EXPECT_EQ (p2s (c.w.recorder.withCode (InfoCode::firmwareBlockResent)).back(), 20);
    EXPECT_EQ (c.w.recorder.count (InfoCode::firmwareBlockResent), 20);
}

TEST (DeviceTransfer, CancelStopsARunningCommandAndPoisonsNothing)
{
    Connected c;
    c.setFaults ([] (SimulatedUnit::Faults& f) { f.replyDelayMs = 30; });

    // A cancel on an idle device is not kept for the next command.
    c.w.manager().requestCancel();
    EXPECT_EQ (c.w.device()->getQueueState(), DeviceCommandQueue::idle);

    c.w.manager().postMessage (new DeviceCommandMessage (DeviceCommand::readAll));
    ASSERT_TRUE (pumpUntil ([&] { return c.w.recorder.count (InfoCode::presetRead) >= 1; }));
    c.w.manager().requestCancel();
    ASSERT_TRUE (pumpUntil ([&] { return ! c.w.recorder.endings().empty(); }));
    EXPECT_EQ (c.w.recorder.endings().front().code, InfoCode::commandCancelled);
    EXPECT_EQ (c.w.recorder.endings().size(), 1u);
    EXPECT_LT (c.unit->countReceived (0x45), 25);
    EXPECT_TRUE (pumpUntil ([&] { return c.unit->getLog().back().command() == 0x57; }));   // the suspend was lifted
    EXPECT_EQ (c.w.device()->getQueueState(), DeviceCommandQueue::idle);

    EXPECT_EQ (c.w.run (readPresets ({ 25 })), InfoCode::commandDone);
    EXPECT_TRUE (c.data().hasPreset (25));
}

TEST (DeviceTransfer, EveryCommandEndsEvenWhenItCannotRun)
{
    Connected c;
    auto d = c.w.device();

    // Data the command needs is missing: it only finishes.
    EXPECT_EQ (c.w.run (DeviceCommandMessage (DeviceCommand::writePresetsFrom, nullptr, { 1 })), InfoCode::commandDone);
    EXPECT_EQ (c.w.run (DeviceCommandMessage (DeviceCommand::writeWholeData)), InfoCode::commandDone);
    EXPECT_EQ (c.w.run (DeviceCommandMessage (std::unique_ptr<DeviceCommandMessage::Payload>(), {})), InfoCode::commandDone);
    EXPECT_EQ (c.w.run (readPresets ({})), InfoCode::commandDone);
    EXPECT_EQ (d->getQueueState(), DeviceCommandQueue::idle);

    // An empty firmware image is an error.
    EXPECT_EQ (c.w.run (DeviceCommandMessage (std::make_unique<DeviceCommandMessage::Payload>(), {})), InfoCode::commandFailed);
    EXPECT_EQ (d->getErrorCode(), 0xA00002);
    c.w.manager().resetCurrentDevice();

    // A slot the unit does not have.
    EXPECT_EQ (c.w.run (readPresets ({ 26 })), InfoCode::commandFailed);
    c.w.manager().resetCurrentDevice();
    EXPECT_TRUE (c.unit->getReceived (0x45).empty());

    // Ports closed (the unit is no longer connected): the transfer fails instead of
    // leaving the device busy for ever.
    d->closePorts();
    for (int code : { (int) DeviceCommand::readSetup, (int) DeviceCommand::deletePresets, (int) DeviceCommand::readAll })
    {
        d->getQueue().push (DeviceCommandMessage (code, juce::Array<int> { 1 }));
        ASSERT_TRUE (pumpUntil ([&] { return c.w.recorder.endings().size() > 0 && c.w.recorder.endings().back().commandCode == code; }));
        EXPECT_EQ (c.w.recorder.endings().back().code, InfoCode::commandFailed);
        EXPECT_EQ (d->getErrorCode(), 0xA00004);
        EXPECT_TRUE (d->isIdle());
        d->reset();
    }

    // Without a connected unit the device manager ends the command itself.
    c.w.manager().closeCurrentDevice();
    EXPECT_EQ (c.w.run (DeviceCommandMessage (DeviceCommand::readAll)), InfoCode::commandFailed);
    // A code that is no device command is dropped.
    c.w.manager().postMessage (new DeviceCommandMessage (0x36000));
    pumpFor (200);
    EXPECT_EQ (c.w.manager().getQueueState(), DeviceCommandQueue::idle);
}

TEST (DeviceTransfer, SyncSnapshotLoadsOnlyDataOfThisUnit)
{
    Connected c;
    ASSERT_EQ (c.w.run (DeviceCommandMessage (DeviceCommand::readAll)), InfoCode::commandDone);
    const juce::File folder (c.w.manager().getDeviceDataFolder());
    ASSERT_TRUE (folder.createDirectory());
    const juce::File sync (AppPaths::getSyncFile (folder.getFullPathName(), false));

    EXPECT_FALSE (c.w.manager().loadSyncSnapshot());   // no file yet
    ASSERT_EQ (c.data().writeToFile (sync), 0);
    auto* before = c.w.manager().getDeviceData();
    EXPECT_TRUE (c.w.manager().loadSyncSnapshot());
    auto* after = c.w.manager().getDeviceData();
    EXPECT_NE (after, before);
    EXPECT_EQ (after->getPresetIndices(), (juce::Array<int> { 1, 2, 4, 5, 25 }));

    // Data of another build is refused and the current data stays.
    DeviceData other (VersionNumber (0, 1, 1, 20, 120, 0), after->getFormat(), nullptr);
    ASSERT_EQ (other.writeToFile (sync), 0);
    EXPECT_FALSE (c.w.manager().loadSyncSnapshot());
    EXPECT_EQ (c.w.manager().getDeviceData(), after);
}
