#include <gtest/gtest.h>
#include "device/SocketMidiPortLayer.h"
#include "support/ContentWorld.h"
#include "support/LoopbackClient.h"
#include "support/TestEnvironment.h"

#include <chrono>
#include <thread>

using namespace testing_support;

namespace
{
    using Bytes = std::vector<juce::uint8>;

    // Keeps what an input port delivers.
    class Collector : public juce::MidiInputCallback
    {
    public:
        void handleIncomingMidiMessage (juce::MidiInput* source, const juce::MidiMessage& m) override
        {
            const std::lock_guard<std::mutex> l (lock);
            if (source != nullptr)
                ++withSource;
            received.emplace_back (m.getRawData(), m.getRawData() + m.getRawDataSize());
        }

        std::vector<Bytes> messages() const
        {
            const std::lock_guard<std::mutex> l (lock);
            return received;
        }

        size_t count() const
        {
            const std::lock_guard<std::mutex> l (lock);
            return received.size();
        }

        int withSource = 0;

    private:
        mutable std::mutex lock;
        std::vector<Bytes> received;
    };

    SocketMidiPortLayer::Options quick()
    {
        SocketMidiPortLayer::Options o;
        o.nameTimeoutMs = 400;
        o.firstListingWaitMs = 200;
        return o;
    }

    bool lists (SocketMidiPortLayer& layer, const juce::StringArray& names)
    {
        if (pumpUntil ([&] { return MidiPortId::namesOf (layer.getInputs()) == names && MidiPortId::namesOf (layer.getOutputs()) == names; }))
            return true;
        ADD_FAILURE() << "listed: " << MidiPortId::namesOf (layer.getInputs()).joinIntoString ("|") << " / "
                      << MidiPortId::namesOf (layer.getOutputs()).joinIntoString ("|");
        return false;
    }

    // A client that has named itself and is listed.
    std::unique_ptr<LoopbackClient> named (SocketMidiPortLayer& layer, const juce::String& name)
    {
        const int before = layer.getInputs().size();
        auto c = std::make_unique<LoopbackClient>();
        EXPECT_TRUE (c->connect (layer.getPort()));
        EXPECT_TRUE (c->sendText ("NAME " + name + "\n"));
        EXPECT_TRUE (pumpUntil ([&]
        {
            const auto names = MidiPortId::namesOf (layer.getInputs());
            return names.size() == before + 1 && names[before] == name;
        })) << name;
        return c;
    }

    Bytes sysEx (size_t totalSize, juce::uint8 fill = 0x21)
    {
        Bytes b (totalSize, fill);
        b.front() = 0xF0;
        b.back() = 0xF7;
        return b;
    }

    juce::MidiMessage toMessage (const Bytes& b)
    {
        return juce::MidiMessage (b.data(), (int) b.size());
    }

    juce::String repeated (const juce::String& s, int times)
    {
        juce::String out;
        for (int i = 0; i < times; ++i)
            out << s;
        return out;
    }

    Bytes bytesOf (const juce::String& s)
    {
        return Bytes (s.toRawUTF8(), s.toRawUTF8() + s.getNumBytesAsUTF8());
    }
}

TEST (SocketMidiPorts, ListensOnTheLoopbackAddressOnly)
{
    SocketMidiPortLayer layer (quick());
    ASSERT_TRUE (layer.isListening()) << layer.getListenError();
    EXPECT_EQ (layer.getKind(), "socket");
    ASSERT_GT (layer.getPort(), 0);

    // Another loopback address and every other address of this machine are refused.
    LoopbackClient elsewhere;
    EXPECT_FALSE (elsewhere.connect (layer.getPort(), "127.0.0.2"));
    for (auto& address : nonLoopbackAddresses())
        EXPECT_FALSE (elsewhere.connect (layer.getPort(), address.toRawUTF8())) << address;

    LoopbackClient client;
    ASSERT_TRUE (client.connect (layer.getPort()));
    EXPECT_TRUE (pumpUntil ([&] { return layer.getNumConnections() == 1; }));
    // Not a device before it has named itself.
    EXPECT_TRUE (layer.getInputs().isEmpty());
    Collector collector;
    EXPECT_EQ (layer.openInput (layer.getInputs()[0], collector), nullptr);
    EXPECT_EQ (layer.openOutput (layer.getOutputs()[0]), nullptr);
}

