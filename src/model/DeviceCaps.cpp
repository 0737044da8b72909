#include "model/DeviceCaps.h"
#include "model/NumberText.h"
#include "core/AppPaths.h"

const juce::StringArray& DeviceCaps::getKeys()
{
    static const juce::StringArray keys {
        "isBuildValid", "numSyxPackagesPerPresetStep", "presetStepPacketSize", "presetVersion",
        "numSyxPackagesPerSetup", "setupPacketSize", "setupVersion", "numPresets", "presetNameLength",
        "maxPresetSteps", "presetCompatibilityList", "setupCompatibilityList", "supportsInfoQuery",
        "suspendAlgo", "presetTextLabel", "stepsTextLabel", "tagsTextLabel", "presetCRC", "presetDelete",
        "presetHeader", "activePresetZero", "presetNameChange", "presetNameChars", "presetTagCount",
        "presetTagLabels", "bootTime", "programTime", "delayTimeAfterPresetDelete", "bankSwapTime"
    };
    return keys;
}

DeviceCaps::DeviceCaps (const juce::XmlElement* baseDefinition, const juce::XmlElement* buildProfile,
                        juce::uint8 productId, int first, int lastB)
    : base (baseDefinition), profile (buildProfile), firstBuild (first), lastBuild (juce::jmax (first, lastB))
{
    format.productId = productId;
    setValuesFromProfile();
    base = nullptr;
    profile = nullptr;
}

juce::String DeviceCaps::getStorageProblem() const
{
    const auto violation = format.describeLimitViolation();
    if (violation.isEmpty())
        return {};

    auto product = AppPaths::getProductName (format.productId);
    if (product.isEmpty())
        product = "Product " + juce::String::toHexString ((int) format.productId).paddedLeft ('0', 2).toUpperCase();
    const auto builds = firstBuild == lastBuild ? "build " + juce::String (firstBuild)
                                                : "builds " + juce::String (firstBuild) + " to " + juce::String (lastBuild);
    return product + ": the capability profile of " + builds + " cannot be used: " + violation
           + ", which the data file cannot hold.";
}

std::unique_ptr<DeviceCaps> DeviceCaps::refuseUnstorable (std::unique_ptr<DeviceCaps> caps, juce::String* problem)
{
    if (caps == nullptr)
        return caps;
    const auto text = caps->getStorageProblem();
    if (text.isEmpty())
        return caps;
    juce::Logger::writeToLog (text);
    if (problem != nullptr)
        *problem = text;
    return {};
}

//==============================================================================
namespace
{
    const juce::XmlElement* baseFeaturesOf (const juce::XmlElement& caps)
    {
        if (auto* base = caps.getChildByName ("baseDefinition"))
            return base->getChildByName ("features");
        return nullptr;
    }
}

std::unique_ptr<DeviceCaps> DeviceCaps::createForBuild (const juce::XmlElement& caps, juce::uint8 productId,
                                                        int build, juce::String* refusal)
{
    const auto* baseFeatures = baseFeaturesOf (caps);

    for (auto* profile : caps.getChildWithTagNameIterator ("buildProfile"))
    {
        auto* range = profile->getChildByName ("range");
        if (range == nullptr)
            continue;
        const int start = range->getIntAttribute ("start", 0);
        int end = range->getIntAttribute ("end", 0);
        if (end == -1)
            end = juce::jmax (build, start);
        if (build >= start && build <= end)
            return refuseUnstorable (std::make_unique<DeviceCaps> (baseFeatures, profile->getChildByName ("features"),
                                                                   productId, start, end),
                                     refusal);
    }
    return refuseUnstorable (std::make_unique<DeviceCaps> (baseFeatures, nullptr, productId, 0, 0), refusal);
}

std::unique_ptr<DeviceCaps> DeviceCaps::createForDataVersion (const juce::XmlElement& caps, juce::uint8 productId,
                                                              int kind, int version)
{
    const char* key = kind == 1 ? "presetVersion" : (kind == 2 ? "setupVersion" : nullptr);
    if (key == nullptr)
        return {};

    const auto* baseFeatures = baseFeaturesOf (caps);
    const int baseValue = baseFeatures != nullptr && baseFeatures->hasAttribute (key)
                            ? NumberText::parseLeadingInt (baseFeatures->getStringAttribute (key)) : 0;

    for (auto* profile : caps.getChildWithTagNameIterator ("buildProfile"))
    {
        auto* range = profile->getChildByName ("range");
        if (range == nullptr)
            continue;
        auto* features = profile->getChildByName ("features");
        const bool own = features != nullptr && features->hasAttribute (key);
        const int value = own ? NumberText::parseLeadingInt (features->getStringAttribute (key)) : 0;
        if ((own && value == version) || (! own && baseValue == version))
        {
            const int start = range->getIntAttribute ("start", 0);
            int end = range->getIntAttribute ("end", 0);
            if (end == -1)
                end = start;
            return refuseUnstorable (std::make_unique<DeviceCaps> (baseFeatures, features, productId, start, end));
        }
    }
    return refuseUnstorable (std::make_unique<DeviceCaps> (baseFeatures, nullptr, productId, 0, 0));
}

