#pragma once

#include <juce_gui_basics/juce_gui_basics.h>
#include "core/DialogService.h"
#include <functional>

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

// Shows a box without running a modal loop, for message callbacks where none may run (the
// start-up's). A box raised while another box or dialog is open waits in a queue: the
// queued boxes are shown one at a time, each once nothing modal is open any more.
// `onClose` (when set) gets the index of the button pressed, -1 when none was.
void queueMessageBox (DialogService::Icon icon, juce::Component* associated, const juce::String& title,
                      const juce::String& message, const juce::StringArray& buttons,
                      std::function<void (int)> onClose = {});

// The avatar of a user entry of the data-source tree: the sample users' own
// pictures, else the default avatar. Decoded once through the image cache.
juce::Image getUserAvatarImage (const juce::var& userName);
