#include "device/DeviceObject.h"
#include "core/InfoCodes.h"
#include "device/SysExTemplates.h"
#include "model/SysExCodec.h"

// Transfers: the commands queued for the device thread, carried out one at a time, each
// ending with one message to the listener.

bool DeviceObject::dispatchCommand()
{
    if (queue.isEmpty())
        return false;

    if (errorCode.load() != 0)
    {
        // A device in error carries out nothing until it is reset: the command ends at once.
        DeviceCommandMessage refused;
        if (queue.pop (refused, false))
            postEnd (InfoCode::commandFailed, refused);
        idleEvent.signal();
        return ! queue.isEmpty();
    }

    DeviceCommandMessage command;
    if (! queue.peek (command))
        return false;

    beginCommand();
    flushIncoming();   // nothing that arrived before the request can be its answer
    // The re-identification is that check itself.
    if (command.code == DeviceCommand::reidentify || confirmIdentity())
        carryOut (command);
    endCommand();

    DeviceCommandMessage done;
    if (threadShouldExit())
    {
        queue.pop (done, false);
        return false;
    }

    int code = InfoCode::commandDone;
    if (queue.getState() == DeviceCommandQueue::cancelRequested)
        code = InfoCode::commandCancelled;
    else if (errorCode.load() != 0)
        code = InfoCode::commandFailed;
    else if (queue.getState() == DeviceCommandQueue::error)
    {
        errorCode = DeviceError::internalError;
        code = InfoCode::commandFailed;
    }

    queue.pop (done, false);
    // Every command leaves the device idle, or in error when it failed.
    queue.setState (errorCode.load() != 0 ? DeviceCommandQueue::error : DeviceCommandQueue::idle);
    lastStatus = noStatus;
    postEnd (code, command);
    idleEvent.signal();
    return ! queue.isEmpty();
}

bool DeviceObject::requireLink (bool needsData)
{
    if (failIfUnplugged())
        return false;
    if (! arePortsOpen())
    {
        fail (DeviceError::connectionLost);
        return false;
    }
    if (getDeviceCaps() == nullptr)
    {
        fail (DeviceError::internalError);
        return false;
    }
    if (needsData && getDeviceData() == nullptr)
    {
        fail (DeviceError::noDeviceData);
        return false;
    }
    return true;
}

void DeviceObject::finishCommand (bool sendResume)
{
    if (sendResume && arePortsOpen())
        sendMessage (buildSysEx57Message (getProductId(), 1));

    if (errorCode.load() == 0)
    {
        if (queue.getState() != DeviceCommandQueue::cancelRequested)
            queue.setState (DeviceCommandQueue::idle);
        lastStatus = noStatus;
    }
}

void DeviceObject::carryOut (const DeviceCommandMessage& command)
{
    auto* own = getDeviceData();

    switch (command.code)
    {
        case DeviceCommand::reidentify:
        {
            if (failIfUnplugged())
                break;
            bool openedHere = false;
            if (! arePortsOpen())
            {
                if (! openPorts())
                {
                    fail (DeviceError::connectionLost);
                    break;
                }
                openedHere = true;
            }
            if (checkSerialNumber())
                queue.setState (DeviceCommandQueue::idle);
            else if (! threadShouldExit())
                fail (DeviceError::connectionLost);
            if (openedHere)
                closePorts();
            break;
        }

        case DeviceCommand::readAll:        readAll(); break;
        case DeviceCommand::readPresets:    readPresets (command.presetIndices); break;
        case DeviceCommand::readSetup:      readSetup(); break;
        case DeviceCommand::deletePresets:  deletePresets (command.presetIndices); break;

        case DeviceCommand::writePresets:
            if (own != nullptr) writePresets (*own, command.presetIndices);
            else finishCommand (false);
            break;

        case DeviceCommand::writePresetsFrom:
            if (command.data != nullptr) writePresets (*command.data, command.presetIndices);
            else finishCommand (false);
            break;

        case DeviceCommand::writeSetup:
            if (own != nullptr && own->getSetup().isComplete()) writeSetup (own->getSetup());
            else finishCommand (false);
            break;

        case DeviceCommand::writeSetupFrom:
            if (command.data != nullptr && command.data->getSetup().isComplete()) writeSetup (command.data->getSetup());
            else finishCommand (false);
            break;

        case DeviceCommand::writeWholeData:
            if (command.data != nullptr) writeWholeData (*command.data);
            else finishCommand (false);
            break;

        case DeviceCommand::rawSend:
            if (command.payload != nullptr) sendSysExData (*command.payload);
            else finishCommand (false);
            break;

        default:
            finishCommand (false);
            break;
    }
}

