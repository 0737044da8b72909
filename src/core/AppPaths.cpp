#include "core/AppPaths.h"

namespace AppPaths
{
    namespace
    {
        juce::CriticalSection lookupLock;
        ProductNameLookup& lookupHolder()
        {
            static ProductNameLookup lookup;
            return lookup;
        }
    }

    void setProductNameLookup (ProductNameLookup lookup)
    {
        const juce::ScopedLock sl (lookupLock);
        lookupHolder() = std::move (lookup);
    }

    juce::String getProductName (juce::uint8 productId)
    {
        ProductNameLookup lookup;
        {
            const juce::ScopedLock sl (lookupLock);
            lookup = lookupHolder();
        }
        return lookup ? lookup (productId) : juce::String();
    }

    bool isUsableFolderName (const juce::String& name)
    {
        if (name.isEmpty() || name == "." || name == "..")
            return false;
        if (name.containsAnyOf ("/\\") || name.containsChar (0))
            return false;
        return name.trim().isNotEmpty();
    }

    juce::String join (const juce::String& base, const juce::String& level)
    {
        return base + juce::File::getSeparatorString() + level;
    }

    juce::String getApplicationDataFolder()
    {
        return juce::File::getSpecialLocation (juce::File::userApplicationDataDirectory).getFullPathName()
               + "/Ardentis/Larkspire 2";
    }

    juce::String getDeviceListFile()
    {
        return join (getApplicationDataFolder(), "deviceList.xml");
    }

    juce::String getProductFolder (juce::uint8 productId)
    {
        auto name = getProductName (productId);
        if (! isUsableFolderName (name))
            return {};
        return join (getApplicationDataFolder(), name);
    }

    static juce::String productSubFolder (juce::uint8 productId, const char* level)
    {
        auto product = getProductFolder (productId);
        return product.isEmpty() ? juce::String() : join (product, level);
    }

    juce::String getFirmwareFolder (juce::uint8 productId) { return productSubFolder (productId, "firmware"); }
    juce::String getScriptFolder (juce::uint8 productId)   { return productSubFolder (productId, "js"); }
    juce::String getPacksFolder (juce::uint8 productId)    { return productSubFolder (productId, "packs"); }
    juce::String getDataFolder (juce::uint8 productId)     { return productSubFolder (productId, "data"); }

    juce::String getBackupIndexFile (juce::uint8 productId)
    {
        auto data = getDataFolder (productId);
        return data.isEmpty() ? juce::String() : join (data, getProductName (productId) + "_backup.xml");
    }

    juce::String getWorkingFile (const juce::String& unitFolder, bool temporary)
    {
        return join (unitFolder, temporary ? "working_.ard" : "working.ard");
    }

    juce::String getSyncFile (const juce::String& unitFolder, bool temporary)
    {
        return join (unitFolder, temporary ? "sync_.ard" : "sync.ard");
    }

    juce::String getUserGuideFile()
    {
        return juce::File::getSpecialLocation (juce::File::commonApplicationDataDirectory).getFullPathName()
               + "/Ardentis/Larkspire 2" + juce::File::getSeparatorString() + "Larkspire2 User Guide.pdf";
    }
}
