// Writes the seed corpus of every fuzz target, made by the program itself:
//   make_fuzz_seeds <folder>    (one sub-folder per target)

#include "FuzzSupport.h"
#include "device/SysExTemplates.h"
#include "model/DeviceData.h"
#include "model/SysExCodec.h"

#include <iostream>

namespace
{
    juce::File root;
    int written = 0;

    void seed (const char* target, const juce::String& name, const void* data, size_t size)
    {
        auto folder = root.getChildFile (target);
        folder.createDirectory();
        if (folder.getChildFile (name).replaceWithData (data, size))
            ++written;
    }

    void seed (const char* target, const juce::String& name, juce::uint8 selector, const juce::MemoryOutputStream& body)
    {
        juce::MemoryOutputStream withSelector;
        withSelector.writeByte ((char) selector);
        withSelector.write (body.getData(), body.getDataSize());
        seed (target, name, withSelector.getData(), withSelector.getDataSize());
    }

    std::unique_ptr<Preset> makePreset (const DeviceDataFormat& f, int number, const juce::String& name, int steps, int seed)
    {
        auto p = std::make_unique<Preset> (f);
        PresetInfo info;
        info.number = number;
        info.dataVersion = f.presetVersion;
        info.tags = seed & 0x7FFF;
        info.setNameBytes (nullptr, f.presetNameLength);
        info.writeName (name);
        p->setInfo (info);
        const int capacity = p->getStepCapacity();
        for (int s = 0; s < steps && capacity > 0; ++s)
        {
            juce::Array<int> values;
            for (int i = 0; i < capacity; ++i)
                values.add (seed * 1000 + s * 37 - i * 5);
            p->setStepData (s, values);
        }
        return p;
    }

    std::unique_ptr<DeviceData> makeData (juce::uint8 selector, int presets, bool withSetup)
    {
        const auto f = fuzz_support::format (selector);
        auto d = std::make_unique<DeviceData> (VersionNumber (0, 1, 2, 0, 120, 0), f, nullptr);
        for (int i = 1; i <= presets && i < d->getNumSlots(); ++i)
            d->setPreset (i, makePreset (f, i, "Seed " + juce::String (i), i % juce::jmax (1, f.maxPresetSteps) + 1, i));
        if (withSetup)
        {
            SetupData s (f);
            s.setSetupDataVersion (f.setupVersion);
            juce::Array<int> values;
            for (int i = 0; i < (f.setupPacketSize / 4) * f.syxPackagesPerSetup; ++i)
                values.add (i * 3 - 7);
            s.setData (values);
            d->setSetup (s, false);
        }
        if (presets % 2 == 0)
            d->clearModifiedFlags (false);
        return d;
    }

    void dataFileSeeds()
    {
        int n = 0;
        for (juce::uint8 selector = 0; selector < 4; ++selector)
            for (int presets : { 0, 1, 3 })
                for (bool setup : { false, true })
                {
                    juce::MemoryOutputStream out;
                    if (makeData (selector, presets, setup)->writeToStream (out) == 0)
                        seed ("ard_reader", "data_" + juce::String (n++) + ".ard", out.getData(), out.getDataSize());
                }

        // A file of an older writer, with the 40-byte format record.
        const auto f = fuzz_support::format (0);
        juce::MemoryOutputStream legacy;
        legacy.writeString ("0.1.0.0.25.0");
        legacy.writeString ("Veloce");
        legacy.writeString ("0.1.2.0.120.0");
        legacy.writeByte ((char) f.productId);
        legacy.writeByte (0); legacy.writeByte (0); legacy.writeByte (0);
        for (auto v : { f.syxPackagesPerPresetStep, f.presetStepPacketSize, f.presetVersion, f.syxPackagesPerSetup,
                        f.setupPacketSize, f.setupVersion, f.numPresets, f.presetNameLength, f.maxPresetSteps })
            legacy.writeInt (v);
        legacy.writeInt (-1);
        legacy.writeInt (-1);
        seed ("ard_reader", "legacy.ard", legacy.getData(), legacy.getDataSize());
    }

    void streamSeeds()
    {
        int n = 0;
        for (juce::uint8 selector = 0; selector < 4; ++selector)
        {
            const auto f = fuzz_support::format (selector);
            for (int steps : { 0, 1, 2 })
            {
                auto p = makePreset (f, 3, "Stream", steps, steps + 1);
                juce::MemoryOutputStream out;
                p->writeToStream (out);
                juce::MemoryOutputStream body;  // without the slot marker
                body.write (static_cast<const char*> (out.getData()) + 4, out.getDataSize() - 4);
                seed ("preset_stream", "preset_" + juce::String (n++), selector, body);
            }
            Preset empty (f);
            juce::MemoryOutputStream out, body;
            empty.writeToStream (out);
            body.write (static_cast<const char*> (out.getData()) + 4, out.getDataSize() - 4);
            seed ("preset_stream", "preset_" + juce::String (n++), selector, body);

            auto d = makeData (selector, 0, true);
            juce::MemoryOutputStream setup;
            d->getSetup().writeToStream (setup);
            seed ("setup_stream", "setup_" + juce::String (selector), selector, setup);
            juce::MemoryOutputStream none;
            SetupData (f).writeToStream (none);
            seed ("setup_stream", "empty_" + juce::String (selector), selector, none);
        }
    }

