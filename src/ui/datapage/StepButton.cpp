#include "ui/datapage/StepButton.h"
#include "ui/ColourPalette.h"
#include "ui/LSLookAndFeel.h"

StepButton::StepButton (int index)
    : juce::ImageButton ("Step"), stepIndex (index)
{
    setButtonText ("Step");
    setClickingTogglesState (true);
    setRadioGroupId (radioGroup);
    redraw();
}

void StepButton::setHasStep (bool shouldHaveStep)
{
    step = shouldHaveStep;
    redraw();
}

void StepButton::redraw()
{
    auto* laf = dynamic_cast<LSLookAndFeel*> (&getLookAndFeel());
    const float fontHeight = laf != nullptr ? laf->getFontHeightA() : 14.0f;
    const int side = juce::jmax (4, juce::roundToInt (2.0f * fontHeight));

    auto draw = [this, side] (bool selected)
    {
        juce::Image image (juce::Image::ARGB, side, side, true);
        juce::Graphics g (image);
        const auto circle = image.getBounds().toFloat().reduced ((float) side * 0.2f);

        if (selected)
        {
            g.setColour (paletteColour029);
            g.drawEllipse (image.getBounds().toFloat().reduced (1.5f), 2.0f);
        }

        if (step)
        {
            g.setColour (paletteColour046);
            g.fillEllipse (circle);
            g.setColour (paletteColour017);
            g.drawEllipse (circle, 1.0f);
        }
        else
        {
            g.setColour (paletteColour030);
            g.drawEllipse (circle, 1.0f);
        }
        return image;
    };

    const auto normal = draw (false);
    const auto selected = draw (true);
    setImages (false, false, true,
               normal, 1.0f, juce::Colours::transparentBlack,
               normal, 1.0f, juce::Colours::white.withAlpha (0.2f),
               selected, 1.0f, juce::Colours::transparentBlack);
    setSize (side, side);
}
