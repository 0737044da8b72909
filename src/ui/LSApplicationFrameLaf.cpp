#include "ui/LSApplicationFrameLaf.h"
#include "ui/ColourPalette.h"

LSApplicationFrameLaf::LSApplicationFrameLaf()
    : wordmark (createEmbeddedDrawable ("wordmark_svg"))
{
}

LSApplicationFrameLaf::~LSApplicationFrameLaf()
{
    wordmark.reset();
}

void LSApplicationFrameLaf::drawDocumentWindowTitleBar (juce::DocumentWindow& window, juce::Graphics& g, int w, int h,
                                                        int titleSpaceX, int titleSpaceW,
                                                        const juce::Image* icon, bool drawTitleTextOnLeft)
{
    drawTitleBar (window, g, w, h, titleSpaceX, titleSpaceW, icon, drawTitleTextOnLeft, paletteColour027,
                  juce::Font ((float) h * 0.75f), wordmark.get());
}
