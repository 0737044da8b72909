#include "ui/dialogs/OptionsComponentPage.h"
#include "core/Settings.h"
#include "ui/ColourPalette.h"
#include "ui/LSLookAndFeel.h"

void OptionsComponentPage::paint (juce::Graphics& g)
{
    g.fillAll (paletteColour090);
}

float OptionsComponentPage::getPageScale() const
{
    if (auto* laf = dynamic_cast<LSLookAndFeel*> (&getLookAndFeel()))
        return laf->getScale();
    return getUiScalingFactor();
}

int OptionsComponentPage::getPageMargin() const
{
    return juce::roundToInt (getPageScale() * 10.0f);
}

float OptionsComponentPage::getPageFontHeight() const
{
    return 14.0f * getPageScale();
}

int OptionsComponentPage::getToggleHeight() const
{
    return juce::roundToInt (getPageFontHeight() * 1.45f);
}
