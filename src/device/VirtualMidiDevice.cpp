#include "device/VirtualMidiDevice.h"
#include <atomic>

namespace
{
    juce::String newIdentifier()
    {
        static std::atomic<juce::uint64> made { 0 };
        return "virtual:" + juce::String (++made);
    }
}

VirtualMidiDevice::VirtualMidiDevice (const juce::String& in, const juce::String& out)
    : identifier (newIdentifier()), inputName (in), outputName (out)
{
}

VirtualMidiDevice::~VirtualMidiDevice() = default;

juce::String VirtualMidiDevice::getInputName() const
{
    const std::lock_guard<std::mutex> l (stateLock);
    return inputName;
}

juce::String VirtualMidiDevice::getOutputName() const
{
    const std::lock_guard<std::mutex> l (stateLock);
    return outputName;
}

void VirtualMidiDevice::setPortNames (const juce::String& in, const juce::String& out)
{
    const std::lock_guard<std::mutex> l (stateLock);
    inputName = in;
    outputName = out;
}

bool VirtualMidiDevice::isPresent() const
{
    const std::lock_guard<std::mutex> l (stateLock);
    return present;
}

int VirtualMidiDevice::getGeneration() const
{
    const std::lock_guard<std::mutex> l (stateLock);
    return generation;
}

void VirtualMidiDevice::unplug()
{
    const std::lock_guard<std::mutex> l (stateLock);
    if (present)
    {
        present = false;
        ++generation;
    }
}

void VirtualMidiDevice::plugIn()
{
    const std::lock_guard<std::mutex> l (stateLock);
    present = true;
}

bool VirtualMidiDevice::isLive (int portGeneration) const
{
    const std::lock_guard<std::mutex> l (stateLock);
    return present && portGeneration == generation;
}

void VirtualMidiDevice::messageFromProgram (int portGeneration, const juce::MidiMessage& message)
{
    if (isLive (portGeneration))
        receivedFromProgram (message);
}

int VirtualMidiDevice::attachInput (juce::MidiInputCallback& callback, int portGeneration)
{
    const std::lock_guard<std::mutex> l (deliveryLock);
    const int id = nextInputId++;
    inputs.push_back ({ id, &callback, portGeneration, false });
    return id;
}

void VirtualMidiDevice::setInputActive (int id, bool active)
{
    const std::lock_guard<std::mutex> l (deliveryLock);
    for (auto& i : inputs)
        if (i.id == id)
            i.active = active;
}

void VirtualMidiDevice::detachInput (int id)
{
    const std::lock_guard<std::mutex> l (deliveryLock);
    inputs.erase (std::remove_if (inputs.begin(), inputs.end(), [id] (const Input& i) { return i.id == id; }),
                  inputs.end());
}

void VirtualMidiDevice::sendToProgram (const juce::MidiMessage& message)
{
    const std::lock_guard<std::mutex> l (deliveryLock);
    int current = 0;
    {
        const std::lock_guard<std::mutex> s (stateLock);
        if (! present)
            return;
        current = generation;
    }
    for (auto& i : inputs)
        if (i.active && i.generation == current)
            i.callback->handleIncomingMidiMessage (nullptr, message);
}
