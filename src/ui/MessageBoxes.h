#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// The program's modal message boxes. Each runs synchronously (it returns once
// the user has closed the box) through the replaceable dialog service, so every
// box has the same icons and button texts and tests can answer them.

// A two-button box; true for the first button. With useDefaultSecondButton the
// second text is ignored and the framework's own text ("Cancel") is shown.
bool askOkCancel (juce::MessageBoxIconType icon, juce::Component* associated,
                  const juce::String& title, const juce::String& message,
                  bool useDefaultSecondButton,
                  const juce::String& firstButtonText, const juce::String& secondButtonText);

// An information box with one "OK" button.
void showInfoBox (juce::Component* associated, const juce::String& title, const juce::String& message);

// A warning box with one "OK" button.
void showWarningBox (juce::Component* associated, const juce::String& title, const juce::String& message);

// A question box with "Yes" and "No"; true for Yes.
bool askYesNo (juce::Component* associated, const juce::String& title, const juce::String& message);

// The avatar of a user entry of the data-source tree: the sample users' own
// pictures, else the default avatar. Decoded once through the image cache.
juce::Image getUserAvatarImage (const juce::var& userName);
