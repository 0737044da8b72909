#include "ui/TextOnlyButton.h"

TextOnlyButton::TextOnlyButton (const juce::String& name, const juce::String& tooltip,
                                juce::Justification j)
    : juce::Button (name),
      font (14.0f, juce::Font::underlined),
      justification (j)
{
    setMouseCursor (juce::MouseCursor::PointingHandCursor);
    setTooltip (tooltip);
    setButtonText (name);
}

TextOnlyButton::~TextOnlyButton() = default;

void TextOnlyButton::setFont (const juce::Font& newFont, bool scaleWithHeight)
{
    font = newFont;
    scaleFontWithHeight = scaleWithHeight;
    repaint();
}

juce::Font TextOnlyButton::getFontToUse() const
{
    return scaleFontWithHeight ? font.withHeight ((float) getHeight() * 0.7f) : font;
}

int TextOnlyButton::getBestWidth() const
{
    return juce::roundToInt (getFontToUse().getStringWidthFloat (getButtonText())) + 6;
}

void TextOnlyButton::paintButton (juce::Graphics& g, bool isMouseOverButton, bool isButtonDown)
{
    auto colour = findColour (juce::HyperlinkButton::textColourId);

    if (! isEnabled())
        colour = colour.withMultipliedAlpha (0.4f);
    else if (isMouseOverButton)
        colour = colour.darker (isButtonDown ? 1.3f : 0.4f);

    g.setColour (colour);
    g.setFont (getFontToUse());

    const auto placement = juce::Justification (justification.getOnlyHorizontalFlags()
                                                | juce::Justification::verticallyCentred);
    g.drawText (getButtonText(), getLocalBounds().reduced (1, 0), placement, true);
}
