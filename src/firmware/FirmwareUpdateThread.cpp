#include "firmware/FirmwareUpdateThread.h"
#include "core/DialogService.h"
#include "core/InfoCodes.h"
#include "device/DeviceErrors.h"
#include "device/DeviceManager.h"
#include "device/DeviceObject.h"
#include "device/DeviceProfiler.h"
#include "device/SysExFileAnalysis.h"
#include <mutex>

namespace
{
    // Keeps the timer's callback from running inside itself while one of its question boxes
    // runs a modal loop (in which the timers of every update keep firing).
    std::atomic<int> timerCallDepth { 0 };

    // Every update that exists, for stopping them at shutdown (message thread).
    std::mutex instancesLock;
    juce::Array<FirmwareUpdateThread*> instances;

    // User data whose write-back command may still sit in a device queue when its update is
    // deleted: the device thread holds a plain pointer to it, so it is kept to the end.
    std::mutex retainedLock;
    std::vector<std::unique_ptr<DeviceData>>& retainedData()
    {
        static std::vector<std::unique_ptr<DeviceData>> kept;
        return kept;
    }

    juce::uint32 now() { return juce::Time::getMillisecondCounter(); }

    int remainingUntil (juce::uint32 deadline)
    {
        const auto left = (int) (deadline - now());
        return left > 0 ? left : 0;
    }

    const char* const internalErrorCode1A = "An internal error occurred before the update could start. Please restart "
                                            "Larkspire and try again. If the problem persists, please contact support. Code: 1A.";
    const char* const internalErrorCode1B = "An internal error occurred before the update could start. Please restart "
                                            "Larkspire and try again. If the problem persists, please contact support. Code: 1B.";
    const char* const internalErrorCode1C = "An internal error occurred before the update could start. Please restart "
                                            "Larkspire and try again. If the problem persists, please contact support. Code: 1C.";
    const char* const invalidBuildCode1C = "An internal error occurred before the update could start. You are trying to "
                                           "update to an invalid firmware build. Code: 1C.";
    const char* const imageMissing = "The firmware update image does not exist.";
    const char* const imageInvalid = "The firmware update image does not contain valid firmware data.";
    const char* const noWindow = "Memory allocation error. Code: 3";

    constexpr int maxDeviceAttempts = 10;   // the device threads' attempts, shown in retry texts
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

    if (convertedDataInUse.load() && convertedData != nullptr)
    {
        const std::lock_guard<std::mutex> l (retainedLock);
        retainedData().push_back (std::move (convertedData));
    }
}

//==============================================================================
// State

int FirmwareUpdateThread::getState() const
{
    const juce::ScopedLock sl (stateLock);
    return state;
}

int FirmwareUpdateThread::getResultCode() const
{
    const juce::ScopedLock sl (stateLock);
    return resultCode;
}

juce::String FirmwareUpdateThread::getErrorText() const
{
    const juce::ScopedLock sl (stateLock);
    return errorText;
}

bool FirmwareUpdateThread::isActive() const
{
    if (threadShouldExit())
        return false;
    const int s = getState();
    return s != stopped && s != failed;
}

juce::Array<int> FirmwareUpdateThread::getStateHistory() const
{
    const juce::ScopedLock sl (stateLock);
    return stateHistory;
}

void FirmwareUpdateThread::enterState (int newState)
{
    if (newState != state)
        stateHistory.add (newState);
    state = newState;
}

bool FirmwareUpdateThread::setState (int newState)
{
    const juce::ScopedLock sl (stateLock);
    if (isFinalState (state))
        return false;
    enterState (newState);
    return true;
}

bool FirmwareUpdateThread::moveState (int from, int to)
{
    const juce::ScopedLock sl (stateLock);
    if (state != from || isFinalState (state))
        return false;
    enterState (to);
    return true;
}

void FirmwareUpdateThread::fail (const juce::String& text)
{
    {
        const juce::ScopedLock sl (stateLock);
        if (isFinalState (state))
            return;
        enterState (failed);
        errorText = text;
        resultCode = resultFailed;
    }
    notify();
}

void FirmwareUpdateThread::endAsStopped (int result)
{
    {
        const juce::ScopedLock sl (stateLock);
        if (isFinalState (state))
            return;
        enterState (stopped);
        resultCode = result;
    }
    notify();
}

//==============================================================================
// Progress

