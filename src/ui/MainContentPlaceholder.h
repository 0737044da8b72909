#pragma once

#include "ui/LSLookAndFeel.h"

// Fills the main window until the main content component takes its place.
// Like that component it owns the application's look and feel and makes it the
// desktop default, so every box and window is drawn in the application's style;
// it shows only the application's name.
class MainContentPlaceholder : public juce::Component
{
public:
    explicit MainContentPlaceholder (const juce::String& applicationName);
    ~MainContentPlaceholder() override;

    void paint (juce::Graphics&) override;

    LSLookAndFeel& getLSLookAndFeel() { return lookAndFeel; }

private:
    LSLookAndFeel lookAndFeel;   // first member: outlives everything that uses it
    juce::String name;

    JUCE_DECLARE_NON_COPYABLE (MainContentPlaceholder)
};
