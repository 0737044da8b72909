#include <gtest/gtest.h>
#include "app/EndingInstanceLock.h"
#include "support/AppProcess.h"
#include "support/ContentWorld.h"
#include "support/RecordingDialogService.h"
#include "support/SilentNameServer.h"
#include "support/TestEnvironment.h"
#include "ScreenTools.h"

using namespace testing_support;

namespace
{
    const juce::String title ("Larkspire 2");

    std::unique_ptr<juce::XmlElement> readSettings (const juce::File& f) { return juce::parseXML (f); }

    juce::String settingOf (const juce::XmlElement& xml, const char* key)
    {
        if (auto* e = xml.getChildByAttribute ("name", key))
            return e->getStringAttribute ("val");
        return {};
    }

    // Milliseconds since a moment taken with juce::Time::getMillisecondCounter().
    juce::uint32 since (juce::uint32 moment) { return juce::Time::getMillisecondCounter() - moment; }

    // Waits for the program's window; the moment it was seen (0 when it never came).
    juce::uint32 waitForWindow (AppProcess& app)
    {
        if (pumpUntil ([&] { return findVisibleWindow (title) != 0 || ! app.isRunning(); }, 60000) && app.isRunning())
            return juce::Time::getMillisecondCounter();
        return 0;
    }

