#include <gtest/gtest.h>
#include "support/AppProcess.h"
#include "support/TestEnvironment.h"

using namespace testing_support;

namespace
{
    std::unique_ptr<juce::XmlElement> readSettings (const juce::File& f) { return juce::parseXML (f); }

    juce::String settingOf (const juce::XmlElement& xml, const char* key)
    {
        if (auto* e = xml.getChildByAttribute ("name", key))
            return e->getStringAttribute ("val");
        return {};
    }

    // Starts the program, waits until its first settings save, and stops it.
    void runOnce (const TempHome& home, const juce::StringArray& args = {})
    {
        const auto settings = home.getSettingsFile();
        const auto before = settings.getLastModificationTime();
        AppProcess app (args);
        ASSERT_TRUE (pumpUntil ([&] { return ! app.isRunning()
                                          || (settings.existsAsFile() && settings.getLastModificationTime() != before); },
                                60000));
        ASSERT_TRUE (app.isRunning()) << "the program ended by itself";
        EXPECT_EQ (app.stop(), 0);
    }
}

TEST (AppLifecycle, RunsCountAndKeepTheInstallToken)
{
    TempHome home;
    runOnce (home);
    auto first = readSettings (home.getSettingsFile());
    ASSERT_NE (first, nullptr);
    EXPECT_EQ (settingOf (*first, "internal1"), "1");
    const auto token = settingOf (*first, "internal4");
    EXPECT_EQ (token.length(), 32);
    EXPECT_TRUE (token.containsOnly ("0123456789abcdef")) << token;
    const double runTime1 = settingOf (*first, "internal3").getDoubleValue();
    EXPECT_GT (runTime1, 0.0);

    juce::Thread::sleep (1100);  // file times have a resolution of a second on some file systems
    runOnce (home, { "developer" });
    auto second = readSettings (home.getSettingsFile());
    ASSERT_NE (second, nullptr);
    EXPECT_EQ (settingOf (*second, "internal1"), "2");
    EXPECT_EQ (settingOf (*second, "internal4"), token);
    EXPECT_GT (settingOf (*second, "internal3").getDoubleValue(), runTime1);
}

TEST (AppLifecycle, AllZeroTokenIsReplaced)
{
    TempHome home;
    auto settings = home.getSettingsFile();
    settings.getParentDirectory().createDirectory();
    juce::XmlElement xml ("PROPERTIES");
    auto* v = xml.createNewChildElement ("VALUE");
    v->setAttribute ("name", "internal4");
    v->setAttribute ("val", "00000000000000000000000000000000");
    ASSERT_TRUE (xml.writeTo (settings));

    juce::Thread::sleep (1100);
    runOnce (home);
    auto after = readSettings (settings);
    ASSERT_NE (after, nullptr);
    const auto token = settingOf (*after, "internal4");
    EXPECT_EQ (token.length(), 32);
    EXPECT_NE (token, "00000000000000000000000000000000");
}

TEST (AppLifecycle, SecondInstanceExitsAndChangesNothing)
{
    TempHome home;
    const auto settings = home.getSettingsFile();
    AppProcess first;
    ASSERT_TRUE (pumpUntil ([&] { return ! first.isRunning() || settings.existsAsFile(); }, 60000));
    ASSERT_TRUE (first.isRunning());
    // Let the first instance's pending save settle before taking the snapshot.
    juce::Thread::sleep (3500);
    const auto snapshot = settings.loadFileAsString();

    AppProcess second;
    EXPECT_EQ (second.waitForExit (30000), 0);
    EXPECT_EQ (settings.loadFileAsString(), snapshot);
    EXPECT_TRUE (first.isRunning());

    EXPECT_EQ (first.stop(), 0);
    auto after = readSettings (settings);
    ASSERT_NE (after, nullptr);
    EXPECT_EQ (settingOf (*after, "internal1"), "1");
}
