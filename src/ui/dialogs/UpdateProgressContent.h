#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// The inside of the firmware update window: the status line, the progress of the current
// phase, the overall progress and the Stop button, top to bottom.
class UpdateProgressContent : public juce::Component
{
public:
    explicit UpdateProgressContent (float uiScale);
    ~UpdateProgressContent() override;

    void paint (juce::Graphics&) override;
    void resized() override;

    // Both fractions start at 0; the bars read them when they repaint.
    double phaseFraction = 0.0;
    double overallFraction = 0.0;

    juce::Label labelStatus;
    juce::ProgressBar progressBarPhase { phaseFraction };
    juce::Label labelOverallProgress;
    juce::ProgressBar progressBarOverall { overallFraction };
    juce::TextButton textButtonStop { "Stop" };

private:
    const float scale;

    JUCE_DECLARE_NON_COPYABLE (UpdateProgressContent)
};
