#include "device/VirtualMidiPortLayer.h"

namespace
{
    class VirtualInputPort : public MidiInputPort
    {
    public:
        VirtualInputPort (std::shared_ptr<VirtualMidiDevice> d, juce::MidiInputCallback& callback)
            : device (std::move (d)), generation (device->getGeneration())
        {
            id = device->attachInput (callback, generation);
        }

        ~VirtualInputPort() override
        {
            device->setInputActive (id, false);
            device->detachInput (id);
        }

        void start() override { device->setInputActive (id, true); }
        void stop() override  { device->setInputActive (id, false); }
        bool isGone() const override { return ! device->isLive (generation); }

    private:
        std::shared_ptr<VirtualMidiDevice> device;
        const int generation;
        int id = 0;
    };

    class VirtualOutputPort : public MidiOutputPort
    {
    public:
        explicit VirtualOutputPort (std::shared_ptr<VirtualMidiDevice> d)
            : device (std::move (d)), generation (device->getGeneration()) {}

        void sendMessageNow (const juce::MidiMessage& message) override
        {
            device->messageFromProgram (generation, message);
        }

        bool isGone() const override { return ! device->isLive (generation); }

    private:
        std::shared_ptr<VirtualMidiDevice> device;
        int generation;
    };
}

juce::StringArray VirtualMidiPortLayer::getInputNames()
{
    juce::StringArray names;
    for (auto& d : getDevices())
        if (d->isPresent() && d->getInputName().isNotEmpty())
            names.add (d->getInputName());
    return names;
}

juce::StringArray VirtualMidiPortLayer::getOutputNames()
{
    juce::StringArray names;
    for (auto& d : getDevices())
        if (d->isPresent() && d->getOutputName().isNotEmpty())
            names.add (d->getOutputName());
    return names;
}

std::shared_ptr<VirtualMidiDevice> VirtualMidiPortLayer::findPort (int index, bool input, juce::String& name) const
{
    int i = 0;
    for (auto& d : getDevices())
    {
        if (! d->isPresent())
            continue;
        name = input ? d->getInputName() : d->getOutputName();
        if (name.isEmpty())
            continue;
        if (i++ == index)
            return d;
    }
    return nullptr;
}

std::unique_ptr<MidiInputPort> VirtualMidiPortLayer::openInput (int index, juce::MidiInputCallback& callback)
{
    juce::String name;
    auto device = findPort (index, true, name);
    if (device == nullptr)
        return nullptr;
    return std::make_unique<VirtualInputPort> (std::move (device), callback);
}

std::unique_ptr<MidiOutputPort> VirtualMidiPortLayer::openOutput (int index)
{
    juce::String name;
    auto device = findPort (index, false, name);
    if (device == nullptr)
        return nullptr;
    return std::make_unique<VirtualOutputPort> (std::move (device));
}

void VirtualMidiPortLayer::addDevice (std::shared_ptr<VirtualMidiDevice> device)
{
    if (device == nullptr)
        return;
    const std::lock_guard<std::mutex> l (lock);
    devices.push_back (std::move (device));
}

void VirtualMidiPortLayer::removeDevice (const std::shared_ptr<VirtualMidiDevice>& device)
{
    if (device != nullptr)
        device->unplug();
    const std::lock_guard<std::mutex> l (lock);
    devices.erase (std::remove (devices.begin(), devices.end(), device), devices.end());
}

std::vector<std::shared_ptr<VirtualMidiDevice>> VirtualMidiPortLayer::getDevices() const
{
    const std::lock_guard<std::mutex> l (lock);
    return devices;
}
