#pragma once

#include "model/DeviceMidiData.h"

// The base of the two objects through which a rule script converts one item: the
// script reads the source item and builds the converted one, which the conversion
// manager takes when the script has run.
class ConversionObject : public juce::DynamicObject
{
public:
    virtual const DeviceMidiData& getConvertedData() const = 0;
};
