#include <gtest/gtest.h>
#include "core/InfoCodes.h"
#include "device/SocketMidiPortLayer.h"
#include "support/DeviceWorld.h"
#include "support/LoopbackClient.h"
#include "support/SocketUnit.h"

using namespace testing_support;

namespace
{
    using Bytes = std::vector<juce::uint8>;

    std::vector<int> valuesOf (const Preset& p)
    {
        std::vector<int> v;
        for (int s = 0; s < p.getStepCount(); ++s)
            for (auto x : p.getStepData (s))
                v.push_back (x);
        return v;
    }

    // A device world whose device manager sees the ports of the socket layer, and units
    // that reach it over connections, as programs outside this one would.
    struct SocketWorld
    {
        explicit SocketWorld (const DeviceTimings& t = ScopedDeviceTimings::fast())
            : w (t), layer (std::make_shared<SocketMidiPortLayer> (SocketMidiPortLayer::Options()))
        {
            EXPECT_TRUE (layer->isListening()) << layer->getListenError();
            setMidiPortLayer (layer);
            setDeviceManager (new DeviceManager (&w.recorder, layer));
            getDeviceManager()->startThread();
        }

        ~SocketWorld()
        {
            setDeviceManager (nullptr);
            units.clear();
        }

        // A simulated unit of a sample product that connects on ports named after the product
        // (with " MIDI"), once it is listed.
        SocketUnit& connect (juce::uint8 productId, int build, int serial, bool answersBroadcast = false)
        {
            SimulatedUnit::Identity identity;
            identity.productId = productId;
            identity.minor = build / 100;
            identity.revision = build % 100;
            identity.build = build;
            identity.serial = serial;
            identity.day = 24;
            identity.month = 6;
            identity.year = 2021;
            identity.answersBroadcast = answersBroadcast;
            const auto name = DeviceWorld::productName (productId) + " MIDI";
            return plugIn (std::make_shared<SimulatedUnit> (DeviceWorld::profileOf (productId, build), identity, name));
        }

        // The unit connects (again: a new connection) on ports of its name, once it is listed.
        SocketUnit& plugIn (std::shared_ptr<SimulatedUnit> unit)
        {
            const int before = layer->getInputs().size();
            units.push_back (std::make_unique<SocketUnit> (unit, layer->getPort(), unit->getInputName()));
            EXPECT_TRUE (units.back()->isConnected());
            EXPECT_TRUE (pumpUntil ([&] { return layer->getInputs().size() == before + 1; }));
            return *units.back();
        }

        DeviceWorld w;
        std::shared_ptr<SocketMidiPortLayer> layer;
        std::vector<std::unique_ptr<SocketUnit>> units;
    };

    struct Identity
    {
        int deviceId, kind;
        bool operator== (const Identity& o) const { return deviceId == o.deviceId && kind == o.kind; }
    };

    std::vector<Identity> identityQueries (const SimulatedUnit& unit)
    {
        std::vector<Identity> out;
        for (auto& e : unit.getReceived (0x7E))
            out.push_back ({ e.deviceId(), e.bytes.size() > 7 ? e.bytes[7] : -1 });
        return out;
    }

    // A connected Merle at build 140 with presets in slots 1, 2, 4, 5 and 25.
    struct Connected
    {
        explicit Connected (const DeviceTimings& t = ScopedDeviceTimings::fast()) : s (t)
        {
            socketUnit = &s.connect (DeviceWorld::merle, 140, 40123);
            unit = socketUnit->getUnit();
            unit->fillPresets ({ 1, 2, 4, 5, 25 }, 9);
            EXPECT_TRUE (s.w.scanAndSelect (0));
            unit->clearLog();
            s.w.recorder.clear();
        }

        DeviceData& data() { return *s.w.device()->getDeviceData(); }

        SocketWorld s;
        SocketUnit* socketUnit = nullptr;
        std::shared_ptr<SimulatedUnit> unit;
    };
}

