#pragma once

#include <gtest/gtest.h>
#include "support/AppProcess.h"
#include "support/LocalHttpServer.h"
#include "support/SocketUnit.h"
#include "window/ScreenTools.h"
#include <juce_gui_basics/juce_gui_basics.h>
#include <functional>
#include <map>

// A user's journeys through the real program: the binary started as the README starts it,
// with a fresh HOME, the local web stand-in and simulated units, worked only through the X
// server (pointer and keys, as xdotool sends them) and judged only from outside: what the
// units received, the files the program writes, the windows and what they show.
namespace journey
{
    using Area = juce::Rectangle<int>;
    using Point = juce::Point<int>;

    //==============================================================================
    // What the window tests' screen tools (window/ScreenTools.h) do not have.
    namespace screen
    {
        // Presses the left button at `from`, moves to `to` in steps and lets go there.
        void drag (Point from, Point to);
        // Moves the pointer.
        void moveTo (Point p);

        // The text in an area of an image, read by OCR (upscaled first); blanks collapsed. Where
        // two ways of reading differ, both are given, divided by " / ".
        juce::String read (const juce::Image& image, Area area);

        // Whether a text read by OCR holds the text (case and blanks aside, and the digits that OCR
        // takes for letters).
        bool shows (const juce::String& seen, const juce::String& text);

        // Where OCR finds the text (a word or words in a row) in an area; empty when it does not.
        Area find (const juce::Image& image, Area area, const juce::String& text);
        // Where OCR finds a toolbar item's label: one word, or two words on two lines, the
        // second right below the first ("Apply Changes"); empty when it does not.
        Area findToolbarLabel (const juce::Image& image, Area area, const juce::String& label);

        // Pixels of an area for which the test holds.
        int count (const juce::Image& image, Area area, const std::function<bool (juce::Colour)>& test);
        bool near (juce::Colour c, juce::uint32 rgb, int tolerance = 12);
    }

    // The files under a folder whose names match the pattern: their bytes by their path there
    // (hidden files left out), to tell afterwards whether each is still what it was.
    std::map<juce::String, juce::MemoryBlock> filesUnder (const juce::File& folder, const juce::String& pattern = "*");

    // When the unit was first asked the identity query of this kind (0x07 its serial number,
    // 0x09 its manufacture date), as a millisecond counter; 0 when never.
    double firstAskedAt (const SimulatedUnit& unit, int kind);

    //==============================================================================
    // One journey: a fresh HOME, the web stand-in serving the installed sample content, the
    // program, outside units, and an output folder that keeps the screenshots, the step log
    // and the program's output when the journey fails.
    class Journey : public ::testing::Test
    {
    protected:
        Journey();
        ~Journey() override;
        void TearDown() override;

        //==============================================================================
        // The world around the program
        const juce::File& getHome() const { return home; }
        juce::File settingsFile() const;
        juce::File dataFolder() const;
        juce::String setting (const juce::String& key) const;
        testing_support::LocalHttpServer& web() { return *server; }
        // The copy of the sample content that the web stand-in serves (its "Larkspire2" folder).
        juce::File servedContent() const;
        // The sample content the program has installed beside it.
        static juce::File installedContent();

        //==============================================================================
        // The program, started as the README starts it. `midi` is the LARKSPIRE_MIDI word:
        // "virtual", or "socket" for the outside units of this journey. `words` go on its command
        // line; `webRoot` names where it finds the maker's web service (the web stand-in when empty).
        void start (const juce::String& midi, const juce::StringArray& words = {}, const juce::String& webRoot = {});
        bool isRunning();
        // Waits for the program to end by itself; its exit code, -1 when it did not end.
        int waitForExit (int timeoutMs = 60000);
        // Sends the program the signals one right after the other, as a session's logout does.
        void sendSignals (std::initializer_list<int> signals);
        // The same, and waits for it to end; its exit code, -1 when it did not end.
        int endBySignals (std::initializer_list<int> signals, int timeoutMs);
        // What the program wrote to its output and error output so far.
        juce::String programOutput() const;

        // The main window's place once it shows its content (waits for it).
        Area mainWindow();
        // A click on the Options button of the main window's header (the gear).
        void openOptions();
        // The user moves and resizes the main window (as a window manager does it for them).
        void placeMainWindow (Area area);
        // A point of the main window, from its top left corner.
        Point at (int x, int y);
        // Parts of the main window: the tab strip at the top, the page's toolbar below it, the
        // page below that, and the left part of the status strip (the unit and its firmware).
        Area tabStrip();
        Area toolbar();
        Area page();
        Area statusText();