TEST (SocketMidiPorts, NamedClientsAreDevicesInTheOrderTheyNamedThemselves)
{
    auto options = quick();
    options.nameTimeoutMs = 60000;
    SocketMidiPortLayer layer (options);

    LoopbackClient late;
    ASSERT_TRUE (late.connect (layer.getPort()));
    auto a = named (layer, "Bench Unit");
    auto b = named (layer, "Bench Unit");   // equal names are the pairing's business

    // A name line in pieces, with blanks around the name and a carriage return.
    ASSERT_TRUE (late.sendBytewise (bytesOf ("NAME   Tool Port  \r\n")));
    ASSERT_TRUE (lists (layer, { "Bench Unit", "Bench Unit", "Tool Port" }));

    // 64 characters, also when they take several bytes each.
    const auto longest = repeated ("x", 64);
    const auto wide = repeated (juce::String (juce::CharPointer_UTF8 ("\xe2\x99\xaa")), 63) + "!";
    ASSERT_EQ (wide.length(), 64);
    auto c = named (layer, longest);
    auto d = named (layer, wide);
    EXPECT_TRUE (lists (layer, { "Bench Unit", "Bench Unit", "Tool Port", longest, wide }));
    EXPECT_EQ (layer.getNumConnections(), 5);
}

TEST (SocketMidiPorts, AMissingOrBadNameLineClosesTheConnection)
{
    SocketMidiPortLayer layer (quick());
    auto good = named (layer, "Good");
    Collector collector;
    auto input = layer.openInput (layer.getInputs()[0], collector);
    ASSERT_NE (input, nullptr);
    input->start();

    const std::vector<Bytes> bad {
        bytesOf ("HELLO there\n"),
        bytesOf ("name lower case\n"),
        bytesOf ("NAME\n"),
        bytesOf ("NAME \n"),
        bytesOf ("NAME      \r\n"),
        bytesOf ("NAME " + repeated ("y", 65) + "\n"),
        bytesOf ("NAME tab\there\n"),
        { 'N', 'A', 'M', 'E', ' ', 'a', 0x00, 'b', '\n' },
        { 'N', 'A', 'M', 'E', ' ', 0xC3, 0x28, '\n' },           // broken UTF-8
        { 'N', 'A', 'M', 'E', ' ', 0xC0, 0xAF, '\n' },           // an overlong form
        { 'N', 'A', 'M', 'E', ' ', 0xED, 0xA0, 0x80, '\n' },     // a surrogate
        { 0xF0, 0x00, 0x7A, 0x15, 0x01, 0xF7 },                  // MIDI straight away
        bytesOf ("NAME " + repeated ("z", 400)),                 // no end to the line
    };
    for (size_t i = 0; i < bad.size(); ++i)
    {
        LoopbackClient client;
        ASSERT_TRUE (client.connect (layer.getPort()));
        client.send (bad[i]);
        EXPECT_TRUE (client.waitForClose()) << i;
    }
    EXPECT_TRUE (pumpUntil ([&] { return layer.getNumConnections() == 1; }));
    EXPECT_EQ (MidiPortId::namesOf (layer.getInputs()), juce::StringArray ("Good"));

    // A client that leaves halfway through its line is simply gone.
    {
        LoopbackClient quitter;
        ASSERT_TRUE (quitter.connect (layer.getPort()));
        quitter.sendText ("NAME Half");
    }

    // The good client never noticed.
    const Bytes note { 0x90, 0x40, 0x7F };
    ASSERT_TRUE (good->send (note));
    ASSERT_TRUE (pumpUntil ([&] { return collector.count() == 1; }));
    EXPECT_EQ (collector.messages()[0], note);
    EXPECT_TRUE (pumpUntil ([&] { return layer.getNumConnections() == 1; }));
    EXPECT_TRUE (good->isStillOpen());

    // The rules of the line on their own.
    const auto parse = [] (const Bytes& line) { return SocketMidiPortLayer::parseNameLine (line.data(), line.size()); };
    EXPECT_EQ (parse (bytesOf ("NAME Unit A")), "Unit A");
    EXPECT_EQ (parse (bytesOf ("NAME  Unit A \r")), "Unit A");
    EXPECT_EQ (parse (bytesOf ("NAME " + repeated ("y", 64))), repeated ("y", 64));
    EXPECT_EQ (parse (bytesOf ("NAME " + repeated ("y", 65))), juce::String());
    EXPECT_EQ (parse (bytesOf ("NAME Unit\rA")), juce::String());
    EXPECT_EQ (parse ({ 'N', 'A', 'M', 'E', ' ', 0xF4, 0x90, 0x80, 0x80 }), juce::String());   // past U+10FFFF
    EXPECT_EQ (parse ({ 'N', 'A', 'M', 'E', ' ', 0xC2, 0x85 }), juce::String());               // a C1 control
    EXPECT_EQ (parse ({ 'N', 'A', 'M', 'E', ' ', 0xE2, 0x99 }), juce::String());               // cut short
}

