#include <gtest/gtest.h>
#include "support/AppProcess.h"
#include "support/ContentWorld.h"
#include "support/TestEnvironment.h"
#include "ScreenTools.h"
#include <cstdlib>

using namespace testing_support;

namespace
{
    // The most tiles lying side by side in one row of the area: runs of at least 150
    // pixels of a tile's inner colour (the top edge of each tile's inner area is plain).
    int mostTilesInARow (const juce::Image& shot, juce::Rectangle<int> area)
    {
        const juce::Colour inner (0xffb2c0ca);
        auto isInner = [&] (juce::Colour c)
        {
            return std::abs (c.getRed() - inner.getRed()) <= 4 && std::abs (c.getGreen() - inner.getGreen()) <= 4
                && std::abs (c.getBlue() - inner.getBlue()) <= 4;
        };

        area = area.getIntersection (shot.getBounds());
        int best = 0;
        for (int y = area.getY(); y < area.getBottom(); ++y)
        {
            int tiles = 0, run = 0;
            for (int x = area.getX(); x < area.getRight(); ++x)
            {
                if (isInner (shot.getPixelAt (x, y)))
                {
                    if (++run == 150)
                        ++tiles;
                }
                else
                {
                    run = 0;
                }
            }
            best = juce::jmax (best, tiles);
        }
        return best;
    }
}

// The program started with the virtual MIDI ports shows one tile per simulated unit on
// its Devices tab.
TEST (DevicePageWindow, DevicesTabShowsATileForEachSimulatedUnit)
{
    TempHome home;
    ScopedEnvironmentVariable midi ("LARKSPIRE_MIDI", "virtual");

    AppProcess app;
    unsigned long id = 0;
    pumpUntil ([&] { id = findVisibleWindow ("Larkspire 2"); return id != 0 || ! app.isRunning(); }, 60000);
    ASSERT_NE (id, 0ul) << "no window appeared";
    const auto area = getWindowGeometry (id);
    ASSERT_FALSE (area.isEmpty());

    int tiles = 0;
    const bool shown = pumpUntil ([&]
    {
        const auto shot = takeScreenshot();
        tiles = shot.isValid() ? mostTilesInARow (shot, area) : 0;
        return tiles >= 3;
    }, 90000);
    EXPECT_TRUE (shown) << "tiles seen side by side: " << tiles;

    EXPECT_EQ (app.stop(), 0);
}

// The press that closes the page's menu reaches what it lands on: a panel header pressed
// and dragged right after the menu does not bring the program down, which quits cleanly.
TEST (DevicePageWindow, APanelHeaderDraggedRightAfterThePagesMenuLeavesTheProgramRunning)
{
    TempHome home;
    ScopedEnvironmentVariable midi ("LARKSPIRE_MIDI", "virtual");

    AppProcess app;
    // The program may replace its first window while starting: the one that stays is looked up.
    juce::Rectangle<int> area;
    pumpUntil ([&] { area = getWindowGeometry (findVisibleWindow ("Larkspire 2")); return ! area.isEmpty() || ! app.isRunning(); }, 60000);
    ASSERT_FALSE (area.isEmpty()) << "no window appeared";
    pressKeysIn ("No Internet Connection", "Return");
    ASSERT_TRUE (pumpUntil ([&] { return findVisibleWindow ("No Internet Connection") == 0; }, 60000));

    // The first panel's header lies right below the page's toolbar.
    const auto header = area.getPosition() + juce::Point<int> (300, 105);
    ASSERT_TRUE (pumpUntil ([&] { return readText (takeScreenshot(), { area.getX(), header.y - 10, 200, 20 }) == "MIDI Devices"; }, 30000))
        << (saveScreenshot ("DevicePageWindow-header"), "no \"MIDI Devices\" header");

    // A right click on the page's free space opens its menu at the pointer (rightwards and
    // downwards in the upper left of the window), once the start-up scan has ended.
    const auto free = area.getPosition() + juce::Point<int> (150, 320);
    auto menuShown = [&] { return readText (takeScreenshot(), { free.x, free.y + 18, 260, 20 }).contains ("MIDI Device Information"); };
    ASSERT_TRUE (pumpUntil ([&]
    {
        clickAt (free, 3);
        return pumpUntil (menuShown, 3000);
    }, 60000)) << (saveScreenshot ("DevicePageWindow-menu"), "the page's menu did not open");

    runTool ({ "xdotool", "mousemove", juce::String (header.x), juce::String (header.y), "mousedown", "1",
               "sleep", "0.2", "mousemove", juce::String (header.x), juce::String (header.y + 40),
               "sleep", "0.2", "mousemove", juce::String (header.x), juce::String (header.y + 200),
               "sleep", "0.2", "mouseup", "1" });

    // Still there to be quit: a program that fell over ends with its signal instead.
    pressKeys ("ctrl+q");
    EXPECT_EQ (app.waitForExit (60000), 0);
}
