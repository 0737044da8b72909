#include "device/sim/SimUnitProfile.h"

namespace
{
    const juce::XmlElement* featuresOfBuild (const juce::XmlElement& caps, int build)
    {
        for (auto* profile : caps.getChildWithTagNameIterator ("buildProfile"))
        {
            auto* range = profile->getChildByName ("range");
            if (range == nullptr)
                continue;
            const int first = range->getIntAttribute ("start");
            const int last = range->getIntAttribute ("end");
            if (build >= first && (last == -1 || build <= last))
                return profile->getChildByName ("features");
        }
        return nullptr;
    }
}

SimUnitProfile SimUnitProfile::fromCapsDocument (const juce::XmlElement& caps, juce::uint8 productId, int build)
{
    const juce::XmlElement* base = nullptr;
    if (auto* definition = caps.getChildByName ("baseDefinition"))
        base = definition->getChildByName ("features");
    const auto* own = featuresOfBuild (caps, build);

    auto value = [&] (const char* key, int fallback)
    {
        for (auto* e : { own, base })
            if (e != nullptr && e->hasAttribute (key))
                return e->getStringAttribute (key).getIntValue();
        return fallback;
    };

    SimUnitProfile p;
    p.productId = productId;
    p.packetsPerStep = value ("numSyxPackagesPerPresetStep", 1);
    p.stepPacketSize = value ("presetStepPacketSize", 100);
    p.presetVersion = value ("presetVersion", 15);
    p.setupPackets = value ("numSyxPackagesPerSetup", 1);
    p.setupPacketSize = value ("setupPacketSize", 100);
    p.setupVersion = value ("setupVersion", 15);
    p.numPresets = value ("numPresets", 15);
    p.nameLength = juce::jlimit (0, 15, value ("presetNameLength", 15));
    p.maxSteps = value ("maxPresetSteps", 1);

    for (auto* e : { own, base })
        if (e != nullptr && e->hasAttribute ("delayTimeAfterPresetDelete"))
        {
            p.delayAfterDelete = (float) e->getStringAttribute ("delayTimeAfterPresetDelete").getDoubleValue();
            break;
        }
    return p;
}

SimUnitProfile SimUnitProfile::fromCapsFile (const juce::File& capsFile, juce::uint8 productId, int build)
{
    if (auto xml = juce::XmlDocument::parse (capsFile))
        return fromCapsDocument (*xml, productId, build);
    SimUnitProfile p;
    p.productId = productId;
    return p;
}
