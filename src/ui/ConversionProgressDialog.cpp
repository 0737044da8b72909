#include "ui/ConversionProgressDialog.h"

ConversionProgressDialog::ConversionProgressDialog (const juce::String& title, const juce::String& stopButtonText,
                                                    Job& j)
    : job (j)
{
    progress = job.getProgress();
    shownStatus = job.getStatusMessage();

    window.reset (juce::LookAndFeel::getDefaultLookAndFeel().createAlertWindow (
        title, shownStatus, stopButtonText, {}, {}, juce::MessageBoxIconType::NoIcon, 1, nullptr));
    window->addProgressBarComponent (progress);
    window->enterModalState (true);
    startTimer (100);
}

ConversionProgressDialog::~ConversionProgressDialog()
{
    stopTimer();
    if (window != nullptr)
        window->exitModalState (0);
    window.reset();
}

void ConversionProgressDialog::timerCallback()
{
    progress = job.getProgress();
    const auto status = job.getStatusMessage();
    if (status != shownStatus)
    {
        shownStatus = status;
        window->setMessage (status);
    }

    // The button ends the window's modal state; the job is asked to stop once, and the
    // window stays in front, blocking the program, until the job has wound up.
    if (! window->isCurrentlyModal())
    {
        if (! stopSent)
        {
            stopSent = true;
            for (auto* child : window->getChildren())
                if (auto* button = dynamic_cast<juce::Button*> (child))
                    button->setEnabled (false);
            job.stopPressed();
        }
        window->enterModalState (true);
    }
}

void ConversionProgressDialog::install()
{
    ConversionProgressWindow::setFactory ([] (const juce::String& title, const juce::String& stopText, Job& job)
    {
        return std::unique_ptr<ConversionProgressWindow> (new ConversionProgressDialog (title, stopText, job));
    });
}
