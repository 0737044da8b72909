#include "support/SocketUnit.h"
#include <poll.h>
#include <sys/socket.h>

namespace testing_support
{
    SocketUnit::SocketUnit (std::shared_ptr<SimulatedUnit> unit, int port, const juce::String& portName)
        : sim (std::move (unit)), generation (sim->getGeneration())
    {
        inputId = sim->attachInput (*this, generation);
        sim->setInputActive (inputId, true);

        if (client.connect (port) && client.sendText ("NAME " + portName + "\n"))
        {
            connected = true;
            reader = std::thread ([this] { readFromProgram(); });
        }
    }

    SocketUnit::~SocketUnit()
    {
        disconnect();
        sim->setInputActive (inputId, false);
        sim->detachInput (inputId);
    }

    void SocketUnit::disconnect()
    {
        stopping = true;
        if (reader.joinable())
            reader.join();
        closeConnection();
    }

    void SocketUnit::closeConnection()
    {
        const std::lock_guard<std::mutex> l (writeLock);
        client.close();
        connected = false;
    }

    void SocketUnit::handleIncomingMidiMessage (juce::MidiInput*, const juce::MidiMessage& message)
    {
        const std::lock_guard<std::mutex> l (writeLock);
        if (client.isOpen())
            client.send (message.getRawData(), (size_t) message.getRawDataSize());
    }

    void SocketUnit::readFromProgram()
    {
        while (! stopping.load())
        {
            // A unit that vanished takes its connection with it.
            if (! sim->isPresent() || sim->getGeneration() != generation)
                break;

            pollfd p { client.getFd(), POLLIN, 0 };
            if (::poll (&p, 1, 10) <= 0)
                continue;

            juce::uint8 buffer[4096];
            const auto r = ::recv (client.getFd(), buffer, sizeof (buffer), 0);
            if (r <= 0)
                break;
            parser.feed (buffer, (size_t) r, 0.0,
                         [this] (const juce::MidiMessage& m) { sim->messageFromProgram (generation, m); });
        }
        closeConnection();
    }
}
