#include "ScreenTools.h"
#include <X11/Xlib.h>

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

    juce::Array<unsigned long> findVisibleWindows (const juce::String& title)
    {
        // xdotool takes a regular expression: the title's own characters are matched as they are.
        juce::String pattern;
        for (auto c : title)
            pattern << (juce::String ("\\^$.|?*+()[]{}").containsChar (c) ? "\\" : "") << juce::String::charToString (c);
        const auto ids = juce::StringArray::fromLines (runTool ({ "xdotool", "search", "--onlyvisible", "--name",
                                                                  "^" + pattern + "$" }).trim());
        // A window destroyed while the search ran can be listed as visible (the framework
        // makes and drops a few while it builds a window): only one that still has a size counts.
        juce::Array<unsigned long> windows;
        for (auto& id : ids)
            if (const auto window = (unsigned long) id.getLargeIntValue(); window != 0 && ! getWindowGeometry (window).isEmpty())
                windows.add (window);
        return windows;
    }

    unsigned long findVisibleWindow (const juce::String& title)
    {
        const auto windows = findVisibleWindows (title);
        return windows.isEmpty() ? 0ul : windows.getFirst();
    }

    unsigned long focusedWindow()
    {
        return (unsigned long) runTool ({ "xdotool", "getwindowfocus" }).trim().getLargeIntValue();
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

    juce::String readText (const juce::Image& image, juce::Rectangle<int> area)
    {
        area = area.getIntersection (image.getBounds());
        if (area.isEmpty())
            return {};
        // Three times the size in grey reads far better than the screen's small text.
        const auto crop = image.getClippedImage (area);
        juce::Image big (juce::Image::RGB, area.getWidth() * 3, area.getHeight() * 3, true);
        {
            juce::Graphics g (big);
            g.setImageResamplingQuality (juce::Graphics::highResamplingQuality);
            g.drawImage (crop, big.getBounds().toFloat());
        }
        juce::TemporaryFile file (".png");
        if (! writePng (big, file.getFile()))
            return {};
        return runTool ({ "tesseract", file.getFile().getFullPathName(), "-", "--psm", "7" }).trim();
    }

    TileGrid findTileGrid (const juce::Image& image, juce::Rectangle<int> area,
                           const std::function<bool (juce::Colour)>& test, int minRun)
    {
        area = area.getIntersection (image.getBounds());
        std::vector<int> perColumn ((size_t) area.getWidth()), perRow ((size_t) area.getHeight());
        for (int y = 0; y < area.getHeight(); ++y)
            for (int x = 0; x < area.getWidth(); ++x)
                if (test (image.getPixelAt (area.getX() + x, area.getY() + y)))
                {
                    ++perColumn[(size_t) x];
                    ++perRow[(size_t) y];
                }

        auto runs = [minRun] (const std::vector<int>& counts, int origin)
        {
            juce::Array<juce::Range<int>> found;
            int start = -1;
            for (int i = 0; i <= (int) counts.size(); ++i)
            {
                const bool on = i < (int) counts.size() && counts[(size_t) i] >= 3;
                if (on && start < 0)
                    start = i;
                if (! on && start >= 0)
                {
                    if (i - start >= minRun)
                        found.add ({ origin + start, origin + i });
                    start = -1;
                }
            }
            return found;
        };
        return { runs (perColumn, area.getX()), runs (perRow, area.getY()) };
    }

    void clickAt (juce::Point<int> p, int button, const juce::StringArray& heldKeys)
    {
        juce::StringArray command { "xdotool", "mousemove", juce::String (p.x), juce::String (p.y) };
        for (auto& k : heldKeys)
            command.addArray ({ "keydown", k });
        command.addArray ({ "click", juce::String (button) });
        for (auto& k : heldKeys)
            command.addArray ({ "keyup", k });
        runTool (command);
    }

    void pressKeys (const juce::String& keys)
    {
        runTool ({ "xdotool", "key", keys });
    }

    void typeText (const juce::String& text)
    {
        runTool ({ "xdotool", "type", "--delay", "40", text });
    }

    bool writePng (const juce::Image& image, const juce::File& file)
    {
        file.deleteFile();
        juce::FileOutputStream out (file);
        return out.openedOk() && juce::PNGImageFormat().writeImageToStream (image, out);
    }

    void saveScreenshot (const juce::String& name)
    {
        const auto shot = takeScreenshot();
        if (! shot.isValid())
            return;
        const auto* dir = std::getenv ("LARKSPIRE_SCREENSHOT_DIR");
        const juce::File folder = dir != nullptr ? juce::File (dir) : juce::File::getCurrentWorkingDirectory();
        folder.createDirectory();
        writePng (shot, folder.getChildFile (juce::File::createLegalFileName (name) + ".png"));
    }

    WindowManager::WindowManager() : display (XOpenDisplay (nullptr))
    {
        // A window that went before a request reached it is no fault of the test's (a window
        // manager does not end for it either): Xlib's default handler would end the test.
        XSetErrorHandler ([] (Display*, XErrorEvent*) { return 0; });
        if (auto* d = static_cast<Display*> (display))
        {
            XInternAtom (d, "WM_PROTOCOLS", False);
            XInternAtom (d, "WM_DELETE_WINDOW", False);
            XSync (d, False);
        }
    }

    WindowManager::~WindowManager()
    {
        if (display != nullptr)
            XCloseDisplay (static_cast<Display*> (display));
    }

    void WindowManager::click (unsigned long windowId)
    {
        auto* d = static_cast<Display*> (display);
        if (d == nullptr)
            return;
        XEvent close {};
        close.xclient.type = ClientMessage;
        close.xclient.window = (Window) windowId;
        close.xclient.message_type = XInternAtom (d, "WM_PROTOCOLS", False);
        close.xclient.format = 32;
        close.xclient.data.l[0] = (long) XInternAtom (d, "WM_DELETE_WINDOW", False);
        close.xclient.data.l[1] = CurrentTime;
        XSendEvent (d, (Window) windowId, False, NoEventMask, &close);
        XFlush (d);
    }

    void WindowManager::holdServerAndMove (unsigned long windowId, juce::Point<int> topLeft)
    {
        if (auto* d = static_cast<Display*> (display))
        {
            XGrabServer (d);
            XMoveWindow (d, (Window) windowId, topLeft.x, topLeft.y);
            XSync (d, False);
        }
    }

    void WindowManager::releaseServer()
    {
        if (auto* d = static_cast<Display*> (display))
        {
            XUngrabServer (d);
            XSync (d, False);
        }
    }
}
