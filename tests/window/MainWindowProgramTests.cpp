#include <gtest/gtest.h>
#include "support/AppProcess.h"
#include "support/TestEnvironment.h"
#include "ScreenTools.h"

using namespace testing_support;

namespace
{
    const juce::String title ("Larkspire 2");

    juce::String savedWindowState (const TempHome& home)
    {
        if (auto xml = juce::parseXML (home.getSettingsFile()))
            if (auto* e = xml->getChildByAttribute ("name", "appWindowState"))
                return e->getStringAttribute ("val");
        return {};
    }

    void writeWindowState (const TempHome& home, const juce::String& state)
    {
        const auto file = home.getSettingsFile();
        file.getParentDirectory().createDirectory();
        juce::XmlElement xml ("PROPERTIES");
        auto* v = xml.createNewChildElement ("VALUE");
        v->setAttribute ("name", "appWindowState");
        v->setAttribute ("val", state);
        ASSERT_TRUE (xml.writeTo (file));
    }

    // Waits for the program's window to be on the screen; returns its id (0 when it never came).
    unsigned long waitForWindow (AppProcess& app)
    {
        unsigned long id = 0;
        pumpUntil ([&] { id = findVisibleWindow (title); return id != 0 || ! app.isRunning(); }, 60000);
        return id;
    }

    // The window's place on the screen. The program may replace its first window while
    // starting, so a window that has gone is looked up again by its title.
    juce::Rectangle<int> geometryOf (unsigned long& id)
    {
        auto area = getWindowGeometry (id);
        if (area.isEmpty())
        {
            id = findVisibleWindow (title);
            area = getWindowGeometry (id);
        }
        return area;
    }

    // Waits for the window to stand at `area`.
    bool waitForGeometry (unsigned long& id, juce::Rectangle<int> area)
    {
        return pumpUntil ([&] { return geometryOf (id) == area; }, 60000);
    }

    bool isStatusStrip (juce::Colour c) { return c.getARGB() == 0xff00435au; }

    // Waits until the window shows its content laid out for the given area of the screen:
    // the status strip along the whole bottom edge and the tab names in the top strip.
    bool waitForLayout (juce::Rectangle<int> area, Ink* tabText = nullptr)
    {
        return pumpUntil ([&]
        {
            const auto shot = takeScreenshot();
            if (! shot.isValid())
                return false;
            const int y = area.getBottom() - 3;
            const bool strip = isStatusStrip (shot.getPixelAt (area.getX() + 2, y))
                            && isStatusStrip (shot.getPixelAt (area.getRight() - 3, y))
                            && ! isStatusStrip (shot.getPixelAt (area.getX() + 2, area.getBottom() - 40));
            const auto ink = findInk (shot, { area.getX(), area.getY(), 300, 31 });
            if (tabText != nullptr)
                *tabText = ink;
            return strip && ink.pixels > 60 && ink.pixels < 300 * 31 / 4;
        }, 60000) || [&] {
            if (auto* keep = std::getenv ("LARKSPIRE_DEBUG_SHOT"))
                writePng (takeScreenshot(), juce::File (keep));
            return false;
        }();
    }
}

TEST (MainWindowProgram, OpensCentredAtItsDefaultSizeAndSavesItsState)
{
    TempHome home;
    AppProcess app;
    auto id = waitForWindow (app);
    ASSERT_NE (id, 0ul) << "no window appeared";

    const auto screen = getDisplayBounds();
    ASSERT_FALSE (screen.isEmpty());
    const auto expected = screen.withSizeKeepingCentre (1020, 734);
    EXPECT_TRUE (waitForGeometry (id, expected)) << geometryOf (id).toString();

    ASSERT_TRUE (waitForLayout (expected));
    EXPECT_EQ (app.stop(), 0);
    EXPECT_EQ (savedWindowState (home), expected.toString());
}

TEST (MainWindowProgram, RestoresTheStateItSavedAtTheNextStart)
{
    TempHome home;
    const juce::Rectangle<int> moved (60, 80, 900, 700);
    {
        AppProcess app;
        auto id = waitForWindow (app);
        ASSERT_NE (id, 0ul);

        // The user moves and resizes the window once the program has laid itself out (its
        // own start-up placement could otherwise undo the move).
        ASSERT_TRUE (waitForLayout (geometryOf (id)));
        EXPECT_TRUE (pumpUntil ([&]
        {
            const auto now = geometryOf (id);
            if (now != moved)
            {
                runTool ({ "xdotool", "windowmove", juce::String ((juce::int64) id), "60", "80" });
                runTool ({ "xdotool", "windowsize", juce::String ((juce::int64) id), "900", "700" });
            }
            return now == moved;
        }, 30000)) << geometryOf (id).toString();
        ASSERT_TRUE (waitForLayout (moved));
        EXPECT_EQ (app.stop(), 0);
    }
    EXPECT_EQ (savedWindowState (home), moved.toString());

    AppProcess again;
    auto id = waitForWindow (again);
    ASSERT_NE (id, 0ul);
    EXPECT_TRUE (waitForGeometry (id, moved)) << geometryOf (id).toString();
    EXPECT_EQ (again.stop(), 0);
}