//==============================================================================
// Trying again

DeviceObject::RetryPlan DeviceObject::transferRetryPlan (std::function<void (int attempt)> report) const
{
    RetryPlan plan;
    plan.maxTries = maxAttempts;
    plan.pauseMs = timings.retryPauseMs;
    plan.report = std::move (report);
    return plan;
}

DeviceObject::Retried DeviceObject::retry (const RetryPlan& plan, const std::function<Try (int attempt)>& once)
{
    for (int attempt = 0;;)
    {
        const auto result = once (attempt);
        if (result == Try::done)
            return Retried::done;
        if (result == Try::abandoned)
            return Retried::abandoned;
        if (threadShouldExit())
            return Retried::exited;
        if (queue.getState() == DeviceCommandQueue::cancelRequested)
            return Retried::cancelled;
        // A unit whose ports have gone answers no other try; the tries are for transmission errors.
        if (failIfUnplugged())
            return Retried::abandoned;
        if (plan.failureCode != 0 && errorCode.load() == 0)
            fail (plan.failureCode);

        ++attempt;
        if (plan.report != nullptr && ! plan.reportAfterPause)
            plan.report (attempt);
        pause (plan.pauseMs);
        if (plan.report != nullptr && plan.reportAfterPause)
            plan.report (attempt);
        if (threadShouldExit())
            return Retried::exited;
        if (plan.flushBetweenTries)
            flushIncoming();
        if (attempt >= plan.maxTries || (plan.hopeless != nullptr && plan.hopeless()))
            return Retried::gaveUp;
        clearError();
    }
}

//==============================================================================
// Reading

bool DeviceObject::requestPreset (int number)
{
    auto* data = getDeviceData();
    packetCounter = 0;
    currentPreset = -1;
    requestedPreset = number;
    lastStatus = noStatus;
    queue.setState (DeviceCommandQueue::busy);
    {
        const juce::ScopedLock dl (getUnitDataLock());
        data->removePreset (number);
    }

    sendMessage (buildPresetRequestMessage (getProductId(), number));
    waitForResponse (timings.replyTimeoutMs);

    bool ok = false;
    if (threadShouldExit())
    {
        queue.setState (DeviceCommandQueue::cancelRequested);
    }
    else if (lastStatus.load() == 2)
    {
        // The slot is empty on the unit.
        lastStatus = noStatus;
        ok = true;
    }
    else if (queue.getState() == DeviceCommandQueue::answerComplete && lastStatus.load() == noStatus
             && currentPreset.load() == number)
    {
        if (auto* preset = data->getPreset (number))
        {
            if (preset->getExpectedNumMessages() == 0)
            {
                ok = preset->isComplete();   // a preset without data packets
            }
            else
            {
                queue.setState (DeviceCommandQueue::busy);
                waitForResponse (timings.replyTimeoutMs);
                ok = ! threadShouldExit() && queue.getState() == DeviceCommandQueue::answerComplete
                  && lastStatus.load() == noStatus && preset->isComplete();
            }
        }
        if (ok)
        {
            lastStatus = noStatus;
            queue.setState (DeviceCommandQueue::busy);
        }
    }

    // A preset that did not arrive whole does not stay in its slot.
    if (! ok)
    {
        const juce::ScopedLock dl (getUnitDataLock());
        if (auto* partial = data->getPreset (number))
            if (! partial->isComplete())
                data->removePreset (number);
    }

    requestedPreset = -1;
    return ok;
}

