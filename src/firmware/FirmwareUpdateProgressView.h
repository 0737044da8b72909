#pragma once

#include <juce_core/juce_core.h>

// What a firmware update shows while it runs: a status line, the progress of the current
// phase and the overall progress. The update thread's timer writes it on the message
// thread; the user interface implements it with the update progress window, whose Stop
// button posts the stop request (0x84000) to the update's owner.
class FirmwareUpdateProgressView
{
public:
    virtual ~FirmwareUpdateProgressView() = default;

    // An error status is drawn in the error colour until the next normal one.
    virtual void setStatus (const juce::String& text, bool isError) = 0;

    // Both fractions run from 0 to 1.
    virtual void setProgress (double phaseFraction, double overallFraction) = 0;

    // Blocks the rest of the program's windows while the update runs.
    virtual void enterModalState() = 0;

    // Ends the modal state (with result 1) and hides the view; the update is over.
    virtual void close() = 0;
};
