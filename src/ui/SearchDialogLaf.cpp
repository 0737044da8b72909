#include "ui/SearchDialogLaf.h"
#include "ui/ColourPalette.h"

void SearchDialogLaf::drawPopupMenuBackground (juce::Graphics& g, int width, int height)
{
    g.fillAll (paletteColour112);
    g.setColour (paletteColour113);
    g.drawRect (0, 0, width, height, 1);
}
