#include "device/SysExTemplates.h"
#include "model/SysExCodec.h"

namespace SysExTemplates
{
    const std::vector<juce::uint8>& get (Kind kind)
    {
        static const std::vector<juce::uint8> identity { 0xF0, 0x00, 0x7A, 0x15, 0x00, 0x7F, 0x7E, 0x7F,
                                                         0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF7 };
        static const std::vector<juce::uint8> presetRequest { 0xF0, 0x00, 0x7A, 0x15, 0x00, 0xFF, 0x45, 0xFF, 0xFF, 0xF7 };
        static const std::vector<juce::uint8> setupRequest { 0xF0, 0x00, 0x7A, 0x15, 0x00, 0xFF, 0x15, 0x00, 0xF7 };
        static const std::vector<juce::uint8> deletePreset { 0xF0, 0x00, 0x7A, 0x15, 0x00, 0xFF, 0x50, 0xFF, 0xFF, 0xF7 };
        static const std::vector<juce::uint8> suspend { 0xF0, 0x00, 0x7A, 0x15, 0x00, 0xFF, 0x57, 0xFF, 0xFF, 0xF7 };
        static const std::vector<juce::uint8> header (std::begin (SysExCodec::presetHeaderTemplate),
                                                      std::end (SysExCodec::presetHeaderTemplate));
        static const std::vector<juce::uint8> dataHead (std::begin (SysExCodec::presetDataHead),
                                                        std::end (SysExCodec::presetDataHead));
        static const std::vector<juce::uint8> setupHead (std::begin (SysExCodec::setupPacketHead),
                                                         std::end (SysExCodec::setupPacketHead));
        static const std::vector<juce::uint8> blockHeader { 0xF0, 0x00, 0x7A, 0x15, 0x00, 0x60, 0x7E, 0x00, 0x00, 0x00, 0xF7 };
        static const std::vector<juce::uint8> blockEnd { 0xF0, 0x00, 0x7A, 0x15, 0x00, 0x60, 0x7D, 0xF7 };
        static const std::vector<juce::uint8> acknowledge { 0xF0, 0x00, 0x7A, 0x15, 0x00, 0x60, 0x51, 0x00, 0xF7 };
        static const std::vector<juce::uint8> c46 { 0xF0, 0x00, 0x7A, 0x15, 0x00, 0xFF, 0x46, 0xFF, 0xFF, 0xF7 };
        static const std::vector<juce::uint8> c4B { 0xF0, 0x00, 0x7A, 0x15, 0x00, 0xFF, 0x4B, 0xFF, 0xFF, 0xF7 };

        switch (kind)
        {
            case Kind::identityQuery:       return identity;
            case Kind::presetRequest:       return presetRequest;
            case Kind::setupRequest:        return setupRequest;
            case Kind::deletePreset:        return deletePreset;
            case Kind::suspend:             return suspend;
            case Kind::presetHeader:        return header;
            case Kind::presetDataHead:      return dataHead;
            case Kind::setupHead:           return setupHead;
            case Kind::firmwareBlockHeader: return blockHeader;
            case Kind::firmwareBlockEnd:    return blockEnd;
            case Kind::acknowledge:         return acknowledge;
            case Kind::command46:           return c46;
            case Kind::command4B:           return c4B;
        }
        return identity;
    }
}

namespace
{
    juce::MidiMessage fromTemplate (SysExTemplates::Kind kind, juce::uint8 productId, int value)
    {
        auto bytes = SysExTemplates::get (kind);
        bytes[5] = (juce::uint8) (productId & 0x7F);
        packSysEx14 (value, bytes.data() + 7);
        return juce::MidiMessage (bytes.data(), (int) bytes.size(), 0.0);
    }

    juce::MidiMessage asIs (SysExTemplates::Kind kind)
    {
        const auto& bytes = SysExTemplates::get (kind);
        return juce::MidiMessage (bytes.data(), (int) bytes.size(), 0.0);
    }
}

juce::MidiMessage buildPresetRequestMessage (juce::uint8 productId, int presetNumber)
{
    return fromTemplate (SysExTemplates::Kind::presetRequest, productId, presetNumber);
}

juce::MidiMessage buildSetupRequestMessage (juce::uint8 productId)
{
    auto bytes = SysExTemplates::get (SysExTemplates::Kind::setupRequest);
    bytes[5] = (juce::uint8) (productId & 0x7F);
    return juce::MidiMessage (bytes.data(), (int) bytes.size(), 0.0);
}

juce::MidiMessage buildDeletePresetMessage (juce::uint8 productId, int presetNumber)
{
    return fromTemplate (SysExTemplates::Kind::deletePreset, productId, presetNumber);
}

juce::MidiMessage buildSysEx57Message (juce::uint8 productId, int value)
{
    return fromTemplate (SysExTemplates::Kind::suspend, productId, value);
}

juce::MidiMessage buildSysEx7EMessage (int byte, int value)
{
    auto bytes = SysExTemplates::get (SysExTemplates::Kind::firmwareBlockHeader);
    bytes[7] = (juce::uint8) (byte & 0x7F);
    packSysEx14 (value, bytes.data() + 8);
    return juce::MidiMessage (bytes.data(), (int) bytes.size(), 0.0);
}

juce::MidiMessage buildFirmwareBlockHeader (const juce::MidiMessage& block)
{
    return buildSysEx7EMessage (sysExChecksum (block.getRawData(), block.getRawDataSize()), block.getRawDataSize());
}

juce::MidiMessage buildFirmwareBlockEndMessage()
{
    return asIs (SysExTemplates::Kind::firmwareBlockEnd);
}

juce::MidiMessage buildAcknowledgeMessage()
{
    return asIs (SysExTemplates::Kind::acknowledge);
}
