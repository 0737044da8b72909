#pragma once

#include "ui/LSLookAndFeel.h"

// The preset search dialog's theme: popup menus on the panel background with a slate outline.
class SearchDialogLaf : public LSLookAndFeel
{
public:
    SearchDialogLaf() = default;

    void drawPopupMenuBackground (juce::Graphics&, int width, int height) override;
};
