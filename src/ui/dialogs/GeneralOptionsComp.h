#pragma once

#include "ui/dialogs/OptionsComponentPage.h"

// "General": the interface scale (75 % to 250 % in steps of 5) with a text preview, and
// the usage-data choice.
class GeneralOptionsComp : public OptionsComponentPage,
                           private juce::Slider::Listener,
                           private juce::Button::Listener
{
public:
    GeneralOptionsComp();
    ~GeneralOptionsComp() override;

    void restoreDefaults() override;
    // Stores the scale when it was changed (and notes that a restart is needed) and the
    // usage-data choice.
    void store() override;

    bool isRestartNeeded() const noexcept { return restartNeeded; }

    void resized() override;

    juce::Label labelResolution;
    juce::Slider sliderResolution;
    juce::Label labelResolutionValue;
    juce::Label labelTextSize;
    juce::GroupComponent groupComponentUsageData;
    juce::ToggleButton toggleButtonUsageData { "Send Anonymous Usage Data to Ardentis" };
    juce::TextButton textButtonMoreInfo { "More Info..." };

private:
    void sliderValueChanged (juce::Slider*) override;
    void buttonClicked (juce::Button*) override;
    void showSliderValue();

    double initialSliderValue = 100.0;
    bool restartNeeded = false;

    JUCE_DECLARE_NON_COPYABLE (GeneralOptionsComp)
};
