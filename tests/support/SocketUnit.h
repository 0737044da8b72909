#pragma once

#include "device/MidiByteStreamParser.h"
#include "device/sim/SimulatedUnit.h"
#include "support/LoopbackClient.h"
#include <atomic>
#include <thread>

namespace testing_support
{
    // A simulated unit that reaches the program through the socket port layer, as a unit
    // simulator outside the program would: it connects, names its ports, and then carries
    // the unit's side of the protocol over the connection (what the program sends is handed
    // to the unit, what the unit answers is written back as raw bytes). When the unit
    // vanishes (its fault switch) or disconnect() is called, the connection is closed.
    class SocketUnit : private juce::MidiInputCallback
    {
    public:
        SocketUnit (std::shared_ptr<SimulatedUnit> unit, int port, const juce::String& portName);
        ~SocketUnit() override;

        // Connected and its name line sent (the layer lists it a moment later).
        bool isConnected() const noexcept { return connected.load(); }
        void disconnect();

        SimulatedUnit& unit() { return *sim; }
        std::shared_ptr<SimulatedUnit> getUnit() { return sim; }

    private:
        void handleIncomingMidiMessage (juce::MidiInput*, const juce::MidiMessage& message) override;
        void readFromProgram();
        void closeConnection();

        std::shared_ptr<SimulatedUnit> sim;
        const int generation;
        int inputId = 0;

        LoopbackClient client;
        std::mutex writeLock;   // the unit's thread writes, the reader closes
        std::atomic<bool> connected { false }, stopping { false };
        MidiByteStreamParser parser;
        std::thread reader;
    };
}
