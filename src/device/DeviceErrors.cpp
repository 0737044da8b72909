#include "device/DeviceErrors.h"

juce::String getDeviceErrorText (int code, const juce::String& name)
{
    if (code == DeviceError::none)
        return {};

    const juce::String retry = "Please restart Larkspire and try again. If the error persists, please contact Ardentis support.";
    const juce::String restartBoth = "Please restart Larkspire as well as " + name
                                   + ", and try again. If the error persists, please contact Ardentis support.";
    juce::String text;

    switch (code)
    {
        case DeviceError::internalError:
            text = "Larkspire has encountered and unexpected internal error with " + name + ". " + retry;
            break;
        case DeviceError::unexpectedData:
            text = "Larkspire has received unexpected data from " + name + ". " + retry;
            break;
        case DeviceError::connectionLost:
            text = "Larkspire's connection to " + name + " has been lost." + " Please restart " + name
                 + " and try again. If the error persists, please contact Ardentis support.";
            break;
        case DeviceError::dataCorruption:
            text = "Larkspire has encountered significant data corruption while communicating with " + name
                 + ". This could be caused heavy USB bus activity and/or heavy CPU load. Reduce both of these"
                   " conditions, and then try again.";
            break;
        case DeviceError::versionConflict:
            text = "A data version conflict has occurred between Larkspire and " + name
                 + ". The SysEx data is not in the expected format. " + retry;
            break;
        case DeviceError::presetRejected:
            text = name + " has rejected the preset (step) data sent by Larkspire. Please restart Larkspire as well as "
                 + name + ", and try again. If the error persists, please contact Ardentis support.";
            break;
        case DeviceError::memoryFull:
            text = "There is insufficient memory available on" + name + " to store all presets.";
            break;
        case DeviceError::synchronisation:
            text = "A synchronization error has occurred between Larkspire and " + name + ". " + restartBoth;
            break;
        case DeviceError::timeOut:
            text = "The current operation between between Larkspire and " + name + " has timed out. " + restartBoth;
            break;
        case DeviceError::noDeviceData:
            text = "Larkspire has encountered an unspecified error. Please restart Larkspire as well as " + name
                 + ", and try again.";
            break;
        default:
            text = "Larkspire has encountered an unspecified error. Please restart Larkspire";
            break;
    }

    return text + "\nCode: " + juce::String (code);
}
