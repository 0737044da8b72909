#pragma once

#include "core/DeviceCommandMessage.h"

// An event from a worker thread to the GUI; carries the command it answers, if any.
class DeviceInfoMessage : public juce::Message
{
public:
    DeviceInfoMessage() = default;
    DeviceInfoMessage (int code, int p1, int p2, const juce::String& text);
    DeviceInfoMessage (int code, const DeviceCommandMessage& command);

    DeviceInfoMessage (const DeviceInfoMessage& other);
    DeviceInfoMessage& operator= (const DeviceInfoMessage& other);
    ~DeviceInfoMessage() override = default;

    virtual void copyFrom (const DeviceInfoMessage& other);

    int code = 0;
    int p1 = 0;
    int p2 = 0;
    juce::String text;
    DeviceCommandMessage command;
};
