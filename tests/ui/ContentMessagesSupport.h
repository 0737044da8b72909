#pragma once

#include "support/ContentComponentWorld.h"

// What the tests of the main content component's messages share.
namespace testing_support
{
    inline DeviceInfoMessage info (int code, int p1 = 0, int p2 = 0, const juce::String& text = {})
    {
        return DeviceInfoMessage (code, p1, p2, text);
    }

    inline void addUnit (ContentComponentWorld& w, juce::uint8 product, int build, int serial)
    {
        w.devices.addUnit (product, build, serial, product == DeviceWorld::piper);
    }
}
