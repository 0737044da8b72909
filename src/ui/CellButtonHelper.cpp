#include "ui/CellButtonHelper.h"
#include "ui/ColourPalette.h"

void CellButtonHelper::prepare (int width, int height)
{
    width = juce::jmax (1, width);
    height = juce::jmax (1, height);

    auto gradient = [width, height] (juce::Colour top, juce::Colour bottom)
    {
        return juce::ColourGradient (top, (float) width, 0.0f, bottom, (float) width, (float) height, false);
    };

    struct Fill { bool isGradient; juce::Colour a, b; };
    const Fill fills[8] =
    {
        { true,  paletteColour076, paletteColour030 },
        { false, paletteColour050.brighter (0.2f), {} },
        { true,  paletteColour046, paletteColour047 },
        { false, paletteColour004.brighter (0.2f), {} },
        { true,  paletteColour053, paletteColour062 },
        { false, paletteColour006.brighter (0.2f), {} },
        { false, paletteColour021, {} },
        { false, paletteColour024, {} }
    };

    for (int i = 0; i < 8; ++i)
    {
        juce::Image img (juce::Image::ARGB, 2 * width, height, false);
        juce::Graphics g (img);

        if (fills[i].isGradient)
            g.setGradientFill (gradient (fills[i].a, fills[i].b));
        else
            g.setColour (fills[i].a);

        g.fillAll();
        *images.getUnchecked (i) = img;
    }
}
