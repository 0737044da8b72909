#include "ui/OptionsDialogLaf.h"
#include "ui/ColourPalette.h"

double OptionsDialogLaf::getRowHeight() const
{
    return getFontHeightA() * 1.8;
}

void OptionsDialogLaf::drawTabbedButtonBarBackground (juce::TabbedButtonBar&, juce::Graphics&)
{
    // No background; the tabs drawn after it take these colours.
    setColour (tabTopColourId, paletteColour063);
    setColour (tabBottomColourId, paletteColour020);
    setColour (frontTabTopColourId, paletteColour090);
    setColour (frontTabBottomColourId, paletteColour090);
}
