#include "ui/dialogs/UpdateProgressContent.h"
#include "ui/ColourPalette.h"
#include "ui/LSLookAndFeel.h"

UpdateProgressContent::UpdateProgressContent (float uiScale)
    : scale (uiScale)
{
    const juce::Font font (14.0f * scale);

    labelStatus.setName ("labelStatus");
    labelStatus.setFont (font);
    labelStatus.setJustificationType (juce::Justification::centredLeft);
    labelStatus.setMinimumHorizontalScale (0.8f);
    addAndMakeVisible (labelStatus);

    progressBarPhase.setName ("progressBarPhase");
    addAndMakeVisible (progressBarPhase);

    labelOverallProgress.setName ("labelOverallProgress");
    labelOverallProgress.setText ("Overall Progress", juce::dontSendNotification);
    labelOverallProgress.setFont (font);
    labelOverallProgress.setJustificationType (juce::Justification::centredLeft);
    addAndMakeVisible (labelOverallProgress);

    progressBarOverall.setName ("progressBarOverall");
    addAndMakeVisible (progressBarOverall);

    textButtonStop.setName ("textButtonStop");
    addAndMakeVisible (textButtonStop);

    setSize (juce::roundToInt (450.0f * scale), juce::roundToInt (180.0f * scale));
}

UpdateProgressContent::~UpdateProgressContent() = default;

void UpdateProgressContent::paint (juce::Graphics& g)
{
    g.fillAll (paletteColour090);
}

void UpdateProgressContent::resized()
{
    auto* laf = dynamic_cast<LSLookAndFeel*> (&getLookAndFeel());
    const int m = laf != nullptr ? laf->getScaledMargin() : juce::roundToInt (10.0f * scale);
    const int buttonHeight = laf != nullptr ? (int) laf->getButtonHeight() : juce::roundToInt (29.4f * scale);
    const int labelHeight = juce::roundToInt (14.0f * scale * 1.6f);
    const int barHeight = juce::roundToInt (20.0f * scale);
    const int gap = juce::roundToInt (4.0f * scale);

    auto area = getLocalBounds().reduced (m);
    labelStatus.setBounds (area.removeFromTop (labelHeight));
    area.removeFromTop (gap);
    progressBarPhase.setBounds (area.removeFromTop (barHeight));
    area.removeFromTop (m);
    labelOverallProgress.setBounds (area.removeFromTop (labelHeight));
    area.removeFromTop (gap);
    progressBarOverall.setBounds (area.removeFromTop (barHeight));

    const int buttonWidth = juce::jmax (juce::roundToInt (100.0f * scale),
                                        getLookAndFeel().getTextButtonWidthToFitText (textButtonStop, buttonHeight));
    auto bottom = area.removeFromBottom (buttonHeight);
    textButtonStop.setBounds (bottom.withSizeKeepingCentre (juce::jmin (buttonWidth, bottom.getWidth()), buttonHeight));
}