TEST (SocketUnit, UnitsOutsideTheProgramAreIdentifiedAtAScan)
{
    SocketWorld s;
    auto& merle = s.connect (DeviceWorld::merle, 140, 40123);
    auto& piper = s.connect (DeviceWorld::piper, 100, 777, true);   // answers the query to every unit

    // A tool that is no unit: it only listens.
    LoopbackClient tool;
    ASSERT_TRUE (tool.connect (s.layer->getPort()));
    ASSERT_TRUE (tool.sendText ("NAME Patch Tool\n"));
    ASSERT_TRUE (pumpUntil ([&] { return s.layer->getInputs().size() == 3; }));

    ASSERT_EQ (s.w.scan(), 1);
    auto& m = s.w.manager();
    ASSERT_EQ (m.getNumPairs(), 3);
    EXPECT_EQ (m.getDeviceList().displayNames, (juce::StringArray { "Merle MIDI", "Piper MIDI", "Patch Tool" }));

    // The same exchange as with a unit inside the program.
    EXPECT_EQ (identityQueries (merle.unit()), (std::vector<Identity> { { 0x7F, 0x7F }, { 17, 0x7F }, { 17, 0x07 }, { 17, 0x09 } }));
    const juce::uint8 ids[] = { 17, 12 };
    const int serials[] = { 40123, 777 };
    for (int i = 0; i < 2; ++i)
    {
        EXPECT_TRUE (m.isDeviceReady (i)) << i;
        EXPECT_EQ (m.getProductId (i), ids[i]);
        EXPECT_EQ (m.getSerialNumber (i), serials[i]);
        EXPECT_FALSE (s.w.device (i)->arePortsOpen());
    }
    EXPECT_EQ (m.getFirmwareVersion (0).build, 140);
    EXPECT_EQ (m.getDeviceFlags (2), (juce::uint32) DeviceObject::notAUnit);
    EXPECT_GT (piper.unit().countReceived (0x7E), 0);

    // The tool got the queries as raw bytes: the one to every unit first.
    const auto got = tool.receive (17);
    ASSERT_EQ (got.size(), 17u);
    EXPECT_EQ (got[0], 0xF0);
    EXPECT_EQ (got[5], 0x7F);
    EXPECT_EQ (got[6], 0x7E);
    EXPECT_EQ (got[16], 0xF7);

    ASSERT_TRUE (m.selectDevice (0));
    EXPECT_TRUE (s.w.device()->arePortsOpen());
}

TEST (SocketUnit, PresetsAndTheSetupAreReadAndWritten)
{
    Connected c;
    std::vector<int> setup;
    for (int i = 0; i < 2 * 14; ++i)
        setup.push_back (i * 4099 - 50000);
    c.unit->setSetup (setup);

    ASSERT_EQ (c.s.w.run (DeviceCommandMessage (DeviceCommand::readAll)), InfoCode::commandDone);
    auto& data = c.data();
    EXPECT_EQ (data.getPresetIndices(), (juce::Array<int> { 1, 2, 4, 5, 25 }));
    for (int n : { 1, 2, 4, 5, 25 })
    {
        auto* p = data.getPreset (n);
        ASSERT_NE (p, nullptr);
        const auto stored = c.unit->getPreset (n);
        EXPECT_TRUE (p->isComplete());
        EXPECT_EQ (p->getName(), stored.name);
        EXPECT_EQ (valuesOf (*p), stored.values);
    }
    auto got = data.getSetup().getData();
    EXPECT_EQ (std::vector<int> (got.begin(), got.end()), setup);
    EXPECT_EQ (c.unit->countReceived (0x45), 25);

    // Writing: the unit stores what the program sent.
    DeviceData source (data.getVersion(), data.getFormat(), nullptr);
    for (int n : { 10, 11 })
    {
        auto* p = source.createPreset (n);
        PresetInfo info;
        info.number = n;
        info.dataVersion = data.getFormat().presetVersion;
        info.setNameBytes (nullptr, data.getFormat().presetNameLength);
        info.writeName ("Outside " + juce::String (n));
        p->setInfo (info);
        juce::Array<int> values;
        for (int i = 0; i < p->getStepCapacity(); ++i)
            values.add (n * 1000 - i * 7);
        p->setStepData (0, values);
    }
    ASSERT_EQ (c.s.w.run (DeviceCommandMessage (DeviceCommand::writePresetsFrom, source.createFullCopy (false), { 10, 11 })),
               InfoCode::commandDone);
    for (int n : { 10, 11 })
    {
        ASSERT_TRUE (c.unit->hasPreset (n));
        EXPECT_EQ (c.unit->getPreset (n).name, "Outside " + juce::String (n));
        EXPECT_EQ (c.unit->getPreset (n).values, valuesOf (*source.getPreset (n)));
    }

    // Every byte either side sent arrived on the other.
    juce::uint64 sent = 0, received = 0;
    EXPECT_TRUE (pumpUntil ([&]
    {
        c.s.w.manager().getMidiByteCounts (sent, received);
        return (juce::int64) sent == c.unit->getBytesReceived() && (juce::int64) received == c.unit->getBytesSent();
    })) << sent << " " << c.unit->getBytesReceived() << " " << received << " " << c.unit->getBytesSent();
}

