#include <gtest/gtest.h>
#include "device/VirtualMidiPortLayer.h"
#include "device/sim/SimulatedUnit.h"
#include "device/sim/SimulatedUnitSet.h"
#include "model/SysExCodec.h"
#include "model/SysExReader.h"
#include "support/ContentWorld.h"
#include "support/DataFixtures.h"
#include "support/TestEnvironment.h"

using namespace testing_support;

namespace
{
    // What a program would see on its input port.
    struct Collector : juce::MidiInputCallback
    {
        void handleIncomingMidiMessage (juce::MidiInput* source, const juce::MidiMessage& m) override
        {
            EXPECT_EQ (source, nullptr);
            const std::lock_guard<std::mutex> l (lock);
            received.push_back (bytesOf (m));
        }

        std::vector<Bytes> take (size_t count, int timeoutMs = 20000)
        {
            const auto deadline = juce::Time::getMillisecondCounter() + (juce::uint32) timeoutMs;
            for (;;)
            {
                {
                    const std::lock_guard<std::mutex> l (lock);
                    if (received.size() >= count || juce::Time::getMillisecondCounter() > deadline)
                    {
                        auto out = received;
                        received.clear();
                        return out;
                    }
                }
                juce::Thread::sleep (2);
            }
        }

        std::mutex lock;
        std::vector<Bytes> received;
    };

    SimUnitProfile merleProfile (int build)
    {
        return SimUnitProfile::fromCapsFile (ContentWorld::sampleContent().getChildFile ("Merle").getChildFile ("caps.xml"),
                                             17, build);
    }

    DeviceDataFormat formatOf (const SimUnitProfile& p)
    {
        DeviceDataFormat f;
        f.productId = p.productId;
        f.syxPackagesPerPresetStep = p.packetsPerStep;
        f.presetStepPacketSize = p.stepPacketSize;
        f.presetVersion = p.presetVersion;
        f.syxPackagesPerSetup = p.setupPackets;
        f.setupPacketSize = p.setupPacketSize;
        f.setupVersion = p.setupVersion;
        f.numPresets = p.numPresets;
        f.presetNameLength = p.nameLength;
        f.maxPresetSteps = p.maxSteps;
        return f;
    }

    struct Link
    {
        explicit Link (std::shared_ptr<SimulatedUnit> u) : unit (std::move (u))
        {
            layer.addDevice (unit);
            in = layer.openInput (layer.getInputs()[0], collector);
            out = layer.openOutput (layer.getOutputs()[0]);
            in->start();
        }

        void send (const Bytes& b) { out->sendMessageNow (messageOf (b)); }

        std::shared_ptr<SimulatedUnit> unit;
        VirtualMidiPortLayer layer;
        Collector collector;
        std::unique_ptr<MidiInputPort> in;
        std::unique_ptr<MidiOutputPort> out;
    };

    Bytes identityQuery (juce::uint8 id, juce::uint8 kind)
    {
        return { 0xF0, 0x00, 0x7A, 0x15, 0x00, id, 0x7E, kind, 0, 0, 0, 0, 0, 0, 0, 0, 0xF7 };
    }
}

TEST (SimulatedUnit, ReadsItsProfileFromTheCapabilityDocument)
{
    const auto p100 = merleProfile (100);
    EXPECT_EQ (p100.stepPacketSize, 32);
    EXPECT_EQ (p100.presetVersion, 1);
    EXPECT_EQ (p100.setupPackets, 2);
    EXPECT_EQ (p100.numPresets, 26);
    const auto p140 = merleProfile (140);   // the open-ended profile
    EXPECT_EQ (p140.stepPacketSize, 40);
    EXPECT_EQ (p140.presetVersion, 2);
    EXPECT_EQ (p140.setupPacketSize, 56);
    EXPECT_EQ (p140.setupVersion, 2);
}

