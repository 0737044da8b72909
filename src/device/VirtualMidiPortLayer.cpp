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

MidiPortList VirtualMidiPortLayer::listPorts (bool inputs) const
{
    MidiPortList listed;
    for (auto& d : getDevices())
    {
        const auto name = inputs ? d->getInputName() : d->getOutputName();
        if (d->isPresent() && name.isNotEmpty())
            listed.add ({ name, d->getIdentifier() });
    }
    return listed;
}

MidiPortList VirtualMidiPortLayer::getInputs()
{
    return listPorts (true);
}

MidiPortList VirtualMidiPortLayer::getOutputs()
{
    return listPorts (false);
}

std::shared_ptr<VirtualMidiDevice> VirtualMidiPortLayer::findPort (const MidiPortId& port, bool input) const
{
    for (auto& d : getDevices())
    {
        if (d->getIdentifier() != port.identifier)
            continue;
        const auto name = input ? d->getInputName() : d->getOutputName();
        return d->isPresent() && name.isNotEmpty() && name == port.name ? d : nullptr;
    }
    return nullptr;
}

std::unique_ptr<MidiInputPort> VirtualMidiPortLayer::openInput (const MidiPortId& port, juce::MidiInputCallback& callback)
{
    auto device = findPort (port, true);
    if (device == nullptr)
        return nullptr;
    return std::make_unique<VirtualInputPort> (std::move (device), callback);
}

std::unique_ptr<MidiOutputPort> VirtualMidiPortLayer::openOutput (const MidiPortId& port)
{
    auto device = findPort (port, false);
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
