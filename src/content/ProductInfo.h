#pragma once

#include "content/ConversionRuleInfo.h"
#include "firmware/FirmwareUpdateElement.h"
#include <juce_graphics/juce_graphics.h>
#include <map>
#include <memory>

// Loaded content XML is shared by reference count: a reload replaces the record's
// pointer while readers on other threads keep the copy they were handed.
using ContentXml = std::shared_ptr<const juce::XmlElement>;

// One product of the control descriptor and what is known of its content.
// Owned by the content manager and guarded by its lock.
struct ProductInfo
{
    const juce::XmlElement* element = nullptr;   // inside the descriptor in force
    bool synced = false;
    // Between the two parts of a synchronisation: whether the first brought everything, and
    // whether the firmware images must be looked at (the list was not current, or one is missing).
    bool unitFilesSynced = false, firmwareImagesDue = false;
    juce::int64 pubDate = 0;
    juce::int64 lastSyncTime = 0;                // 0 = never
    juce::String name;
    juce::uint8 sysexId = 255;
    bool allVersSupportGenSyxID = false;
    juce::String caps, firmwareUpdate, conversionRules, onlinePresets;
    juce::String manual;

    ContentXml capsXml, firmwareXml, rulesXml;
    juce::Array<FirmwareUpdateElement> firmwareList;   // highest build first
    juce::Array<ConversionRuleInfo> conversionRuleList;
    juce::Array<juce::Image> variantImages;
    juce::StringArray variantIconAddresses;
    std::map<juce::String, juce::String> variantImageIndex;   // display name -> index as text
};
