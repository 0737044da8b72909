#include "support/DataFixtures.h"
#include "core/AppPaths.h"

namespace testing_support
{
    DeviceDataFormat smallFormat (int numPresets)
    {
        DeviceDataFormat f;
        f.productId = 0x21;
        f.syxPackagesPerPresetStep = 2;
        f.presetStepPacketSize = 8;
        f.presetVersion = 3;
        f.syxPackagesPerSetup = 3;
        f.setupPacketSize = 8;
        f.setupVersion = 2;
        f.numPresets = numPresets;
        f.presetNameLength = 15;
        f.maxPresetSteps = 5;
        return f;
    }

    ScopedProductNames::ScopedProductNames()
    {
        AppPaths::setProductNameLookup ([] (juce::uint8 id) -> juce::String {
            if (id == 0x21) return "Veloce";
            if (id == 0x22) return "Cantor";
            return {};
        });
    }

    ScopedProductNames::~ScopedProductNames()
    {
        AppPaths::setProductNameLookup (nullptr);
    }

    PresetInfo makeInfo (int number, const juce::String& name, int steps, int dataVersion, int nameLength)
    {
        PresetInfo info;
        info.number = number;
        info.dataVersion = dataVersion;
        info.tags = 0x5;
        info.stepCount = steps;
        info.setNameBytes (nullptr, nameLength);
        info.writeName (name);
        return info;
    }

    juce::Array<int> stepValues (const DeviceDataFormat& f, int seed, int step)
    {
        juce::Array<int> v;
        const int n = (f.presetStepPacketSize / 4) * f.syxPackagesPerPresetStep;
        for (int i = 0; i < n; ++i)
            v.add (seed * 1000 + step * 10 + i + 1);
        return v;
    }

    std::unique_ptr<Preset> makePreset (const DeviceDataFormat& f, int number, const juce::String& name,
                                        int steps, int seed)
    {
        auto p = std::make_unique<Preset> (f);
        p->setInfo (makeInfo (number, name, 0, f.presetVersion, f.presetNameLength));
        for (int s = 0; s < steps; ++s)
            if (! p->setStepData (s, stepValues (f, seed, s)))
                return nullptr;
        p->setModified (false);
        return p;
    }

    std::unique_ptr<SetupData> makeSetup (const DeviceDataFormat& f, int seed)
    {
        auto s = std::make_unique<SetupData> (f);
        juce::Array<int> values;
        for (int i = 0; i < (f.setupPacketSize / 4) * f.syxPackagesPerSetup; ++i)
            values.add (seed * 100 + i);
        s->setSetupDataVersion (f.setupVersion);
        if (! s->setData (values))
            return nullptr;
        s->setModified (false);
        return s;
    }

    Bytes bytesOf (const juce::MidiMessage& m)
    {
        return Bytes (m.getRawData(), m.getRawData() + m.getRawDataSize());
    }

    Bytes bytesOf (const juce::MemoryBlock& b)
    {
        auto* d = static_cast<const juce::uint8*> (b.getData());
        return Bytes (d, d + b.getSize());
    }

    Bytes bytesOf (const juce::MemoryOutputStream& s)
    {
        auto* d = static_cast<const juce::uint8*> (s.getData());
        return Bytes (d, d + s.getDataSize());
    }

    Bytes fileBytes (const juce::File& f)
    {
        juce::MemoryBlock b;
        f.loadFileAsData (b);
        return bytesOf (b);
    }

    void writeFile (const juce::File& f, const Bytes& bytes)
    {
        f.deleteFile();
        if (bytes.empty())
            f.create();
        else
            f.replaceWithData (bytes.data(), bytes.size());
    }

    void append (Bytes& to, const Bytes& more)
    {
        to.insert (to.end(), more.begin(), more.end());
    }

    void appendInt (Bytes& to, int value)
    {
        const auto v = (juce::uint32) value;
        for (int i = 0; i < 4; ++i)
            to.push_back ((juce::uint8) ((v >> (8 * i)) & 0xFF));
    }

    void appendText (Bytes& to, const char* text)
    {
        while (*text != 0)
            to.push_back ((juce::uint8) *text++);
        to.push_back (0);
    }

    juce::MidiMessage messageOf (const Bytes& b)
    {
        return juce::MidiMessage (b.data(), (int) b.size(), 0.0);
    }

    std::string hex (const Bytes& b)
    {
        std::string s;
        static const char* digits = "0123456789ABCDEF";
        for (auto c : b)
        {
            if (! s.empty())
                s += ' ';
            s += digits[c >> 4];
            s += digits[c & 15];
        }
        return s;
    }

    Bytes firmwareBlock (int length, juce::uint8 fill)
    {
        Bytes b { 0xF0, 0x00, 0x7A, 0x15, 0x00, 0x60, 0x30 };
        while ((int) b.size() < length - 1)
            b.push_back (fill);
        b.push_back (0xF7);
        return b;
    }
}
