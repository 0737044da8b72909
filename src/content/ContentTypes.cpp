#include "content/ContentTypes.h"

namespace ContentType
{
    juce::String getRootTag (int type)
    {
        switch (type)
        {
            case controlDescriptor: return "CONTROL_DESCRIPTOR";
            case caps:              return "CAPS";
            case firmwareList:      return "FIRMWARE";
            case conversionRules:   return "CONVERSION_RULES";
            default:                return {};
        }
    }

    juce::String getKeyName (int type)
    {
        switch (type)
        {
            case caps:            return "capsKey";
            case firmwareList:    return "firmwareKey";
            case conversionRules: return "rulesKey";
            case presetPacks:     return "presetsKey";
            default:              return {};
        }
    }
}