//==============================================================================
const juce::XmlElement* DeviceCaps::findAttributeOwner (const char* key) const
{
    if (profile != nullptr && profile->hasAttribute (key))
        return profile;
    if (base != nullptr && base->hasAttribute (key))
        return base;
    return nullptr;
}

namespace
{
    bool defaultBool (const juce::String& key) { return key == "isBuildValid"; }

    int defaultInt (const juce::String& key)
    {
        if (key == "maxPresetSteps" || key == "numSyxPackagesPerPresetStep" || key == "numSyxPackagesPerSetup")
            return 1;
        if (key == "presetStepPacketSize" || key == "setupPacketSize")
            return 100;
        return 15;
    }

    float defaultFloat (const juce::String& key)
    {
        if (key == "bootTime" || key == "programTime") return 10.0f;
        if (key == "delayTimeAfterPresetDelete")        return 0.05f;
        if (key == "bankSwapTime")                      return 2.0f;
        return 0.0f;
    }
}

bool DeviceCaps::getBool (const char* key) const
{
    if (auto* e = findAttributeOwner (key))
    {
        const auto c = e->getStringAttribute (key).trimStart()[0];
        return c == '1' || c == 't' || c == 'T' || c == 'y' || c == 'Y';
    }
    return defaultBool (key);
}

int DeviceCaps::getInt (const char* key) const
{
    if (auto* e = findAttributeOwner (key))
        return NumberText::parseLeadingInt (e->getStringAttribute (key));
    return defaultInt (key);
}

float DeviceCaps::getFloat (const char* key) const
{
    if (auto* e = findAttributeOwner (key))
        return NumberText::parseFloat (e->getStringAttribute (key));
    return defaultFloat (key);
}

juce::String DeviceCaps::getText (const char* key) const
{
    if (auto* e = findAttributeOwner (key))
        return e->getStringAttribute (key);
    return {};
}

juce::Array<int> DeviceCaps::getIntList (const char* key) const
{
    juce::Array<int> result;
    const juce::String k (key);
    if (k != "presetCompatibilityList" && k != "setupCompatibilityList")
        return result;

    auto parts = juce::StringArray::fromTokens (getText (key), ",", {});
    for (auto& p : parts)
    {
        auto t = p.trim();
        if (t.isNotEmpty())
            result.add (NumberText::parseLeadingInt (t));
    }
    return result;
}

juce::StringArray DeviceCaps::getTagLabels() const
{
    juce::StringArray labels;
    const auto text = getText ("presetTagLabels");
    if (text.isNotEmpty())
    {
        // Split at every comma, keeping blanks and empty labels as they are.
        int start = 0;
        for (;;)
        {
            const int comma = text.indexOfChar (start, ',');
            labels.add (comma < 0 ? text.substring (start) : text.substring (start, comma));
            if (comma < 0)
                break;
            start = comma + 1;
        }
    }

    const int count = getInt ("presetTagCount");
    if (count >= 1 && count <= 27)
        while (labels.size() < count)
            labels.add ("Undefined");
    return labels;
}

void DeviceCaps::setValuesFromProfile()
{
    buildValid = getBool ("isBuildValid");
    format.syxPackagesPerPresetStep = getInt ("numSyxPackagesPerPresetStep");
    format.presetStepPacketSize = getInt ("presetStepPacketSize");
    format.presetVersion = getInt ("presetVersion");
    format.syxPackagesPerSetup = getInt ("numSyxPackagesPerSetup");
    format.setupPacketSize = getInt ("setupPacketSize");
    format.setupVersion = getInt ("setupVersion");
    format.numPresets = getInt ("numPresets");
    format.presetNameLength = getInt ("presetNameLength");
    format.maxPresetSteps = getInt ("maxPresetSteps");
    presetCompatibilityList = getIntList ("presetCompatibilityList");
    setupCompatibilityList = getIntList ("setupCompatibilityList");
    infoQuery = getBool ("supportsInfoQuery");
    suspendAlgo = getBool ("suspendAlgo");
    presetTextLabel = getText ("presetTextLabel");
    stepsTextLabel = getText ("stepsTextLabel");
    tagsTextLabel = getText ("tagsTextLabel");
    presetCRC = getBool ("presetCRC");
    presetDelete = getBool ("presetDelete");
    presetHeader = getBool ("presetHeader");
    activePresetZero = getBool ("activePresetZero");
    presetNameLength = getInt ("presetNameLength");
    presetNameChange = getBool ("presetNameChange");
    presetNameChars = getText ("presetNameChars");
    presetTagCount = getInt ("presetTagCount");
    presetTagLabels = getTagLabels();
    bootTime = getFloat ("bootTime");
    programTime = getFloat ("programTime");
    delayTimeAfterPresetDelete = getFloat ("delayTimeAfterPresetDelete");
    bankSwapTime = getFloat ("bankSwapTime");
}