double FirmwareUpdateThread::getPhaseWeight (int phase)
{
    static const double w[] = { 0.1, 0.05, 0.4, 0.35, 0.1 };
    return juce::isPositiveAndBelow (phase, 5) ? w[phase] : 0.0;
}

void FirmwareUpdateThread::setPhaseFraction (double f)
{
    f = juce::jlimit (0.0, 1.0, f);
    const int s = getState();   // never under the progress lock

    const juce::ScopedLock sl (progressLock);
    phaseFraction = f;

    auto before = [this] (int phase)
    {
        double sum = 0.0;
        for (int i = 0; i < phase; ++i)
            sum += weights[i];
        return sum;
    };

    switch (s)
    {
        case preparing:  overallFraction = weights[0] * f; break;
        case converting: overallFraction = before (1) + weights[1] * f; break;
        case sending:    overallFraction = before (2) + weights[2] * f; break;
        case applying:   overallFraction = before (3) + weights[3] * f; break;
        case rescanning:
        case unitFound:
        case unitNotFound:
        case askingToScan:
            phaseFraction = 1.0;
            overallFraction = before (3) + weights[3] * f;
            break;
        case restoring:  overallFraction = before (4) + weights[4] * f; break;
        case finished:   phaseFraction = overallFraction = 1.0; break;
        case asking:     break;
        default:         overallFraction = weights[0] * f; break;
    }
}

void FirmwareUpdateThread::setStatus (const juce::String& text, bool isError)
{
    const juce::ScopedLock sl (progressLock);
    statusText = text;
    statusIsError = isError;
}

juce::String FirmwareUpdateThread::getStatusText() const
{
    const juce::ScopedLock sl (progressLock);
    return statusText;
}

bool FirmwareUpdateThread::isStatusError() const
{
    const juce::ScopedLock sl (progressLock);
    return statusIsError;
}

double FirmwareUpdateThread::getPhaseFraction() const
{
    const juce::ScopedLock sl (progressLock);
    return phaseFraction;
}

double FirmwareUpdateThread::getOverallFraction() const
{
    const juce::ScopedLock sl (progressLock);
    return overallFraction;
}

//==============================================================================
// Before the start

bool FirmwareUpdateThread::preCheck()
{
    auto refuse = [this] (const juce::String& text)
    {
        fail (text);
        return false;
    };

    auto* devices = getDeviceManager();
    auto device = devices != nullptr ? devices->getDeviceObject (-1) : nullptr;
    const DeviceCaps* currentCaps = device != nullptr ? device->getDeviceCaps() : nullptr;
    if (devices != nullptr)
    {
        deviceName = devices->getDeviceDisplayName();
        serialNumber = devices->getSerialNumber (-1);
    }

    if (view == nullptr)
        return refuse (noWindow);

    if (unitData == nullptr || currentCaps == nullptr)
        return refuse (internalErrorCode1A);

    const auto path = target.getImageFile();
    if (path.isEmpty() || ! juce::File::isAbsolutePath (path) || ! juce::File (path).existsAsFile())
        return refuse (imageMissing);
    const juce::File imageFile (path);

    DeviceQuery query (unitFormat.productId);
    if (checkFirmwareImageHeader (query, imageFile, unitFormat, currentCaps) != 8)
        return refuse (imageInvalid);

    // The whole image is cut into its messages now: an image that is not all well-framed
    // messages, or holds nothing after its opening message, is refused before anything
    // reaches the unit.
    image = std::make_unique<juce::OwnedArray<juce::MidiMessage>>();
    if (! splitFirmwareImage (imageFile, *image) || image->size() < 2)
    {
        image.reset();
        return refuse (imageInvalid);
    }

    targetCaps = DeviceProfiler::createDeviceCaps (unitFormat.productId, targetVersion.build);
    if (targetCaps == nullptr)
        return refuse (internalErrorCode1B);
    if (! targetCaps->isBuildValid())
        return refuse (invalidBuildCode1C);

    rebootWaitSeconds = (double) targetCaps->getBootTime() + (double) currentCaps->getProgramTime() + 3.0;
    rebootWaitMs = rebootWaitSeconds * 1000.0 * timings.rebootWaitScale;

    if (currentCaps->isBuildValid())
        target.getDataVersionChanges (unitFormat, presetVersionsChange, setupVersionsChange);
    return true;
}

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

    if (runningDeviceCommand.load() != 0 && deviceCommandEnding.load() == 0)
        if (auto* devices = getDeviceManager())
            devices->requestCancel();

    signalThreadShouldExit();
    {
        const juce::ScopedLock sl (conversionLock);
        if (activeConversion != nullptr)
            activeConversion->requestStop();
    }
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
        bool done = false;
        {
            const juce::ScopedLock sl (stateLock);
            if (! isFinalState (state))
            {
                enterState (finished);
                resultCode = resultFinished;
                done = true;
            }
        }
        if (done)
            setPhaseFraction (1.0);
    }

    // Whatever ended the run, the update ends in a final state that says so.
    if (! threadShouldExit() && ! isFinalState (getState()))
        fail ("The firmware update of " + deviceName + " ended unexpectedly. Please restart Larkspire as well as "
              + deviceName + ", and try the update again." + describeUnrestoredData());
}

