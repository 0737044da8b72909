#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// Runs a dialog window around a content component through the dialog service, centred on
// `parent`, and returns the window's modal result. The content stays with the caller, so
// its controls can be read after the window has gone.
int runDialogModally (juce::Component& content, const juce::String& title, juce::Component* parent,
                      juce::Colour background);

// Closes the dialog window that holds `content` with a result; nothing happens when the
// content is not in a window (a test drives it directly).
void closeDialogOf (juce::Component& content, int result);
