#include "ScreenTools.h"

namespace testing_support
{
    juce::String runTool (const juce::StringArray& command, int timeoutMs)
    {
        juce::ChildProcess process;
        if (! process.start (command, juce::ChildProcess::wantStdOut))
            return {};
        auto output = process.readAllProcessOutput();
        process.waitForProcessToFinish (timeoutMs);
        return output;
    }

    juce::Rectangle<int> getDisplayBounds()
    {
        const auto words = juce::StringArray::fromTokens (runTool ({ "xdotool", "getdisplaygeometry" }), false);
        if (words.size() < 2)
            return {};
        return { 0, 0, words[0].getIntValue(), words[1].getIntValue() };
    }

    unsigned long findVisibleWindow (const juce::String& title)
    {
        const auto ids = juce::StringArray::fromLines (runTool ({ "xdotool", "search", "--onlyvisible", "--name",
                                                                  "^" + title + "$" }).trim());
        return ids.isEmpty() ? 0ul : (unsigned long) ids[0].getLargeIntValue();
    }

    juce::Rectangle<int> getWindowGeometry (unsigned long windowId)
    {
        const auto lines = juce::StringArray::fromLines (runTool ({ "xdotool", "getwindowgeometry", "--shell",
                                                                    juce::String ((juce::int64) windowId) }));
        auto value = [&] (const char* key)
        {
            for (auto& line : lines)
                if (line.startsWith (juce::String (key) + "="))
                    return line.fromFirstOccurrenceOf ("=", false, false).getIntValue();
            return -1;
        };
        if (value ("WIDTH") <= 0)
            return {};
        return { value ("X"), value ("Y"), value ("WIDTH"), value ("HEIGHT") };
    }

    juce::Image takeScreenshot()
    {
        juce::TemporaryFile file (".png");
        runTool ({ "import", "-window", "root", file.getFile().getFullPathName() });
        return juce::ImageFileFormat::loadFrom (file.getFile());
    }

    Ink findInk (const juce::Image& image, juce::Rectangle<int> area)
    {
        Ink ink;
        area = area.getIntersection (image.getBounds());
        int left = area.getRight(), top = area.getBottom(), right = area.getX(), bottom = area.getY();
        for (int y = area.getY(); y < area.getBottom(); ++y)
            for (int x = area.getX(); x < area.getRight(); ++x)
                if (image.getPixelAt (x, y).getPerceivedBrightness() < 0.45f)
                {
                    ++ink.pixels;
                    left = juce::jmin (left, x);
                    right = juce::jmax (right, x + 1);
                    top = juce::jmin (top, y);
                    bottom = juce::jmax (bottom, y + 1);
                }
        if (ink.pixels > 0)
            ink.bounds = { left, top, right - left, bottom - top };
        return ink;
    }
}
