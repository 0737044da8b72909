#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// The sizes a dialog lays itself out with: the program's look and feel gives its scaled
// font height, scale and margin; any other look and feel gets the unscaled defaults.
struct DialogMetrics
{
    float fontHeight = 14.0f;
    float scale = 1.0f;
    int margin = 10;

    static DialogMetrics of (juce::LookAndFeel& lookAndFeel);

    // The widest of the buttons' own fitting widths at the given height, and `minimum`.
    static int buttonWidth (std::initializer_list<juce::TextButton*> buttons, int height, int minimum);

    // Centres a dialog on its parent (on the main display without one). Without any display
    // (a headless run) the window stays where it is.
    static void centre (juce::DialogWindow& window, juce::Component* parent);
};
