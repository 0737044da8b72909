#pragma once

#include <juce_events/juce_events.h>
#include <juce_audio_basics/juce_audio_basics.h>
#include <memory>

class DeviceData;

// A request from the GUI to the device threads. Copies share the payload list and the data.
class DeviceCommandMessage : public juce::Message
{
public:
    using Payload = juce::OwnedArray<juce::MidiMessage>;

    DeviceCommandMessage() = default;
    explicit DeviceCommandMessage (int code);
    DeviceCommandMessage (int code, const juce::Array<int>& presetIndices);
    DeviceCommandMessage (int code, std::shared_ptr<const DeviceData> data, const juce::Array<int>& presetIndices);
    // Raw send: takes ownership of the messages; the code is always 0x100300.
    DeviceCommandMessage (std::unique_ptr<Payload> messages, const juce::Array<int>& presetIndices);

    DeviceCommandMessage (const DeviceCommandMessage& other);
    DeviceCommandMessage& operator= (const DeviceCommandMessage& other);
    ~DeviceCommandMessage() override = default;

    virtual void copyFrom (const DeviceCommandMessage& other);

    int code = 0;
    juce::Array<int> presetIndices;
    std::shared_ptr<Payload> payload;
    // What a write sends. The command holds it until its end has been handled: the page may
    // rebuild or drop its sources meanwhile, and nobody changes it once it is posted.
    std::shared_ptr<const DeviceData> data;

    bool isEmpty() const noexcept { return code == 0; }
    int getPayloadSize() const noexcept { return payload != nullptr ? payload->size() : 0; }
};