void DeviceObject::readPresets (const juce::Array<int>& numbers)
{
    if (numbers.isEmpty())
    {
        finishCommand (false);
        return;
    }
    if (! requireLink (true))
        return;

    auto* data = getDeviceData();
    auto* profile = getDeviceCaps();
    for (auto n : numbers)
    {
        if (! juce::isPositiveAndBelow (n, data->getNumSlots()))
        {
            fail (DeviceError::internalError);
            return;
        }
    }

    packetsPerUnit = profile->getNumSyxPackagesPerPresetStep();
    const bool resume = numbers.size() >= 2 && profile->hasSuspendAlgo();
    if (resume)
        sendMessage (buildSysEx57Message (getProductId(), 0));

    for (auto n : numbers)
    {
        // A failed try always leaves an error, so that the last one ends the command as failed.
        const auto plan = transferRetryPlan ([this, n] (int attempt) { post (InfoCode::presetReadAttemptFailed, n, attempt, {}); });
        const auto result = retry (plan, [this, n] (int) { return requestPreset (n) ? Try::done : Try::failed; });
        if (result == Retried::exited)
            return;
        if (result != Retried::done)
            break;

        if (auto* preset = data->getPreset (n))
        {
            {
                const juce::ScopedLock dl (getUnitDataLock());
                preset->calculateMd5();
            }
            post (InfoCode::presetRead, n, numbers.size(), preset->getName());
        }
        else
        {
            post (InfoCode::presetEmpty, n, numbers.size(), {});
        }

        if (queue.getState() == DeviceCommandQueue::cancelRequested)
            break;
    }

    finishCommand (resume);
}

void DeviceObject::readSetup()
{
    if (! requireLink (true))
        return;

    auto* data = getDeviceData();
    const int packets = getDeviceCaps()->getNumSyxPackagesPerSetup();
    if (packets <= 0)
    {
        fail (DeviceError::internalError);
        return;
    }
    packetsPerUnit = packets;

    const auto plan = transferRetryPlan ([this] (int attempt) { post (InfoCode::setupReadAttemptFailed, 0, attempt, {}); });
    const auto result = retry (plan, [this, data] (int)
    {
        // Each try starts from an empty setup, so that a partial answer cannot mix in.
        {
            const juce::ScopedLock dl (getUnitDataLock());
            data->clearSetup();
        }
        packetCounter = 0;
        lastStatus = noStatus;
        queue.setState (DeviceCommandQueue::busy);
        sendMessage (buildSetupRequestMessage (getProductId()));
        waitForResponse (timings.replyTimeoutMs);

        const bool complete = ! threadShouldExit() && queue.getState() == DeviceCommandQueue::answerComplete
                              && lastStatus.load() == noStatus && data->getSetup().isComplete();
        return complete ? Try::done : Try::failed;
    });

    if (result == Retried::exited)
        return;
    if (result == Retried::gaveUp || result == Retried::abandoned)
    {
        const juce::ScopedLock dl (getUnitDataLock());
        data->clearSetup();
    }
    finishCommand (false);
}

void DeviceObject::readAll()
{
    if (! requireLink (true))
        return;

    auto* data = getDeviceData();
    {
        const juce::ScopedLock dl (getUnitDataLock());
        data->clear();
    }

    juce::Array<int> numbers;
    for (int n = 1; n < data->getNumSlots(); ++n)
        numbers.add (n);
    readPresets (numbers);

    if (threadShouldExit())
        return;
    if (queue.getState() == DeviceCommandQueue::idle && errorCode.load() == 0
        && getDeviceCaps()->getNumSyxPackagesPerSetup() > 0)
        readSetup();

    const juce::ScopedLock dl (getUnitDataLock());
    data->clearModifiedFlags (false);
}

//==============================================================================
// Writing

