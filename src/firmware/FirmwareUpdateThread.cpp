// The life of a firmware update: making and ending it, starting and stopping it, the run of
// its steps and the waits they share. The steps are in FirmwareUpdateThreadPreparation.cpp
// (before the image goes out), FirmwareUpdateThreadSending.cpp (the image and the reboot)
// and FirmwareUpdateThreadRestore.cpp (after the reboot); the timer that drives the window
// is in FirmwareUpdateThreadReporting.cpp.

#include "firmware/FirmwareUpdateThread.h"
#include "core/InfoCodes.h"
#include "device/DeviceManager.h"
#include <mutex>

namespace
{
    // Every update that exists, for stopping them at shutdown (message thread).
    std::mutex instancesLock;
    juce::Array<FirmwareUpdateThread*> instances;
}

//==============================================================================
FirmwareUpdateThread::FirmwareUpdateThread (FirmwareUpdateHost& o, const FirmwareUpdateElement& t)
    : juce::Thread ("FirmwareUpdateThread"),
      owner (o),
      target (t),
      timings (getFirmwareUpdateTimings()),
      targetVersion (t.getVersion())
{
    if (auto* devices = getDeviceManager())
    {
        if (auto* data = devices->getDeviceData())
        {
            unitData = data;
            unitFormat = data->getFormat();
            unitVersion = data->getVersion();
        }
    }

    view = owner.createProgressView();
    selfReference = this;

    const std::lock_guard<std::mutex> l (instancesLock);
    instances.add (this);
}

FirmwareUpdateThread::~FirmwareUpdateThread()
{
    {
        const std::lock_guard<std::mutex> l (instancesLock);
        instances.removeFirstMatchingValue (this);
    }

    stopTimer();
    signalThreadShouldExit();
    notify();
    stopThread (timings.threadStopTimeoutMs);
    view.reset();
}

juce::uint32 FirmwareUpdateThread::now()
{
    return juce::Time::getMillisecondCounter();
}

int FirmwareUpdateThread::remainingUntil (juce::uint32 deadline)
{
    const auto left = (int) (deadline - now());
    return left > 0 ? left : 0;
}

bool FirmwareUpdateThread::isActive() const
{
    if (threadShouldExit())
        return false;
    const int s = getState();
    return s != stopped && s != failed;
}

juce::String FirmwareUpdateThread::describeUnrestoredData() const
{
    // Before the image went out, the unit still holds its own presets and setup.
    if (convertedData == nullptr || ! imageSent.load())
        return {};
    return "\n\nYour presets and/or setup data were not written back to " + getDeviceName()
         + ": they have not been restored.";
}

void FirmwareUpdateThread::stopConversion()
{
    const juce::ScopedLock sl (conversionLock);
    if (activeConversion != nullptr)
        activeConversion->requestStop();
}

void FirmwareUpdateThread::changeInfoCallback (const ChangeInfo& info)
{
    machine.changeInfoCallback (info);
}

//==============================================================================
// Starting and stopping

void FirmwareUpdateThread::startUpdate()
{
    if (closed || isFinalState (getState()))
        return;
    startThread();
    startTimer (timings.timerIntervalMs);
    if (view != nullptr)
        view->enterModalState();
}

void FirmwareUpdateThread::stopUpdate (int timeoutMs)
{
    stopTimer();
    endAsStopped (resultStopped);

    if (machine.isDeviceCommandRunning())
        if (auto* devices = getDeviceManager())
            devices->requestCancel();

    signalThreadShouldExit();
    stopConversion();
    notify();
    stopThread (timeoutMs);

    if (! closed)
    {
        closed = true;
        if (view != nullptr)
            view->close();
    }
}

void FirmwareUpdateThread::stopAllUpdates (int timeoutMs)
{
    juce::Array<FirmwareUpdateThread*> all;
    {
        const std::lock_guard<std::mutex> l (instancesLock);
        all = instances;
    }
    for (auto* t : all)
        t->stopUpdate (timeoutMs);
}

//==============================================================================
// The run

