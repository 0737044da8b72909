#pragma once

#include <juce_audio_devices/juce_audio_devices.h>
#include <memory>

// An open MIDI input port. Between start() and stop() it hands every incoming message to
// the callback it was opened with, on a thread of its backend, with a null source: the
// callback never looks at the source.
class MidiInputPort
{
public:
    virtual ~MidiInputPort() = default;   // stops delivery first

    virtual void start() = 0;
    // Once stop() has returned, no call of the callback is running or will begin.
    virtual void stop() = 0;

    // Whether the port's device went away after the port was opened. A dead port stays dead
    // when a device of the same name comes back: that one has ports of its own.
    virtual bool isGone() const = 0;
};

// An open MIDI output port. Callers serialise their sends and never send after closing.
class MidiOutputPort
{
public:
    virtual ~MidiOutputPort() = default;

    // Sends at once. A port whose device went away drops the message.
    virtual void sendMessageNow (const juce::MidiMessage& message) = 0;

    // As for an input port.
    virtual bool isGone() const = 0;
};

// A port as the lists show it: its name, and what its backend knows it by. No two ports
// listed at one time share an identifier.
struct MidiPortId
{
    juce::String name;
    juce::String identifier;

    bool isEmpty() const noexcept { return name.isEmpty() && identifier.isEmpty(); }
    bool operator== (const MidiPortId& other) const noexcept { return name == other.name && identifier == other.identifier; }
    bool operator!= (const MidiPortId& other) const noexcept { return ! operator== (other); }

    // The names of the ports, in list order.
    static juce::StringArray namesOf (const juce::Array<MidiPortId>& ports);
};

using MidiPortList = juce::Array<MidiPortId>;

// The program's view of the computer's MIDI ports: a list of inputs and a list of outputs,
// and opening a listed port. The device threads reach every port through one of these.
//
// Backends: JuceMidiPortLayer (the platform's ports through JUCE), VirtualMidiPortLayer
// (in-process ports of simulated units and other stand-in devices) and SocketMidiPortLayer
// (ports of programs outside the process, over the loopback network). A backend must:
// - list ports in a stable order between changes of the port set, and let a port that is
//   unplugged leave the lists (the device manager polls them to notice changes);
// - give each listed port an identifier that no other listed port has: the platform's
//   identifier of the device's port, the socket layer's number of the connection (never
//   given twice), the in-process device's own number (kept when it is plugged in again, as
//   platforms that know a device by where or what it is keep theirs);
// - open only the port that is listed now under the identifier and the name given, and fail
//   (null) for one that is no longer listed or whose identifier now names another port:
//   never open by a place in the lists, which moves when a port leaves and comes back;
// - keep an open port usable, or silently dead, after the lists changed: sends to a port
//   whose device went away are dropped, and its input delivers nothing more;
// - tell that an open port died (isGone) also when its device is back under the same name
//   before the lists were looked at again: names alone cannot show a quick replug;
// - be callable from any thread; port opening may be asked from the message thread.
//
// What the device objects make of it: a unit is used only on the ports it was identified
// on. Its device object keeps their identities and opens exactly those ports, or none (the
// unit then counts as lost, as at an unplug). Where the lists changed between the
// identification and a later opening, a backend may have given the identifier to another
// device, so the unit is asked who it is on the ports before anything is read from it or
// written to it, and counts as lost when another unit or none answers.
class MidiPortLayer
{
public:
    virtual ~MidiPortLayer() = default;

    // A short name of the backend, such as "juce" or "virtual".
    virtual juce::String getKind() const = 0;

    virtual MidiPortList getInputs() = 0;
    virtual MidiPortList getOutputs() = 0;

    virtual std::unique_ptr<MidiInputPort> openInput (const MidiPortId& port, juce::MidiInputCallback& callback) = 0;
    virtual std::unique_ptr<MidiOutputPort> openOutput (const MidiPortId& port) = 0;

    // The backend named by LARKSPIRE_MIDI: unset, empty or "juce" gives the platform's ports;
    // "virtual" gives in-process ports with one simulated unit for each product of the
    // installed sample content; "socket:PORT" gives the ports of the programs that connect
    // to 127.0.0.1:PORT. New backends add their word here.
    static std::shared_ptr<MidiPortLayer> createFromEnvironment();
};

// The process-wide port layer, made from the environment on first use. Tests install their
// own before they make a device manager.
std::shared_ptr<MidiPortLayer> getMidiPortLayer();
void setMidiPortLayer (std::shared_ptr<MidiPortLayer> layer);
