#pragma once

#include <juce_data_structures/juce_data_structures.h>

// The one settings store of the program and the table of every key it uses.
// Booleans are stored as "1"/"0" and read as true while missing.
namespace SettingsKeys
{
    inline constexpr const char* runCounter                   = "internal1";
    inline constexpr const char* runTime                      = "internal3";
    inline constexpr const char* installToken                 = "internal4";
    inline constexpr const char* appWindowState               = "appWindowState";
    inline constexpr const char* dataSyncMethod               = "dataSyncMethod";
    inline constexpr const char* presetButtonViewType         = "presetButtonViewType";
    inline constexpr const char* uiScalingFactor              = "uiScalingFactor";
    inline constexpr const char* downloadTimeout              = "downloadTimeout";
    inline constexpr const char* developerControlDescriptorUri = "developerControlDescriptorUri";
    inline constexpr const char* lastFirmwareFile             = "lastFirmwareFile";
    inline constexpr const char* dataTrackingOptIn            = "dataTrackingOptIn";
    inline constexpr const char* onlyShowArdDevices           = "onlyShowArdDevices";
    inline constexpr const char* autoConnectAtStartup         = "autoConnectAtStartup";
    inline constexpr const char* exportFolder                 = "exportFolder";
    inline constexpr const char* presetSearchSelectedLocations = "presetSearchSelectedLocations";
    inline constexpr const char* presetSearchSelectedTags     = "presetSearchSelectedTags";
    inline constexpr const char* presetSearchWindowPositionX  = "presetSearchWindowPositionX";
    inline constexpr const char* presetSearchWindowPositionY  = "presetSearchWindowPositionY";
    inline constexpr const char* presetCellButtonScale        = "presetCellButtonScale";
    inline constexpr const char* presetIconButtonScale        = "presetIconButtonScale";
    inline constexpr const char* browserWindowSize            = "browserWindowSize";
    inline constexpr const char* lastImportFile               = "lastImportFile";
    inline constexpr const char* developerLastARDImportFile   = "developerLastARDImportFile";
    inline constexpr const char* lastConnectedDevice          = "lastConnectedDevice";

    // Every key, in table order.
    const juce::StringArray& all();
}

// The process-wide store, created empty on first use.
juce::ApplicationProperties& getApplicationProperties();

// Gives the store its file: "<home>/Ardentis/Larkspire 2/Larkspire 2.settings", XML, saved 3 s after a change.
// Temporary files that interrupted saves of it left behind are deleted.
void configureApplicationProperties();

// Saves pending changes and deletes the process-wide store (a later call of
// getApplicationProperties() makes a new, unconfigured one).
void deleteApplicationProperties();

// The user-settings file of the store (never null once configured).
juce::PropertiesFile* getUserSettings();

// Plain typed access; every boolean reads true while missing.
juce::String getSettingText (const char* key, const juce::String& defaultValue = {});
int getSettingInt (const char* key, int defaultValue);
double getSettingDouble (const char* key, double defaultValue);
bool getSettingBool (const char* key);
void setSetting (const char* key, const juce::var& value);

// Interpreting accessors.
int getDataSyncMethod();                 // "auto" 0, "manual" 1, "previous" 2, else 0
void setDataSyncMethod (int method);
int getPresetButtonViewType();           // "cell" 0, else 1
void setPresetButtonViewType (int type);
float getUiScalingFactor();              // clamped to 0.75..2.5
float getDownloadTimeout();              // seconds, default 600