TEST (SocketUnit, AUnitThatVanishesMidTransferEndsTheCommandAsLost)
{
    auto t = ScopedDeviceTimings::fast();
    t.replyTimeoutMs = 5000;
    Connected c (t);
    auto f = c.unit->getFaults();
    f.vanishAfterSending = 4;
    c.unit->setFaults (f);

    ASSERT_EQ (c.s.w.run (DeviceCommandMessage (DeviceCommand::readAll)), InfoCode::commandFailed);
    EXPECT_EQ (c.s.w.device()->getErrorCode(), 0xA00004);
    EXPECT_FALSE (c.unit->isPresent());
    EXPECT_EQ (c.s.w.recorder.count (InfoCode::presetReadAttemptFailed), 0);

    // Its connection closed, its ports left the lists, and the poll noticed.
    EXPECT_TRUE (pumpUntil ([&] { return ! c.socketUnit->isConnected(); }));
    EXPECT_TRUE (pumpUntil ([&] { return c.s.layer->getInputs().isEmpty(); }));
    ASSERT_TRUE (pumpUntil ([&] { return c.s.w.recorder.count (InfoCode::connectedUnitLost) == 1; }));
}

TEST (SocketUnit, AConnectionClosedMidTransferEndsTheCommandAndOpeningItsPortsFails)
{
    auto t = ScopedDeviceTimings::fast();
    t.replyTimeoutMs = 5000;
    Connected c (t);
    auto f = c.unit->getFaults();
    f.replyDelayMs = 30;
    c.unit->setFaults (f);

    auto& m = c.s.w.manager();
    const auto before = c.s.w.recorder.endings().size();
    m.postMessage (new DeviceCommandMessage (DeviceCommand::readAll));
    ASSERT_TRUE (pumpUntil ([&] { return c.s.w.recorder.count (InfoCode::presetRead) >= 2; }));
    c.socketUnit->disconnect();
    ASSERT_TRUE (pumpUntil ([&] { return c.s.w.recorder.endings().size() > before; }));
    EXPECT_EQ (c.s.w.recorder.endings().back().code, InfoCode::commandFailed);
    EXPECT_EQ (c.s.w.device()->getErrorCode(), 0xA00004);
    ASSERT_TRUE (pumpUntil ([&] { return c.s.w.recorder.count (InfoCode::connectedUnitLost) == 1; }));

    // The pair is still there until the next scan, but its device has gone: its ports do
    // not open again.
    m.closeCurrentDevice();
    EXPECT_FALSE (c.s.w.device (0)->openPorts());
    EXPECT_TRUE ((c.s.w.device (0)->getStatus() & DeviceObject::portOpenFailed) != 0);
}

// The connection closes and a new one of the same name comes 0.3 s later, between two looks
// at the lists (the real interval): the dead ports are seen at the next look and the loss is
// told; a scan then finds the unit on the new connection, and it is read there. The same during
// a read ends the read as lost, and once more after the next scan is told again.
TEST (SocketUnit, AConnectionReplacedBetweenTwoLooksIsNoticedAndTheUnitFoundOnTheNewOne)
{
    auto t = ScopedDeviceTimings::fast();
    t.portPollMs = 3000;
    Connected c (t);   // the last look was at the end of the scan
    auto replug = [&] (int gapMs)
    {
        c.s.units.back()->disconnect();
        ASSERT_TRUE (pumpUntil ([&] { return c.s.layer->getInputs().isEmpty(); }));
        juce::Thread::sleep (gapMs);
        c.s.plugIn (c.unit);
    };
    replug (300);
    ASSERT_TRUE (pumpUntil ([&] { return c.s.w.recorder.count (InfoCode::connectedUnitLost) == 1; },
                            t.portPollMs + 2000)) << "the replug went unnoticed";
    EXPECT_EQ (c.s.w.recorder.count (InfoCode::portListsChanged), 0);
    EXPECT_TRUE (c.unit->getLog().empty()) << "sent into the dead ports";

    // What "Scan Now" does.
    ASSERT_TRUE (c.s.w.scanAndSelect (0));
    EXPECT_EQ (identityQueries (*c.unit), (std::vector<Identity> { { 0x7F, 0x7F }, { 17, 0x7F }, { 17, 0x07 }, { 17, 0x09 } }));
    EXPECT_EQ (c.s.w.manager().getSerialNumber(), 40123);
    ASSERT_EQ (c.s.w.run (DeviceCommandMessage (DeviceCommand::readAll)), InfoCode::commandDone);
    EXPECT_EQ (c.unit->countReceived (0x45), 25);
    EXPECT_EQ (c.s.w.recorder.count (InfoCode::connectedUnitLost), 1);

    // Replugged while it is read: the read ends as lost at the next look, not after its tries.
    auto slow = c.unit->getFaults();
    slow.replyDelayMs = 100;
    c.unit->setFaults (slow);
    const auto before = c.s.w.recorder.endings().size();
    c.s.w.manager().postMessage (new DeviceCommandMessage (DeviceCommand::readAll));
    ASSERT_TRUE (pumpUntil ([&] { return c.unit->countReceived (0x45) >= 25 + 2; }));
    replug (0);
    ASSERT_TRUE (pumpUntil ([&] { return c.s.w.recorder.endings().size() > before; }, t.portPollMs + 2000));
    EXPECT_EQ (c.s.w.recorder.endings().back().code, InfoCode::commandFailed);
    EXPECT_EQ (c.s.w.device()->getErrorCode(), 0xA00004);
    EXPECT_TRUE (pumpUntil ([&] { return c.s.w.recorder.count (InfoCode::connectedUnitLost) == 2; }));

    // What "Later" does; the unit cannot be selected again before a scan, which makes new
    // device objects. Connected again, it is noticed when replugged as quickly once more.
    c.s.w.manager().closeCurrentDevice();
    EXPECT_FALSE (c.s.w.manager().selectDevice (0));
    ASSERT_TRUE (c.s.w.scanAndSelect (0));
    replug (300);
    EXPECT_TRUE (pumpUntil ([&] { return c.s.w.recorder.count (InfoCode::connectedUnitLost) == 3; },
                            t.portPollMs + 2000)) << "the second replug went unnoticed";
}

