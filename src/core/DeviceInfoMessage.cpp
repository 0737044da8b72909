#include "core/DeviceInfoMessage.h"

DeviceInfoMessage::DeviceInfoMessage (int c, int a, int b, const juce::String& t)
    : code (c), p1 (a), p2 (b), text (t) {}

DeviceInfoMessage::DeviceInfoMessage (int c, const DeviceCommandMessage& cmd)
    : code (c), command (cmd) {}

DeviceInfoMessage::DeviceInfoMessage (const DeviceInfoMessage& other)
    : juce::Message()
{
    copyFrom (other);
}

DeviceInfoMessage& DeviceInfoMessage::operator= (const DeviceInfoMessage& other)
{
    copyFrom (other);
    return *this;
}

void DeviceInfoMessage::copyFrom (const DeviceInfoMessage& other)
{
    if (&other == this)
        return;
    code = other.code;
    p1 = other.p1;
    p2 = other.p2;
    text = other.text;
    command.copyFrom (other.command);
}
