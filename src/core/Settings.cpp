#include "core/Settings.h"

namespace SettingsKeys
{
    const juce::StringArray& all()
    {
        static const juce::StringArray keys {
            runCounter, runTime, installToken, appWindowState, dataSyncMethod, presetButtonViewType,
            uiScalingFactor, downloadTimeout, developerControlDescriptorUri, lastFirmwareFile,
            dataTrackingOptIn, onlyShowArdDevices, autoConnectAtStartup, exportFolder,
            presetSearchSelectedLocations, presetSearchSelectedTags, presetSearchWindowPositionX,
            presetSearchWindowPositionY, presetCellButtonScale, presetIconButtonScale,
            browserWindowSize, lastImportFile, developerLastARDImportFile, lastConnectedDevice
        };
        return keys;
    }
}

namespace
{
    std::unique_ptr<juce::ApplicationProperties>& storeHolder()
    {
        static std::unique_ptr<juce::ApplicationProperties> store;
        return store;
    }

    // The framework saves the settings through a temporary sibling with a random name,
    // "<name>_temp<hex digits>.<suffix>"; a save cut short leaves it behind. Only one
    // instance of the program runs, so at its start no such file is in use.
    void clearInterruptedSettingsSaves (const juce::File& settingsFile)
    {
        const auto stem = settingsFile.getFileNameWithoutExtension() + "_temp";
        const auto extension = settingsFile.getFileExtension();
        for (auto& f : settingsFile.getParentDirectory().findChildFiles (juce::File::findFiles, false, stem + "*" + extension))
        {
            const auto middle = f.getFileNameWithoutExtension().substring (stem.length());
            if (f.getFileExtension() == extension && middle.isNotEmpty() && middle.containsOnly ("0123456789abcdef_"))
                f.deleteFile();
        }
    }
}

juce::ApplicationProperties& getApplicationProperties()
{
    auto& store = storeHolder();
    if (store == nullptr)
        store = std::make_unique<juce::ApplicationProperties>();
    return *store;
}

void configureApplicationProperties()
{
    juce::PropertiesFile::Options options;
    options.applicationName = "Larkspire 2";
    options.filenameSuffix = "settings";
    options.folderName = juce::String ("Ardentis") + juce::File::getSeparatorString() + "Larkspire 2";
    options.osxLibrarySubFolder = "Application Support";
    options.commonToAllUsers = false;
    options.ignoreCaseOfKeyNames = false;
    options.doNotSave = false;
    options.millisecondsBeforeSaving = 3000;
    options.storageFormat = juce::PropertiesFile::storeAsXML;
    options.processLock = nullptr;
    getApplicationProperties().setStorageParameters (options);
    if (auto* settings = getApplicationProperties().getUserSettings())
        clearInterruptedSettingsSaves (settings->getFile());
}

void deleteApplicationProperties()
{
    auto& store = storeHolder();
    if (store != nullptr)
    {
        store->saveIfNeeded();
        store.reset();
    }
}

juce::PropertiesFile* getUserSettings()
{
    return getApplicationProperties().getUserSettings();
}

juce::String getSettingText (const char* key, const juce::String& defaultValue)
{
    auto* file = getUserSettings();
    return file != nullptr ? file->getValue (key, defaultValue) : defaultValue;
}

int getSettingInt (const char* key, int defaultValue)
{
    auto* file = getUserSettings();
    return file != nullptr ? file->getIntValue (key, defaultValue) : defaultValue;
}

double getSettingDouble (const char* key, double defaultValue)
{
    auto* file = getUserSettings();
    return file != nullptr ? file->getDoubleValue (key, defaultValue) : defaultValue;
}

bool getSettingBool (const char* key)
{
    auto* file = getUserSettings();
    return file != nullptr ? file->getBoolValue (key, true) : true;
}

void setSetting (const char* key, const juce::var& value)
{
    if (auto* file = getUserSettings())
        file->setValue (key, value);
}

int getDataSyncMethod()
{
    auto text = getSettingText (SettingsKeys::dataSyncMethod, "auto");
    if (text == "manual")   return 1;
    if (text == "previous") return 2;
    return 0;
}

void setDataSyncMethod (int method)
{
    static const char* names[] = { "auto", "manual", "previous" };
    // Any other number keeps the stored text as it is.
    if (method >= 0 && method <= 2)
        setSetting (SettingsKeys::dataSyncMethod, names[method]);
}

int getPresetButtonViewType()
{
    return getSettingText (SettingsKeys::presetButtonViewType, "icon") == "cell" ? 0 : 1;
}

void setPresetButtonViewType (int type)
{
    if (type == 0)
        setSetting (SettingsKeys::presetButtonViewType, "cell");
    else if (type == 1)
        setSetting (SettingsKeys::presetButtonViewType, "icon");
}

float getUiScalingFactor()
{
    return (float) juce::jlimit (0.75, 2.5, getSettingDouble (SettingsKeys::uiScalingFactor, 1.0));
}

float getDownloadTimeout()
{
    return (float) getSettingDouble (SettingsKeys::downloadTimeout, 600.0);
}
