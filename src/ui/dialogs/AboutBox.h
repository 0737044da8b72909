#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// The modal "About Larkspire" box around an AboutBoxContent. It runs through the dialog
// service, which makes the window, so that tests can see what it would show.
class AboutBox
{
public:
    static constexpr const char* title = "About Larkspire";

    // Shows the box modally, centred over `owner`, and returns when it is closed.
    static void show (juce::Component& owner);

    AboutBox() = delete;
};
