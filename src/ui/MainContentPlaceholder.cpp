#include "ui/MainContentPlaceholder.h"
#include "ui/ColourPalette.h"

MainContentPlaceholder::MainContentPlaceholder (const juce::String& applicationName)
    : name (applicationName)
{
    setOpaque (true);
    setLookAndFeel (&lookAndFeel);
    juce::LookAndFeel::setDefaultLookAndFeel (&lookAndFeel);
}

MainContentPlaceholder::~MainContentPlaceholder()
{
    setLookAndFeel (nullptr);
    if (&juce::LookAndFeel::getDefaultLookAndFeel() == &lookAndFeel)
        juce::LookAndFeel::setDefaultLookAndFeel (nullptr);
}

void MainContentPlaceholder::paint (juce::Graphics& g)
{
    g.fillAll (paletteColour032);
    g.setColour (paletteColour071);
    g.setFont (juce::Font (lookAndFeel.getFontHeightB() * 2.0f, juce::Font::bold));
    g.drawText (name, getLocalBounds(), juce::Justification::centred, true);
}
