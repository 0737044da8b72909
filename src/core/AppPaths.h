#pragma once

#include <juce_core/juce_core.h>
#include <functional>

// Every path of the application data folder. The builders only compose text;
// none of them creates anything on disk.
namespace AppPaths
{
    // Product names come from the control content, which lives above this layer;
    // the content manager installs the lookup when it exists.
    using ProductNameLookup = std::function<juce::String (juce::uint8 productId)>;
    void setProductNameLookup (ProductNameLookup lookup);
    juce::String getProductName (juce::uint8 productId);

    // A product name is used as a folder name only when it is one plain path segment.
    bool isUsableFolderName (const juce::String& name);

    juce::String getApplicationDataFolder();
    juce::String getDeviceListFile();

    // These give an empty text when the product has no usable name; writers then refuse.
    juce::String getProductFolder (juce::uint8 productId);
    juce::String getFirmwareFolder (juce::uint8 productId);
    juce::String getScriptFolder (juce::uint8 productId);
    juce::String getPacksFolder (juce::uint8 productId);
    juce::String getDataFolder (juce::uint8 productId);
    juce::String getBackupIndexFile (juce::uint8 productId);

    juce::String getWorkingFile (const juce::String& unitFolder, bool temporary);
    juce::String getSyncFile (const juce::String& unitFolder, bool temporary);

    juce::String getUserGuideFile();

    // Joins a level onto a base with the platform separator.
    juce::String join (const juce::String& base, const juce::String& level);
}
