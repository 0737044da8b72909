#pragma once

#include "device/sim/SimulatedUnit.h"
#include <memory>

// The simulated units the program is run with under LARKSPIRE_MIDI=virtual: one for each
// product of a content folder (a master descriptor and one folder per product with its
// capability document), each at the newest public firmware build its folder lists that was
// out when the unit was made (100 when there is none), with a few presets, on ports named
// after the product. A product that every firmware build lets answer the identity query
// sent to all units does so.
namespace SimulatedUnitSet
{
    std::vector<std::shared_ptr<SimulatedUnit>> createForContent (const juce::File& contentFolder);

    // The newest build of the public entries of a firmware list document published up to a
    // day (entries without a date count as published), or 0.
    int newestPublicBuild (const juce::XmlElement& firmwareList, juce::Time day);
}