TEST (SocketMidiPorts, AClientThatNeverNamesItselfIsClosedAfterTheTimeOut)
{
    SocketMidiPortLayer layer (quick());
    LoopbackClient silent, slow;
    ASSERT_TRUE (silent.connect (layer.getPort()));
    ASSERT_TRUE (slow.connect (layer.getPort()));
    slow.sendText ("NAME Sl");   // a start is not a line
    EXPECT_TRUE (silent.waitForClose());
    EXPECT_TRUE (slow.waitForClose());
    EXPECT_TRUE (pumpUntil ([&] { return layer.getNumConnections() == 0; }));

    // A client that did name itself in time stays however quiet it is.
    auto quiet = named (layer, "Quiet");
    EXPECT_FALSE (quiet->waitForClose (1000));
    EXPECT_EQ (MidiPortId::namesOf (layer.getInputs()), juce::StringArray ("Quiet"));
}

TEST (SocketMidiPorts, TheNameTimeOutAtItsRealValue)
{
    SocketMidiPortLayer::Options real;
    EXPECT_EQ (real.nameTimeoutMs, 5000);
    SocketMidiPortLayer layer (real);

    LoopbackClient silent;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE (silent.connect (layer.getPort()));
    EXPECT_TRUE (silent.waitForClose (60000));
    // It cannot have been closed before its time was up (a lower bound only).
    EXPECT_GE (std::chrono::duration_cast<std::chrono::milliseconds> (std::chrono::steady_clock::now() - start).count(), 5000);
}

// A device that connected before the layer was first listed is in that listing, as a unit
// plugged in before start-up is in the first scan. The wait for it is bounded: a client that
// never names itself holds the listing up only for the first-listing wait.
TEST (SocketMidiPorts, TheFirstListingCountsTheClientsAlreadyThere)
{
    SocketMidiPortLayer::Options real;
    EXPECT_EQ (real.firstListingWaitMs, 1000);
    SocketMidiPortLayer layer (real);

    LoopbackClient waiting, silent;
    ASSERT_TRUE (waiting.connect (layer.getPort()));
    ASSERT_TRUE (waiting.sendText ("NAME Waiting Unit\n"));
    ASSERT_TRUE (silent.connect (layer.getPort()));

    EXPECT_EQ (MidiPortId::namesOf (layer.getOutputs()), juce::StringArray ("Waiting Unit"));
    // The silent client is still there: the listing did not wait out its name time-out.
    EXPECT_EQ (layer.getNumConnections(), 2);
    EXPECT_EQ (MidiPortId::namesOf (layer.getInputs()), juce::StringArray ("Waiting Unit"));
}

