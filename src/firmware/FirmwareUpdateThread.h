#pragma once

#include "conversion/DataConversionManager.h"
#include "core/DeviceCommandMessage.h"
#include "core/LarkspireChangeListener.h"
#include "firmware/FirmwareUpdateElement.h"
#include "firmware/FirmwareUpdateHost.h"
#include "firmware/FirmwareUpdateStateMachine.h"
#include "firmware/FirmwareUpdateTimings.h"
#include "model/DeviceCaps.h"
#include "model/DeviceData.h"
#include <atomic>

// One firmware update of the connected unit. It checks the image and the target build,
// reads the unit's presets and setup when the new firmware needs other data versions,
// converts that user data, streams the image to the unit, waits for the unit to apply it
// and reboot, rescans until the unit is back, checks its new version and writes the
// converted user data back.
//
// The owner (the main content component, through FirmwareUpdateHost) makes it, runs
// preCheck(), calls startUpdate() and hands it every ChangeInfo while it runs; the
// thread's timer (message thread) drives the progress window, asks the user the questions
// the update raises and, once the update is over, stops the thread and posts 0x84001 to
// the owner, which reads getResultCode() and getErrorText().
//
// Every path ends in one of three final states (finished, stopped, failed) that nothing
// moves it out of (FirmwareUpdateStateMachine keeps the state and takes the device events).
// Every wait has a deadline: a command that never starts, a device that stops answering or
// a unit that never connects again ends the update as failed with a text that says what
// did and did not happen to the unit.
//
// Threads: the change callback, the timer and the public operations run on the message
// thread; run() and the conversion callbacks on the thread.
class FirmwareUpdateThread : public FirmwareUpdateStates,
                             public juce::Thread,
                             public LarkspireChangeListener,
                             public DataConversionManager::Listener,
                             public juce::Timer,
                             private FirmwareUpdateStateMachine::Owner
{
public:
    // Takes the current unit's data (by weak reference), format and firmware version from
    // the device manager, and makes the progress window through the owner.
    FirmwareUpdateThread (FirmwareUpdateHost& owner, const FirmwareUpdateElement& target);
    ~FirmwareUpdateThread() override;

    //==============================================================================
    // Message thread. Checks the unit, the image and the target build before anything
    // happens; a refusal sets the error text, the failed state and result 3.
    bool preCheck();

    // Starts the thread and the timer and makes the progress window modal.
    void startUpdate();

    // Ends the update for good without reporting it to the owner: stops the timer, cancels
    // a running device command, stops the thread (waiting up to the time-out) and closes
    // the progress window. For the owner's destruction and the program's shutdown, which
    // must call it before the device and content managers go.
    void stopUpdate (int timeoutMs);

    // stopUpdate on every update that exists (at most one runs at a time).
    static void stopAllUpdates (int timeoutMs);

    //==============================================================================
    void run() override;
    // Only device events (kind 3) are looked at.
    void changeInfoCallback (const ChangeInfo& info) override;
    void presetConverted (int numDone, int numTotal) override;
    void setupConverted() override;
    void timerCallback() override;

    //==============================================================================
    // Readable from any thread.
    int getState() const                    { return machine.getState(); }
    int getResultCode() const               { return machine.getResultCode(); }
    juce::String getErrorText() const       { return machine.getErrorText(); }
    // The thread need not exit and the state is neither stopped nor failed.
    bool isActive() const;
    // Every state the update has been in, in order, starting with `created`.
    juce::Array<int> getStateHistory() const { return machine.getStateHistory(); }

    juce::String getStatusText() const      { return machine.getProgress().getStatusText(); }
    bool isStatusError() const              { return machine.getProgress().isStatusError(); }
    double getPhaseFraction() const         { return machine.getProgress().getPhaseFraction(); }
    double getOverallFraction() const       { return machine.getProgress().getOverallFraction(); }

    // The unit being updated and the versions involved (fixed once the pre-check ran).
    const juce::String& getDeviceName() const noexcept        { return machine.getDeviceName(); }
    juce::uint8 getProductId() const noexcept                 { return unitFormat.productId; }
    int getSerialNumber() const noexcept                      { return machine.getSerialNumber(); }
    const VersionNumber& getStartVersion() const noexcept     { return unitVersion; }
    const VersionNumber& getTargetVersion() const noexcept    { return targetVersion; }
    const FirmwareUpdateElement& getTarget() const noexcept   { return target; }
    double getRebootWaitSeconds() const noexcept              { return rebootWaitSeconds; }
    bool doPresetVersionsChange() const noexcept              { return presetVersionsChange; }
    bool doSetupVersionsChange() const noexcept               { return setupVersionsChange; }

    // How often a rescan is tried before the user is asked, and how often the unit is asked
    // to connect again after it was found.
    static constexpr int rescanTries = 5;
    static constexpr int connectTries = 3;
    static constexpr int commandTries = 3;

private:
    //==============================================================================
    // The state and the progress, kept by the state machine
    bool setState (int newState)                  { return machine.setState (newState); }
    bool moveState (int from, int to)             { return machine.moveState (from, to); }
    void fail (const juce::String& text)          { machine.fail (text); }
    void endAsStopped (int result)                { machine.endAsStopped (result); }
    void setPhaseFraction (double fraction)       { machine.setPhaseFraction (fraction); }
    void setStatus (const juce::String& text, bool isError = false) { machine.setStatus (text, isError); }

    // What the state machine needs of the update
    void wakeUp() override                        { notify(); }
    juce::String describeUnrestoredData() const override;
    void stopConversion() override;

    // The steps of run()
    bool prepare();
    bool convert();
    bool send();
    bool waitForTransfer();
    void waitForReboot();
    bool rescan();
    bool checkVersion();
    bool restore();

    static juce::uint32 now();
    static int remainingUntil (juce::uint32 deadline);
    // Waits on the thread's event; false when the thread must exit.
    bool waitFor (int ms);
    // Runs an application command on the message thread and waits for its answer; retried
    // while it is refused. False when it never ran (the reason is in `outRefused`).
    bool runCommand (int commandId, bool& outRefused);
    // Waits for the device command that was just started to end; false when it ended
    // otherwise than done, or the device stayed silent for too long (then `outSilent`).
    bool waitForDeviceCommand (int code, bool& outSilent);
    // Puts a question to the user through the timer; true for "yes".
    bool ask (int questionState, const juce::String& text, int resumeState);
    void closeUpdate (bool report);

    //==============================================================================
    FirmwareUpdateHost& owner;
    const FirmwareUpdateElement target;
    const FirmwareUpdateTimings timings;

    std::atomic<bool> answer { false };
    std::atomic<bool> questionTaken { false };

    juce::WeakReference<DeviceData> unitData;
    DeviceDataFormat unitFormat;
    VersionNumber unitVersion, targetVersion;
    std::unique_ptr<DeviceCaps> targetCaps;
    double rebootWaitSeconds = 0.0;
    double rebootWaitMs = 0.0;       // as waited (scaled in tests)
    bool presetVersionsChange = false, setupVersionsChange = false;
    std::unique_ptr<juce::OwnedArray<juce::MidiMessage>> image;
    std::atomic<bool> imageSent { false };

    std::unique_ptr<DeviceData> userData;
    // Shared with the write-back command, which may outlive the update in a device queue.
    std::shared_ptr<const DeviceData> convertedData;
    juce::CriticalSection conversionLock;
    DataConversionManager* activeConversion = nullptr;

    std::atomic<int> commandAnswer { -1 };           // -1 pending, 0 refused, 1 ran
    juce::WeakReference<FirmwareUpdateThread> selfReference;

    std::unique_ptr<FirmwareUpdateProgressView> view;
    bool closed = false;                           // message thread

    FirmwareUpdateStateMachine machine { *this };

    JUCE_DECLARE_WEAK_REFERENCEABLE (FirmwareUpdateThread)
    JUCE_DECLARE_NON_COPYABLE (FirmwareUpdateThread)
};
