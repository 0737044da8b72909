#include "device/MidiPortLayer.h"
#include "device/JuceMidiPortLayer.h"
#include "device/SocketMidiPortLayer.h"
#include "device/VirtualMidiPortLayer.h"
#include "device/sim/SimulatedUnitSet.h"
#include "content/ContentManager.h"
#include <cstdlib>
#include <iostream>

namespace
{
    std::mutex layerLock;

    std::shared_ptr<MidiPortLayer>& layerHolder()
    {
        static std::shared_ptr<MidiPortLayer> layer;
        return layer;
    }
}

juce::StringArray MidiPortId::namesOf (const juce::Array<MidiPortId>& ports)
{
    juce::StringArray names;
    for (auto& p : ports)
        names.add (p.name);
    return names;
}

std::shared_ptr<MidiPortLayer> MidiPortLayer::createFromEnvironment()
{
    const juce::String choice = juce::String (std::getenv ("LARKSPIRE_MIDI")).trim();

    if (choice.equalsIgnoreCase ("virtual"))
    {
        auto layer = std::make_shared<VirtualMidiPortLayer>();
        for (auto& unit : SimulatedUnitSet::createForContent (ContentManager::getInstalledContentFolder()))
            layer->addDevice (unit);
        return layer;
    }

    const int port = SocketMidiPortLayer::portFromWord (choice);
    if (port > 0)
    {
        SocketMidiPortLayer::Options options;
        options.port = port;
        auto layer = std::make_shared<SocketMidiPortLayer> (options);
        if (! layer->isListening())
            std::cerr << "LARKSPIRE_MIDI: " << layer->getListenError() << std::endl;
        return layer;
    }
    if (port < 0)
        std::cerr << "LARKSPIRE_MIDI: \"" << choice << "\" names no TCP port (socket:1 to socket:65535); "
                     "the platform's MIDI ports are used" << std::endl;

    return std::make_shared<JuceMidiPortLayer>();
}

std::shared_ptr<MidiPortLayer> getMidiPortLayer()
{
    const std::lock_guard<std::mutex> l (layerLock);
    auto& layer = layerHolder();
    if (layer == nullptr)
        layer = MidiPortLayer::createFromEnvironment();
    return layer;
}

void setMidiPortLayer (std::shared_ptr<MidiPortLayer> layer)
{
    std::shared_ptr<MidiPortLayer> old;
    {
        const std::lock_guard<std::mutex> l (layerLock);
        old = std::move (layerHolder());
        layerHolder() = std::move (layer);
    }
}
