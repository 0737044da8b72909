// The progress values of a firmware update and how each state weighs the phase fraction.

#include "firmware/FirmwareUpdateProgress.h"

double FirmwareUpdateProgress::getPhaseWeight (int phase)
{
    static const double w[] = { 0.1, 0.05, 0.4, 0.35, 0.1 };
    return juce::isPositiveAndBelow (phase, 5) ? w[phase] : 0.0;
}

void FirmwareUpdateProgress::setPhaseFraction (int s, double f)
{
    f = juce::jlimit (0.0, 1.0, f);

    const juce::ScopedLock sl (progressLock);
    phaseFraction = f;

    auto before = [] (int phase)
    {
        double sum = 0.0;
        for (int i = 0; i < phase; ++i)
            sum += getPhaseWeight (i);
        return sum;
    };

    switch (s)
    {
        case FirmwareUpdateStates::preparing:  overallFraction = getPhaseWeight (0) * f; break;
        case FirmwareUpdateStates::converting: overallFraction = before (1) + getPhaseWeight (1) * f; break;
        case FirmwareUpdateStates::sending:    overallFraction = before (2) + getPhaseWeight (2) * f; break;
        case FirmwareUpdateStates::applying:   overallFraction = before (3) + getPhaseWeight (3) * f; break;
        case FirmwareUpdateStates::rescanning:
        case FirmwareUpdateStates::unitFound:
        case FirmwareUpdateStates::unitNotFound:
        case FirmwareUpdateStates::askingToScan:
            phaseFraction = 1.0;
            overallFraction = before (3) + getPhaseWeight (3) * f;
            break;
        case FirmwareUpdateStates::restoring:  overallFraction = before (4) + getPhaseWeight (4) * f; break;
        case FirmwareUpdateStates::finished:   phaseFraction = overallFraction = 1.0; break;
        case FirmwareUpdateStates::asking:     break;
        default:                               overallFraction = getPhaseWeight (0) * f; break;
    }
}

void FirmwareUpdateProgress::setStatus (const juce::String& text, bool isError)
{
    const juce::ScopedLock sl (progressLock);
    statusText = text;
    statusIsError = isError;
}

juce::String FirmwareUpdateProgress::getStatusText() const
{
    const juce::ScopedLock sl (progressLock);
    return statusText;
}

bool FirmwareUpdateProgress::isStatusError() const
{
    const juce::ScopedLock sl (progressLock);
    return statusIsError;
}

double FirmwareUpdateProgress::getPhaseFraction() const
{
    const juce::ScopedLock sl (progressLock);
    return phaseFraction;
}

double FirmwareUpdateProgress::getOverallFraction() const
{
    const juce::ScopedLock sl (progressLock);
    return overallFraction;
}

FirmwareUpdateProgress::Values FirmwareUpdateProgress::getValues() const
{
    const juce::ScopedLock sl (progressLock);
    return { statusText, statusIsError, phaseFraction, overallFraction };
}

void FirmwareUpdateProgress::startCountingWrites (int toWrite)
{
    const juce::ScopedLock sl (progressLock);
    presetsWritten = 0;
    presetsToWrite = toWrite;
}

double FirmwareUpdateProgress::countWrittenPreset()
{
    const juce::ScopedLock sl (progressLock);
    if (presetsToWrite == 0)
        return -1.0;
    return (double) presetsWritten++ / (double) presetsToWrite;
}