TEST (SocketMidiPorts, RawMidiBytesBothWays)
{
    SocketMidiPortLayer layer (quick());
    auto a = named (layer, "A");
    auto b = named (layer, "B");

    Collector fromA, fromB;
    auto inA = layer.openInput (layer.getInputs()[0], fromA);
    auto inB = layer.openInput (layer.getInputs()[1], fromB);
    auto outA = layer.openOutput (layer.getOutputs()[0]);
    auto outB = layer.openOutput (layer.getOutputs()[1]);
    ASSERT_TRUE (inA && inB && outA && outB);

    // Nothing is delivered before the port is started. The layer reads its clients in the
    // order they came, so once B's message is in, A's earlier one has been dealt with.
    inB->start();
    ASSERT_TRUE (a->send ({ 0xF0, 0x01, 0xF7 }));
    ASSERT_TRUE (b->send ({ 0xC1, 0x08 }));
    ASSERT_TRUE (pumpUntil ([&] { return fromB.count() == 1; }));
    inA->start();

    // Garbage first, then a SysEx written a byte at a time, a note with running status, a
    // SysEx with a clock byte inside it, and a SysEx in two writes.
    const Bytes query { 0xF0, 0x00, 0x7A, 0x15, 0x00, 0x11, 0x7E, 0x7F, 0xF7 };
    ASSERT_TRUE (a->send ({ 0x00, 0x13, 0x7F, 0xF7 }));
    ASSERT_TRUE (a->sendBytewise (query));
    ASSERT_TRUE (a->send ({ 0x92, 0x30, 0x40, 0x31, 0x41 }));
    ASSERT_TRUE (a->send ({ 0xF0, 0x05, 0xF8, 0x06, 0xF7 }));
    ASSERT_TRUE (a->send ({ 0xF0, 0x07 }));
    ASSERT_TRUE (b->send ({ 0xC1, 0x09 }));
    ASSERT_TRUE (a->send ({ 0x08, 0xF7 }));

    const std::vector<Bytes> expected { query, { 0x92, 0x30, 0x40 }, { 0x92, 0x31, 0x41 },
                                        { 0xF8 }, { 0xF0, 0x05, 0x06, 0xF7 }, { 0xF0, 0x07, 0x08, 0xF7 } };
    ASSERT_TRUE (pumpUntil ([&] { return fromA.count() >= expected.size(); }));
    EXPECT_EQ (fromA.messages(), expected);
    ASSERT_TRUE (pumpUntil ([&] { return fromB.count() == 2; }));
    EXPECT_EQ (fromB.messages()[1], (Bytes { 0xC1, 0x09 }));
    EXPECT_EQ (fromA.withSource + fromB.withSource, 0);

    // What the program sends reaches its client as it is, and only that client.
    const auto big = sysEx (3000, 0x33);
    outA->sendMessageNow (toMessage (query));
    outA->sendMessageNow (toMessage (big));
    outB->sendMessageNow (juce::MidiMessage::noteOn (3, 60, (juce::uint8) 100));
    Bytes wanted = query;
    wanted.insert (wanted.end(), big.begin(), big.end());
    EXPECT_EQ (a->receive (wanted.size()), wanted);
    EXPECT_EQ (b->receive (3), (Bytes { 0x92, 60, 100 }));
    EXPECT_TRUE (a->receive (1, 200).empty());

    // A stopped input delivers nothing more.
    inA->stop();
    const auto before = fromA.count();
    ASSERT_TRUE (a->send ({ 0xF0, 0x0A, 0xF7 }));
    ASSERT_TRUE (b->send ({ 0xC1, 0x0B }));
    ASSERT_TRUE (pumpUntil ([&] { return fromB.count() == 3; }));
    EXPECT_EQ (fromA.count(), before);
}

