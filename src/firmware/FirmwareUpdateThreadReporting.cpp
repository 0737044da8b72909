// The update's timer, on the message thread: it drives the progress window, puts the
// update's questions to the user and, once the update is over, reports its end to the owner.

#include "firmware/FirmwareUpdateThread.h"
#include "core/DialogService.h"
#include "core/InfoCodes.h"

namespace
{
    // Keeps the timer's callback from running inside itself while one of its question boxes
    // runs a modal loop (in which the timers of every update keep firing).
    std::atomic<int> timerCallDepth { 0 };
}

void FirmwareUpdateThread::timerCallback()
{
    if (timerCallDepth.fetch_add (1) > 0)
    {
        --timerCallDepth;
        return;
    }
    struct Leave { ~Leave() { --timerCallDepth; } } leave;

    if (closed)
        return;

    if (isThreadRunning())
    {
        const int s = getState();

        if (s == applying)
        {
            const double elapsed = juce::Time::getMillisecondCounterHiRes() - machine.getRebootWaitStartMs();
            if (rebootWaitMs > 0.0 && elapsed < rebootWaitMs)
                setPhaseFraction (elapsed / rebootWaitMs);
        }
        else if (s == asking)
        {
            questionTaken = true;
            int resume;
            const auto text = machine.getQuestion (resume);
            const bool yes = getDialogService().showMessageBox (DialogService::Icon::question, "Firmware Update", text,
                                                                { "Yes", "No" }, owner.getDialogParent()) == 0;
            answer = yes;
            moveState (asking, resume);
            notify();
        }
        else if (s == askingToScan)
        {
            questionTaken = true;
            int resume;
            const auto text = machine.getQuestion (resume);
            const bool keepScanning = getDialogService().showMessageBox (DialogService::Icon::question,
                                                                         "Device Detection Failure", text,
                                                                         { "Continue Scanning", "Stop" },
                                                                         owner.getDialogParent()) == 0;
            answer = keepScanning;
            moveState (askingToScan, keepScanning ? rescanning : stopped);
            notify();
        }

        if (! closed && ! isFinalState (getState()))
        {
            const auto shown = machine.getProgress().getValues();
            if (view != nullptr)
            {
                view->setStatus (shown.text, shown.isError);
                view->setProgress (shown.phase, shown.overall);
            }
            return;
        }
    }

    closeUpdate (true);
}

void FirmwareUpdateThread::closeUpdate (bool report)
{
    if (closed)
        return;
    closed = true;

    stopTimer();
    signalThreadShouldExit();
    notify();
    stopThread (timings.threadStopTimeoutMs);

    if (view != nullptr)
        view->close();

    if (report)
        owner.getUpdateListener().postMessage (new DeviceInfoMessage (InfoCode::firmwareUpdateEnded, 0, 0, getDeviceName()));
}
