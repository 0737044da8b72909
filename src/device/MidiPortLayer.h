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

// The program's view of the computer's MIDI ports: two lists of port names in index order
// and opening by index. The device threads reach every port through one of these.
//
// Backends: JuceMidiPortLayer (the platform's ports through JUCE), VirtualMidiPortLayer
// (in-process ports of simulated units and other stand-in devices) and SocketMidiPortLayer
// (ports of programs outside the process, over the loopback network). A backend must:
// - list names in a stable order between changes of the port set, and let a port that is
//   unplugged leave the lists (the device manager polls them to notice changes);
// - open by the index in the current lists and fail (null) for an index that is not there;
// - keep an open port usable, or silently dead, after the lists changed: sends to a port
//   whose device went away are dropped, and its input delivers nothing more;
// - tell that an open port died (isGone) also when its device is back under the same name
//   before the lists were looked at again: names alone cannot show a quick replug;
// - be callable from any thread; port opening may be asked from the message thread.
class MidiPortLayer
{
public:
    virtual ~MidiPortLayer() = default;

    // A short name of the backend, such as "juce" or "virtual".
    virtual juce::String getKind() const = 0;

    virtual juce::StringArray getInputNames() = 0;
    virtual juce::StringArray getOutputNames() = 0;

    virtual std::unique_ptr<MidiInputPort> openInput (int index, juce::MidiInputCallback& callback) = 0;
    virtual std::unique_ptr<MidiOutputPort> openOutput (int index) = 0;

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
