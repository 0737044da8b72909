#pragma once

#include <juce_audio_devices/juce_audio_devices.h>
#include <mutex>
#include <vector>

// A device behind the virtual port layer: up to one input and one output port as the
// program sees them (either name may be empty: no such port), present or unplugged. What
// the program sends through an output port of the device arrives in receivedFromProgram;
// what the device sends reaches every started input port opened on it.
//
// Unplugging takes both ports out of the lists and kills the ports opened so far for good:
// a device that is plugged in again gets new ports, as a real USB device does.
class VirtualMidiDevice
{
public:
    VirtualMidiDevice (const juce::String& inputName, const juce::String& outputName);
    virtual ~VirtualMidiDevice();

    // The program's input port (what the device sends) and output port (what it receives).
    juce::String getInputName() const;
    juce::String getOutputName() const;
    void setPortNames (const juce::String& inputName, const juce::String& outputName);
    // What the layer knows the device's ports by: the device's own for as long as it lives,
    // also when it is plugged in again.
    const juce::String& getIdentifier() const noexcept { return identifier; }

    bool isPresent() const;
    int getGeneration() const;
    void unplug();
    void plugIn();

    // Used by the ports of the virtual layer. A port opened at a generation lives while the
    // device is present and has not been unplugged since.
    bool isLive (int generation) const;
    void messageFromProgram (int generation, const juce::MidiMessage& message);
    int attachInput (juce::MidiInputCallback& callback, int generation);
    // Switching an input off waits for a delivery that is under way.
    void setInputActive (int id, bool active);
    void detachInput (int id);

protected:
    // Delivers to the program on the calling thread; nothing when unplugged.
    void sendToProgram (const juce::MidiMessage& message);

    // Called on the sending thread of the program; must not block for long.
    virtual void receivedFromProgram (const juce::MidiMessage& message) { juce::ignoreUnused (message); }

private:
    struct Input
    {
        int id;
        juce::MidiInputCallback* callback;
        int generation;
        bool active;
    };

    const juce::String identifier;

    mutable std::mutex stateLock;
    juce::String inputName, outputName;
    bool present = true;
    int generation = 1;

    std::mutex deliveryLock;
    std::vector<Input> inputs;
    int nextInputId = 1;

    JUCE_DECLARE_NON_COPYABLE (VirtualMidiDevice)
};
