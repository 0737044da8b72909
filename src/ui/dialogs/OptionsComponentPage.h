#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// A page of the options dialog. Its controls show the stored values when it is made;
// nothing is written until store().
class OptionsComponentPage : public juce::Component
{
public:
    OptionsComponentPage() = default;
    ~OptionsComponentPage() override = default;

    // Puts the controls back to the program's defaults (nothing stored).
    virtual void restoreDefaults() = 0;
    // Writes the controls' values to the settings.
    virtual void store() = 0;

    void paint (juce::Graphics&) override;

protected:
    // Scale of the page's fonts and metrics (the look and feel's, else the UI scale).
    float getPageScale() const;
    int getPageMargin() const;
    float getPageFontHeight() const;
    // Toggle buttons draw their text at three quarters of their height: this keeps it near
    // the page's font height.
    int getToggleHeight() const;
};
