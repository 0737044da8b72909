#include "support/ConversionFixtures.h"

namespace testing_support
{
    DeviceDataFormat versionFormat (juce::uint8 product, int presetVersion, int setupVersion, int numPresets)
    {
        DeviceDataFormat f;
        f.productId = product;
        f.syxPackagesPerPresetStep = 1;
        f.presetStepPacketSize = 4 * (presetVersion + 1);
        f.presetVersion = presetVersion;
        f.syxPackagesPerSetup = 2;
        f.setupPacketSize = 4 * (setupVersion + 2);
        f.setupVersion = setupVersion;
        f.numPresets = numPresets;
        f.presetNameLength = 15;
        f.maxPresetSteps = 6;
        return f;
    }

    std::unique_ptr<Preset> versionPreset (const DeviceDataFormat& f, int number, const juce::String& name,
                                           int steps, int seed)
    {
        auto p = std::make_unique<Preset> (f);
        p->setInfo (makeInfo (number, name, 0, f.presetVersion, f.presetNameLength));
        for (int s = 0; s < steps; ++s)
        {
            juce::Array<int> values;
            for (int i = 0; i < p->getStepCapacity(); ++i)
                values.add (seed * 100 + s * 10 + i);
            if (! p->setStepData (s, values))
                return nullptr;
        }
        p->setModified (false);
        return p;
    }

    std::unique_ptr<DeviceData> versionUnit (const DeviceDataFormat& f, const juce::Array<int>& slots, bool withSetup)
    {
        auto unit = std::make_unique<DeviceData> (VersionNumber (0, 1, 0, 0, 100, 0), f, nullptr);
        for (auto slot : slots)
            unit->setPreset (slot, versionPreset (f, slot, "Preset " + juce::String (slot), 2, slot));
        if (withSetup)
        {
            SetupData setup (f);
            juce::Array<int> values;
            for (int i = 0; i < (f.setupPacketSize / 4) * f.syxPackagesPerSetup; ++i)
                values.add (500 + i);
            setup.setSetupDataVersion (f.setupVersion);
            setup.setData (values);
            unit->setSetup (setup, false);
        }
        unit->clearModifiedFlags (false);
        return unit;
    }

    juce::String presetScript (int targetVersion, const juce::StringArray& extra, int keep)
    {
        juce::String s;
        s << "var header = PresetConversion.getHeader();\n"
          << "var steps = header.steps;\n"
          << "header.version = " << targetVersion << ";\n"
          << "header.steps = 0;\n"
          << "PresetConversion.setHeader(header);\n"
          << "for (var i = 0; i < steps; ++i)\n"
          << "{\n"
          << "    var values = PresetConversion.getStep(i);\n"
          << "    var out = [];\n"
          << "    var n = " << keep << " < 0 ? values.length : " << keep << ";\n"
          << "    for (var k = 0; k < n; ++k)\n"
          << "        out.push(values[k]);\n";
        for (auto& e : extra)
            s << "    out.push(" << e << ");\n";
        s << "    if (typeof PresetConversion.setStep(out, i) == \"void\")\n"
          << "        Larkspire.scriptError(\"step \" + i + \" refused\");\n"
          << "}\n";
        return s;
    }

    juce::String setupScript (int targetVersion, int extraCount)
    {
        juce::String s;
        s << "var values = SetupConversion.getData();\n"
          << "for (var k = 0; k < " << extraCount << "; ++k)\n"
          << "    values.push(0);\n"
          << "SetupConversion.setVersion(" << targetVersion << ");\n"
          << "if (typeof SetupConversion.setData(values) == \"void\")\n"
          << "    Larkspire.scriptError(\"setup refused\");\n";
        return s;
    }

    juce::String RuleWorld::script (const juce::String& name, const juce::String& text)
    {
        auto f = folder.child (name);
        f.replaceWithText (text);
        return f.getFullPathName();
    }

    void RuleWorld::rule (int kind, juce::uint8 product, int sourceVersion, juce::uint8 targetProduct,
                          int targetVersion, int cost, const juce::String& scriptFile)
    {
        ConversionRuleInfo r;
        r.kind = kind;
        r.productId = product;
        r.sourceVersion = sourceVersion;
        r.targetProductId = targetProduct;
        r.targetVersion = targetVersion;
        r.cost = cost;
        r.scriptFile = scriptFile;
        rules.push_back (r);
    }

    void RuleWorld::profile (const DeviceDataFormat& format, int firstBuild, int lastBuild)
    {
        profiles.push_back ({ format, firstBuild, lastBuild });
    }

    juce::Array<ConversionRuleInfo> RuleWorld::getConversionRules (juce::uint8 productId, int kind) const
    {
        ++ruleLookups;
        juce::Array<ConversionRuleInfo> out;
        for (auto& r : rules)
            if (r.productId == productId && r.kind == kind)
                out.add (r);
        return out;
    }

    static std::unique_ptr<DeviceCaps> capsOf (const DeviceDataFormat& f, int first, int last)
    {
        juce::XmlElement features ("features");
        features.setAttribute ("isBuildValid", 1);
        features.setAttribute ("numSyxPackagesPerPresetStep", f.syxPackagesPerPresetStep);
        features.setAttribute ("presetStepPacketSize", f.presetStepPacketSize);
        features.setAttribute ("presetVersion", f.presetVersion);
        features.setAttribute ("numSyxPackagesPerSetup", f.syxPackagesPerSetup);
        features.setAttribute ("setupPacketSize", f.setupPacketSize);
        features.setAttribute ("setupVersion", f.setupVersion);
        features.setAttribute ("numPresets", f.numPresets);
        features.setAttribute ("presetNameLength", f.presetNameLength);
        features.setAttribute ("maxPresetSteps", f.maxPresetSteps);
        return std::make_unique<DeviceCaps> (nullptr, &features, f.productId, first, last);
    }

    std::unique_ptr<DeviceCaps> RuleWorld::createDeviceCaps (juce::uint8 productId, int build) const
    {
        for (auto& p : profiles)
            if (p.format.productId == productId && build >= p.first && (p.last == -1 || build <= p.last))
                return capsOf (p.format, p.first, p.last == -1 ? build : p.last);
        return {};
    }

    std::unique_ptr<DeviceCaps> RuleWorld::createDeviceCapsForDataVersion (juce::uint8 productId, int kind,
                                                                           int version) const
    {
        for (auto& p : profiles)
            if (p.format.productId == productId
                && ((kind == 1 && p.format.presetVersion == version) || (kind == 2 && p.format.setupVersion == version)))
                return capsOf (p.format, p.first, p.last == -1 ? p.first : p.last);
        return {};
    }
}
