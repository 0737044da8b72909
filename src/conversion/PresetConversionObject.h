#pragma once

#include "conversion/ConversionObject.h"
#include "model/Preset.h"

// The "PresetConversion" object of a rule script: reads the preset being converted and
// builds the converted preset for the target format. Every method returns void when
// called on another object or with missing, wrong-typed or out-of-range arguments.
//   getProductId ()          the source's product id
//   getHeader ()             the source's header object ("number", "version", "name", "tags", "steps")
//   getStep (index = 0)      the source step's values
//   setHeader (header)       1: the converted preset takes a header record made from the object
//   setStep (values, index)  1: the values become that step of the converted preset (index = step count appends)
//   deleteStep (index)       1: that step of the converted preset is removed
class PresetConversionObject : public ConversionObject
{
public:
    PresetConversionObject (const Preset& source, const DeviceDataFormat& targetFormat);

    const DeviceMidiData& getConvertedData() const override { return converted; }
    const Preset& getConverted() const noexcept              { return converted; }

private:
    static PresetConversionObject* self (const juce::var::NativeFunctionArgs& args);
    static juce::var getProductId (const juce::var::NativeFunctionArgs& args);
    static juce::var getHeader (const juce::var::NativeFunctionArgs& args);
    static juce::var getStep (const juce::var::NativeFunctionArgs& args);
    static juce::var setHeader (const juce::var::NativeFunctionArgs& args);
    static juce::var setStep (const juce::var::NativeFunctionArgs& args);
    static juce::var deleteStep (const juce::var::NativeFunctionArgs& args);

    const Preset& source;
    const DeviceDataFormat targetFormat;
    Preset converted;
};
