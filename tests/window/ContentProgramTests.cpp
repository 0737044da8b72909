#include <gtest/gtest.h>
#include "support/AppProcess.h"
#include "support/ContentWorld.h"
#include "support/TestEnvironment.h"
#include "ScreenTools.h"
#include <cstdlib>

using namespace testing_support;

namespace
{
    void writeSettings (const TempHome& home, const juce::StringPairArray& values)
    {
        const auto file = home.getSettingsFile();
        file.getParentDirectory().createDirectory();
        juce::XmlElement xml ("PROPERTIES");
        for (auto& key : values.getAllKeys())
        {
            auto* v = xml.createNewChildElement ("VALUE");
            v->setAttribute ("name", key);
            v->setAttribute ("val", values[key]);
        }
        ASSERT_TRUE (xml.writeTo (file));
    }

    juce::String savedSetting (const TempHome& home, const juce::String& key)
    {
        if (auto xml = juce::parseXML (home.getSettingsFile()))
            if (auto* e = xml->getChildByAttribute ("name", key))
                return e->getStringAttribute ("val");
        return {};
    }

    int countPixels (const juce::Image& image, juce::Rectangle<int> area, const std::function<bool (juce::Colour)>& test)
    {
        int n = 0;
        area = area.getIntersection (image.getBounds());
        for (int y = area.getY(); y < area.getBottom(); ++y)
            for (int x = area.getX(); x < area.getRight(); ++x)
                if (test (image.getPixelAt (x, y)))
                    ++n;
        return n;
    }

    bool isConnectedGreen (juce::Colour c)
    {
        return std::abs (c.getRed() - 0x2f) < 24 && std::abs (c.getGreen() - 0x9e) < 24 && std::abs (c.getBlue() - 0x5b) < 24;
    }
}

// The program started with the virtual MIDI ports finds the simulated units, connects the
// one it was connected to last time, and shows it in the status bar.
TEST (ContentProgram, ConnectsTheRememberedSimulatedUnitAndShowsItInTheStatusBar)
{
    TempHome home;
    ScopedEnvironmentVariable midi ("LARKSPIRE_MIDI", "virtual");
    // The simulated units are Merle (serial 10100), Merle XT (11100) and Piper (12100):
    // remembering Piper's serial picks it over the first usable unit.
    juce::StringPairArray settings;
    settings.set ("lastConnectedDevice", "12100");
    writeSettings (home, settings);

    AppProcess app;
    unsigned long id = 0;
    pumpUntil ([&] { id = findVisibleWindow ("Larkspire 2"); return id != 0 || ! app.isRunning(); }, 60000);
    ASSERT_NE (id, 0ul) << "no window appeared";
    const auto area = getWindowGeometry (id);
    ASSERT_FALSE (area.isEmpty());

    // The status strip: 29 pixels at the bottom; the connection icon at its left, the unit's
    // name and firmware after it in light text.
    const juce::Rectangle<int> strip (area.getX(), area.getBottom() - 29, area.getWidth(), 29);
    const juce::Rectangle<int> icon (strip.getX() + 4, strip.getY(), 28, 29);
    const juce::Rectangle<int> label (strip.getX() + 29, strip.getY(), 260, 29);

    juce::Image shot;
    const bool connected = pumpUntil ([&]
    {
        shot = takeScreenshot();
        return shot.isValid() && countPixels (shot, icon, isConnectedGreen) > 40;
    }, 90000);
    EXPECT_TRUE (connected) << "the status bar never showed a connected unit";

    // Without the web service the program says so; a click on its button closes the box.
    unsigned long box = 0;
    pumpUntil ([&] { box = findVisibleWindow ("No Internet Connection"); return box != 0; }, 60000);
    EXPECT_NE (box, 0ul);
    if (box != 0)
    {
        const auto boxArea = getWindowGeometry (box);
        runTool ({ "xdotool", "mousemove", juce::String (boxArea.getCentreX()), juce::String (boxArea.getBottom() - 25),
                   "click", "1" });
        EXPECT_TRUE (pumpUntil ([] { return findVisibleWindow ("No Internet Connection") == 0; }, 20000));
        // The page is drawn again where the box was: below the device page's tiles (the
        // lowest row with a tile's inner colour, plus its status box and shadow) only the
        // page's own colour is left, where the box had its buttons.
        auto isTileInner = [] (juce::Colour c)
        {
            return std::abs (c.getRed() - 0xb2) <= 4 && std::abs (c.getGreen() - 0xc0) <= 4 && std::abs (c.getBlue() - 0xca) <= 4;
        };
        juce::Rectangle<int> clean;
        EXPECT_TRUE (pumpUntil ([&]
        {
            shot = takeScreenshot();
            if (! shot.isValid())
                return false;
            int tilesBottom = area.getY();
            for (int y = area.getY(); y < boxArea.getBottom(); ++y)
                if (countPixels (shot, { area.getX(), y, area.getWidth(), 1 }, isTileInner) > 0)
                    tilesBottom = y;
            clean = boxArea.withTop (juce::jmax (boxArea.getY(), tilesBottom + 20));
            return clean.getHeight() > 30
                && countPixels (shot, clean, [] (juce::Colour c) { return c.getARGB() != 0xffdae1e6u; }) < 20;
        }, 20000)) << clean.toString();
    }

    EXPECT_GT (countPixels (shot, label, [] (juce::Colour c) { return c.getPerceivedBrightness() > 0.7f; }), 80)
        << "no name beside the icon";
    EXPECT_GT (countPixels (shot, strip, [] (juce::Colour c) { return c.getARGB() == 0xff00435au; }),
               strip.getWidth() * 29 / 2);

    if (auto* keep = std::getenv ("LARKSPIRE_KEEP_CONNECTED_SCREENSHOT"))
        writePng (shot, juce::File (keep));

    EXPECT_EQ (app.stop(), 0);
    // The unit it connected is the one it remembers for the next start.
    EXPECT_EQ (savedSetting (home, "lastConnectedDevice"), "12100");
}

// Without a remembered unit, the first usable one is connected.
TEST (ContentProgram, ConnectsTheFirstUsableUnitWhenNoneIsRemembered)
{
    TempHome home;
    ScopedEnvironmentVariable midi ("LARKSPIRE_MIDI", "virtual");

    AppProcess app;
    unsigned long id = 0;
    pumpUntil ([&] { id = findVisibleWindow ("Larkspire 2"); return id != 0 || ! app.isRunning(); }, 60000);
    ASSERT_NE (id, 0ul);
    const auto area = getWindowGeometry (id);
    const juce::Rectangle<int> icon (area.getX() + 4, area.getBottom() - 29, 28, 29);

    EXPECT_TRUE (pumpUntil ([&]
    {
        const auto shot = takeScreenshot();
        return shot.isValid() && countPixels (shot, icon, isConnectedGreen) > 40;
    }, 90000));

    EXPECT_EQ (app.stop(), 0);
    EXPECT_EQ (savedSetting (home, "lastConnectedDevice"), "10100");
}
