#pragma once

#include "model/DeviceData.h"
#include <juce_core/juce_core.h>

// The "ReferenceData" object of a rule script: read access to the whole unit's data
// being converted. Every method returns void while no unit's data is being converted
// (a single preset or setup), or when called on another object.
//   getProductId (), getPresetVersion (), getSetupVersion ()
//   isPresetAvailable (index)   whether the slot holds a preset (false without an index)
//   isSetupAvailable ()         whether the setup is complete
//   getPreset (index)           the header properties plus "data", one values array per step
//   getSetup ()                 the setup's values (void when it is not complete)
class ReferenceDataObject : public juce::DynamicObject
{
public:
    explicit ReferenceDataObject (const DeviceData* source);

private:
    static const DeviceData* sourceOf (const juce::var::NativeFunctionArgs& args);
    static juce::var getProductId (const juce::var::NativeFunctionArgs& args);
    static juce::var getPresetVersion (const juce::var::NativeFunctionArgs& args);
    static juce::var getSetupVersion (const juce::var::NativeFunctionArgs& args);
    static juce::var isPresetAvailable (const juce::var::NativeFunctionArgs& args);
    static juce::var isSetupAvailable (const juce::var::NativeFunctionArgs& args);
    static juce::var getPreset (const juce::var::NativeFunctionArgs& args);
    static juce::var getSetup (const juce::var::NativeFunctionArgs& args);

    const DeviceData* source;
};
