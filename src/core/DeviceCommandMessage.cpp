#include "core/DeviceCommandMessage.h"
#include "core/InfoCodes.h"

DeviceCommandMessage::DeviceCommandMessage (int c) : code (c) {}

DeviceCommandMessage::DeviceCommandMessage (int c, const juce::Array<int>& indices)
    : code (c), presetIndices (indices) {}

DeviceCommandMessage::DeviceCommandMessage (int c, std::shared_ptr<const DeviceData> d, const juce::Array<int>& indices)
    : code (c), presetIndices (indices), data (std::move (d)) {}

DeviceCommandMessage::DeviceCommandMessage (std::unique_ptr<Payload> messages, const juce::Array<int>& indices)
    : code (DeviceCommand::rawSend), presetIndices (indices)
{
    if (messages != nullptr)
        payload = std::shared_ptr<Payload> (messages.release());
}

DeviceCommandMessage::DeviceCommandMessage (const DeviceCommandMessage& other)
    : juce::Message()
{
    copyFrom (other);
}

DeviceCommandMessage& DeviceCommandMessage::operator= (const DeviceCommandMessage& other)
{
    copyFrom (other);
    return *this;
}

void DeviceCommandMessage::copyFrom (const DeviceCommandMessage& other)
{
    if (&other == this)
        return;
    code = other.code;
    presetIndices = other.presetIndices;
    payload = other.payload;
    data = other.data;
}
