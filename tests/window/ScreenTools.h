#pragma once

#include <juce_gui_basics/juce_gui_basics.h>
#include <functional>

// Looking at the X display the tests run on, through the command-line tools
// that the test set-up installs (xdotool, ImageMagick's import). None of them fails
// silently: what cannot be done ends the test with an exception that says why.
namespace testing_support
{
    // Runs a program and returns what it printed. A program that cannot be started, does not
    // end in time, ends with an error, or cannot reach the X server ends the test.
    juce::String runTool (const juce::StringArray& command, int timeoutMs = 120000);
    // The same for a question that a tool may answer with an error (a window that has gone,
    // a search that finds nothing): then what it printed, if anything.
    juce::String askTool (const juce::StringArray& command, int timeoutMs = 120000);

    // The size of the display.
    juce::Rectangle<int> getDisplayBounds();

    // The ids of the visible top-level windows with exactly this title; the first of them, or 0.
    juce::Array<unsigned long> findVisibleWindows (const juce::String& title);
    unsigned long findVisibleWindow (const juce::String& title);

    // The window that has the X server's keyboard focus, or 0.
    unsigned long focusedWindow();

    // A window's position and size as the X server has them (empty when unknown).
    juce::Rectangle<int> getWindowGeometry (unsigned long windowId);

    // A screenshot of the whole display.
    juce::Image takeScreenshot();

    // Dark pixels ("ink") in an area of an image: how many, and where they lie.
    struct Ink
    {
        int pixels = 0;
        juce::Rectangle<int> bounds;
    };
    Ink findInk (const juce::Image& image, juce::Rectangle<int> area);

    // The text shown in one line of an area of a screenshot, read by OCR (tesseract);
    // blanks are kept, the ends trimmed.
    juce::String readText (const juce::Image& image, juce::Rectangle<int> area);

    // Where pixels that pass `test` form a regular grid of tiles in an area: the tiles'
    // columns and rows, each as the range of screen coordinates it covers, found from the
    // counts of such pixels per column and per row of pixels (at least `minRun` each).
    struct TileGrid
    {
        juce::Array<juce::Range<int>> columns, rows;
        juce::Point<int> centreOf (int column, int row) const
        {
            return { columns[column].getStart() + columns[column].getLength() / 2,
                     rows[row].getStart() + rows[row].getLength() / 2 };
        }
    };
    TileGrid findTileGrid (const juce::Image& image, juce::Rectangle<int> area,
                           const std::function<bool (juce::Colour)>& test, int minRun = 20);

    // Real X input through xdotool: a click with a button (1 left, 3 right) at a point of
    // the screen, with keys held (e.g. "ctrl", "shift"); key presses ("ctrl+z", "Delete");
    // typed text.
    void clickAt (juce::Point<int> screenPoint, int button = 1, const juce::StringArray& heldKeys = {});
    void pressKeys (const juce::String& keys);
    void typeText (const juce::String& text);
    // Presses keys once the window with this title shows and has the keyboard: keys pressed
    // before go to another window, or to none.
    void pressKeysIn (const juce::String& title, const juce::String& keys, int timeoutMs = 60000);

    // The part of a window manager that the tests need, on the test's X server, which runs none.
    // The close button: the atoms of the close request, which a program looks for as it starts
    // (without them its windows take no close request), and the request that a window manager
    // sends when the user clicks the button. Made before the program starts.
    // A move by the title bar, for which some window managers hold the server: until it lets go,
    // the server serves no other client, and a program whose message thread asks it anything
    // waits there, while its other threads, and the signals it gets, go on. What this sends
    // meanwhile (a close request) reaches the program at once. Nothing else of the test may use
    // the server meanwhile. Without a connection to the server, or a window to act on, it ends
    // the test.
    class WindowManager
    {
    public:
        WindowManager();
        ~WindowManager();
        void click (unsigned long windowId);
        void holdServerAndMove (unsigned long windowId, juce::Point<int> topLeft);
        void releaseServer();

    private:
        void* display = nullptr;   // held open while the test runs
    };

    // Writes an image as a PNG file, replacing the file; false when it could not.
    bool writePng (const juce::Image& image, const juce::File& file);

    // Saves a screenshot as a PNG into the folder named by LARKSPIRE_SCREENSHOT_DIR (when
    // set), else the current folder, for a test that failed.
    void saveScreenshot (const juce::String& name);
}
