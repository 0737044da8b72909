// Converts a unit of 500 presets along a chain of 3 conversion rules (data versions
// 1 > 2 > 3 > 4, each rule a script like the sample content's) and prints the time per
// preset per rule.

#include "core/AppPaths.h"
#include "conversion/ConversionContent.h"
#include "conversion/DataConversionManager.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace
{
    constexpr juce::uint8 product = 0x21;
    constexpr int numPresets = 500, stepsPerPreset = 2, rules = 3;

    // Preset data version v holds 6 + 2v values per step; the setup stays at version 1.
    DeviceDataFormat formatFor (int presetVersion)
    {
        DeviceDataFormat f;
        f.productId = product;
        f.syxPackagesPerPresetStep = 1;
        f.presetStepPacketSize = 4 * (6 + 2 * presetVersion);
        f.presetVersion = presetVersion;
        f.syxPackagesPerSetup = 2;
        f.setupPacketSize = 48;
        f.setupVersion = 1;
        f.numPresets = numPresets + 1;
        f.presetNameLength = 15;
        f.maxPresetSteps = 4;
        return f;
    }

    juce::String ruleScript (int target)
    {
        juce::String s;
        s << "// Presets, data version " << (target - 1) << " to " << target << ": two values follow.\n"
          << "function convert()\n{\n"
          << "    if (PresetConversion.getProductId() != 33) { Larkspire.scriptError(\"wrong product\"); return; }\n"
          << "    var header = PresetConversion.getHeader();\n"
          << "    var steps = header.steps;\n"
          << "    header.version = " << target << ";\n"
          << "    header.steps = 0;\n"
          << "    if (typeof PresetConversion.setHeader(header) == \"void\") { Larkspire.scriptError(\"header\"); return; }\n"
          << "    var stored = ReferenceData.isPresetAvailable(header.number + 1);\n"
          << "    for (var i = 0; i < steps; ++i)\n    {\n"
          << "        var values = PresetConversion.getStep(i);\n"
          << "        if (typeof values == \"void\") { Larkspire.scriptError(\"step\"); return; }\n"
          << "        values.push(stored ? 1 : 0);\n"
          << "        values.push(64);\n"
          << "        if (typeof PresetConversion.setStep(values, i) == \"void\") { Larkspire.scriptError(\"refused\"); return; }\n"
          << "    }\n}\n\nconvert();\n";
        return s;
    }

    struct BenchContent : ConversionContent
    {
        explicit BenchContent (const juce::File& folder)
        {
            for (int v = 1; v <= rules; ++v)
            {
                auto file = folder.getChildFile ("rule_" + juce::String (v) + ".js");
                file.replaceWithText (ruleScript (v + 1));
                ConversionRuleInfo r;
                r.kind = ConversionRuleInfo::preset;
                r.productId = product;
                r.sourceVersion = v;
                r.targetProductId = product;
                r.targetVersion = v + 1;
                r.cost = 1;
                r.scriptFile = file.getFullPathName();
                ruleList.add (r);
            }
        }

        juce::Array<ConversionRuleInfo> getConversionRules (juce::uint8 id, int kind) const override
        {
            return id == product && kind == ConversionRuleInfo::preset ? ruleList : juce::Array<ConversionRuleInfo>();
        }

        static std::unique_ptr<DeviceCaps> capsOf (const DeviceDataFormat& f, int first)
        {
            juce::XmlElement features ("features");
            features.setAttribute ("numSyxPackagesPerPresetStep", f.syxPackagesPerPresetStep);
            features.setAttribute ("presetStepPacketSize", f.presetStepPacketSize);
            features.setAttribute ("presetVersion", f.presetVersion);
            features.setAttribute ("numSyxPackagesPerSetup", f.syxPackagesPerSetup);
            features.setAttribute ("setupPacketSize", f.setupPacketSize);
            features.setAttribute ("setupVersion", f.setupVersion);
            features.setAttribute ("numPresets", f.numPresets);
            features.setAttribute ("presetNameLength", f.presetNameLength);
            features.setAttribute ("maxPresetSteps", f.maxPresetSteps);
            return std::make_unique<DeviceCaps> (nullptr, &features, f.productId, first, first + 99);
        }

        // Build 100 x v holds preset data version v.
        std::unique_ptr<DeviceCaps> createDeviceCaps (juce::uint8 id, int build) const override
        {
            const int v = build / 100;
            return id == product && v >= 1 && v <= rules + 1 ? capsOf (formatFor (v), v * 100) : nullptr;
        }

        std::unique_ptr<DeviceCaps> createDeviceCapsForDataVersion (juce::uint8 id, int kind, int version) const override
        {
            if (id != product || version < 1 || version > rules + 1)
                return {};
            if (kind == ConversionRuleInfo::preset)
                return capsOf (formatFor (version), version * 100);
            return kind == ConversionRuleInfo::setup ? capsOf (formatFor (1), 100) : nullptr;
        }

        juce::Array<ConversionRuleInfo> ruleList;
    };
}

int main()
{
    AppPaths::setProductNameLookup ([] (juce::uint8) { return juce::String ("Veloce"); });

    const auto folder = juce::File::createTempFile ("bench");
    folder.createDirectory();
    BenchContent content (folder);

    const auto source = formatFor (1);
    DeviceData unit (VersionNumber (0, 1, 0, 0, 100, 0), source, nullptr);
    for (int slot = 1; slot <= numPresets; ++slot)
    {
        auto p = std::make_unique<Preset> (source);
        PresetInfo info;
        info.number = slot;
        info.dataVersion = 1;
        info.setNameBytes (nullptr, source.presetNameLength);
        info.writeName ("Preset " + juce::String (slot));
        p->setInfo (info);
        for (int step = 0; step < stepsPerPreset; ++step)
        {
            juce::Array<int> values;
            for (int i = 0; i < p->getStepCapacity(); ++i)
                values.add (slot * 7 + step * 3 + i);
            p->setStepData (step, values);
        }
        unit.setPreset (slot, std::move (p));
    }

    const int rounds = 3;
    std::vector<double> times;
    for (int round = 0; round < rounds; ++round)
    {
        DataConversionManager manager (content);
        const auto start = juce::Time::getMillisecondCounterHiRes();
        auto converted = manager.convertDeviceData (unit, product, VersionNumber (0, 1, 3, 0, 400, 0));
        const auto elapsed = juce::Time::getMillisecondCounterHiRes() - start;
        if (converted == nullptr || manager.hasErrors() || converted->countPresets() != numPresets
            || converted->getPreset (numPresets)->getStepData (1).size() != 14)
        {
            std::printf ("conversion failed: %s\n", manager.getErrorText().toRawUTF8());
            folder.deleteRecursively();
            return 1;
        }
        times.push_back (elapsed);
    }
    folder.deleteRecursively();

    std::sort (times.begin(), times.end());
    const double median = times[times.size() / 2];
    std::printf ("conversion of %d presets (%d steps each) along %d rules: %.1f ms (median of %d)\n",
                 numPresets, stepsPerPreset, rules, median, rounds);
    std::printf ("time per preset per rule: %.3f ms (goal: under 2 ms)\n", median / (numPresets * rules));
    return 0;
}