TEST (SimulatedUnit, AnswersIdentityQueriesForItsIdAndTheBroadcastOnlyWhenSet)
{
    SimulatedUnit::Identity id;
    id.productId = 17;
    id.buildType = 1;
    id.major = 1;
    id.minor = 2;
    id.revision = 3;
    id.build = 140;
    id.serial = 123456;
    id.day = 24;
    id.month = 6;
    id.year = 2021;
    Link link (std::make_shared<SimulatedUnit> (merleProfile (140), id, "Merle MIDI"));

    link.send (identityQuery (0x7F, 0x7F));    // broadcast: not answered
    link.send (identityQuery (18, 0x7F));      // another product: not answered
    link.send (identityQuery (17, 0x7F));
    link.send (identityQuery (17, 0x07));
    link.send (identityQuery (17, 0x09));
    auto r = link.collector.take (3);
    ASSERT_EQ (r.size(), 3u);
    EXPECT_EQ (hex (r[0]), hex ({ 0xF0, 0, 0x7A, 0x15, 0, 17, 0x7E, 0x7F, 0x11, 2, 3, 0, 0, 1, 0x0C, 0, 0xF7 }));
    EXPECT_EQ (hex (r[1]), hex ({ 0xF0, 0, 0x7A, 0x15, 0, 17, 0x7E, 0x07, 0, 0, 1, 2, 3, 4, 5, 6, 0xF7 }));
    EXPECT_EQ (hex (r[2]), hex ({ 0xF0, 0, 0x7A, 0x15, 0, 17, 0x7E, 0x09, 24, 6, 20, 21, 0, 0, 0, 0, 0xF7 }));

    // Everything that arrived is in the log, in order, with rising time stamps.
    auto log = link.unit->getLog();
    ASSERT_EQ (log.size(), 5u);
    EXPECT_EQ (log[0].deviceId(), 0x7F);
    for (size_t i = 1; i < log.size(); ++i)
        EXPECT_GE (log[i].timeMs, log[i - 1].timeMs);

    id.answersBroadcast = true;
    link.unit->setIdentity (id);
    link.send (identityQuery (0x7F, 0x7F));
    r = link.collector.take (1);
    ASSERT_EQ (r.size(), 1u);
    EXPECT_EQ (r[0][5], 17);
}

TEST (SimulatedUnit, ItsPresetsAndSetupReadBackThroughTheProgramsReaders)
{
    const auto profile = merleProfile (140);
    const auto format = formatOf (profile);
    SimulatedUnit::Identity id;
    Link link (std::make_shared<SimulatedUnit> (profile, id, "Merle MIDI"));
    auto stored = link.unit->makePreset (7, 3);
    stored.steps = 3;
    stored.values.resize ((size_t) (3 * profile.valuesPerStep()));
    stored.values[0] = -134217728;   // the smallest 28-bit number
    stored.values[1] = 134217727;
    link.unit->setPreset (stored);

    link.send ({ 0xF0, 0, 0x7A, 0x15, 0, 17, 0x45, 0, 7, 0xF7 });
    auto r = link.collector.take (4);
    ASSERT_EQ (r.size(), 4u);
    Bytes all;
    for (auto& m : r)
        append (all, m);

    int used = 0;
    juce::uint32 flags = 0;
    auto preset = parsePresetMessages (all.data(), (int) all.size(), used, flags, format);
    ASSERT_NE (preset, nullptr) << std::hex << flags;
    EXPECT_EQ (flags, 4u);
    EXPECT_EQ (preset->getNumber(), 7);
    EXPECT_EQ (preset->getName(), stored.name);
    EXPECT_EQ (preset->getInfo().tags, stored.tags);
    EXPECT_EQ (preset->getStepCount(), 3);
    juce::Array<int> values;
    for (int s = 0; s < 3; ++s)
        values.addArray (preset->getStepData (s));
    EXPECT_EQ (std::vector<int> (values.begin(), values.end()), stored.values);

    // The setup.
    std::vector<int> setupValues;
    for (int i = 0; i < profile.setupPackets * profile.setupValuesPerPacket(); ++i)
        setupValues.push_back (i * 1000 - 7777);
    link.unit->setSetup (setupValues);
    link.send ({ 0xF0, 0, 0x7A, 0x15, 0, 17, 0x15, 0, 0xF7 });
    r = link.collector.take ((size_t) profile.setupPackets);
    all.clear();
    for (auto& m : r)
        append (all, m);
    auto setup = parseSetupMessages (all.data(), (int) all.size(), used, flags, format);
    ASSERT_NE (setup, nullptr) << std::hex << flags;
    auto got = setup->getData();
    EXPECT_EQ (std::vector<int> (got.begin(), got.end()), setupValues);

    // An empty slot answers status 2.
    link.send ({ 0xF0, 0, 0x7A, 0x15, 0, 17, 0x45, 0, 8, 0xF7 });
    r = link.collector.take (1);
    ASSERT_EQ (r.size(), 1u);
    EXPECT_EQ (hex (r[0]), hex ({ 0xF0, 0, 0x7A, 0x15, 0, 17, 0x7F, 2, 0xF7 }));
}