    void sysExSeeds()
    {
        int n = 0;
        for (juce::uint8 selector = 0; selector < 4; ++selector)
        {
            const auto f = fuzz_support::format (selector);
            auto d = makeData (selector, 3, true);

            juce::MemoryOutputStream all;
            all.write (buildAcknowledgeMessage().getRawData(), (size_t) buildAcknowledgeMessage().getRawDataSize());
            d->getSetup().writeSysExToStream (all);
            for (auto i : d->getPresetIndices())
                d->getPreset (i)->writeSysExToStream (all);
            seed ("syx_import", "all_" + juce::String (n), selector, all);
            seed ("syx_import", "first_" + juce::String (n++), (juce::uint8) (selector | 0x90), all);

            // Single messages of every kind for the classifier.
            juce::Array<juce::MidiMessage> messages { buildAcknowledgeMessage(), buildPresetRequestMessage (f.productId, 5),
                                                      buildSetupRequestMessage (f.productId), buildSysEx57Message (f.productId, 1),
                                                      buildSysEx7EMessage (3, 200), buildFirmwareBlockEndMessage() };
            if (auto* p = d->getPreset (1))
            {
                messages.add (buildPresetHeaderMessage (p->getInfo(), f.productId));
                if (p->getNumMessages() > 0)
                    messages.add (*p->getMessage (0));
            }
            if (d->getSetup().getNumMessages() > 0)
                messages.add (*d->getSetup().getMessage (0));
            for (int i = 0; i < messages.size(); ++i)
            {
                juce::MemoryOutputStream one;
                one.write (messages[i].getRawData(), (size_t) messages[i].getRawDataSize());
                seed ("classify", "message_" + juce::String (selector) + "_" + juce::String (i), selector, one);
            }
        }
    }

    void firmwareSeeds()
    {
        for (int blocks : { 0, 1, 4 })
        {
            juce::MemoryOutputStream image;
            const auto ack = buildAcknowledgeMessage();
            image.write (ack.getRawData(), (size_t) ack.getRawDataSize());
            for (int b = 0; b < blocks; ++b)
            {
                const juce::uint8 head[] = { 0xF0, 0x00, 0x7A, 0x15, 0x00, 0x60, 0x30 };
                image.write (head, sizeof (head));
                for (int i = 0; i < 20 + b * 50; ++i)
                    image.writeByte ((char) ((i * 7 + b) & 0x7F));
                image.writeByte ((char) 0xF7);
            }
            seed ("firmware_split", "image_" + juce::String (blocks), image.getData(), image.getDataSize());
        }
    }

    // Client streams of the socket port layer: name lines, and MIDI with SysEx, running
    // status, real-time bytes inside a SysEx and garbage.
    void socketSeeds()
    {
        const std::vector<std::vector<juce::uint8>> streams {
            { 'N', 'A', 'M', 'E', ' ', 'U', 'n', 'i', 't', '\r' },
            { 'N', 'A', 'M', 'E', ' ', 0xE2, 0x99, 0xAA, ' ', 'x' },
            { 0xF0, 0x00, 0x7A, 0x15, 0x00, 0x11, 0x7E, 0x7F, 0xF7, 0x90, 0x3C, 0x64, 0x3E, 0x00 },
            { 0x01, 0x02, 0xF7, 0xF0, 0x01, 0xF8, 0x02, 0xF7, 0xC1, 0x05, 0x06, 0xF2, 0x01, 0x02, 0xF6 },
            { 0xF0, 0x01, 0x02, 0x80, 0x3C, 0x00, 0xF0, 0x05, 0xF0, 0x06, 0xF7, 0xF1, 0x10 },
        };
        int n = 0;
        for (auto selector : { 0x00, 0x13, 0x80, 0xFF })
            for (auto& s : streams)
            {
                juce::MemoryOutputStream body;
                body.write (s.data(), s.size());
                seed ("midi_stream", "stream_" + juce::String (n++), (juce::uint8) selector, body);
            }
    }
}

int main (int argc, char** argv)
{
    if (argc != 2)
    {
        std::cerr << "usage: make_fuzz_seeds <folder>\n";
        return 2;
    }
    root = juce::File::getCurrentWorkingDirectory().getChildFile (argv[1]);
    fuzz_support::installProductNames();
    dataFileSeeds();
    streamSeeds();
    sysExSeeds();
    firmwareSeeds();
    socketSeeds();
    std::cout << written << " seeds written to " << root.getFullPathName() << "\n";
    return written > 0 ? 0 : 1;
}
