#include "device/MidiPortLayer.h"
#include "device/JuceMidiPortLayer.h"
#include "device/VirtualMidiPortLayer.h"
#include "device/sim/SimulatedUnitSet.h"
#include "content/ContentManager.h"
#include <cstdlib>

namespace
{
    std::mutex layerLock;

    std::shared_ptr<MidiPortLayer>& layerHolder()
    {
        static std::shared_ptr<MidiPortLayer> layer;
        return layer;
    }
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
