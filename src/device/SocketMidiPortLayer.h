#pragma once

#include "device/MidiPortLayer.h"
#include <memory>
#include <thread>

// MIDI ports of programs outside this one, over TCP on the loopback address (never another
// address). Every accepted connection is one device with an input port and an output port
// of the same name, which the client gives in its first line: "NAME <port name>" ended by a
// newline. After that line the connection carries raw MIDI bytes both ways: what the client
// sends arrives at the input port as the messages the bytes form, and what the program
// sends through the output port reaches the client as it is.
//
// The lists hold the named clients in the order they named themselves; a client that goes
// leaves both lists, and its open ports go silent for good, like an unplugged unit's. A
// port is known by its connection: a client that connects again has new ports.
// The first listing also counts the clients that were already there: it waits (at most the
// first-listing wait) until every connection made before it has named itself or gone, so
// that a device waiting for the program is found by its first scan.
//
// No client can stall the program or the other clients: a missing or bad first line, or
// none within the name time-out, closes the connection; bytes outside a message are
// dropped, and so is a SysEx over the size limit; what a client does not read is kept only
// up to a bound, past which that client is disconnected; connections beyond the limit are
// closed as soon as they are accepted.
//
// One thread serves the listening socket and every connection; it waits in poll() and is
// woken when there is something to do, and it stops when the layer is destroyed.
class SocketMidiPortLayer : public MidiPortLayer
{
public:
    struct Options
    {
        int port = 0;                                // 0: any free port (getPort tells which)
        int nameTimeoutMs = 5000;                    // for the first line
        int maxConnections = 16;                     // named or not
        size_t maxSysExBytes = 65536;                // F0 to F7
        size_t maxPendingOutputBytes = 256 * 1024;   // beyond what the system buffers
        int firstListingWaitMs = 1000;               // for clients already there to name themselves
    };

    static constexpr int maxNameLength = 64;         // characters

    explicit SocketMidiPortLayer (const Options& options);
    // Closes every connection; ports opened on them stay safe to use and do nothing.
    ~SocketMidiPortLayer() override;

    juce::String getKind() const override { return "socket"; }

    MidiPortList getInputs() override;
    MidiPortList getOutputs() override;

    std::unique_ptr<MidiInputPort> openInput (const MidiPortId& port, juce::MidiInputCallback& callback) override;
    std::unique_ptr<MidiOutputPort> openOutput (const MidiPortId& port) override;

    bool isListening() const;
    // The port listened on (0 when not listening) and why listening failed.
    int getPort() const;
    juce::String getListenError() const;
    // Open connections, named or not.
    int getNumConnections() const;

    // The port name a first line (without its newline; a carriage return before it is
    // allowed) gives, or empty when it is no valid name line: it must be "NAME " and then a
    // name of 1 to 64 characters of valid UTF-8 without control characters; blanks around
    // the name are not part of it.
    static juce::String parseNameLine (const juce::uint8* line, size_t size);

    // The longest first line, newline not counted.
    static constexpr size_t maxNameLineBytes = 5 + 4 * (size_t) maxNameLength + 1;

    // The port of a LARKSPIRE_MIDI word "socket:PORT" (1 to 65535), or 0 when the word is
    // not one, or -1 when it is one with a bad port.
    static int portFromWord (const juce::String& word);

private:
    class Server;
    std::shared_ptr<Server> server;
    std::thread ioThread;

    JUCE_DECLARE_NON_COPYABLE (SocketMidiPortLayer)
};