bool DeviceObject::writePreset (const Preset& preset, int number)
{
    if (! preset.isComplete())
    {
        fail (DeviceError::internalError);
        return false;
    }

    lastStatus = noStatus;
    queue.setState (DeviceCommandQueue::busy);

    // The unit files the preset under the number in its header: the slot written.
    PresetInfo info (preset.getInfo());
    info.number = number;
    sendMessage (buildPresetHeaderMessage (info, getProductId()));
    for (int i = 0; i < preset.getNumMessages(); ++i)
        sendMessage (*preset.getMessage (i));
    waitForResponse (timings.replyTimeoutMs);

    if (threadShouldExit() || queue.getState() != DeviceCommandQueue::busy)
        return false;

    switch (lastStatus.load())
    {
        case 1:
            post (InfoCode::presetWritten, number, 0, preset.getName());
            return true;

        case 8:
            post (InfoCode::unitNeedsTime, 0, 0, {});
            pause ((int) (getDeviceCaps()->getBankSwapTime() * 1000.0f));
            if (threadShouldExit())
                return false;
            post (InfoCode::presetWritten, number, 0, preset.getName());
            return true;

        case 3:  fail (DeviceError::memoryFull); break;
        case 4:  fail (DeviceError::versionConflict); break;
        case 5:  fail (DeviceError::dataCorruption); break;
        case 6:  fail (DeviceError::presetRejected); break;
        case 9:  fail (DeviceError::synchronisation); break;
        default: fail (DeviceError::internalError); break;
    }
    return false;
}

void DeviceObject::writePresets (const DeviceData& data, const juce::Array<int>& numbers)
{
    if (! requireLink (false))
        return;

    const bool resume = numbers.size() >= 2 && getDeviceCaps()->hasSuspendAlgo();
    if (resume)
        sendMessage (buildSysEx57Message (getProductId(), 0));

    for (auto n : numbers)
    {
        auto* preset = data.getPreset (n);
        if (preset == nullptr)
            continue;

        auto plan = transferRetryPlan ([this, n, preset] (int attempt)
        {
            post (InfoCode::presetWriteAttemptFailed, n, attempt, preset->getName());
        });
        // A full memory or data that cannot be sent will not get better by trying again.
        plan.hopeless = [this] { return lastStatus.load() == 3 || errorCode.load() == DeviceError::internalError; };

        const auto result = retry (plan, [this, n, preset] (int) { return writePreset (*preset, n) ? Try::done : Try::failed; });
        if (result == Retried::exited)
            return;
        if (result != Retried::done || queue.getState() == DeviceCommandQueue::cancelRequested)
            break;
    }

    finishCommand (resume);
}

void DeviceObject::writeSetup (const SetupData& setup)
{
    if (! requireLink (false))
        return;

    // A failed try leaves no error of its own: the command fails only once the tries are
    // used up without the unit's "done".
    auto plan = transferRetryPlan ([this] (int attempt) { post (InfoCode::setupWriteAttemptFailed, 0, attempt, {}); });
    plan.failureCode = 0;

    const int n = setup.getNumMessages();
    const auto result = retry (plan, [this, &setup, n] (int)
    {
        if (queue.getState() == DeviceCommandQueue::cancelRequested || threadShouldExit())
            return Try::failed;

        lastStatus = noStatus;
        queue.setState (DeviceCommandQueue::busy);

        for (int i = 0; i < n && queue.getState() != DeviceCommandQueue::cancelRequested; ++i)
        {
            // The unit needs the gap between setup packets; a message arriving meanwhile does not shorten it.
            pause (timings.setupPacketGapMs);
            if (threadShouldExit())
                return Try::failed;
            auto* m = setup.getMessage (i);
            if (m == nullptr)
            {
                fail (DeviceError::internalError);
                return Try::abandoned;
            }
            sendMessage (*m);
            post (InfoCode::setupPacketSent, i + 1, n, {});
        }
        if (queue.getState() == DeviceCommandQueue::cancelRequested)
            return Try::failed;

        waitForResponse (timings.replyTimeoutMs);
        const bool accepted = ! threadShouldExit() && queue.getState() == DeviceCommandQueue::busy
                              && lastStatus.load() == 1;
        return accepted ? Try::done : Try::failed;
    });

    if (result == Retried::exited || result == Retried::abandoned)
        return;
    if (result == Retried::gaveUp && lastStatus.load() != 1)
        fail (DeviceError::internalError);
    finishCommand (false);
}

