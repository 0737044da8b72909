#pragma once

#include <juce_audio_basics/juce_audio_basics.h>
#include <vector>

// The fixed message templates of the protocol (bytes as stored; 0xFF marks a
// field the builders fill) and the builders of the requests the program sends.
namespace SysExTemplates
{
    enum class Kind
    {
        identityQuery,        // 0x7E, 17 bytes
        presetRequest,        // 0x45
        setupRequest,         // 0x15
        deletePreset,         // 0x50
        suspend,              // 0x57
        presetHeader,         // 0x20, 32 bytes
        presetDataHead,       // 0x21, head of a data packet
        setupHead,            // 0x13, head of a setup packet
        firmwareBlockHeader,  // 0x7E to the loader
        firmwareBlockEnd,     // 0x7D to the loader
        acknowledge,          // 0x51 from the loader
        command46,
        command4B
    };

    const std::vector<juce::uint8>& get (Kind kind);

    constexpr juce::uint8 broadcastId = 0x7F;
    constexpr juce::uint8 loaderId = 0x60;
}

// A template with byte 5 set to the product id and bytes 7-8 to a 14-bit value.
juce::MidiMessage buildPresetRequestMessage (juce::uint8 productId, int presetNumber);
juce::MidiMessage buildSetupRequestMessage (juce::uint8 productId);
juce::MidiMessage buildDeletePresetMessage (juce::uint8 productId, int presetNumber);
// Suspend: value 0 before a transfer of several presets, 1 when it ends.
juce::MidiMessage buildSysEx57Message (juce::uint8 productId, int value);
// The firmware block header to the loader: [7] byte, [8-9] value (14-bit).
juce::MidiMessage buildSysEx7EMessage (int byte, int value);
// The header that describes one firmware block message: its checksum and length.
juce::MidiMessage buildFirmwareBlockHeader (const juce::MidiMessage& block);
juce::MidiMessage buildFirmwareBlockEndMessage();
juce::MidiMessage buildAcknowledgeMessage();