        //==============================================================================
        // The start most journeys make: the program on the socket ports with an outside Merle
        // (serial 20100) that is connected and read at once; the Presets page showing it.
        SimulatedUnit& startWithMerle();
        void showPresets();

        //==============================================================================
        // The Presets page at the main window's first size: the workspace grid (icon view),
        // the middle of a slot's tile in it (slots 1 to 16 are in view), and the details'
        // name field and tags.
        Area browser();
        Area workspace();
        Point tile (int slot);
        Area nameField();
        Area details();
        // Whether the tag's box is ticked in the details.
        bool isTagTicked (const juce::String& tag);

        //==============================================================================
        // Outside units on the socket ports: a simulated unit of a sample product, at the build
        // the sample units run, with its own serial number; it connects once the program listens.
        testing_support::SocketUnit& plugIn (const juce::String& product, int serial);
        void unplug (testing_support::SocketUnit& unit);
        void unplug (SimulatedUnit& unit);
        // The same unit plugged in again after it was unplugged: it holds what it held.
        testing_support::SocketUnit& plugBackIn (testing_support::SocketUnit& unit);
        // The unit's connection closes and a new one of its name comes `gapMs` later, as with a
        // loose cable or a unit that restarts.
        void replug (SimulatedUnit& unit, int gapMs);

        //==============================================================================
        // Waits (they poll; deadlines are generous). A wait that fails ends the journey (with an
        // exception that the test reports, naming `what`): the steps after it build on it.
        bool waitFor (const std::function<bool()>& condition, const juce::String& what, int timeoutMs = 60000);
        unsigned long waitForWindow (const juce::String& title, int timeoutMs = 60000);
        bool waitForWindowGone (const juce::String& title, int timeoutMs = 60000);
        // Until OCR of the area shows the text (as screen::shows tells).
        bool waitForText (Area area, const juce::String& text, int timeoutMs = 60000);
        // Until a screenshot passes the test.
        bool waitForScreen (const std::function<bool (const juce::Image&)>& test, const juce::String& what,
                            int timeoutMs = 60000);
        // Until OCR finds the text in the area; where it is (empty when it never came).
        Area waitForTextAt (Area area, const juce::String& text, int timeoutMs = 60000);
        // Until the toolbar item (by its label) is shown, and drawn in full strength when it must
        // be enabled (a disabled one is faded); where its label is.
        Area waitForToolbarItem (const juce::String& label, bool enabled, int timeoutMs);
        // Until the toolbar item (by its label) is drawn in full strength: it is enabled.
        void waitForEnabled (const juce::String& label, int timeoutMs = 120000);
        // Clicks the toolbar item of the shown page by its label ("Backup User").
        void clickToolbarItem (const juce::String& label);
        // Clicks the text (a button's or a tab's label, a list entry) once it is shown in the area.
        bool clickText (Area area, const juce::String& text, int button = 1, int count = 1);
        // Answers the box with this title by clicking its button; waits for it to close.
        bool answer (const juce::String& title, const juce::String& button);
        // Types the path into the file chooser with this title, opens it, and waits for it to close.
        void choosePath (const juce::String& chooserTitle, const juce::File& path);
        // What OCR reads in an area now.
        juce::String textIn (Area area);
        // A screenshot, kept as the last one seen.
        juce::Image look();

        // Notes a step in the journey's log.
        void step (const juce::String& what);

    private:
        // The main window's place when it shows its content now, else empty.
        Area mainWindowNow();
        // Connects a unit on the socket ports once the program takes it.
        testing_support::SocketUnit& connect (std::shared_ptr<SimulatedUnit> unit);
        // Notes a failed step, keeps the last screenshot beside it, and ends the journey.
        [[noreturn]] void failed (const juce::String& what);

        juce::File home, output;
        std::unique_ptr<testing_support::LocalHttpServer> server;
        std::unique_ptr<testing_support::AppProcess> app;
        int socketPort = 0;
        unsigned long windowId = 0;
        juce::Image lastShot;
        juce::StringArray steps;
        juce::uint32 startedAt = 0;
        std::vector<std::unique_ptr<testing_support::SocketUnit>> units;
    };
}
