#pragma once

#include <juce_core/juce_core.h>

// One conversion rule of a product: converts one kind of data from a (product, data
// version) to another at a cost, by running a script file.
struct ConversionRuleInfo
{
    enum : int { preset = 1, setup = 2, invalid = 3 };

    int kind = invalid;
    juce::uint8 productId = 255;
    int sourceVersion = 0;
    juce::uint8 targetProductId = 255;
    int targetVersion = 0;
    int cost = 0;
    juce::String script;       // the address as written in the rule list
    juce::String scriptFile;   // the local copy in the product's script folder; empty when unusable

    // Reads a rule element of the product's rule list. `findProductIdByName` names the
    // target product; `scriptFolder` is the product's script folder.
    static ConversionRuleInfo fromXml (const juce::XmlElement& rule, juce::uint8 owningProductId,
                                       juce::uint8 targetProductIdByName, bool targetNamed,
                                       const juce::String& scriptFolder);
};
