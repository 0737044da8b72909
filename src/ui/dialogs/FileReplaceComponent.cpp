#include "ui/dialogs/FileReplaceComponent.h"
#include "ui/ColourPalette.h"
#include "ui/dialogs/DialogMetrics.h"

namespace
{
    constexpr float baseWidth = 460.0f;
    constexpr float toggleWidth = 120.0f;
}

FileReplaceComponent::FileReplaceComponent (const juce::String& t1, const juce::String& t2, bool offerApplyToAll)
    : text1 (t1), text2 (t2)
{
    setName ("FileReplaceComponent");
    textButtonNo.setName ("textButtonNo");
    textButtonYes.setName ("textButtonYes");
    toggleButtonApplyToAll.setName ("toggleButtonApplyToAll");

    textButtonNo.setConnectedEdges (juce::Button::ConnectedOnLeft | juce::Button::ConnectedOnRight);
    textButtonYes.setConnectedEdges (juce::Button::ConnectedOnRight);

    for (juce::Button* b : { (juce::Button*) &textButtonYes, (juce::Button*) &textButtonNo,
                             (juce::Button*) &toggleButtonApplyToAll })
    {
        addAndMakeVisible (b);
        b->addListener (this);
    }
    toggleButtonApplyToAll.setVisible (offerApplyToAll);

    // The height follows the wrapped message, so a long path never runs under the buttons.
    const auto m = DialogMetrics::of (getLookAndFeel());
    const int width = (int) (baseWidth * m.scale);
    const juce::Font font (m.fontHeight);
    const auto lines = wrapMessage (text1 + text2, font, (float) (width - 2 * m.margin));
    const int textHeight = lines.size() * (int) std::ceil (font.getHeight());
    setSize (width, m.margin + textHeight + m.margin + juce::roundToInt (2.0f * m.fontHeight) + m.margin);
}

FileReplaceComponent::~FileReplaceComponent() = default;

juce::StringArray FileReplaceComponent::wrapMessage (const juce::String& text, const juce::Font& font, float width)
{
    auto fits = [&] (const juce::String& s) { return font.getStringWidthFloat (s) <= width; };

    juce::StringArray lines;
    for (auto& paragraph : juce::StringArray::fromLines (text))
    {
        juce::String line;
        for (auto word : juce::StringArray::fromTokens (paragraph, " ", {}))
        {
            const auto joined = line.isEmpty() ? word : line + " " + word;
            if (fits (joined))
            {
                line = joined;
                continue;
            }
            if (line.isNotEmpty())
                lines.add (line);

            while (! fits (word) && word.length() > 1)
            {
                int n = 1;
                while (n < word.length() - 1 && fits (word.substring (0, n + 1)))
                    ++n;
                lines.add (word.substring (0, n));
                word = word.substring (n);
            }
            line = word;
        }
        lines.add (line);
    }
    return lines;
}

int FileReplaceComponent::getButtonHeight() const
{
    return juce::roundToInt (2.0f * DialogMetrics::of (getLookAndFeel()).fontHeight);
}

juce::Rectangle<int> FileReplaceComponent::getMessageArea() const
{
    const auto m = DialogMetrics::of (getLookAndFeel());
    return { m.margin, m.margin, juce::jmax (0, getWidth() - 2 * m.margin),
             juce::jmax (0, getHeight() - getButtonHeight() - 3 * m.margin) };
}

void FileReplaceComponent::paint (juce::Graphics& g)
{
    const juce::Font font (DialogMetrics::of (getLookAndFeel()).fontHeight);
    const auto area = getMessageArea();
    g.setColour (paletteColour091);
    g.setFont (font);
    const int lineHeight = (int) std::ceil (font.getHeight());
    int y = area.getY();
    for (auto& line : wrapMessage (text1 + text2, font, (float) area.getWidth()))
    {
        g.drawText (line, area.getX(), y, area.getWidth(), lineHeight, juce::Justification::centredLeft, false);
        y += lineHeight;
    }
}

void FileReplaceComponent::resized()
{
    const auto m = DialogMetrics::of (getLookAndFeel());
    const int h = getButtonHeight();
    const int bw = DialogMetrics::buttonWidth ({ &textButtonYes, &textButtonNo }, h, juce::roundToInt (80.0f * m.scale));
    const int y = getHeight() - h - m.margin;

    textButtonNo.setBounds (getWidth() - m.margin - bw, y, bw, h);
    textButtonYes.setBounds (textButtonNo.getX() - bw, y, bw, h);
    const int tw = juce::roundToInt (toggleWidth * m.scale);
    const int th = juce::roundToInt (m.fontHeight / 0.75f);
    toggleButtonApplyToAll.setBounds (textButtonYes.getX() - m.margin - tw, y + (h - th) / 2, tw, th);
}

void FileReplaceComponent::buttonClicked (juce::Button* b)
{
    if (b != &textButtonYes && b != &textButtonNo)
        return;

    chosenResult = (b == &textButtonYes ? replace : keep);
    if (toggleButtonApplyToAll.isVisible() && toggleButtonApplyToAll.getToggleState())
        chosenResult |= keepAll;

    if (auto* window = findParentComponentOfClass<juce::DialogWindow>())
        window->exitModalState (chosenResult);
}
