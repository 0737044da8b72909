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

    // Waits until the window shows text centred in the given area of the screen,
    // which means the program has laid itself out for that area and painted.
    bool waitForCentredText (juce::Rectangle<int> area, Ink* found = nullptr)
    {
        return pumpUntil ([&]
        {
            const auto ink = findInk (takeScreenshot(), area);
            if (found != nullptr)
                *found = ink;
            // A window not painted yet is black all over: text is a small share of it.
            return ink.pixels > 150 && ink.pixels < area.getWidth() * area.getHeight() / 10
                && std::abs (ink.bounds.getCentreX() - area.getCentreX()) <= 4
                && std::abs (ink.bounds.getCentreY() - area.getCentreY()) <= 4;
        }, 30000);
    }
}

TEST (MainWindowProgram, OpensCentredAtItsDefaultSizeAndSavesItsState)
{
    TempHome home;
    AppProcess app;
    const auto id = waitForWindow (app);
    ASSERT_NE (id, 0ul) << "no window appeared";

    const auto screen = getDisplayBounds();
    ASSERT_FALSE (screen.isEmpty());
    const auto expected = screen.withSizeKeepingCentre (1020, 734);
    EXPECT_EQ (getWindowGeometry (id), expected);

    ASSERT_TRUE (waitForCentredText (expected));
    EXPECT_EQ (app.stop(), 0);
    EXPECT_EQ (savedWindowState (home), expected.toString());
}

TEST (MainWindowProgram, RestoresTheStateItSavedAtTheNextStart)
{
    TempHome home;
    const juce::Rectangle<int> moved (60, 80, 900, 700);
    {
        AppProcess app;
        const auto id = waitForWindow (app);
        ASSERT_NE (id, 0ul);
        // Only once the program has laid itself out and painted, so that its own
        // start-up placement cannot undo the user's move.
        ASSERT_TRUE (waitForCentredText (getWindowGeometry (id)));

        // The user moves and resizes the window (again, should the first try be lost).
        ASSERT_TRUE (pumpUntil ([&]
        {
            if (getWindowGeometry (id) != moved)
            {
                runTool ({ "xdotool", "windowmove", juce::String ((juce::int64) id), "60", "80" });
                runTool ({ "xdotool", "windowsize", juce::String ((juce::int64) id), "900", "700" });
            }
            return getWindowGeometry (id) == moved;
        }, 30000)) << getWindowGeometry (id).toString();
        ASSERT_TRUE (waitForCentredText (moved));
        EXPECT_EQ (app.stop(), 0);
    }
    EXPECT_EQ (savedWindowState (home), moved.toString());

    AppProcess again;
    const auto id = waitForWindow (again);
    ASSERT_NE (id, 0ul);
    EXPECT_EQ (getWindowGeometry (id), moved);
    EXPECT_EQ (again.stop(), 0);
}

TEST (MainWindowProgram, KeepsItsMinimumSize)
{
    TempHome home;
    writeWindowState (home, "30 40 800 700");
    AppProcess app;
    const auto id = waitForWindow (app);
    ASSERT_NE (id, 0ul);
    const juce::Rectangle<int> restored (30, 40, 800, 700);
    EXPECT_EQ (getWindowGeometry (id), restored);
    // Resize only once the program has finished laying itself out and painting,
    // so that its own start-up placement cannot undo the user's resize.
    ASSERT_TRUE (waitForCentredText (restored));

    const juce::Rectangle<int> smallest (30, 40, 714, 646);
    EXPECT_TRUE (pumpUntil ([&]
    {
        const auto now = getWindowGeometry (id);
        if (now == restored)
            runTool ({ "xdotool", "windowsize", juce::String ((juce::int64) id), "320", "240" });
        return now == smallest;
    }, 30000)) << getWindowGeometry (id).toString();
    EXPECT_EQ (app.stop(), 0);
    EXPECT_EQ (savedWindowState (home), "30 40 714 646");
}

TEST (MainWindowProgram, ScreenshotShowsInkedText)
{
    TempHome home;
    AppProcess app;
    const auto id = waitForWindow (app);
    ASSERT_NE (id, 0ul);
    const auto area = getWindowGeometry (id);

    Ink ink;
    const bool centred = waitForCentredText (area, &ink);
    EXPECT_TRUE (centred) << ink.pixels << " ink pixels at " << ink.bounds.toString();

    // Text, not a blank or a solid frame: a modest share of the window, spread over a line.
    EXPECT_GT (ink.pixels, 150);
    EXPECT_LT (ink.pixels, area.getWidth() * area.getHeight() / 10);
    EXPECT_GT (ink.bounds.getWidth(), 60);
    EXPECT_GT (ink.bounds.getHeight(), 12);

    // The window's own colours around the text.
    const auto shot = takeScreenshot();
    ASSERT_TRUE (shot.isValid());
    EXPECT_EQ (shot.getPixelAt (area.getX() + 10, area.getY() + 10).getARGB(), 0xffdae1e6u);

    if (auto* keep = std::getenv ("LARKSPIRE_KEEP_SCREENSHOT"))
    {
        juce::File out (keep);
        out.deleteFile();
        juce::FileOutputStream stream (out);
        juce::PNGImageFormat().writeImageToStream (shot, stream);
    }
    EXPECT_EQ (app.stop(), 0);
}
