#pragma once

#include "core/LarkspireChangeListener.h"
#include "firmware/FirmwareUpdateProgress.h"
#include "firmware/FirmwareUpdateStates.h"
#include <atomic>

// The state of one firmware update and what the device events do to it. The update's thread
// moves the state as its steps go and waits for what the events bring; the message thread
// hands every device event to changeInfoCallback, which ends the device command the update
// waits for, takes scan results and connections of the unit, takes the user's Stop and keeps
// the progress that the window shows.
//
// Every path ends in one of three final states (finished, stopped, failed) that nothing
// moves it out of. The state is guarded by one lock, the progress values by another; the
// two are never held together.
class FirmwareUpdateStateMachine : public FirmwareUpdateStates,
                                   public LarkspireChangeListener
{
public:
    // What the state machine needs of the update it belongs to.
    class Owner
    {
    public:
        virtual ~Owner() = default;
        // Something the update's thread may be waiting for has changed.
        virtual void wakeUp() = 0;
        // Added to the text of a failure while the user data is being written back.
        virtual juce::String describeUnrestoredData() const = 0;
        // Stop came while no device command runs: a running conversion is asked to end.
        virtual void stopConversion() = 0;
    };

    explicit FirmwareUpdateStateMachine (Owner& owner);

    // The unit being updated, set by the update's pre-check before anything runs. A scan
    // that finds it with serial number 0 only (the unit lost it in the update) sets that.
    void setUnit (const juce::String& name, juce::uint8 productId, int numPresets, int serialNumber);
    const juce::String& getDeviceName() const noexcept   { return deviceName; }
    int getSerialNumber() const noexcept                 { return serialNumber.load(); }

    //==============================================================================
    // The state; readable from any thread.
    int getState() const;
    int getResultCode() const;
    juce::String getErrorText() const;
    // Every state the update has been in, in order, starting with `created`.
    juce::Array<int> getStateHistory() const;

    // None of these moves a final state. setState and moveState tell whether they moved it;
    // finish tells whether the update ended as finished.
    bool setState (int newState);
    bool moveState (int from, int to);
    void fail (const juce::String& text);
    void endAsStopped (int result);
    bool finish();

    // The question the update waits to have answered, and the state it goes on in.
    void setQuestion (const juce::String& text, int resumeState);
    juce::String getQuestion (int& resumeState) const;

    //==============================================================================
    // The device command the update waits for. The thread begins it just before it posts
    // the command; the command's ending (done, cancelled or failed) comes as an event.
    void beginDeviceCommand (int code);
    // The update no longer waits for a command.
    void forgetDeviceCommand()                          { runningDeviceCommand = 0; }
    // How the command ended: 0 while it runs.
    int getDeviceCommandEnding() const noexcept         { return deviceCommandEnding.load(); }
    bool isDeviceCommandRunning() const noexcept;
    // The last event that showed the device at work (the command's start counts).
    juce::uint32 getLastDeviceActivity() const noexcept { return lastDeviceActivity.load(); }

    bool isStopRequested() const noexcept               { return stopRequested.load(); }
    juce::uint32 getStopRequestTime() const noexcept    { return stopRequestTime.load(); }
    // How many scan results and connections of a unit came in so far.
    int getScanResults() const noexcept                 { return scanResults.load(); }
    int getUnitConnections() const noexcept             { return unitConnections.load(); }
    // When the unit began to apply the update (message thread).
    double getRebootWaitStartMs() const noexcept        { return rebootWaitStartMs; }

    //==============================================================================
    FirmwareUpdateProgress& getProgress() noexcept             { return progress; }
    const FirmwareUpdateProgress& getProgress() const noexcept { return progress; }
    // The phase fraction in the current state.
    void setPhaseFraction (double fraction);
    void setStatus (const juce::String& text, bool isError = false) { progress.setStatus (text, isError); }

    //==============================================================================
    // Message thread. Only device events (kind 3) are looked at.
    void changeInfoCallback (const ChangeInfo& info) override;

private:
    void enterState (int newState);   // with the state lock held
    void noteDeviceActivity();
    void handleDeviceEvent (const DeviceInfoMessage& e);
    void handleStopRequest();

    Owner& owner;

    mutable juce::CriticalSection stateLock;
    int state = created;
    juce::Array<int> stateHistory { (int) created };
    int resultCode = resultNone;
    juce::String errorText;
    juce::String questionText;
    int questionResumeState = created;

    juce::String deviceName;
    juce::uint8 productId = 0;
    int numPresets = 0;
    std::atomic<int> serialNumber { -1 };

    std::atomic<bool> stopRequested { false };
    std::atomic<juce::uint32> stopRequestTime { 0 };
    std::atomic<int> runningDeviceCommand { 0 };     // the device command the update waits for
    std::atomic<int> deviceCommandEnding { 0 };      // how it ended (0 while it runs)
    std::atomic<juce::uint32> lastDeviceActivity { 0 };
    std::atomic<int> scanResults { 0 };
    std::atomic<int> unitConnections { 0 };
    double rebootWaitStartMs = 0.0;                  // message thread

    FirmwareUpdateProgress progress;

    JUCE_DECLARE_NON_COPYABLE (FirmwareUpdateStateMachine)
};
