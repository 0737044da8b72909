#pragma once

#include <juce_core/juce_core.h>

// What a simulated unit needs to know of its own data layout, read by the simulator itself
// from a product's capability document (never through the program's profile classes).
struct SimUnitProfile
{
    juce::uint8 productId = 0;
    int packetsPerStep = 1;
    int stepPacketSize = 100;
    int presetVersion = 15;
    int setupPackets = 1;
    int setupPacketSize = 100;
    int setupVersion = 15;
    int numPresets = 15;
    int nameLength = 15;
    int maxSteps = 1;
    float delayAfterDelete = 0.05f;

    int valuesPerPacket() const noexcept      { return stepPacketSize / 4; }
    int valuesPerStep() const noexcept        { return valuesPerPacket() * packetsPerStep; }
    int setupValuesPerPacket() const noexcept { return setupPacketSize / 4; }

    // The base definition's features, overridden by those of the first build profile whose
    // range holds the build (an end of -1 is open).
    static SimUnitProfile fromCapsDocument (const juce::XmlElement& caps, juce::uint8 productId, int build);
    static SimUnitProfile fromCapsFile (const juce::File& capsFile, juce::uint8 productId, int build);
};
