#pragma once

#include <juce_core/juce_core.h>

// The device error codes a device thread keeps after a failed command, and their texts.
namespace DeviceError
{
    enum : int
    {
        none              = 0,
        internalError     = 0xA00002,
        unexpectedData    = 0xA00003,
        connectionLost    = 0xA00004,
        dataCorruption    = 0xA00005,
        versionConflict   = 0xA00006,
        presetRejected    = 0xA00007,
        memoryFull        = 0xA00008,
        synchronisation   = 0xA0000A,
        timeOut           = 0xA0000B,
        noDeviceData      = 0xA00100
    };
}

// The text shown for a device error, naming the unit, followed by a new line, "Code: " and
// the code in decimal. Empty for code 0.
juce::String getDeviceErrorText (int code, const juce::String& deviceName);