TEST (SocketMidiPorts, ADisconnectedClientLeavesBothListsAndItsPortsGoSilent)
{
    SocketMidiPortLayer layer (quick());
    auto a = named (layer, "A");
    auto b = named (layer, "B");
    auto c = named (layer, "C");

    Collector fromB;
    const auto portB = layer.getInputs()[1];
    ASSERT_EQ (layer.getOutputs()[1], portB);
    auto inB = layer.openInput (portB, fromB);
    auto outB = layer.openOutput (portB);
    ASSERT_TRUE (inB && outB);
    inB->start();

    b->close();
    ASSERT_TRUE (lists (layer, { "A", "C" }));
    EXPECT_EQ (layer.getNumConnections(), 2);

    // The old ports are dead: sends are dropped, nothing arrives; B's ports open no more,
    // and what took B's place in the lists is C.
    outB->sendMessageNow (toMessage ({ 0xF0, 0x01, 0xF7 }));
    EXPECT_EQ (layer.openInput (portB, fromB), nullptr);
    EXPECT_EQ (layer.openOutput (portB), nullptr);
    EXPECT_EQ (layer.openOutput (MidiPortId()), nullptr);
    auto outC = layer.openOutput (layer.getOutputs()[1]);
    ASSERT_NE (outC, nullptr);
    outC->sendMessageNow (toMessage ({ 0xF0, 0x0C, 0xF7 }));
    EXPECT_EQ (c->receive (3), (Bytes { 0xF0, 0x0C, 0xF7 }));

    // B comes back: a new device at the end, with ports of its own: the old ones stay dead,
    // and what named them opens nothing.
    auto b2 = named (layer, "B");
    EXPECT_TRUE (lists (layer, { "A", "C", "B" }));
    EXPECT_EQ (layer.getInputs()[2].name, "B");
    EXPECT_NE (layer.getInputs()[2], portB);
    EXPECT_EQ (layer.openInput (portB, fromB), nullptr);
    outB->sendMessageNow (toMessage ({ 0xF0, 0x02, 0xF7 }));
    ASSERT_TRUE (b2->send ({ 0xF0, 0x03, 0xF7 }));
    EXPECT_TRUE (b2->receive (1, 300).empty());
    EXPECT_EQ (fromB.count(), 0u);
}

TEST (SocketMidiPorts, ASysExOverTheLimitIsDroppedAndTheClientStays)
{
    SocketMidiPortLayer layer (quick());
    EXPECT_EQ (SocketMidiPortLayer::Options().maxSysExBytes, 65536u);
    auto a = named (layer, "A");
    Collector collector;
    auto in = layer.openInput (layer.getInputs()[0], collector);
    in->start();

    const auto atLimit = sysEx (65536, 0x12);
    const auto over = sysEx (65537, 0x13);
    const Bytes small { 0xF0, 0x14, 0xF7 };
    ASSERT_TRUE (a->send (over));
    ASSERT_TRUE (a->send (atLimit));
    ASSERT_TRUE (a->send (sysEx (1 << 20, 0x15)));   // a megabyte
    ASSERT_TRUE (a->send (small));

    ASSERT_TRUE (pumpUntil ([&] { return collector.count() == 2; }));
    const auto got = collector.messages();
    EXPECT_EQ (got[0], atLimit);
    EXPECT_EQ (got[1], small);
    EXPECT_EQ (MidiPortId::namesOf (layer.getInputs()), juce::StringArray ("A"));
    EXPECT_TRUE (a->isStillOpen());
}

