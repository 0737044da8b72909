#pragma once

#include "conversion/ConversionObject.h"
#include "model/SetupData.h"

// The "SetupConversion" object of a rule script: reads the setup being converted and
// builds the converted setup, which starts out with the target format's data version.
// Every method returns void when called on another object or with missing or
// wrong-typed arguments.
//   getProductId ()      the source's product id
//   getVersion ()        the source setup's data version
//   getData ()           the source setup's values (void when it is not complete)
//   setVersion (version) 1: the converted setup's data version (only above 0)
//   setData (values)     1: the values become the converted setup (void when they do not fit)
class SetupConversionObject : public ConversionObject
{
public:
    SetupConversionObject (const SetupData& source, const DeviceDataFormat& targetFormat);

    const DeviceMidiData& getConvertedData() const override { return converted; }
    const SetupData& getConverted() const noexcept           { return converted; }

private:
    static SetupConversionObject* self (const juce::var::NativeFunctionArgs& args);
    static juce::var getProductId (const juce::var::NativeFunctionArgs& args);
    static juce::var getVersion (const juce::var::NativeFunctionArgs& args);
    static juce::var getData (const juce::var::NativeFunctionArgs& args);
    static juce::var setVersion (const juce::var::NativeFunctionArgs& args);
    static juce::var setData (const juce::var::NativeFunctionArgs& args);

    const SetupData& source;
    SetupData converted;
};