    // Sends the signal 3 s into the program's end, which must still be waiting then: it ends at once.
    void endLate (AppProcess& app, juce::uint32 endBegan, int signal)
    {
        pumpFor ((int) juce::jmax (0, 3000 - (int) since (endBegan)));
        ASSERT_TRUE (app.isRunning()) << "the end waited for nothing";
        const auto sent = juce::Time::getMillisecondCounter();
        EXPECT_EQ (app.stop (30000, signal), 128 + signal);
        EXPECT_LE (since (sent), 1000u) << "the late signal took that long";
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

// The first run ends by SIGTERM and SIGHUP at once, as at a logout, before anything was saved:
// one quit, as the menu's, that leaves its settings whole. The second run keeps the token it wrote.
TEST (AppLifecycle, RunsCountAndKeepTheInstallToken)
{
    TempHome home;
    {
        AppProcess app;
        const auto shown = waitForWindow (app);
        ASSERT_NE (shown, 0u) << "no window appeared";
        pumpFor (2000);
        const auto sent = juce::Time::getMillisecondCounter();
        ::kill (app.getPid(), SIGTERM);
        EXPECT_EQ (app.stop (30000, SIGHUP), 0);
        EXPECT_LE (since (sent), 6000u) << "the program took that long to end";
    }
    auto first = readSettings (home.getSettingsFile());
    ASSERT_NE (first, nullptr);
    EXPECT_EQ (settingOf (*first, "appWindowState"), getDisplayBounds().withSizeKeepingCentre (1020, 734).toString());
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

// A program whose message thread hangs (here in a request to its X server, which a window
// manager holds) never takes a first SIGINT: the second, 2.5 s later, ends it at once.
TEST (AppLifecycle, ASecondSignalEndsAProgramThatNeverTookTheFirst)
{
    TempHome home;
    WindowManager windowManager;
    AppProcess app;
    ASSERT_NE (waitForWindow (app), 0u) << "no window appeared";
    windowManager.holdServerAndMove (findVisibleWindow (title), { 40, 60 });
    const auto held = juce::Time::getMillisecondCounter();
    juce::Thread::sleep (500);
    ::kill (app.getPid(), SIGINT);
    endLate (app, held, SIGINT);
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
    // The snapshot once the first instance has saved what it changes as it starts: the file
    // stays the same for longer than the program waits before it saves a change (3 s).
    juce::String snapshot = settings.loadFileAsString();
    auto sameSince = juce::Time::getMillisecondCounter();
    ASSERT_TRUE (pumpUntil ([&]
    {
        if (const auto now = settings.loadFileAsString(); now != snapshot)
        {
            snapshot = now;
            sameSince = juce::Time::getMillisecondCounter();
        }
        return since (sameSince) > 5000;
    }, 120000)) << "the settings kept changing";

    AppProcess second;
    EXPECT_EQ (second.waitForExit (30000), 0);
    EXPECT_EQ (settings.loadFileAsString(), snapshot);
    EXPECT_TRUE (first.isRunning());

    EXPECT_EQ (first.stop(), 0);
    auto after = readSettings (settings);
    ASSERT_NE (after, nullptr);
    EXPECT_EQ (settingOf (*after, "internal1"), "1");
}

TEST (AppLifecycle, AFatalErrorShowsOnlyItsBoxWhoseOkEndsTheProgramWithTheSettingsSaved)
{
    // A copy of the program with no "Content" folder beside it, and no web service: no
    // control descriptor can be loaded (fatal error 2).
    TempHome home;
    TempFolder bare;
    const juce::File built (LARKSPIRE_APP_BINARY);
    const auto binary = bare.child (built.getFileName());
    ASSERT_TRUE (built.copyFileTo (binary));
    ASSERT_TRUE (binary.setExecutePermission (true));
    ASSERT_FALSE (bare.child ("Content").exists());

    AppProcess app ({}, binary);
    unsigned long box = 0;
    ASSERT_TRUE (pumpUntil ([&] { return ! app.isRunning() || (box = findVisibleWindow ("Error")) != 0; }, 60000));
    ASSERT_NE (box, 0ul) << "the program ended without its error box";

    // The start-up goes on behind the box (its end would report the missing connection):
    // no other box opens.
    bool otherBox = false;
    pumpUntil ([&] { otherBox = otherBox || findVisibleWindow ("No Internet Connection") != 0; return otherBox; }, 3000);
    EXPECT_FALSE (otherBox);

    // The user clicks the box's OK button: the lowest band of the box whose colour differs
    // from the box's own, in the middle.
    const auto area = getWindowGeometry (box);
    ASSERT_FALSE (area.isEmpty());
    const auto shot = takeScreenshot();
    ASSERT_TRUE (shot.isValid());
    const int x = area.getCentreX() - 15;
    const auto background = shot.getPixelAt (area.getX() + 6, area.getBottom() - 4);
    auto differs = [&] (int y) {
        const auto c = shot.getPixelAt (x, y);
        return std::abs (c.getRed() - background.getRed()) + std::abs (c.getGreen() - background.getGreen())
             + std::abs (c.getBlue() - background.getBlue()) > 30;
    };
    int bottom = area.getBottom() - 2;
    while (bottom > area.getCentreY() && ! differs (bottom))
        --bottom;
    int top = bottom;
    while (top > area.getCentreY() && differs (top - 1))
        --top;
    ASSERT_GT (bottom - top, 8) << "no button found at the bottom of the box";
    runTool ({ "xdotool", "mousemove", juce::String (x), juce::String ((top + bottom) / 2), "click", "1" });

    // The program ends by itself, through its normal shutdown, which adds the run time.
    EXPECT_EQ (app.waitForExit (60000), 0) << "the click on OK did not end the program";
    auto settings = readSettings (home.getSettingsFile());
    ASSERT_NE (settings, nullptr);
    EXPECT_EQ (settingOf (*settings, "internal1"), "1");
    EXPECT_GT (settingOf (*settings, "internal3").getDoubleValue(), 0.0);
}

// Quitting while the web host's name is looked up at a name server that never answers: the
// window goes at once and the program soon after, its settings whole. Nothing waits for the
// lookup, and the sanitizer build sees nothing wrong with the work left behind.
// With units plugged in, usage events that the lookup holds up are queued at the quit, and the
// end gives them their 5 s: the window still goes at once, a start meanwhile comes up once the
// ending program is gone, and a request to quit 3 s into such an end ends the program at once.
TEST (AppLifecycle, AQuitWhileTheWebHostNameIsLookedUpIsPrompt)
{
    SilentNameServer names;
    if (! names.isInPlace())
        GTEST_SKIP() << "no mount namespace of its own to give the program a silent name server in";
    TempHome home;
    ScopedEnvironmentVariable root ("LARKSPIRE_WEB_ROOT", "http://web.larkspire.test:8080");

    AppProcess app;
    const auto shown = waitForWindow (app);
    ASSERT_NE (shown, 0u) << "no window appeared";
    ASSERT_TRUE (pumpUntil ([&] { return names.getQueries() > 0; }, 30000)) << "the web host was never looked up";
    pumpFor ((int) juce::jmax (0, 1000 - (int) since (shown)));

    pressKeysIn (title, "ctrl+q");
    const auto pressed = juce::Time::getMillisecondCounter();
    EXPECT_TRUE (pumpUntil ([&] { return findVisibleWindow (title) == 0; }, 30000));
    EXPECT_LE (since (pressed), 1000u) << "the window stayed that long";
    EXPECT_EQ (app.waitForExit (30000), 0);
    EXPECT_LE (since (pressed), 3000u) << "the program took that long to end";

    auto settings = readSettings (home.getSettingsFile());
    ASSERT_NE (settings, nullptr);
    EXPECT_EQ (settingOf (*settings, "internal1"), "1");
    EXPECT_EQ (settingOf (*settings, "internal4").length(), 32);
    EXPECT_GT (settingOf (*settings, "internal3").getDoubleValue(), 0.0);
    EXPECT_EQ (settingOf (*settings, "appWindowState"), getDisplayBounds().withSizeKeepingCentre (1020, 734).toString());

    // The units are new to the program: it registers them and queues usage events about them.
    ScopedEnvironmentVariable midi ("LARKSPIRE_MIDI", "virtual");
    WindowManager windowManager;
    const auto registry = home.getFolder().getChildFile (".config/Ardentis/Larkspire 2/deviceList.xml");
    // The window, and the units registered: their usage events are queued.
    auto upWithEventsQueued = [&] (AppProcess& app)
    {
        return waitForWindow (app) != 0
            && pumpUntil ([&] { return registry.loadFileAsString().contains ("serial=") || ! app.isRunning(); }, 90000)
            && app.isRunning();
    };
    // Asks for the quit; the window goes at once. When it was asked.
    auto quitAsked = [&] (const std::function<void()>& ask)
    {
        ask();
        const auto asked = juce::Time::getMillisecondCounter();
        EXPECT_TRUE (pumpUntil ([&] { return findVisibleWindow (title) == 0; }, 30000));
        EXPECT_LE (since (asked), 1000u) << "the window stayed that long";
        return asked;
    };
    auto clickClose = [&] { windowManager.click (findVisibleWindow (title)); };
    AppProcess second;
    ASSERT_TRUE (upWithEventsQueued (second)) << "no window, or no unit registered";
    const auto closed = quitAsked (clickClose);

    // A start a second after the quit, in the same /var/tmp. It finds the units new again, and
    // a web service that takes its usage events and never answers (which spares it the wait
    // for the control descriptor that the silent name server brings).
    pumpFor ((int) juce::jmax (0, 1000 - (int) since (closed)));
    ASSERT_TRUE (second.isRunning()) << "the ending program waited for nothing";
    ASSERT_TRUE (registry.deleteFile());
    LocalHttpServer web;
    web.stall ("/lark-spire-2/php/tracking-1.0/db_ls_run.php");
    ScopedEnvironmentVariable webRoot ("LARKSPIRE_WEB_ROOT", web.getRootAddress());
    AppProcess third;
    EXPECT_EQ (second.waitForExit (30000), 0);
    EXPECT_LE (since (closed), 15000u) << "the program took that long to end";
    settings = readSettings (home.getSettingsFile());
    ASSERT_NE (settings, nullptr);
    EXPECT_EQ (settingOf (*settings, "internal1"), "2");
    EXPECT_EQ (settingOf (*settings, "appWindowState"), getDisplayBounds().withSizeKeepingCentre (1020, 734).toString());
    ASSERT_NE (waitForWindow (third), 0u) << "the start during the quit was lost";

    // Its end waits for the events again; the signal repeated 3 s into that end ends it at once.
    ASSERT_TRUE (upWithEventsQueued (third)) << "no unit was registered";
    endLate (third, quitAsked ([&] { ::kill (third.getPid(), SIGINT); }), SIGINT);
    settings = readSettings (home.getSettingsFile());
    ASSERT_NE (settings, nullptr);
    EXPECT_EQ (settingOf (*settings, "internal1"), "3");

    // The same end begun by the close button. A start that finds it stopped there gives up its
    // wait and says so; a SIGTERM 3 s into the end ends it at once.
    ASSERT_TRUE (registry.deleteFile());
    AppProcess fourth;
    ASSERT_TRUE (upWithEventsQueued (fourth)) << "no window, or no unit registered";
    const auto closedAgain = quitAsked (clickClose);
    ::kill (fourth.getPid(), SIGSTOP);
    {
        RecordingDialogService boxes;
        EXPECT_FALSE (EndingInstanceLock::waitForEndingInstance (title, 500));
        EXPECT_EQ (boxes.titles(), juce::StringArray ("Still Closing"));
    }
    ::kill (fourth.getPid(), SIGCONT);
    endLate (fourth, closedAgain, SIGTERM);
}
