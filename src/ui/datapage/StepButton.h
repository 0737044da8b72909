#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// One step position of a preset in the preset details: a circle, filled for a step
// that exists and hollow for an empty position; a selected step is ringed.
class StepButton : public juce::ImageButton
{
public:
    static constexpr int radioGroup = 100;

    explicit StepButton (int stepIndex);

    int getStepIndex() const noexcept { return stepIndex; }
    bool hasStep() const noexcept { return step; }
    // Redraws the images for the new state.
    void setHasStep (bool shouldHaveStep);

private:
    void redraw();

    int stepIndex;
    bool step = false;
};
