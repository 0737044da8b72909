#pragma once

#include <juce_core/juce_core.h>

// The kinds of control content a product has, with the root tag of each kind's
// file and the name of its revision key.
namespace ContentType
{
    enum : int
    {
        controlDescriptor = 0,
        variantIcon       = 1,
        caps              = 2,
        firmwareList      = 3,
        conversionRules   = 4,
        presetPacks       = 5
    };

    // "CONTROL_DESCRIPTOR", "CAPS", "FIRMWARE", "CONVERSION_RULES"; empty for the others.
    juce::String getRootTag (int type);

    // "capsKey", "firmwareKey", "rulesKey", "presetsKey"; empty for the others.
    juce::String getKeyName (int type);
}
