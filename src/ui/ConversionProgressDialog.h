#pragma once

#include "archive/ConversionProgressWindow.h"
#include <juce_gui_basics/juce_gui_basics.h>

// The modal progress window of a background job: its title, the job's status line, a
// progress bar and the stop button. Pressing the button asks the job to stop once and
// disables the button; the window stays until the job has ended and its owner deletes it.
class ConversionProgressDialog : public ConversionProgressWindow,
                                 private juce::Timer
{
public:
    ConversionProgressDialog (const juce::String& title, const juce::String& stopButtonText, Job& job);
    ~ConversionProgressDialog() override;

    // Makes the factory that the program's windows use.
    static void install();

private:
    void timerCallback() override;

    Job& job;
    double progress = -1.0;
    juce::String shownStatus;
    bool stopSent = false;
    std::unique_ptr<juce::AlertWindow> window;

    JUCE_DECLARE_NON_COPYABLE (ConversionProgressDialog)
};
