#include "device/JuceMidiPortLayer.h"

namespace
{
    MidiPortList portsOf (const juce::Array<juce::MidiDeviceInfo>& devices)
    {
        MidiPortList ports;
        for (auto& d : devices)
            ports.add ({ d.name, d.identifier });
        return ports;
    }

    // The port listed now under that identifier and name.
    bool isListed (const juce::Array<juce::MidiDeviceInfo>& devices, const MidiPortId& port)
    {
        for (auto& d : devices)
            if (d.identifier == port.identifier && d.name == port.name)
                return true;
        return false;
    }

    // A port is known by the platform's identifier of its device: once that is no longer
    // listed, the port is dead, even if a device of the same name is listed again. (Where the
    // platform gives a device that comes back its old identifier, only a replug slower than
    // a look at the lists can be seen.)
    bool isListed (const juce::Array<juce::MidiDeviceInfo>& devices, const juce::String& identifier)
    {
        for (auto& d : devices)
            if (d.identifier == identifier)
                return true;
        return false;
    }

    class JuceInputPort : public MidiInputPort
    {
    public:
        explicit JuceInputPort (std::unique_ptr<juce::MidiInput> in) : input (std::move (in)) {}
        ~JuceInputPort() override { input->stop(); }

        void start() override { input->start(); }
        void stop() override  { input->stop(); }
        bool isGone() const override { return ! isListed (juce::MidiInput::getAvailableDevices(), input->getIdentifier()); }

    private:
        std::unique_ptr<juce::MidiInput> input;
    };

    class JuceOutputPort : public MidiOutputPort
    {
    public:
        explicit JuceOutputPort (std::unique_ptr<juce::MidiOutput> out) : output (std::move (out)) {}

        void sendMessageNow (const juce::MidiMessage& message) override { output->sendMessageNow (message); }
        bool isGone() const override { return ! isListed (juce::MidiOutput::getAvailableDevices(), output->getIdentifier()); }

    private:
        std::unique_ptr<juce::MidiOutput> output;
    };
}

MidiPortList JuceMidiPortLayer::getInputs()
{
    return portsOf (juce::MidiInput::getAvailableDevices());
}

MidiPortList JuceMidiPortLayer::getOutputs()
{
    return portsOf (juce::MidiOutput::getAvailableDevices());
}

std::unique_ptr<MidiInputPort> JuceMidiPortLayer::openInput (const MidiPortId& port, juce::MidiInputCallback& callback)
{
    if (! isListed (juce::MidiInput::getAvailableDevices(), port))
        return nullptr;
    auto input = juce::MidiInput::openDevice (port.identifier, &callback);
    if (input == nullptr)
        return nullptr;
    return std::make_unique<JuceInputPort> (std::move (input));
}

std::unique_ptr<MidiOutputPort> JuceMidiPortLayer::openOutput (const MidiPortId& port)
{
    if (! isListed (juce::MidiOutput::getAvailableDevices(), port))
        return nullptr;
    auto output = juce::MidiOutput::openDevice (port.identifier);
    if (output == nullptr)
        return nullptr;
    return std::make_unique<JuceOutputPort> (std::move (output));
}
