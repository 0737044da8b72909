#pragma once

#include "model/DeviceData.h"
#include "model/SysExCodec.h"
#include <vector>

// Small formats, presets and setups built through the real classes, for the
// data model and protocol tests.
namespace testing_support
{
    using Bytes = std::vector<juce::uint8>;

    // Product 0x21 "Veloce": 2 packets of 8 bytes (2 values) per step, up to 5 steps,
    // 3 setup packets of 8 bytes, the given number of slots, 15-byte names.
    DeviceDataFormat smallFormat (int numPresets = 10);

    // Installs a product-name lookup for the scope: 0x21 "Veloce", 0x22 "Cantor".
    struct ScopedProductNames
    {
        ScopedProductNames();
        ~ScopedProductNames();
    };

    PresetInfo makeInfo (int number, const juce::String& name, int steps, int dataVersion, int nameLength = 15);

    // The values of step `step` of a preset made with `seed` (distinct per step and seed).
    juce::Array<int> stepValues (const DeviceDataFormat& f, int seed, int step);

    // A complete preset of `steps` steps whose values come from stepValues.
    std::unique_ptr<Preset> makePreset (const DeviceDataFormat& f, int number, const juce::String& name,
                                        int steps, int seed);
    // A complete setup of the format's version.
    std::unique_ptr<SetupData> makeSetup (const DeviceDataFormat& f, int seed);

    Bytes bytesOf (const juce::MidiMessage& m);
    Bytes bytesOf (const juce::MemoryBlock& b);
    Bytes bytesOf (const juce::MemoryOutputStream& s);
    Bytes fileBytes (const juce::File& f);
    void writeFile (const juce::File& f, const Bytes& bytes);
    void append (Bytes& to, const Bytes& more);
    void appendInt (Bytes& to, int value);   // little-endian
    void appendText (Bytes& to, const char* text);  // with its zero byte
    juce::MidiMessage messageOf (const Bytes& b);
    std::string hex (const Bytes& b);
    // A firmware block to the loader (command 0x30), `length` bytes in all, filled with `fill`.
    Bytes firmwareBlock (int length, juce::uint8 fill);
}
