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
