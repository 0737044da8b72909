#include "ui/dialogs/SearchBar.h"
#include "ui/ColourPalette.h"

SearchBar::SearchBar()
    : juce::TextEditor ("searchField")
{
    setMultiLine (false);
    setReturnKeyStartsNewLine (false);
    setTextToShowWhenEmpty (placeholderText, juce::Colours::grey);
    setColour (juce::TextEditor::backgroundColourId, juce::Colours::white);
    setColour (juce::TextEditor::outlineColourId, paletteColour067);
    setColour (juce::TextEditor::focusedOutlineColourId, paletteColour067.darker (0.3f));
    setColour (juce::TextEditor::textColourId, juce::Colours::black);
}

juce::Rectangle<float> SearchBar::getIconArea() const
{
    const auto side = (float) juce::jmax (0, getHeight() - 8);
    return { 4.0f, 4.0f, side, side };
}

void SearchBar::resized()
{
    juce::TextEditor::resized();
    // Keep the text clear of the magnifier.
    setIndents (juce::roundToInt (getIconArea().getRight()) + 4, getTopIndent());
}

void SearchBar::paintOverChildren (juce::Graphics& g)
{
    juce::TextEditor::paintOverChildren (g);

    const auto area = getIconArea().reduced (1.0f);
    if (area.getWidth() < 4.0f)
        return;

    // A lens in the upper left of the square and its handle towards the lower right.
    const auto lensDiameter = area.getWidth() * 0.62f;
    const auto lens = juce::Rectangle<float> (area.getX(), area.getY(), lensDiameter, lensDiameter);
    const auto stroke = juce::jmax (1.5f, area.getWidth() * 0.12f);
    const auto handleStart = lens.getCentre() + juce::Point<float> (lensDiameter, lensDiameter) * 0.3536f;

    g.setColour (paletteColour113);
    g.drawEllipse (lens.reduced (stroke * 0.5f), stroke);
    g.drawLine ({ handleStart, area.getBottomRight() }, stroke * 1.3f);
}
