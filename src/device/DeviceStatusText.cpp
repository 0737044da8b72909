#include "device/DeviceStatusText.h"
#include "device/DeviceObject.h"

juce::String getDeviceStatusText (juce::uint32 statusWord)
{
    struct Entry { juce::uint32 bit; const char* text; };
    static const Entry table[] = {
        { DeviceObject::portsOpen,            "Connected" },
        { DeviceObject::identified,           "Ready" },
        { DeviceObject::portOpenFailed,       "Busy / Unavailable" },
        { DeviceObject::identificationFailed, "Scan Failed" },
        { DeviceObject::unknownProduct,       "Unknown ARD Device" },
        { DeviceObject::identifying,          "<Scanning Device>" },
        { DeviceObject::portMissing,          "No MIDI Output" },
        { DeviceObject::namedLikeProduct,     "Unknown State" },
        { DeviceObject::notAUnit,             "Not a ARD Device" },
    };

    for (auto& entry : table)
        if ((statusWord & entry.bit) != 0)
            return entry.text;
    return "???";
}
