#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// A link-like button that draws only its text: underlined, with the pointing-hand
// cursor, in the colour of juce::HyperlinkButton::textColourId, faded when disabled
// and darkened while hovered or pressed.
class TextOnlyButton : public juce::Button
{
public:
    TextOnlyButton (const juce::String& name, const juce::String& tooltip,
                    juce::Justification justification = juce::Justification::centred);
    ~TextOnlyButton() override;

    void setFont (const juce::Font& newFont, bool scaleWithHeight);
    // The font the text is drawn in: scaled to 0.7 of the button's height unless told not to.
    juce::Font getFontToUse() const;
    const juce::Font& getFont() const noexcept { return font; }

    // The width the text needs in the current font, plus a small margin.
    int getBestWidth() const;

    void paintButton (juce::Graphics&, bool isMouseOverButton, bool isButtonDown) override;

private:
    juce::Font font;
    bool scaleFontWithHeight = true;
    juce::Justification justification;

    JUCE_DECLARE_NON_COPYABLE (TextOnlyButton)
};