TEST (MainWindowProgram, KeepsItsMinimumSize)
{
    TempHome home;
    writeWindowState (home, "30 40 800 700");
    AppProcess app;
    auto id = waitForWindow (app);
    ASSERT_NE (id, 0ul);
    const juce::Rectangle<int> restored (30, 40, 800, 700);
    EXPECT_TRUE (waitForGeometry (id, restored)) << geometryOf (id).toString();
    // Resize only once the program has finished laying itself out and painting,
    // so that its own start-up placement cannot undo the user's resize.
    ASSERT_TRUE (waitForLayout (restored));

    const juce::Rectangle<int> smallest (30, 40, 714, 646);
    EXPECT_TRUE (pumpUntil ([&]
    {
        const auto now = geometryOf (id);
        if (now == restored)
            runTool ({ "xdotool", "windowsize", juce::String ((juce::int64) id), "320", "240" });
        return now == smallest;
    }, 30000)) << geometryOf (id).toString();
    EXPECT_EQ (app.stop(), 0);
    EXPECT_EQ (savedWindowState (home), "30 40 714 646");
}

TEST (MainWindowProgram, ScreenshotShowsInkedText)
{
    TempHome home;
    AppProcess app;
    auto id = waitForWindow (app);
    ASSERT_NE (id, 0ul);
    const auto area = geometryOf (id);

    Ink ink;
    const bool laidOut = waitForLayout (area, &ink);
    EXPECT_TRUE (laidOut) << ink.pixels << " ink pixels at " << ink.bounds.toString();

    // The tab names: text, not a blank or a solid frame, spread over a line at the left.
    EXPECT_GT (ink.pixels, 60);
    EXPECT_GT (ink.bounds.getWidth(), 40);
    EXPECT_GT (ink.bounds.getHeight(), 6);
    EXPECT_LT (ink.bounds.getX(), area.getX() + 60);

    // The page's own colour below the tabs (the Devices page without any MIDI port shows
    // no tile there).
    const auto shot = takeScreenshot();
    ASSERT_TRUE (shot.isValid());
    EXPECT_EQ (shot.getPixelAt (area.getX() + 10, area.getCentreY()).getARGB(), 0xffdae1e6u);

    if (auto* keep = std::getenv ("LARKSPIRE_KEEP_SCREENSHOT"))
        writePng (shot, juce::File (keep));
    EXPECT_EQ (app.stop(), 0);
}

// A header button that has the keyboard when the user quits goes before the tabs it would
// hand the keyboard to: the program ends cleanly (the sanitizer build's check of this quit).
TEST (MainWindowProgram, QuitsCleanlyWhileAHeaderButtonHasTheKeyboard)
{
    TempHome home;
    AppProcess app;
    auto id = waitForWindow (app);
    ASSERT_NE (id, 0ul);
    // Offline, the program first says so; Return closes that box.
    pressKeysIn ("No Internet Connection", "Return");
    ASSERT_TRUE (pumpUntil ([&] { return findVisibleWindow ("No Internet Connection") == 0; }, 60000));
    const auto area = geometryOf (id);
    ASSERT_TRUE (waitForLayout (area));

    // A click on the page gives the window the keyboard; one on "?" hands it to that button,
    // which opens the help menu; Escape closes the menu.
    clickAt (area.getPosition() + juce::Point<int> (500, 400));
    const juce::Point<int> help (area.getRight() - 19, area.getY() + 14);
    clickAt (help);
    ASSERT_TRUE (pumpUntil ([&] { return readText (takeScreenshot(), { help.x - 160, help.y - 1, 155, 20 }).contains ("Larkspire Help"); }, 20000))
        << (saveScreenshot ("MainWindowProgram-help"), "the help menu did not open");
    pressKeys ("Escape");

    pressKeys ("ctrl+q");
    EXPECT_EQ (app.waitForExit (60000), 0);
}