void DeviceObject::writeWholeData (const DeviceData& data)
{
    const auto slots = data.getPresetIndices (1, data.getNumSlots() - 1);
    const bool setupComplete = data.getSetup().isComplete();
    if (slots.isEmpty() && ! setupComplete)
    {
        finishCommand (false);
        return;
    }

    if (! slots.isEmpty())
        writePresets (data, slots);
    if (threadShouldExit())
        return;

    // The setup follows only presets that all went in.
    const int state = queue.getState();
    if (setupComplete && errorCode.load() == 0 && state != DeviceCommandQueue::cancelRequested
        && state != DeviceCommandQueue::error)
        writeSetup (data.getSetup());
}

void DeviceObject::deletePresets (const juce::Array<int>& numbers)
{
    if (! requireLink (false))
        return;

    const int delay = (int) (getDeviceCaps()->getDelayTimeAfterPresetDelete() * 1000.0f);
    queue.setState (DeviceCommandQueue::busy);

    for (auto n : numbers)
    {
        sendMessage (buildDeletePresetMessage (getProductId(), n));
        post (InfoCode::presetDeleteSent, n, 0, {});
        pause (delay);
        if (threadShouldExit() || failIfUnplugged())
            return;
        if (queue.getState() == DeviceCommandQueue::cancelRequested)
        {
            finishCommand (false);
            return;
        }
    }

    pause (numbers.size() < 2 ? 2 * delay : 10 * delay);
    if (threadShouldExit() || failIfUnplugged())
        return;
    finishCommand (false);
}

void DeviceObject::sendSysExData (const juce::OwnedArray<juce::MidiMessage>& messages)
{
    if (! requireLink (false))
        return;

    const int n = messages.size();
    if (n == 0)
    {
        fail (DeviceError::internalError);
        return;
    }

    sendMessage (*messages.getUnchecked (0));   // the image's opening message, as it is

    for (int i = 1; i < n; ++i)
    {
        const auto& block = *messages.getUnchecked (i);
        const auto header = buildFirmwareBlockHeader (block);
        const auto end = buildFirmwareBlockEndMessage();

        // The unit asks for a block again with status 0; the block is sent again after a
        // short pause, reported as it goes out.
        RetryPlan plan;
        plan.maxTries = maxFirmwareAttempts;
        plan.pauseMs = timings.firmwareResendPauseMs;
        plan.report = [this, i] (int attempt) { post (InfoCode::firmwareBlockResent, i + 1, attempt, {}); };
        plan.reportAfterPause = true;
        plan.failureCode = 0;
        plan.flushBetweenTries = false;

        const auto result = retry (plan, [&, i, n] (int attempt)
        {
            if (threadShouldExit())
                return Try::abandoned;

            lastStatus = noStatus;
            sendMessage (header);
            sendMessage (block);
            sendMessage (end);
            if (attempt == 0)
                post (InfoCode::firmwareBlockSent, i + 1, n, {});
            waitForResponse (timings.firmwareReplyTimeoutMs);

            if (threadShouldExit())
                return Try::abandoned;
            if (queue.getState() != DeviceCommandQueue::busy)
            {
                finishCommand (false);
                return Try::abandoned;
            }

            const int answer = lastStatus.load();
            lastStatus = noStatus;
            if (answer == 1)
                return Try::done;
            if (answer != 0)
            {
                fail (DeviceError::internalError);
                return Try::abandoned;
            }
            return Try::failed;
        });

        if (result == Retried::done)
            continue;
        if (result == Retried::gaveUp)
            fail (DeviceError::internalError);
        else if (result == Retried::cancelled)
            finishCommand (false);
        return;
    }

    finishCommand (false);
}