bool FirmwareUpdateThread::waitFor (int ms)
{
    if (threadShouldExit())
        return false;
    wait (juce::jmax (0, ms));
    return ! threadShouldExit();
}

void FirmwareUpdateThread::noteDeviceActivity()
{
    lastDeviceActivity = now();
}

juce::String FirmwareUpdateThread::describeUnrestoredData() const
{
    // Before the image went out, the unit still holds its own presets and setup.
    if (convertedData == nullptr || ! imageSent.load())
        return {};
    return "\n\nYour presets and/or setup data were not written back to " + deviceName
         + ": they have not been restored.";
}

bool FirmwareUpdateThread::runCommand (int commandId, bool& outRefused)
{
    outRefused = false;

    auto stoppedMeanwhile = [this]
    {
        // Stop pressed before the command ran: nothing more is started.
        if (! stopRequested.load())
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
            const bool ran = ! t->closed && t->isActive() && ! t->stopRequested.load()
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

        const int ending = deviceCommandEnding.load();
        if (ending != 0)
        {
            runningDeviceCommand = 0;
            return ending == InfoCode::commandDone && isActive();
        }
        if (! isActive())
            return false;

        const auto silence = (int) (now() - lastDeviceActivity.load());
        if (stopRequested.load())
        {
            // Stop was pressed while the command runs: it gets its time to end as cancelled.
            const auto sinceStop = (int) (now() - stopRequestTime.load());
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
    {
        const juce::ScopedLock sl (stateLock);
        questionText = text;
        questionResumeState = resumeState;
    }
    questionTaken = false;
    answer = false;
    if (! setState (questionState))
        return false;

    const auto start = now();
    while (getState() == questionState)
    {
        if (! questionTaken.load() && (int) (now() - start) >= timings.questionPickupMs)
        {
            fail ("The firmware update of " + deviceName + " was stopped because Larkspire could not ask you how to "
                  "go on. Please restart Larkspire and try the update again." + describeUnrestoredData());
            return false;
        }
        if (! waitFor (200))
            return false;
    }
    return isActive() && answer.load();
}

//==============================================================================
// The steps

bool FirmwareUpdateThread::prepare()
{
    if (! moveState (created, preparing))
        return false;
    setStatus ("Preparing for update");

    if (! presetVersionsChange && ! setupVersionsChange)
        return true;

    // The unit's presets and setup are read first: the new firmware needs them converted.
    runningDeviceCommand = DeviceCommand::readAll;
    deviceCommandEnding = 0;
    noteDeviceActivity();

    bool refused = false;
    if (! runCommand (FirmwareUpdateHost::downloadDeviceData, refused))
    {
        runningDeviceCommand = 0;
        if (isActive())
            fail ("Larkspire could not start reading the presets and setup data of " + deviceName
                  + ", so the update was not started. Nothing on your device has been altered. Please restart "
                    "Larkspire and try again.");
        return false;
    }

    bool silent = false;
    if (waitForDeviceCommand (DeviceCommand::readAll, silent))
        return true;
    if (silent && isActive())
        fail ("Larkspire did not receive the presets and setup data of " + deviceName
              + " in time, so the update was not started. Nothing on your device has been altered. Please restart "
                "Larkspire as well as " + deviceName + ", and try again.");
    return false;
}

bool FirmwareUpdateThread::convert()
{
    if (! presetVersionsChange && ! setupVersionsChange)
        return true;

    auto* data = unitData.get();
    if (data == nullptr)
    {
        fail (internalErrorCode1C);
        return false;
    }

    juce::Array<int> indices;
    if (presetVersionsChange)
    {
        indices = data->getNonFactoryPresetIndices();
        indices.removeFirstMatchingValue (0);   // slot 0 holds no user preset
    }
    if (indices.isEmpty() && ! setupVersionsChange)
        return true;   // only factory presets, which the new firmware brings itself

    if (! setState (converting))
        return false;
    setStatus ("Converting user data");
    setPhaseFraction (0.0);

    userData = data->createCopy (indices, true, true);
    if (userData == nullptr)
    {
        fail (internalErrorCode1C);
        return false;
    }
    if (! setupVersionsChange)
        userData->clearSetup();

    DataConversionManager manager;
    manager.addListener (this);
    {
        const juce::ScopedLock sl (conversionLock);
        activeConversion = &manager;
    }
    if (isActive())
        convertedData = manager.convertDeviceData (*userData, targetCaps->getProductId(), targetVersion);
    {
        const juce::ScopedLock sl (conversionLock);
        activeConversion = nullptr;
    }
    manager.removeListener (this);

    if (! isActive())
        return false;

    if (convertedData == nullptr || manager.hasErrors())
    {
        juce::String text;
        if (convertedData == nullptr)
            text = "Larkspire has encountered an error while preparing your device's preset and/or setup data for "
                   "the firmware update. You can ignore this error and continue with the update; however, your "
                   "presets and/or setup data will be erased after the update. Nothing on your device has been "
                   "altered yet. Do you want to continue with the update anyway?";
        else if (convertedData->countPresets() != indices.size())
            text = "Larkspire is unable to update the preset data on your device. Please restart Larkspire and try "
                   "the update again. You can ignore this error and apply the update; however, it will most likely "
                   "result in your presets being erased. Do you want to continue with the update anyway?";
        else if (setupVersionsChange && ! convertedData->getSetup().isComplete())
            text = "Larkspire is unable to update your device's setup. Applying the update will most likely result "
                   "in your device's configuration being reset to a default state. Do you want to continue with the "
                   "update anyway?";
        else
            text = "Larkspire has encountered an error while preparing your device's preset and/or setup data for "
                   "the firmware update. You can ignore this error and continue with the update; however, your "
                   "presets and/or setup data will be erased after the update. Nothing on your device has been "
                   "altered yet. Do you want to continue with the update anyway?";

        text << "\n\nError code: " << manager.getErrors().toString (16)
             << "\nError info: " << manager.getErrorText();

        const bool yes = ask (asking, text, converting);

        if (! yes)
        {
            // The user ends the update here; nothing was sent.
            setState (stopped);
            return false;
        }
    }

    // Nothing to write back: no preset and no complete setup came out of the conversion.
    if (convertedData != nullptr && convertedData->countPresets() == 0 && ! convertedData->getSetup().isComplete())
        convertedData.reset();
    return isActive();
}

bool FirmwareUpdateThread::send()
{
    if (! setState (sending))
        return false;

    if (stopRequested.load())
    {
        endAsStopped (resultStopped);
        return false;
    }

    auto* devices = getDeviceManager();
    if (image == nullptr || image->size() < 2 || devices == nullptr)
    {
        fail (image == nullptr ? juce::String (imageInvalid) : juce::String (internalErrorCode1A));
        return false;
    }

    setStatus ("Sending update to " + deviceName);
    setPhaseFraction (0.0);

    runningDeviceCommand = DeviceCommand::rawSend;
    deviceCommandEnding = 0;
    noteDeviceActivity();

    // A Stop that came in meanwhile ended the update before anything was posted.
    if (stopRequested.load() || ! isActive())
    {
        runningDeviceCommand = 0;
        endAsStopped (resultStopped);
        return false;
    }
    imageSent = true;
    devices->postMessage (new DeviceCommandMessage (std::move (image), {}));
    return true;
}

bool FirmwareUpdateThread::waitForTransfer()
{
    bool silent = false;
    if (waitForDeviceCommand (DeviceCommand::rawSend, silent))
    {
        // Stop came while the last block was on its way: the update ends here, with the
        // unit applying what it received.
        if (stopRequested.load())
        {
            endAsStopped (resultStopped);
            return false;
        }
        return isActive();
    }
    if (silent && isActive())
        fail (deviceName + " stopped responding while the firmware update was being sent. Please power cycle "
              + deviceName + ", restart Larkspire and try the update again.");
    return false;
}

void FirmwareUpdateThread::waitForReboot()
{
    const int connectionsBefore = unitConnections.load();
    const auto deadline = now() + (juce::uint32) juce::jmax (0.0, rebootWaitMs);

    // Ended early by a unit that connects, by Stop and by the thread's exit.
    while (isActive() && getState() == applying && unitConnections.load() == connectionsBefore)
    {
        const int left = remainingUntil (deadline);
        if (left <= 0 || ! waitFor (juce::jmin (left, 200)))
            break;
    }
}

bool FirmwareUpdateThread::rescan()
{
    for (;;)
    {
        {
            const int s = getState();
            if (s == unitFound || s == finished)
                return true;
        }

        for (int tries = 0; tries < rescanTries; ++tries)
        {
            if (! setState (rescanning) || ! isActive())
                return false;

            const int resultsBefore = scanResults.load();
            bool refused = false;
            if (! runCommand (FirmwareUpdateHost::scanForDevices, refused))
            {
                if (isActive())
                    fail ("The firmware update was sent to " + deviceName + ", but Larkspire could not scan for the "
                          "device afterwards. Please restart Larkspire and check that " + deviceName
                          + " has restarted." + describeUnrestoredData());
                return false;
            }

            const auto deadline = now() + (juce::uint32) timings.scanTimeoutMs;
            while (isActive() && scanResults.load() == resultsBefore && getState() == rescanning)
            {
                const int left = remainingUntil (deadline);
                if (left <= 0 || ! waitFor (juce::jmin (left, 200)))
                    break;
            }
            if (! isActive())
                return false;
            if (getState() == unitFound)
                return true;

            // A scan whose result never came counts as one that did not find the unit.
            moveState (rescanning, unitNotFound);
            if (! waitFor (timings.rescanGapMs))
                return false;
        }

        if (! isActive())
            return false;

        juce::String text = "Larkspire is unable to find your " + deviceName + ". It should have rebooted by now. "
            "Would you like Larkspire to keep scanning for the device or do you want to stop the update?\n\r"
            "Typically a firmware update is complete once the LEDs stop blinking and the device reboots. If the "
            "device seems to be inoperative for several minutes you can power cycle it and when your " + deviceName
            + " boots up you can then click 'Continue Scanning'. If Larkspire still fails to detect the device, "
              "restart Larkspire and reboot your " + deviceName + " again. If " + deviceName
            + " hasn't updated to the new version, try the update again.";
        if (convertedData != nullptr)
            text << "\n\rNote: Larkspire still needs to update preset and/or setup data on your " << deviceName
                 << ". If you stop the update now, this data may be lost.";

        if (! ask (askingToScan, text, rescanning))
            return false;   // "Stop" (state stopped, result 0) or the end of the thread
    }
}

bool FirmwareUpdateThread::checkVersion()
{
    if (stopRequested.load())
    {
        endAsStopped (resultStopped);
        return false;
    }

    for (int attempt = 0; attempt < connectTries; ++attempt)
    {
        if (! isActive())
            return false;

        const int connectionsBefore = unitConnections.load();
        bool refused = false;
        if (runCommand (FirmwareUpdateHost::connectSelectedDevice, refused))
        {
            const auto deadline = now() + (juce::uint32) timings.connectWaitMs;
            while (isActive() && unitConnections.load() == connectionsBefore)
            {
                const int left = remainingUntil (deadline);
                if (left <= 0 || ! waitFor (juce::jmin (left, 200)))
                    break;
            }
        }
        if (! isActive())
            return false;
        if (stopRequested.load())
        {
            endAsStopped (resultStopped);
            return false;
        }

        auto* devices = getDeviceManager();
        if (devices == nullptr || devices->getDeviceObject (-1) == nullptr)
            continue;

        if (devices->getFirmwareVersion (-1).build != targetVersion.build
            || devices->getProductId (-1) != unitFormat.productId)
        {
            fail (deviceName + " has rebooted, but the firmware update was rejected. Please try again.");
            return false;
        }
        return true;
    }

    fail (deviceName + " has rebooted, but Larkspire could not connect to it again to check its new firmware."
          + describeUnrestoredData() + " Please restart Larkspire as well as " + deviceName + ".");
    return false;
}

bool FirmwareUpdateThread::restore()
{
    if (! setState (restoring))
        return false;
    if (convertedData == nullptr)
        return true;

    {
        const juce::ScopedLock sl (progressLock);
        presetsWritten = 0;
        presetsToWrite = convertedData->countPresets();
    }
    setStatus ("Updating user data");
    setPhaseFraction (0.0);

    auto* devices = getDeviceManager();
    if (devices == nullptr)
    {
        fail ("Larkspire could not write your presets and/or setup data back to " + deviceName + "."
              + describeUnrestoredData());
        return false;
    }

    runningDeviceCommand = DeviceCommand::writeWholeData;
    deviceCommandEnding = 0;
    convertedDataInUse = true;
    noteDeviceActivity();
    devices->postMessage (new DeviceCommandMessage (DeviceCommand::writeWholeData, convertedData.get(), {}));

    bool silent = false;
    const bool done = waitForDeviceCommand (DeviceCommand::writeWholeData, silent);
    if (deviceCommandEnding.load() != 0)
        convertedDataInUse = false;   // the device thread is done with the data

    if (! done)
    {
        if (silent && isActive())
            fail (deviceName + " stopped responding while Larkspire was writing your presets and/or setup data back."
                  + describeUnrestoredData() + " Please restart Larkspire as well as " + deviceName + ".");
        return false;
    }
    return getState() == restored;
}

//==============================================================================
// Conversion progress, on the thread

void FirmwareUpdateThread::presetConverted (int numDone, int numTotal)
{
    setPhaseFraction ((double) numDone / (double) (numTotal + 1));
}

void FirmwareUpdateThread::setupConverted()
{
    setPhaseFraction (1.0);
}

//==============================================================================
// Device events, on the message thread

void FirmwareUpdateThread::changeInfoCallback (const ChangeInfo& info)
{
    if (info.kind != ChangeInfo::deviceEvent)
        return;
    handleDeviceEvent (info.event);
}

void FirmwareUpdateThread::handleDeviceEvent (const DeviceInfoMessage& e)
{
    const bool ownCommand = e.command.code != 0 && e.command.code == runningDeviceCommand.load();

    switch (e.code)
    {
        case InfoCode::unitConnection:
            if (e.p1 == 1)
            {
                ++unitConnections;
                notify();
            }
            break;

        case InfoCode::scanFinished:
        {
            const int s = getState();
            if (s == rescanning || s == unitNotFound)
            {
                auto* devices = getDeviceManager();
                const auto product = unitFormat.productId;
                if (devices != nullptr && devices->isDeviceConnected (product, serialNumber.load()))
                {
                    moveState (s, unitFound);
                }
                else if (devices != nullptr && devices->isDeviceConnected (product, 0))
                {
                    if (moveState (s, unitFound))
                        serialNumber = 0;
                }
                else
                {
                    moveState (s, unitNotFound);
                }
                setPhaseFraction (1.0);
            }
            ++scanResults;
            notify();
            break;
        }

        case InfoCode::presetRead:
        case InfoCode::presetEmpty:
            noteDeviceActivity();
            setStatus (juce::String::formatted ("Analyzing preset %d: ", e.p1)
                       + (e.code == InfoCode::presetEmpty ? juce::String ("<empty>") : e.text));
            if (unitFormat.numPresets > 0)
                setPhaseFraction ((double) e.p1 / (double) unitFormat.numPresets);
            break;

        case InfoCode::presetWritten:
        {
            noteDeviceActivity();
            setStatus (juce::String::formatted ("Updating preset %d: ", e.p1) + e.text);
            double fraction = -1.0;
            {
                const juce::ScopedLock sl (progressLock);
                if (presetsToWrite != 0)
                    fraction = (double) presetsWritten++ / (double) presetsToWrite;
            }
            if (fraction >= 0.0)
                setPhaseFraction (fraction);
            break;
        }

        case InfoCode::presetReadAttemptFailed:
        case InfoCode::presetWriteAttemptFailed:
            noteDeviceActivity();
            setStatus (juce::String::formatted ("Transmission error on preset %d  [retry %d/%d]",
                                                e.p1, e.p2, maxDeviceAttempts), true);
            break;

        case InfoCode::setupPacketSent:
            noteDeviceActivity();
            setStatus ("Updating setup");
            break;

        case InfoCode::setupReadAttemptFailed:
        case InfoCode::setupWriteAttemptFailed:
            noteDeviceActivity();
            setStatus (juce::String::formatted ("Transmission error on setup data  [retry %d/%d]",
                                                e.p2, maxDeviceAttempts), true);
            break;

        case InfoCode::firmwareBlockSent:
            noteDeviceActivity();
            setStatus ("Sending update to " + deviceName);
            // Blocks 2 to n of n messages: the last one fills the phase.
            if (e.p2 > 1)
                setPhaseFraction ((double) (e.p1 - 1) / (double) (e.p2 - 1));
            break;

        case InfoCode::firmwareBlockResent:
            noteDeviceActivity();
            setStatus (juce::String::formatted ("Transmission error on packet %d, attempt %d", e.p1, e.p2), true);
            break;

        case InfoCode::unitNeedsTime:
            noteDeviceActivity();
            break;

        case InfoCode::commandDone:
            if (! ownCommand)
                break;
            noteDeviceActivity();
            if (e.command.code == DeviceCommand::writeWholeData)
            {
                moveState (restoring, restored);
            }
            else if (e.command.code == DeviceCommand::readAll)
            {
                moveState (preparing, converting);
            }
            else if (e.command.code == DeviceCommand::rawSend)
            {
                if (moveState (sending, applying))
                {
                    setStatus ("Waiting for " + deviceName + " to apply the update");
                    rebootWaitStartMs = juce::Time::getMillisecondCounterHiRes();
                    setPhaseFraction (1.0);
                }
            }
            deviceCommandEnding = InfoCode::commandDone;
            notify();
            break;

        case InfoCode::commandCancelled:
            if (! ownCommand)
                break;
            noteDeviceActivity();
            endAsStopped (resultStopped);
            deviceCommandEnding = InfoCode::commandCancelled;
            notify();
            break;

        case InfoCode::commandFailed:
        {
            if (e.command.code == DeviceCommand::reidentify)
                break;
            auto* devices = getDeviceManager();
            auto device = devices != nullptr ? devices->getDeviceObject (-1) : nullptr;
            const int code = device != nullptr && device->getErrorCode() != 0 ? device->getErrorCode()
                                                                               : (int) DeviceError::internalError;
            auto text = getDeviceErrorText (code, deviceName);
            if (getState() == restoring)
                text << describeUnrestoredData();
            fail (text);
            if (ownCommand)
                deviceCommandEnding = InfoCode::commandFailed;
            notify();
            break;
        }

        case InfoCode::stopFirmwareUpdate:
            handleStopRequest();
            break;

        default:
            break;
    }
}

void FirmwareUpdateThread::handleStopRequest()
{
    setStatus ("Stopping update!!!");
    stopRequestTime = now();
    stopRequested = true;

    if (auto* devices = getDeviceManager())
        devices->requestCancel();

    // With a device command under way the update ends when the command does (it ends as
    // cancelled; the thread gives it its time). Otherwise it ends now.
    const bool commandRunning = runningDeviceCommand.load() != 0 && deviceCommandEnding.load() == 0;
    if (! commandRunning)
    {
        endAsStopped (resultStopped);
        const juce::ScopedLock sl (conversionLock);
        if (activeConversion != nullptr)
            activeConversion->requestStop();
    }
    notify();
}

//==============================================================================
// The timer, on the message thread

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
            const double elapsed = juce::Time::getMillisecondCounterHiRes() - rebootWaitStartMs;
            if (rebootWaitMs > 0.0 && elapsed < rebootWaitMs)
                setPhaseFraction (elapsed / rebootWaitMs);
        }
        else if (s == asking)
        {
            questionTaken = true;
            juce::String text;
            int resume;
            {
                const juce::ScopedLock sl (stateLock);
                text = questionText;
                resume = questionResumeState;
            }
            const bool yes = getDialogService().showMessageBox (DialogService::Icon::question, "Firmware Update", text,
                                                                { "Yes", "No" }, owner.getDialogParent()) == 0;
            answer = yes;
            moveState (asking, resume);
            notify();
        }
        else if (s == askingToScan)
        {
            questionTaken = true;
            juce::String text;
            {
                const juce::ScopedLock sl (stateLock);
                text = questionText;
            }
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
            juce::String text;
            bool isError;
            double phase, overall;
            {
                const juce::ScopedLock sl (progressLock);
                text = statusText;
                isError = statusIsError;
                phase = phaseFraction;
                overall = overallFraction;
            }
            if (view != nullptr)
            {
                view->setStatus (text, isError);
                view->setProgress (phase, overall);
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
        owner.getUpdateListener().postMessage (new DeviceInfoMessage (InfoCode::firmwareUpdateEnded, 0, 0, deviceName));
}
