#include <gtest/gtest.h>
#include "support/AppProcess.h"
#include "support/ContentWorld.h"
#include "support/TestEnvironment.h"
#include "ScreenTools.h"
#include <cstdlib>

using namespace testing_support;

namespace
{
    // The face of a filled preset tile in cell view.
    bool isFilledTileBlue (juce::Colour c)
    {
        return std::abs (c.getRed() - 105) < 20 && std::abs (c.getGreen() - 153) < 20 && std::abs (c.getBlue() - 211) < 20;
    }

    int countPixels (const juce::Image& image, juce::Rectangle<int> area, bool (*test) (juce::Colour))
    {
        int n = 0;
        area = area.getIntersection (image.getBounds());
        for (int y = area.getY(); y < area.getBottom(); ++y)
            for (int x = area.getX(); x < area.getRight(); ++x)
                if (test (image.getPixelAt (x, y)))
                    ++n;
        return n;
    }
}

// The program started with the virtual MIDI ports connects the first simulated unit and
// reads it; its Presets tab then shows the unit's presets as filled tiles in the grid.
TEST (DataPageWindow, PresetsTabShowsTheSyncedUnitsPresets)
{
    TempHome home;
    ScopedEnvironmentVariable midi ("LARKSPIRE_MIDI", "virtual");

    AppProcess app;
    unsigned long id = 0;
    pumpUntil ([&] { id = findVisibleWindow ("Larkspire 2"); return id != 0 || ! app.isRunning(); }, 60000);
    ASSERT_NE (id, 0ul) << "no window appeared";
    const auto area = getWindowGeometry (id);
    ASSERT_FALSE (area.isEmpty());

    // The workspace: right of the browser, below the toolbar, above the details.
    const juce::Rectangle<int> workspace (area.getX() + area.getWidth() / 3, area.getY() + 110,
                                          area.getWidth() * 2 / 3 - 20, 250);

    // Offline, the program first says so; Return closes that box.
    const bool boxShown = pumpUntil ([&] { return findVisibleWindow ("No Internet Connection") != 0; }, 30000);
    if (boxShown)
        runTool ({ "xdotool", "key", "Return" });

    const auto before = takeScreenshot();
    ASSERT_TRUE (before.isValid());
    const int tilesOnDevicesTab = countPixels (before, workspace, isFilledTileBlue);

    // The "Presets" tab sits right of "Devices" at the top left of the window.
    int tilePixels = 0;
    const bool shown = pumpUntil ([&]
    {
        runTool ({ "xdotool", "mousemove", juce::String (area.getX() + 157), juce::String (area.getY() + 14),
                   "click", "1" });
        pumpFor (500);
        const auto shot = takeScreenshot();
        tilePixels = shot.isValid() ? countPixels (shot, workspace, isFilledTileBlue) : 0;
        return tilePixels > 8000;
    }, 90000);

    EXPECT_TRUE (shown) << "filled tile pixels: " << tilePixels;
    EXPECT_LT (tilesOnDevicesTab, 2000);
    EXPECT_EQ (app.stop(), 0);
}
