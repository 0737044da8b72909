#pragma once

#include "model/DeviceDataFormat.h"
#include <memory>

// What the program knows about a range of one product's firmware builds, read
// from the build profile and, for what it leaves out, the base definition.
class DeviceCaps
{
public:
    // An empty profile: everything zero, empty texts and lists, product id 0.
    DeviceCaps() = default;

    // Fills every value from the two elements (either may be null); the last build
    // is raised to the first when lower. The elements are not kept.
    DeviceCaps (const juce::XmlElement* baseDefinition, const juce::XmlElement* buildProfile,
                juce::uint8 productId, int firstBuild, int lastBuild);

    virtual ~DeviceCaps() = default;

    int getFirstBuild() const noexcept { return firstBuild; }
    int getLastBuild() const noexcept { return lastBuild; }
    bool containsBuild (int build) const noexcept { return build >= firstBuild && build <= lastBuild; }

    bool isBuildValid() const noexcept { return buildValid; }
    const DeviceDataFormat& getFormat() const noexcept { return format; }
    juce::uint8 getProductId() const noexcept { return format.productId; }

    int getNumSyxPackagesPerPresetStep() const noexcept { return format.syxPackagesPerPresetStep; }
    int getPresetStepPacketSize() const noexcept { return format.presetStepPacketSize; }
    int getPresetVersion() const noexcept { return format.presetVersion; }
    int getNumSyxPackagesPerSetup() const noexcept { return format.syxPackagesPerSetup; }
    int getSetupPacketSize() const noexcept { return format.setupPacketSize; }
    int getSetupVersion() const noexcept { return format.setupVersion; }
    int getNumPresets() const noexcept { return format.numPresets; }
    int getMaxPresetSteps() const noexcept { return format.maxPresetSteps; }

    const juce::Array<int>& getPresetCompatibilityList() const noexcept { return presetCompatibilityList; }
    const juce::Array<int>& getSetupCompatibilityList() const noexcept { return setupCompatibilityList; }
    bool supportsInfoQuery() const noexcept { return infoQuery; }
    bool hasSuspendAlgo() const noexcept { return suspendAlgo; }
    const juce::String& getPresetTextLabel() const noexcept { return presetTextLabel; }
    const juce::String& getStepsTextLabel() const noexcept { return stepsTextLabel; }
    const juce::String& getTagsTextLabel() const noexcept { return tagsTextLabel; }
    bool hasPresetCRC() const noexcept { return presetCRC; }
    bool hasPresetDelete() const noexcept { return presetDelete; }
    bool hasPresetHeader() const noexcept { return presetHeader; }
    bool hasActivePresetZero() const noexcept { return activePresetZero; }
    int getPresetNameLength() const noexcept { return presetNameLength; }
    bool canChangePresetName() const noexcept { return presetNameChange; }
    const juce::String& getPresetNameChars() const noexcept { return presetNameChars; }
    int getPresetTagCount() const noexcept { return presetTagCount; }
    const juce::StringArray& getPresetTagLabels() const noexcept { return presetTagLabels; }
    float getBootTime() const noexcept { return bootTime; }
    float getProgramTime() const noexcept { return programTime; }
    float getDelayTimeAfterPresetDelete() const noexcept { return delayTimeAfterPresetDelete; }
    float getBankSwapTime() const noexcept { return bankSwapTime; }

    // The 29 keys of a profile, in fill order.
    static const juce::StringArray& getKeys();

    // Why a unit cannot be used with this profile: its data format lies outside what the
    // data file can hold, so data made with it could be written but never read back. The
    // text names the product, the builds and the value; empty when the profile is usable.
    juce::String getStorageProblem() const;

    // Where profiles are built: a usable profile is passed on, one with a storage problem is
    // refused (null) and its problem logged and handed to `problem` when given.
    static std::unique_ptr<DeviceCaps> refuseUnstorable (std::unique_ptr<DeviceCaps> caps,
                                                         juce::String* problem = nullptr);

    //==============================================================================
    // Profiles read from a product's capability document: the base definition's features
    // and the build profiles, each with its range of builds and its own features.

    // The base definition plus the first build profile whose range holds the build (an end
    // of -1 holds every later build); the base definition alone (builds 0 to 0) when none
    // does. Refused as refuseUnstorable says.
    static std::unique_ptr<DeviceCaps> createForBuild (const juce::XmlElement& capsDocument, juce::uint8 productId,
                                                       int build, juce::String* refusal = nullptr);

    // The first build profile whose preset data (kind 1) or setup data (kind 2) has this
    // version: its own value, or the base definition's when it gives none (an end of -1
    // becomes the start). With no such profile, the base definition alone (builds 0 to 0).
    // Null for another kind, or for a profile refused as refuseUnstorable says.
    static std::unique_ptr<DeviceCaps> createForDataVersion (const juce::XmlElement& capsDocument,
                                                             juce::uint8 productId, int kind, int version);

private:
    // Typed lookups: build profile first, then base definition, then the built-in default.
    bool getBool (const char* key) const;
    int getInt (const char* key) const;
    float getFloat (const char* key) const;
    juce::String getText (const char* key) const;
    juce::Array<int> getIntList (const char* key) const;
    juce::StringArray getTagLabels() const;
    const juce::XmlElement* findAttributeOwner (const char* key) const;
    void setValuesFromProfile();

    const juce::XmlElement* base = nullptr;     // only while filling
    const juce::XmlElement* profile = nullptr;  // only while filling

    int firstBuild = 0;
    int lastBuild = 0;
    bool buildValid = false;
    DeviceDataFormat format;
    juce::Array<int> presetCompatibilityList;
    juce::Array<int> setupCompatibilityList;
    bool infoQuery = false;
    bool suspendAlgo = false;
    juce::String presetTextLabel;
    juce::String stepsTextLabel;
    juce::String tagsTextLabel;
    bool presetCRC = false;
    bool presetDelete = false;
    bool presetHeader = false;
    bool activePresetZero = false;
    int presetNameLength = 0;
    bool presetNameChange = false;
    juce::String presetNameChars;
    int presetTagCount = 0;
    juce::StringArray presetTagLabels;
    float bootTime = 0.0f;
    float programTime = 0.0f;
    float delayTimeAfterPresetDelete = 0.0f;
    float bankSwapTime = 0.0f;
};