TEST (SimulatedUnit, TakesPresetsWrittenWithTheProgramsBuildersAndRefusesDamagedOnes)
{
    const auto profile = merleProfile (140);
    const auto format = formatOf (profile);
    Link link (std::make_shared<SimulatedUnit> (profile, SimulatedUnit::Identity(), "Merle MIDI"));

    Preset p (format);
    auto info = makeInfo (5, "Written", 0, format.presetVersion, format.presetNameLength);
    info.tags = 0x155;
    p.setInfo (info);
    for (int s = 0; s < 2; ++s)
    {
        juce::Array<int> values;
        for (int i = 0; i < p.getStepCapacity(); ++i)
            values.add ((s * 100 + i) * (i % 2 == 0 ? 1 : -1) * 977);
        p.setStepData (s, values);
    }
    ASSERT_TRUE (p.isComplete());

    auto sendPreset = [&] (int corruptPacket)
    {
        link.send (bytesOf (buildPresetHeaderMessage (p.getInfo(), 17)));
        for (int i = 0; i < p.getNumMessages(); ++i)
        {
            auto b = bytesOf (*p.getMessage (i));
            if (i == corruptPacket)
                b[b.size() - 2] ^= 1;
            link.send (b);
        }
    };

    sendPreset (-1);
    auto r = link.collector.take (1);
    ASSERT_EQ (r.size(), 1u);
    EXPECT_EQ (r[0][7], 1);   // accepted
    ASSERT_TRUE (link.unit->hasPreset (5));
    const auto got = link.unit->getPreset (5);
    EXPECT_EQ (got.name, "Written");
    EXPECT_EQ (got.tags, 0x155);
    EXPECT_EQ (got.steps, 2);
    juce::Array<int> expected;
    for (int s = 0; s < 2; ++s)
        expected.addArray (p.getStepData (s));
    EXPECT_EQ (got.values, std::vector<int> (expected.begin(), expected.end()));

    link.unit->erasePreset (5);
    sendPreset (1);
    r = link.collector.take (1);
    ASSERT_EQ (r.size(), 1u);
    EXPECT_EQ (r[0][7], 5);   // corrupted data
    EXPECT_FALSE (link.unit->hasPreset (5));
}

TEST (SimulatedUnit, UnpluggedPortsGoDeadAndNewOnesWork)
{
    Link link (std::make_shared<SimulatedUnit> (merleProfile (140), SimulatedUnit::Identity(), "Merle MIDI"));
    const auto port = link.layer.getInputs()[0];
    EXPECT_EQ (port.name, "Merle MIDI");

    link.unit->unplug();
    EXPECT_TRUE (link.layer.getInputs().isEmpty());
    EXPECT_TRUE (link.layer.getOutputs().isEmpty());
    EXPECT_EQ (link.layer.openInput (port, link.collector), nullptr);
    link.send (identityQuery (17, 0x7F));   // into a dead port: nothing arrives at the unit

    link.unit->plugIn();
    link.send (identityQuery (17, 0x7F));   // the old port stays dead
    EXPECT_EQ (link.unit->getLog().size(), 0u);

    // The device keeps its identifier; a port of another name in its place does not open.
    EXPECT_EQ (link.layer.getInputs(), MidiPortList { port });
    EXPECT_EQ (link.layer.openInput ({ "Piper MIDI", port.identifier }, link.collector), nullptr);
    Collector fresh;
    auto in = link.layer.openInput (port, fresh);
    auto out = link.layer.openOutput (link.layer.getOutputs()[0]);
    ASSERT_NE (in, nullptr);
    in->start();
    out->sendMessageNow (messageOf (identityQuery (17, 0x7F)));
    EXPECT_EQ (fresh.take (1).size(), 1u);
    EXPECT_EQ (link.collector.take (1, 50).size(), 0u);
}

TEST (SimulatedUnit, ALinkRateSpacesArrivalsByTheirWireTime)
{
    auto unit = std::make_shared<SimulatedUnit> (merleProfile (140), SimulatedUnit::Identity(), "Merle MIDI");
    unit->setLinkRate (3125);
    Link link (unit);
    for (int i = 0; i < 5; ++i)
        link.send (identityQuery (17, 0x7F));   // 17 bytes: 5.44 ms each on the wire
    ASSERT_EQ (link.collector.take (5).size(), 5u);

    const auto log = unit->getLog();
    ASSERT_EQ (log.size(), 5u);
    // The unit never sees a message before its last byte could have arrived.
    EXPECT_GE (log[4].timeMs - log[0].timeMs, 4 * 17 * 1000.0 / 3125 - 1.0);
}

TEST (SimulatedUnit, SetForTheSampleContent)
{
    auto units = SimulatedUnitSet::createForContent (ContentWorld::sampleContent());
    ASSERT_EQ (units.size(), 3u);
    EXPECT_EQ (units[0]->getInputName(), "Merle MIDI");
    EXPECT_EQ (units[0]->getIdentity().productId, 17);
    EXPECT_EQ (units[0]->getIdentity().build, 140);   // the newest public build
    EXPECT_FALSE (units[0]->getIdentity().answersBroadcast);
    EXPECT_EQ (units[1]->getIdentity().productId, 18);
    EXPECT_EQ (units[1]->getIdentity().build, 210);   // build 212 came out after the unit was made
    EXPECT_EQ (units[2]->getIdentity().productId, 12);
    EXPECT_TRUE (units[2]->getIdentity().answersBroadcast);   // every build answers the broadcast
    EXPECT_EQ (units[2]->getIdentity().build, 100);
    EXPECT_GT (units[0]->getPresetNumbers().size(), 10);
}