TEST (SocketMidiPorts, AClientThatDoesNotReadIsDisconnectedAndASlowOneIsServed)
{
    SocketMidiPortLayer layer (quick());
    EXPECT_EQ (SocketMidiPortLayer::Options().maxPendingOutputBytes, 256u * 1024u);

    LoopbackClient sleepy;
    ASSERT_TRUE (sleepy.connect (layer.getPort(), "127.0.0.1", 4096));
    ASSERT_TRUE (sleepy.sendText ("NAME Sleepy\n"));
    ASSERT_TRUE (lists (layer, { "Sleepy" }));
    auto slow = named (layer, "Slow");
    ASSERT_TRUE (lists (layer, { "Sleepy", "Slow" }));
    auto toSleepy = layer.openOutput (layer.getOutputs()[0]);
    auto toSlow = layer.openOutput (layer.getOutputs()[1]);
    ASSERT_TRUE (toSleepy && toSlow);

    // The slow client reads in small bites with pauses; it gets every byte, in order.
    Bytes stream;
    for (int i = 0; i < 300; ++i)
    {
        auto m = sysEx (1000, (juce::uint8) (i % 100));
        stream.insert (stream.end(), m.begin(), m.end());
    }
    Bytes slowGot;
    std::atomic<size_t> slowCount { 0 };
    std::thread reader ([&]
    {
        while (slowGot.size() < stream.size())
        {
            auto part = slow->receive (juce::jmin ((size_t) 8192, stream.size() - slowGot.size()), 20000);
            if (part.empty())
                break;
            slowGot.insert (slowGot.end(), part.begin(), part.end());
            slowCount = slowGot.size();
            std::this_thread::sleep_for (std::chrono::milliseconds (2));
        }
    });

    // The program goes on sending to a client that never reads: each send returns, and
    // once more is waiting than the bound allows, that client is gone.
    const auto block = sysEx (1024, 0x44);
    size_t sentToSleepy = 0;
    size_t nextForSlow = 0;
    while (sentToSleepy < ((size_t) 16 << 20) && MidiPortId::namesOf (layer.getInputs()).contains ("Sleepy"))
    {
        toSleepy->sendMessageNow (toMessage (block));
        sentToSleepy += block.size();
        if (nextForSlow < stream.size())
        {
            toSlow->sendMessageNow (toMessage (Bytes (stream.begin() + (std::ptrdiff_t) nextForSlow,
                                                      stream.begin() + (std::ptrdiff_t) nextForSlow + 1000)));
            nextForSlow += 1000;
        }
    }
    EXPECT_FALSE (MidiPortId::namesOf (layer.getInputs()).contains ("Sleepy"));
    EXPECT_GE (sentToSleepy, (size_t) 256 * 1024);
    while (nextForSlow < stream.size())
    {
        toSlow->sendMessageNow (toMessage (Bytes (stream.begin() + (std::ptrdiff_t) nextForSlow,
                                                  stream.begin() + (std::ptrdiff_t) nextForSlow + 1000)));
        nextForSlow += 1000;
        // The program waits for answers between its messages; so does this sender, now
        // and then, so that what waits stays within the bound.
        if (nextForSlow % 100000 == 0)
            pumpUntil ([&] { return slowCount.load() + 150000 >= nextForSlow; }, 20000);
    }
    reader.join();

    EXPECT_TRUE (sleepy.waitForClose());
    EXPECT_EQ (slowGot, stream);
    EXPECT_EQ (MidiPortId::namesOf (layer.getInputs()), juce::StringArray ("Slow"));
    toSleepy->sendMessageNow (toMessage (block));   // dropped
}

TEST (SocketMidiPorts, AtMostSixteenConnections)
{
    SocketMidiPortLayer::Options options = quick();
    EXPECT_EQ (SocketMidiPortLayer::Options().maxConnections, 16);
    options.nameTimeoutMs = 60000;
    SocketMidiPortLayer layer (options);

    std::vector<std::unique_ptr<LoopbackClient>> clients;
    juce::StringArray names;
    for (int i = 0; i < 15; ++i)
    {
        names.add ("Port " + juce::String (i));
        clients.push_back (named (layer, names[i]));
    }
    // One without a name yet counts as well.
    LoopbackClient unnamed;
    ASSERT_TRUE (unnamed.connect (layer.getPort()));
    ASSERT_TRUE (pumpUntil ([&] { return layer.getNumConnections() == 16; }));

    for (int i = 0; i < 3; ++i)
    {
        LoopbackClient extra;
        ASSERT_TRUE (extra.connect (layer.getPort()));
        extra.sendText ("NAME Extra\n");
        EXPECT_TRUE (extra.waitForClose()) << i;
    }
    EXPECT_EQ (MidiPortId::namesOf (layer.getInputs()), names);
    EXPECT_EQ (layer.getNumConnections(), 16);

    // A place that comes free can be taken.
    clients[3]->close();
    ASSERT_TRUE (pumpUntil ([&] { return layer.getNumConnections() == 15; }));
    auto newcomer = named (layer, "Newcomer");
    names.remove (3);
    names.add ("Newcomer");
    EXPECT_EQ (MidiPortId::namesOf (layer.getInputs()), names);
    EXPECT_TRUE (unnamed.sendText ("NAME Last\n"));
    names.add ("Last");
    EXPECT_TRUE (lists (layer, names));
}

