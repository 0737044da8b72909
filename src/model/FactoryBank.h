#pragma once

#include "model/DeviceCaps.h"
#include <juce_cryptography/juce_cryptography.h>
#include <functional>
#include <map>
#include <memory>

// The factory-preset digests of one product build, by preset number.
class FactoryBank
{
public:
    FactoryBank() = default;

    // Reads the "preset" children ("number", "md5") of a "factoryBank" element; only
    // digests of exactly 32 characters for numbers 1 .. the profile's preset count
    // are kept. A null element gives an empty bank.
    FactoryBank (const juce::XmlElement* factoryBankElement, const DeviceCaps& caps);

    int getNumPresets() const noexcept { return numPresets; }
    // The stored text for a number, empty when there is none.
    juce::String getDigestText (int number) const;

    // The number is in range, has a text, and the text is the digest in lower-case hex.
    bool isFactoryPreset (int number, const juce::MD5& digest) const;

    // Where a bank comes from when data is made without one: the device profiler
    // installs the lookup (product id, firmware build). Without one there is no bank.
    using Lookup = std::function<std::unique_ptr<FactoryBank> (juce::uint8 productId, int build)>;
    static void setLookup (Lookup lookup);
    static std::unique_ptr<FactoryBank> lookUp (juce::uint8 productId, int build);

private:
    int numPresets = 0;
    std::map<int, juce::String> digests;
};
