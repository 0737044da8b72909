#pragma once

#include "model/DeviceData.h"
#include "support/DataFixtures.h"
#include <juce_graphics/juce_graphics.h>
#include <map>

namespace testing_support
{
    // Data of the small test format with presets in the given slots (named "P<slot>",
    // one step unless `steps` says otherwise) and a factory bank in which the presets of
    // `factorySlots` are the factory presets.
    std::unique_ptr<DeviceData> makeGridData (int numSlots, std::initializer_list<int> filled,
                                              std::initializer_list<int> factorySlots = {},
                                              const std::map<int, int>& steps = {});

    // Counts the pixels of the area within `tolerance` of the colour (per channel).
    int countPixelsNear (const juce::Image& image, juce::Rectangle<int> area, juce::Colour colour,
                         int tolerance = 6);

    bool isNear (juce::Colour a, juce::Colour b, int tolerance = 6);
}
