#include "content/EventStartup.h"
#include "content/ContentManager.h"

#if defined (__GLIBC__)
 #include <langinfo.h>
 #include <locale.h>
#endif

namespace
{
    juce::String readSystemCountry()
    {
       #if defined (__GLIBC__)
        // The country code of the environment's address locale, read without touching the
        // process-wide locale (other threads use it). The framework's region call reads the
        // locale's territory name instead, which is "ISO" under the C locale.
        const auto locale = ::newlocale (LC_ADDRESS_MASK, "", (locale_t) nullptr);
        if (locale == (locale_t) nullptr)
            return {};
        const auto code = juce::String::fromUTF8 (::nl_langinfo_l (_NL_ADDRESS_COUNTRY_AB2, locale));
        ::freelocale (locale);
        return code;
       #else
        return juce::SystemStats::getUserRegion();
       #endif
    }
}

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
    return regionFromCountry (readSystemCountry());
}

juce::String EventStartup::regionFromCountry (const juce::String& country)
{
    const bool isCode = country.length() == 2
                     && country.containsOnly ("ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    return isCode ? country : juce::String ("US");
}
