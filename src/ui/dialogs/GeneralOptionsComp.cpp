#include "ui/dialogs/GeneralOptionsComp.h"
#include "content/WebTransfer.h"
#include "core/DialogService.h"
#include "core/Settings.h"
#include "ui/ColourPalette.h"

GeneralOptionsComp::GeneralOptionsComp()
{
    const float fontHeight = getPageFontHeight();

    labelResolution.setName ("labelResolution");
    labelResolution.setText ("Resolution", juce::dontSendNotification);
    labelResolution.setFont (juce::Font (fontHeight));
    addAndMakeVisible (labelResolution);

    sliderResolution.setName ("sliderResolution");
    sliderResolution.setSliderStyle (juce::Slider::LinearHorizontal);
    sliderResolution.setTextBoxStyle (juce::Slider::NoTextBox, true, 0, 0);
    sliderResolution.setRange (75.0, 250.0, 5.0);
    sliderResolution.setValue (getUiScalingFactor() * 100.0, juce::dontSendNotification);
    initialSliderValue = sliderResolution.getValue();
    sliderResolution.addListener (this);
    addAndMakeVisible (sliderResolution);

    labelResolutionValue.setName ("labelResolutionValue");
    labelResolutionValue.setFont (juce::Font (fontHeight));
    labelResolutionValue.setJustificationType (juce::Justification::centredRight);
    addAndMakeVisible (labelResolutionValue);

    labelTextSize.setName ("labelTextSize");
    labelTextSize.setText ("Text Size", juce::dontSendNotification);
    labelTextSize.setColour (juce::Label::textColourId, paletteColour091);
    labelTextSize.setJustificationType (juce::Justification::centredLeft);
    addAndMakeVisible (labelTextSize);

    groupComponentUsageData.setName ("groupComponentUsageData");
    groupComponentUsageData.setText ("Usage Data");
    addAndMakeVisible (groupComponentUsageData);

    toggleButtonUsageData.setName ("toggleButtonUsageData");
    toggleButtonUsageData.setToggleState (getSettingBool (SettingsKeys::dataTrackingOptIn), juce::dontSendNotification);
    addAndMakeVisible (toggleButtonUsageData);

    textButtonMoreInfo.setName ("textButtonMoreInfo");
    textButtonMoreInfo.addListener (this);
    addAndMakeVisible (textButtonMoreInfo);

    showSliderValue();
}

GeneralOptionsComp::~GeneralOptionsComp()
{
    sliderResolution.removeListener (this);
    textButtonMoreInfo.removeListener (this);
}

void GeneralOptionsComp::showSliderValue()
{
    const double value = sliderResolution.getValue();
    labelResolutionValue.setText (juce::String (juce::roundToInt (value)) + "%", juce::dontSendNotification);
    labelTextSize.setFont (juce::Font ((float) (14.0 * value / 100.0)));
}

void GeneralOptionsComp::sliderValueChanged (juce::Slider*)
{
    showSliderValue();
}

void GeneralOptionsComp::buttonClicked (juce::Button* button)
{
    if (button == &textButtonMoreInfo)
        getDialogService().openUrl (WebRoot::getDefaultRoot());
}

void GeneralOptionsComp::restoreDefaults()
{
    sliderResolution.setValue (100.0, juce::sendNotificationSync);
}

void GeneralOptionsComp::store()
{
    const double value = sliderResolution.getValue();
    // A stored scale between two slider steps shows as the nearest step: leaving the
    // slider where it was opened keeps the stored value and needs no restart.
    if (value != initialSliderValue
        && std::abs (value / 100.0 - (double) getUiScalingFactor()) > 0.0001)
    {
        restartNeeded = true;
        setSetting (SettingsKeys::uiScalingFactor, value / 100.0);
    }

    setSetting (SettingsKeys::dataTrackingOptIn, toggleButtonUsageData.getToggleState());
}

void GeneralOptionsComp::resized()
{
    const int m = getPageMargin();
    const float fontHeight = getPageFontHeight();
    const int rowHeight = juce::roundToInt (fontHeight * 2.0f);
    const int valueWidth = juce::roundToInt (juce::Font (fontHeight).getStringWidthFloat ("99999%")) + 4;
    const int labelWidth = juce::roundToInt (juce::Font (fontHeight).getStringWidthFloat ("Resolution")) + 10;

    auto area = getLocalBounds().reduced (m);
    auto row = area.removeFromTop (rowHeight);
    labelResolution.setBounds (row.removeFromLeft (labelWidth));
    labelResolutionValue.setBounds (row.removeFromRight (valueWidth));
    sliderResolution.setBounds (row.reduced (m / 2, 0));

    // The preview grows with the slider: room for its largest size.
    labelTextSize.setBounds (area.removeFromTop (juce::roundToInt (14.0f * 2.5f * 1.4f)).withTrimmedLeft (labelWidth));

    area.removeFromTop (m);
    auto group = area.removeFromTop (juce::jmin (area.getHeight(), rowHeight * 3 + m));
    groupComponentUsageData.setBounds (group);
    auto inside = group.reduced (m, 0).withTrimmedTop (rowHeight).withTrimmedBottom (m / 2);
    const int buttonWidth = juce::roundToInt (fontHeight * 8.0f);
    textButtonMoreInfo.setBounds (inside.removeFromRight (buttonWidth).withSizeKeepingCentre (buttonWidth, rowHeight));
    toggleButtonUsageData.setBounds (inside.withSizeKeepingCentre (inside.getWidth(), getToggleHeight()));
}
