#include "content/EventStartup.h"
#include "content/ContentManager.h"

EventStartup::EventStartup (const juce::Uuid& installToken, const juce::Uuid& sessionId)
    : TrackableEvent ("db_ls_run.php")
{
    query.addParameter ("ls_build_num", ContentManager::programBuildNumber);
    query.addParameter ("os", getOperatingSystemName (juce::SystemStats::getOperatingSystemType()));
    query.addParameter ("region", getRegion());
    query.addParameter ("install_token", installToken.toString());
    query.addParameter ("session_id", sessionId.toString());
}

juce::String EventStartup::getOperatingSystemName (juce::SystemStats::OperatingSystemType type)
{
    using OS = juce::SystemStats;
    switch (type)
    {
        case OS::Win2000:    return "Windows 2000";
        case OS::WinXP:      return "Windows XP";
        case OS::WinVista:   return "Windows Vista";
        case OS::Windows7:   return "Windows 7";
        case OS::Windows8_0: return "Windows 8.0";
        case OS::Windows8_1: return "Windows 8.1";
        case OS::Windows10:  return "Windows 10";
        default:             return "Unknown OS";
    }
}

juce::String EventStartup::getRegion()
{
    const auto region = juce::SystemStats::getUserRegion().trim();
    return region.isNotEmpty() ? region : juce::String ("US");
}
