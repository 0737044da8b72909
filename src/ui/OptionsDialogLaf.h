#pragma once

#include "ui/LSLookAndFeel.h"

// The options dialog's theme: tighter rows, a tab bar without background and a
// flat selected tab.
class OptionsDialogLaf : public LSLookAndFeel
{
public:
    OptionsDialogLaf() = default;

    double getRowHeight() const override;
    void drawTabbedButtonBarBackground (juce::TabbedButtonBar&, juce::Graphics&) override;
};
