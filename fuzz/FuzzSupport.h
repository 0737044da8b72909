#pragma once

// Shared by the fuzz targets and the seed generator: a few data formats, chosen by
// the first byte of an input, and the product names the data model looks up.

#include "core/AppPaths.h"
#include "model/DeviceDataFormat.h"
#include <cstdlib>

namespace fuzz_support
{
    inline DeviceDataFormat format (juce::uint8 selector)
    {
        DeviceDataFormat f;
        switch (selector % 4)
        {
            case 0:   // two 8-byte packets per step, three setup packets
                f.productId = 0x21; f.syxPackagesPerPresetStep = 2; f.presetStepPacketSize = 8; f.presetVersion = 3;
                f.syxPackagesPerSetup = 3; f.setupPacketSize = 8; f.setupVersion = 2; f.numPresets = 10;
                f.presetNameLength = 15; f.maxPresetSteps = 5;
                break;
            case 1:   // one packet per step, a one-packet setup
                f.productId = 0x22; f.syxPackagesPerPresetStep = 1; f.presetStepPacketSize = 16; f.presetVersion = 1;
                f.syxPackagesPerSetup = 1; f.setupPacketSize = 4; f.setupVersion = 1; f.numPresets = 4;
                f.presetNameLength = 12; f.maxPresetSteps = 3;
                break;
            case 2:   // packet sizes that are not a multiple of 4, no names, the most steps
                f.productId = 0x21; f.syxPackagesPerPresetStep = 3; f.presetStepPacketSize = 6; f.presetVersion = 2;
                f.syxPackagesPerSetup = 2; f.setupPacketSize = 10; f.setupVersion = 5; f.numPresets = 3;
                f.presetNameLength = 0; f.maxPresetSteps = 127;
                break;
            default:  // setup only
                f.productId = 0x23; f.syxPackagesPerPresetStep = 0; f.presetStepPacketSize = 0; f.presetVersion = 1;
                f.syxPackagesPerSetup = 2; f.setupPacketSize = 4; f.setupVersion = 1; f.numPresets = 0;
                f.presetNameLength = 15; f.maxPresetSteps = 1;
                break;
        }
        return f;
    }

    inline void installProductNames()
    {
        AppPaths::setProductNameLookup ([] (juce::uint8 id) -> juce::String {
            switch (id)
            {
                case 0x21: return "Veloce";
                case 0x22: return "Cantor";
                case 0x23: return "Aria";
                default:   return {};
            }
        });
    }

    // A broken invariant is a finding: stop so that the fuzzer keeps the input.
    inline void require (bool condition)
    {
        if (! condition)
            std::abort();
    }
}