TEST (SocketMidiPorts, DestroyingTheLayerClosesEverythingAndLeavesItsPortsHarmless)
{
    auto layer = std::make_unique<SocketMidiPortLayer> (quick());
    const int port = layer->getPort();
    auto a = named (*layer, "A");
    LoopbackClient unnamed;
    ASSERT_TRUE (unnamed.connect (port));

    Collector collector;
    auto in = layer->openInput (layer->getInputs()[0], collector);
    auto out = layer->openOutput (layer->getOutputs()[0]);
    ASSERT_TRUE (in && out);
    in->start();
    // The layer goes while its client is sending.
    std::atomic<bool> done { false };
    std::thread chatter ([&]
    {
        const Bytes m { 0xF0, 0x01, 0xF7 };
        while (! done.load() && a->send (m)) {}
    });
    ASSERT_TRUE (pumpUntil ([&] { return collector.count() > 10; }));
    layer.reset();
    done = true;
    chatter.join();

    EXPECT_TRUE (a->waitForClose());
    EXPECT_TRUE (unnamed.waitForClose());
    const auto delivered = collector.count();
    out->sendMessageNow (toMessage ({ 0xF0, 0x02, 0xF7 }));
    in->stop();
    in.reset();
    out.reset();
    EXPECT_EQ (collector.count(), delivered);

    // The port is free for the next run.
    SocketMidiPortLayer::Options again = quick();
    again.port = port;
    SocketMidiPortLayer next (again);
    EXPECT_TRUE (next.isListening()) << next.getListenError();
    EXPECT_EQ (next.getPort(), port);
}

TEST (SocketMidiPorts, APortInUseIsReportedAndGivesNoPorts)
{
    SocketMidiPortLayer first (quick());
    SocketMidiPortLayer::Options same = quick();
    same.port = first.getPort();
    SocketMidiPortLayer second (same);
    EXPECT_FALSE (second.isListening());
    EXPECT_EQ (second.getPort(), 0);
    EXPECT_TRUE (second.getListenError().contains ("127.0.0.1:" + juce::String (first.getPort())));
    EXPECT_TRUE (second.getInputs().isEmpty());
    Collector collector;
    EXPECT_EQ (second.openInput (second.getInputs()[0], collector), nullptr);

    // The first is untouched.
    auto a = named (first, "A");
    EXPECT_EQ (MidiPortId::namesOf (first.getInputs()), juce::StringArray ("A"));
}

TEST (SocketMidiPorts, TheEnvironmentWordChoosesThisBackend)
{
    EXPECT_EQ (SocketMidiPortLayer::portFromWord ("socket:5000"), 5000);
    EXPECT_EQ (SocketMidiPortLayer::portFromWord (" Socket: 65535 "), 65535);
    EXPECT_EQ (SocketMidiPortLayer::portFromWord ("socket:1"), 1);
    EXPECT_EQ (SocketMidiPortLayer::portFromWord ("virtual"), 0);
    EXPECT_EQ (SocketMidiPortLayer::portFromWord (""), 0);
    for (auto bad : { "socket:", "socket:0", "socket:65536", "socket:123456", "socket:-5", "socket:12ab", "socket:1 2" })
        EXPECT_EQ (SocketMidiPortLayer::portFromWord (bad), -1) << bad;

    int freePort = 0;
    {
        SocketMidiPortLayer probe (quick());
        freePort = probe.getPort();
    }
    {
        ScopedEnvironmentVariable midi ("LARKSPIRE_MIDI", "socket:" + juce::String (freePort));
        auto layer = MidiPortLayer::createFromEnvironment();
        ASSERT_EQ (layer->getKind(), "socket");
        auto* socketLayer = dynamic_cast<SocketMidiPortLayer*> (layer.get());
        ASSERT_NE (socketLayer, nullptr);
        EXPECT_EQ (socketLayer->getPort(), freePort);
        LoopbackClient client;
        ASSERT_TRUE (client.connect (freePort));
        client.sendText ("NAME From Outside\n");
        EXPECT_TRUE (pumpUntil ([&] { return MidiPortId::namesOf (layer->getInputs()) == juce::StringArray ("From Outside"); }));
    }
    {
        ScopedEnvironmentVariable midi ("LARKSPIRE_MIDI", "socket:99999");
        EXPECT_EQ (MidiPortLayer::createFromEnvironment()->getKind(), "juce");
    }
}
