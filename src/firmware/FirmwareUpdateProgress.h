#pragma once

#include "firmware/FirmwareUpdateStates.h"
#include <juce_core/juce_core.h>

// What the progress window of a firmware update shows: the status text, the progress of the
// current phase and the overall progress, in which each of the five phases (preparing,
// converting, sending, applying, writing back) has its weight. Written by the update's
// thread and by the device events, read by the update's timer; all under one lock.
class FirmwareUpdateProgress
{
public:
    // The weight of phase 0 to 4 in the overall progress.
    static double getPhaseWeight (int phase);

    // The phase fraction (held to 0..1) and the overall fraction it makes in this state.
    void setPhaseFraction (int state, double fraction);
    void setStatus (const juce::String& text, bool isError = false);

    juce::String getStatusText() const;
    bool isStatusError() const;
    double getPhaseFraction() const;
    double getOverallFraction() const;

    // All four at once, as the window shows them.
    struct Values
    {
        juce::String text;
        bool isError = false;
        double phase = 0.0, overall = 0.0;
    };
    Values getValues() const;

    // The write-back counts the presets written against the number to write.
    void startCountingWrites (int presetsToWrite);
    // Counts one written preset; the fraction written before it, or -1 when nothing is counted.
    double countWrittenPreset();

private:
    mutable juce::CriticalSection progressLock;
    double phaseFraction = 0.0, overallFraction = 0.0;
    juce::String statusText;
    bool statusIsError = false;
    int presetsWritten = 0, presetsToWrite = 0;
};
