#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// Looking at the X display the tests run on, through the command-line tools
// that the test set-up installs (xdotool, ImageMagick's import).
namespace testing_support
{
    // Runs a program and returns what it printed (empty when it failed to start).
    juce::String runTool (const juce::StringArray& command, int timeoutMs = 20000);

    // The size of the display.
    juce::Rectangle<int> getDisplayBounds();

    // The id of the visible top-level window with exactly this title, or 0.
    unsigned long findVisibleWindow (const juce::String& title);

    // A window's position and size as the X server has them (empty when unknown).
    juce::Rectangle<int> getWindowGeometry (unsigned long windowId);

    // A screenshot of the whole display (invalid when it could not be taken).
    juce::Image takeScreenshot();

    // Dark pixels ("ink") in an area of an image: how many, and where they lie.
    struct Ink
    {
        int pixels = 0;
        juce::Rectangle<int> bounds;
    };
    Ink findInk (const juce::Image& image, juce::Rectangle<int> area);
}