void FirmwareUpdateThread::run()
{
    bool ok = prepare() && isActive()
           && convert() && isActive()
           && send() && isActive()
           && waitForTransfer() && isActive();

    if (ok)
    {
        waitForReboot();
        ok = isActive() && rescan() && isActive()
          && checkVersion() && isActive()
          && restore() && isActive();
    }

    if (ok)
    {
        if (machine.finish())
            setPhaseFraction (1.0);
    }

    // Whatever ended the run, the update ends in a final state that says so.
    if (! threadShouldExit() && ! isFinalState (getState()))
        fail ("The firmware update of " + getDeviceName() + " ended unexpectedly. Please restart Larkspire as well as "
              + getDeviceName() + ", and try the update again." + describeUnrestoredData());
}

bool FirmwareUpdateThread::waitFor (int ms)
{
    if (threadShouldExit())
        return false;
    wait (juce::jmax (0, ms));
    return ! threadShouldExit();
}

bool FirmwareUpdateThread::runCommand (int commandId, bool& outRefused)
{
    outRefused = false;

    auto stoppedMeanwhile = [this]
    {
        // Stop pressed before the command ran: nothing more is started.
        if (! machine.isStopRequested())
            return false;
        endAsStopped (resultStopped);
        return true;
    };

    for (int attempt = 0; attempt < commandTries; ++attempt)
    {
        if (attempt > 0 && ! waitFor (timings.commandRetryPauseMs))
            return false;
        if (stoppedMeanwhile() || ! isActive())
            return false;

        commandAnswer = -1;
        auto weak = selfReference;
        juce::MessageManager::callAsync ([weak, commandId]
        {
            auto* t = weak.get();
            if (t == nullptr)
                return;
            // An update that has ended, or is being stopped, starts nothing more.
            const bool ran = ! t->closed && t->isActive() && ! t->machine.isStopRequested()
                          && t->owner.performUpdateCommand (commandId);
            t->commandAnswer = ran ? 1 : 0;
            t->notify();
        });

        const auto deadline = now() + (juce::uint32) timings.commandStartTimeoutMs;
        while (commandAnswer.load() < 0)
        {
            const int left = remainingUntil (deadline);
            if (left <= 0 || ! waitFor (juce::jmin (left, 200)))
                return false;
        }

        if (commandAnswer.load() == 1)
            return true;
        if (stoppedMeanwhile())
            return false;
        outRefused = true;
    }
    return false;
}

bool FirmwareUpdateThread::waitForDeviceCommand (int code, bool& outSilent)
{
    outSilent = false;
    juce::ignoreUnused (code);

    for (;;)
    {
        if (threadShouldExit())
            return false;

        const int ending = machine.getDeviceCommandEnding();
        if (ending != 0)
        {
            machine.forgetDeviceCommand();
            return ending == InfoCode::commandDone && isActive();
        }
        if (! isActive())
            return false;

        const auto silence = (int) (now() - machine.getLastDeviceActivity());
        if (machine.isStopRequested())
        {
            // Stop was pressed while the command runs: it gets its time to end as cancelled.
            const auto sinceStop = (int) (now() - machine.getStopRequestTime());
            if (sinceStop >= timings.stopGraceMs)
            {
                endAsStopped (resultStopped);
                return false;
            }
            wait (juce::jmin (200, timings.stopGraceMs - sinceStop));
            continue;
        }
        if (silence >= timings.deviceSilenceLimitMs)
        {
            outSilent = true;
            return false;
        }
        wait (juce::jmin (200, timings.deviceSilenceLimitMs - silence));
    }
}

bool FirmwareUpdateThread::ask (int questionState, const juce::String& text, int resumeState)
{
    machine.setQuestion (text, resumeState);
    questionTaken = false;
    answer = false;
    if (! setState (questionState))
        return false;

    const auto start = now();
    while (getState() == questionState)
    {
        if (! questionTaken.load() && (int) (now() - start) >= timings.questionPickupMs)
        {
            fail ("The firmware update of " + getDeviceName() + " was stopped because Larkspire could not ask you how to "
                  "go on. Please restart Larkspire and try the update again." + describeUnrestoredData());
            return false;
        }
        if (! waitFor (200))
            return false;
    }
    return isActive() && answer.load();
}

