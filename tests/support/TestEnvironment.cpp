#include "support/TestEnvironment.h"
#include <cstdlib>
#include <stdexcept>

namespace testing_support
{
    juce::File makeUniqueTempFolder (const juce::String& prefix)
    {
        auto base = juce::File::getSpecialLocation (juce::File::tempDirectory);
        auto f = base.getNonexistentChildFile (prefix + juce::String::toHexString (juce::Random::getSystemRandom().nextInt64()), {}, false);
        if (! f.createDirectory())
            throw std::runtime_error ("cannot make the folder " + f.getFullPathName().toStdString());
        return f;
    }

    TempHome::TempHome()
    {
        folder = makeUniqueTempFolder ("larkspire-home-");
        if (auto* h = std::getenv ("HOME"))             { hadHome = true; oldHome = h; }
        if (auto* x = std::getenv ("XDG_CONFIG_HOME"))  { hadXdg = true; oldXdg = x; }
        ::setenv ("HOME", folder.getFullPathName().toRawUTF8(), 1);
        ::setenv ("XDG_CONFIG_HOME", folder.getChildFile (".config").getFullPathName().toRawUTF8(), 1);
    }

    TempHome::~TempHome()
    {
        if (hadHome) ::setenv ("HOME", oldHome.toRawUTF8(), 1); else ::unsetenv ("HOME");
        if (hadXdg)  ::setenv ("XDG_CONFIG_HOME", oldXdg.toRawUTF8(), 1); else ::unsetenv ("XDG_CONFIG_HOME");
        folder.deleteRecursively();
    }

    juce::File TempHome::getSettingsFile() const
    {
        return folder.getChildFile ("Ardentis").getChildFile ("Larkspire 2").getChildFile ("Larkspire 2.settings");
    }

    TempFolder::TempFolder() : folder (makeUniqueTempFolder ("larkspire-test-")) {}
    TempFolder::~TempFolder() { folder.deleteRecursively(); }

    bool pumpUntil (const std::function<bool()>& condition, int timeoutMs)
    {
        const auto deadline = juce::Time::getMillisecondCounter() + (juce::uint32) timeoutMs;
        auto* mm = juce::MessageManager::getInstance();
        while (! condition())
        {
            if (juce::Time::getMillisecondCounter() > deadline)
                return condition();
            mm->runDispatchLoopUntil (5);
        }
        return true;
    }

    void pumpFor (int milliseconds)
    {
        juce::MessageManager::getInstance()->runDispatchLoopUntil (milliseconds);
    }
}
