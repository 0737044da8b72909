#pragma once

#include "conversion/DataConversionManager.h"
#include "core/DeviceCommandMessage.h"
#include "core/LarkspireChangeListener.h"
#include "firmware/FirmwareUpdateElement.h"
#include "firmware/FirmwareUpdateHost.h"
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
// moves it out of. Every wait has a deadline: a command that never starts, a device that
// stops answering or a unit that never connects again ends the update as failed with a
// text that says what did and did not happen to the unit.
//
// Threads: the state is guarded by one lock, the progress values and the status text by
// another; the two are never held together. The change callback, the timer and the public
// operations run on the message thread; run() and the conversion callbacks on the thread.
class FirmwareUpdateThread : public juce::Thread,
                             public LarkspireChangeListener,
                             public DataConversionManager::Listener,
                             public juce::Timer
{
public:
    enum State : int
    {
        created      = 0,
        asking       = 1,    // a question waits for the user's answer
        preparing    = 2,    // pre-check done; the user data is read when needed
        converting   = 3,
        sending      = 4,
        applying     = 5,    // the unit applies the update and reboots
        rescanning   = 6,
        unitFound    = 7,
        unitNotFound = 8,
        askingToScan = 9,    // "Device Detection Failure"
        restoring    = 10,   // writing the user data back
        restored     = 11,
        finished     = 12,
        stopped      = 13,
        failed       = 14
    };

    enum Result : int
    {
        resultNone     = 0,  // also when the user ended the update through an answer
        resultFinished = 1,
        resultStopped  = 2,  // the Stop button, or a cancelled device command
        resultFailed   = 3
    };

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
    int getState() const;
    int getResultCode() const;
    juce::String getErrorText() const;
    // The thread need not exit and the state is neither stopped nor failed.
    bool isActive() const;
    // Every state the update has been in, in order, starting with `created`.
    juce::Array<int> getStateHistory() const;

    juce::String getStatusText() const;
    bool isStatusError() const;
    double getPhaseFraction() const;
    double getOverallFraction() const;
    // The weight of phase 0 to 4 in the overall progress.
    static double getPhaseWeight (int phase);

    // The unit being updated and the versions involved (fixed once the pre-check ran).
    const juce::String& getDeviceName() const noexcept        { return deviceName; }
    juce::uint8 getProductId() const noexcept                 { return unitFormat.productId; }
    int getSerialNumber() const noexcept                      { return serialNumber.load(); }
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
    // State (under the state lock)
    bool setState (int newState);
    bool moveState (int from, int to);
    void fail (const juce::String& text);
    void endAsStopped (int result);
    static bool isFinalState (int s) noexcept { return s == finished || s == stopped || s == failed; }
    void enterState (int newState);   // with the state lock held

    // Progress (under the progress lock)
    void setPhaseFraction (double fraction);
    void setStatus (const juce::String& text, bool isError = false);

    // The steps of run()
    bool prepare();
    bool convert();
    bool send();
    bool waitForTransfer();
    void waitForReboot();
    bool rescan();
    bool checkVersion();
    bool restore();

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
    void noteDeviceActivity();
    void handleDeviceEvent (const DeviceInfoMessage& e);
    void handleStopRequest();
    void closeUpdate (bool report);
    juce::String describeUnrestoredData() const;

    //==============================================================================
    FirmwareUpdateHost& owner;
    const FirmwareUpdateElement target;
    const FirmwareUpdateTimings timings;

    mutable juce::CriticalSection stateLock;
    int state = created;
    juce::Array<int> stateHistory { (int) created };
    int resultCode = resultNone;
    juce::String errorText;
    juce::String questionText;
    int questionResumeState = created;
    std::atomic<bool> answer { false };
    std::atomic<bool> questionTaken { false };
    std::atomic<bool> stopRequested { false };

    juce::String deviceName;
    std::atomic<int> serialNumber { -1 };
    juce::WeakReference<DeviceData> unitData;
    DeviceDataFormat unitFormat;
    VersionNumber unitVersion, targetVersion;
    std::unique_ptr<DeviceCaps> targetCaps;
    double rebootWaitSeconds = 0.0;
    double rebootWaitMs = 0.0;       // as waited (scaled in tests)
    double rebootWaitStartMs = 0.0;  // message thread
    bool presetVersionsChange = false, setupVersionsChange = false;
    std::unique_ptr<juce::OwnedArray<juce::MidiMessage>> image;
    std::atomic<bool> imageSent { false };

    std::unique_ptr<DeviceData> userData, convertedData;
    std::atomic<bool> convertedDataInUse { false };   // a write-back command may still use it
    juce::CriticalSection conversionLock;
    DataConversionManager* activeConversion = nullptr;

    std::atomic<int> runningDeviceCommand { 0 };     // the device command the update waits for
    std::atomic<int> deviceCommandEnding { 0 };      // how it ended (0 while it runs)
    std::atomic<juce::uint32> lastDeviceActivity { 0 };
    std::atomic<juce::uint32> stopRequestTime { 0 };
    std::atomic<int> commandAnswer { -1 };           // -1 pending, 0 refused, 1 ran
    std::atomic<int> scanResults { 0 };
    std::atomic<int> unitConnections { 0 };
    juce::WeakReference<FirmwareUpdateThread> selfReference;

    mutable juce::CriticalSection progressLock;
    double weights[5] = { 0.1, 0.05, 0.4, 0.35, 0.1 };
    double phaseFraction = 0.0, overallFraction = 0.0;
    juce::String statusText;
    bool statusIsError = false;
    int presetsWritten = 0, presetsToWrite = 0;   // message thread

    std::unique_ptr<FirmwareUpdateProgressView> view;
    bool closed = false;                           // message thread

    friend struct FirmwareUpdateThreadProbe;   // the state-machine tests
    JUCE_DECLARE_WEAK_REFERENCEABLE (FirmwareUpdateThread)
    JUCE_DECLARE_NON_COPYABLE (FirmwareUpdateThread)
};
