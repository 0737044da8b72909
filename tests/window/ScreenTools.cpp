#include "ScreenTools.h"
#include "support/AppProcess.h"
#include "support/TestEnvironment.h"
#include <gtest/gtest.h>
#include <X11/Xlib.h>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace testing_support
{
    namespace
    {
        juce::String displayName()
        {
            return juce::SystemStats::getEnvironmentVariable ("DISPLAY", "(none)");
        }

        // What the X tools write when they cannot reach the X server or lose it.
        bool lostTheServer (const juce::String& errors)
        {
            return errors.contains ("Can't open display") || errors.contains ("unable to open X server")
                || errors.contains ("XIO:");
        }

        int ignoreXError (Display*, XErrorEvent*) { return 0; }

        // The framework reads X events only when its connection has something to read, but some
        // of its own X calls (a paint that waits for the server, a large image sent) first take
        // in whatever has arrived, which then waits in the connection's queue for the next event.
        // A desktop sends events all the time; the test's X server, with no window manager,
        // sends none after a click or a key, and a program that took it in would never act on
        // it. So while the tests run, each top-level window is sent a client message of no
        // meaning ten times a second: input taken in that way is handled within 100 ms.
        class Nudges : public ::testing::Environment
        {
        public:
            void SetUp() override
            {
                display = XOpenDisplay (nullptr);
                ASSERT_NE (display, nullptr) << "cannot open the X display " << displayName();
                // A window that goes while it is nudged is no fault (a window manager does not end
                // for it either): Xlib's default handler would end the test.
                XSetErrorHandler (ignoreXError);
                thread = std::thread ([this] { run(); });
            }

            void TearDown() override
            {
                if (thread.joinable())
                {
                    stop = true;
                    thread.join();
                }
                if (display != nullptr)
                    XCloseDisplay (display);
            }

        private:
            void run()
            {
                const auto nudge = XInternAtom (display, "LARKSPIRE_TEST_NUDGE", False);
                const auto root = DefaultRootWindow (display);
                while (! stop)
                {
                    Window unusedRoot, unusedParent, * children = nullptr;
                    unsigned int count = 0;
                    if (XQueryTree (display, root, &unusedRoot, &unusedParent, &children, &count) != 0)
                    {
                        for (unsigned int i = 0; i < count; ++i)
                        {
                            XEvent event {};
                            event.xclient.type = ClientMessage;
                            event.xclient.window = children[i];
                            event.xclient.message_type = nudge;
                            event.xclient.format = 32;
                            XSendEvent (display, children[i], False, NoEventMask, &event);
                        }
                        XFree (children);
                    }
                    XSync (display, False);
                    std::this_thread::sleep_for (std::chrono::milliseconds (100));
                }
            }

            Display* display = nullptr;
            std::thread thread;
            std::atomic<bool> stop { false };
        };

        [[maybe_unused]] auto* const nudges = ::testing::AddGlobalTestEnvironment (new Nudges);

        juce::String run (const juce::StringArray& command, int timeoutMs, bool mayFail)
        {
            const auto what = command.joinIntoString (" ");
            CStrings argv (command);

            // The output through a pipe, the error output into a file: read apart, so that
            // neither can block the tool.
            juce::TemporaryFile errors;
            const auto errorsPath = errors.getFile().getFullPathName().toStdString();
            int out[2];
            if (::pipe2 (out, O_CLOEXEC) != 0)
                throw std::runtime_error ("no pipe for " + what.toStdString());
            posix_spawn_file_actions_t actions;
            posix_spawn_file_actions_init (&actions);
            posix_spawn_file_actions_adddup2 (&actions, out[1], 1);
            posix_spawn_file_actions_addopen (&actions, 2, errorsPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            pid_t pid = -1;
            const int started = posix_spawnp (&pid, argv.data()[0], &actions, nullptr, argv.data(), environ);
            posix_spawn_file_actions_destroy (&actions);
            ::close (out[1]);
            if (started != 0)
            {
                ::close (out[0]);
                throw std::runtime_error ("cannot start " + what.toStdString() + ": " + std::strerror (started));
            }

            juce::MemoryOutputStream output;
            const auto deadline = juce::Time::getMillisecondCounter() + (juce::uint32) timeoutMs;
            bool timedOut = false;
            for (;;)
            {
                const auto now = juce::Time::getMillisecondCounter();
                if (now >= deadline)
                {
                    timedOut = true;
                    break;
                }
                pollfd p { out[0], POLLIN, 0 };
                if (::poll (&p, 1, (int) (deadline - now)) <= 0)
                    continue;
                char buffer[4096];
                const auto n = ::read (out[0], buffer, sizeof (buffer));
                if (n > 0)
                    output.write (buffer, (size_t) n);
                else if (n == 0 || errno != EINTR)
                    break;
            }
            ::close (out[0]);
            if (timedOut)
                ::kill (pid, SIGKILL);
            int status = 0;
            while (::waitpid (pid, &status, 0) < 0 && errno == EINTR) {}

            const auto errorText = errors.getFile().loadFileAsString().trim();
            if (timedOut)
                throw std::runtime_error (what.toStdString() + " did not end within " + std::to_string (timeoutMs / 1000) + " s");
            if (lostTheServer (errorText))
                throw std::runtime_error ("cannot reach the X server " + displayName().toStdString() + ": "
                                          + what.toStdString() + ": " + errorText.toStdString());
            if (! mayFail && (! WIFEXITED (status) || WEXITSTATUS (status) != 0))
                throw std::runtime_error (what.toStdString() + " failed: " + errorText.toStdString());
            return output.toString();
        }
    }

    juce::String runTool (const juce::StringArray& command, int timeoutMs)
    {
        return run (command, timeoutMs, false);
    }

    juce::String askTool (const juce::StringArray& command, int timeoutMs)
    {
        return run (command, timeoutMs, true);
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
        const auto ids = juce::StringArray::fromLines (askTool ({ "xdotool", "search", "--onlyvisible", "--name",
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
        return (unsigned long) askTool ({ "xdotool", "getwindowfocus" }).trim().getLargeIntValue();
    }

    juce::Rectangle<int> getWindowGeometry (unsigned long windowId)
    {
        const auto lines = juce::StringArray::fromLines (askTool ({ "xdotool", "getwindowgeometry", "--shell",
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
        auto image = juce::ImageFileFormat::loadFrom (file.getFile());
        if (! image.isValid())
            throw std::runtime_error ("the screenshot of " + displayName().toStdString() + " could not be read");
        return image;
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
            throw std::runtime_error ("cannot write " + file.getFile().getFullPathName().toStdString());
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

    void pressKeysIn (const juce::String& title, const juce::String& keys, int timeoutMs)
    {
        unsigned long window = 0;
        if (! pumpUntil ([&] { window = findVisibleWindow (title); return window != 0 && focusedWindow() == window; }, timeoutMs))
            throw std::runtime_error ("the window \"" + title.toStdString() + "\" never "
                                      + (window == 0 ? "showed" : "had the keyboard") + " to take " + keys.toStdString());
        pressKeys (keys);
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
        const auto* dir = std::getenv ("LARKSPIRE_SCREENSHOT_DIR");
        const juce::File folder = dir != nullptr ? juce::File (dir) : juce::File::getCurrentWorkingDirectory();
        folder.createDirectory();
        writePng (shot, folder.getChildFile (juce::File::createLegalFileName (name) + ".png"));
    }

    WindowManager::WindowManager() : display (XOpenDisplay (nullptr))
    {
        // The test's X server is up before the test starts and never resets: a connection
        // refused is a fault of the set-up, and clicks sent through none would go nowhere.
        if (display == nullptr)
            throw std::runtime_error ("the window manager cannot open the X display " + displayName().toStdString());
        // A window that went before a request reached it is no fault of the test's (a window
        // manager does not end for it either): Xlib's default handler would end the test.
        XSetErrorHandler ([] (Display*, XErrorEvent*) { return 0; });
        auto* d = static_cast<Display*> (display);
        XInternAtom (d, "WM_PROTOCOLS", False);
        XInternAtom (d, "WM_DELETE_WINDOW", False);
        XSync (d, False);
    }

    WindowManager::~WindowManager()
    {
        XCloseDisplay (static_cast<Display*> (display));
    }

    void WindowManager::click (unsigned long windowId)
    {
        if (windowId == 0)
            throw std::runtime_error ("the window manager was given no window to close");
        auto* d = static_cast<Display*> (display);
        XEvent close {};
        close.xclient.type = ClientMessage;
        close.xclient.window = (Window) windowId;
        close.xclient.message_type = XInternAtom (d, "WM_PROTOCOLS", False);
        close.xclient.format = 32;
        close.xclient.data.l[0] = (long) XInternAtom (d, "WM_DELETE_WINDOW", False);
        close.xclient.data.l[1] = CurrentTime;
        if (XSendEvent (d, (Window) windowId, False, NoEventMask, &close) == 0)
            throw std::runtime_error ("the window manager could not send the close request");
        XSync (d, False);
    }

    void WindowManager::holdServerAndMove (unsigned long windowId, juce::Point<int> topLeft)
    {
        if (windowId == 0)
            throw std::runtime_error ("the window manager was given no window to move");
        auto* d = static_cast<Display*> (display);
        XGrabServer (d);
        XMoveWindow (d, (Window) windowId, topLeft.x, topLeft.y);
        XSync (d, False);
    }

    void WindowManager::releaseServer()
    {
        auto* d = static_cast<Display*> (display);
        XUngrabServer (d);
        XSync (d, False);
    }
}