TEST (SocketUnit, BadClientsLeaveATransferAndOtherUnitsAlone)
{
    Connected c;
    // A transfer that takes a few seconds: each answer comes 150 ms late.
    auto slowAnswers = c.unit->getFaults();
    slowAnswers.replyDelayMs = 150;
    c.unit->setFaults (slowAnswers);
    auto& other = c.s.connect (DeviceWorld::piper, 100, 777, true);   // answers the query to every unit
    c.s.w.recorder.clear();

    auto& m = c.s.w.manager();
    const auto before = c.s.w.recorder.endings().size();
    m.postMessage (new DeviceCommandMessage (DeviceCommand::readAll));
    ASSERT_TRUE (pumpUntil ([&] { return c.s.w.recorder.count (InfoCode::presetRead) >= 1; }));

    // While it runs: garbage, bad lines, an oversized SysEx, a flood of connections.
    const int port = c.s.layer->getPort();
    LoopbackClient garbage;
    ASSERT_TRUE (garbage.connect (port));
    ASSERT_TRUE (garbage.sendText ("NAME Noise\n"));
    Bytes noise;
    for (int i = 0; i < 200000; ++i)
        noise.push_back ((juce::uint8) ((i * 7919) % 0xEF));   // no SysEx start among it
    noise.push_back (0xF0);
    noise.insert (noise.end(), 100000, 0x42);
    noise.push_back (0xF7);
    ASSERT_TRUE (garbage.send (noise));

    for (auto* line : { "HELLO\n", "NAME \n", "\xF0\x00\x7A\x15\xF7" })
    {
        LoopbackClient bad;
        ASSERT_TRUE (bad.connect (port));
        bad.sendText (line);
        EXPECT_TRUE (bad.waitForClose());
    }
    std::vector<std::unique_ptr<LoopbackClient>> flood;
    for (int i = 0; i < 20; ++i)
    {
        flood.push_back (std::make_unique<LoopbackClient>());
        flood.back()->connect (port);
    }
    for (auto& f : flood)
        f->close();

    ASSERT_TRUE (pumpUntil ([&] { return c.s.w.recorder.endings().size() > before; }, 120000));
    EXPECT_EQ (c.s.w.recorder.endings().back().code, InfoCode::commandDone);
    EXPECT_EQ (c.data().getPresetIndices(), (juce::Array<int> { 1, 2, 4, 5, 25 }));
    EXPECT_TRUE (c.data().getSetup().isComplete());

    // The poll then sees the new list and keeps the unit.
    ASSERT_TRUE (pumpUntil ([&] { return c.s.w.recorder.count (InfoCode::portListsChanged) >= 1; }));
    EXPECT_EQ (c.s.w.recorder.count (InfoCode::connectedUnitLost), 0);
    EXPECT_EQ (MidiPortId::namesOf (c.s.layer->getInputs()), (juce::StringArray { "Merle MIDI", "Piper MIDI", "Noise" }));
    EXPECT_TRUE (garbage.isStillOpen());

    // Both units still answer: the connected one a read, the other a scan.
    slowAnswers.replyDelayMs = 0;
    c.unit->setFaults (slowAnswers);
    ASSERT_EQ (c.s.w.run (DeviceCommandMessage (DeviceCommand::readPresets, juce::Array<int> { 2 })),
               InfoCode::commandDone);
    ASSERT_EQ (c.s.w.scan(), 1);
    EXPECT_TRUE (m.isDeviceReady (0));
    EXPECT_TRUE (m.isDeviceReady (1));
    EXPECT_EQ (m.getSerialNumber (1), 777);
    EXPECT_GT (other.unit().countReceived (0x7E), 0);
}
