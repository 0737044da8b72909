#pragma once

#include "core/DeviceInfoMessage.h"
#include "device/DeviceCommandQueue.h"
#include "device/DeviceErrors.h"
#include "device/DeviceQuery.h"
#include "device/DeviceTimings.h"
#include "device/MidiPortLayer.h"
#include "model/DeviceCaps.h"
#include "model/DeviceData.h"
#include <juce_events/juce_events.h>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

// One MIDI port pair and the unit that may be behind it. Its thread identifies the unit
// (version, serial number, manufacture date, capability profile, the unit's data) and then
// carries out the transfer commands queued for it: reading and writing presets and setup,
// deleting presets, streaming firmware. Every command ends with exactly one
// DeviceInfoMessage to the listener: 0x80050 done, 0x80051 cancelled or 0x82000 failed
// (the error code stays until the device manager resets the device); the device is then
// idle again (state 0), or in error (state 15).
//
// Threads: the MIDI input callback only queues incoming SysEx; all replies are handled on
// the device thread inside its waits, which wait on the thread's event with deadlines.
// Ports are opened on the message thread on behalf of the device thread; sending and
// closing are serialised by one lock. The GUI reads the status and identity fields, which
// are atomic or guarded.
//
// The class's work is spread over four files by job: the thread, its ports and its state
// (DeviceObject.cpp), the identification (DeviceObjectIdentification.cpp), what the unit sends
// (DeviceObjectReplies.cpp) and the transfer commands (DeviceObjectTransfers.cpp). The identity
// replies are decoded by DeviceQuery.
class DeviceObject : public juce::MidiInputCallback,
                     public juce::Thread,
                     public juce::ChangeBroadcaster
{
public:
    // Bits of the status word.
    enum Status : juce::uint32
    {
        notIdentified        = 0x1,
        notAUnit             = 0x2,
        portOpenFailed       = 0x4,
        identified           = 0x8,
        namedLikeProduct     = 0x100,
        identifying          = 0x200,
        portsOpen            = 0x400,
        portMissing          = 0x800,
        unknownProduct       = 0x1000000,
        identificationFailed = 0x2000000
    };

    static constexpr int noStatus = 10000;   // last status while nothing has arrived
    static constexpr int maxAttempts = 10;
    static constexpr int maxFirmwareAttempts = 20;
    static constexpr size_t maxIncomingMessages = 8192;   // what is kept of a flood from a unit

    // The listener receives every DeviceInfoMessage (may be null: they are dropped).
    // `manager`, when given, is woken whenever the identification ends and when the unit is
    // found lost. The ports are those of the pair as listed (empty: the pair has none).
    DeviceObject (juce::MessageListener* listener, const juce::String& portName,
                  std::shared_ptr<MidiPortLayer> ports, const MidiPortId& inputPort, const MidiPortId& outputPort,
                  juce::Thread* manager = nullptr);
    ~DeviceObject() override;

    void run() override;

    // MIDI input, on the backend's thread. Keeps only this maker's SysEx (at least four data
    // bytes), and nothing while the device holds an error code; the source is never used.
    void handleIncomingMidiMessage (juce::MidiInput* source, const juce::MidiMessage& message) override;
    void handlePartialSysexMessage (juce::MidiInput*, const juce::uint8*, int, double) override {}

    //==============================================================================
    // Ports: exactly the pair's ports, found again in the lists by name and identifier, or
    // none. Ports opened after the lists changed since the identification are used only once
    // the unit has told its serial number on them again: the first command checks it.
    bool openPorts();
    void closePorts();
    bool arePortsOpen() const;
    // Whether an open port of the pair has died (its device went, and may be back by now).
    bool arePortsGone() const;
    // Sends when the output is open; false when it is not.
    bool sendMessage (const juce::MidiMessage& message);

    //==============================================================================
    // State, read from any thread
    juce::uint32 getStatus() const noexcept  { return status.load(); }
    bool isIdle() const;
    bool isReady() const                     { return isReadyStatus (getStatus()); }
    static bool isReadyStatus (juce::uint32 status);
    int getErrorCode() const noexcept        { return errorCode.load(); }
    int getQueueState() const noexcept       { return queue.getState(); }
    DeviceCommandQueue& getQueue() noexcept  { return queue; }

    juce::uint8 getProductId() const;        // the identity query's: the unit's once identified
    int getSerialNumber() const;
    VersionNumber getFirmwareVersion() const;
    void getManufactureDate (int& year, int& month, int& day) const;
    DeviceCaps* getDeviceCaps() const;
    DeviceData* getDeviceData() const;
    // A transfer changes the unit's data on the device thread, one packet at a time, while the
    // pages show it: the device threads change it only under this lock, and any other thread
    // that looks at it while a transfer may run holds it too. One lock for every unit's data.
    static juce::CriticalSection& getUnitDataLock() noexcept;
    juce::uint64 getBytesSent() const noexcept     { return bytesSent.load(); }
    juce::uint64 getBytesReceived() const noexcept { return bytesReceived.load(); }

    // Waits (not spinning) until the device is idle; false at the deadline.
    bool waitUntilIdle (int timeoutMs) const;

    // Writes state 4 over a running command; nothing on an idle device or one in error.
    bool requestCancel();

    // Drops the queued commands (state 0) and clears the transfer bookkeeping and the error.
    void reset();

    // The device manager's word that the unit's ports have left the port lists: the command
    // that runs ends at once as a lost connection instead of trying on, and so does every
    // later one. A rescan makes new device objects. Once marked, the device manager tells of
    // the lost unit as soon as the device is idle. Another unit, or none, answering on ports
    // opened again marks the device in the same way.
    void markUnplugged();
    bool isUnplugged() const noexcept { return unplugged.load(); }

    //==============================================================================
    // The unit's data folder: the product's data folder, then the serial number.
    juce::String getDataFolder() const;

    // Replaces the unit's data with the data file at `path` when it holds data of this unit's
    // product, format and build; waits for the device to be idle first (false when it does
    // not become idle within the stop time-out).
    bool loadSyncFile (const juce::String& path);

    // The registry entry of this unit: "device" with name, id, activated, detection, version,
    // serial and manufacture.
    std::unique_ptr<juce::XmlElement> createDeviceXml() const;

private:
    //==============================================================================
    // The thread, its ports and its state (DeviceObject.cpp)
    void post (int code, int p1, int p2, const juce::String& text);
    void postEnd (int code, const DeviceCommandMessage& command);
    // Waits until the deadline, woken early only by the thread's exit.
    void pause (int ms);
    void fail (int code);
    void clearError();
    // Fails the command as a lost connection when the unit's ports have gone; true then.
    bool failIfUnplugged();
    bool isOwnThread() const;
    // Tells the change listeners on the message thread; callable from any thread.
    void notifyChange();
    DeviceDataFormat currentFormat() const;
    // Stops the input and closes both ports, leaving the status as it is.
    void releasePorts();
    // A millisecond-counter deadline `ms` from now, and the milliseconds left until one (0 once passed).
    static juce::uint32 deadlineIn (int ms);
    static int remainingUntil (juce::uint32 deadline);

    //==============================================================================
    // Identification (DeviceObjectIdentification.cpp)
    void identify();
    void readDeviceInformation();
    bool ensureProductContent();
    bool checkSerialNumber();
    // Before a command on ports opened again after the lists changed: whether the unit
    // still tells the serial number it was identified with; when not, it is lost.
    bool confirmIdentity();
    // Handles what arrives until `done` holds, the window closes or the thread must exit.
    void listen (int windowMs, const std::function<bool()>& done);
    void handleIdentityReply (const juce::MidiMessage& message);
    juce::MidiMessage makeQuery (int kind);

    //==============================================================================
    // What the unit sends (DeviceObjectReplies.cpp)
    bool processIncoming();
    void flushIncoming();
    bool hasIncoming() const;
    // Checks one message against the transfer or identification that runs and takes it in.
    void handleReply (const juce::MidiMessage& message);
    // Handles what arrives until the answer is complete, a status came, the command ended
    // or the time is up (a time-out error).
    void waitForResponse (int ms);

    //==============================================================================
    // Transfers (DeviceObjectTransfers.cpp)
    bool dispatchCommand();
    void carryOut (const DeviceCommandMessage& command);
    void finishCommand (bool sendResume);
    bool requireLink (bool needsData);

    // One try of a transfer step: it went through, it failed (and may be made again), or it
    // ended the command itself.
    enum class Try { done, failed, abandoned };
    enum class Retried { done, gaveUp, cancelled, exited, abandoned };

    // How a transfer step is made again after a failed try.
    struct RetryPlan
    {
        int maxTries = maxAttempts;
        int pauseMs = 0;
        // Posts a failed try by its number (from 1); before the pause, or after it when
        // the report says that the step is being made again.
        std::function<void (int attempt)> report;
        bool reportAfterPause = false;
        // The error a failed try is given when it left none, so that the last one ends
        // the command as failed; 0 gives none.
        int failureCode = DeviceError::unexpectedData;
        // Drops what arrived after a failed try: it cannot answer the next one.
        bool flushBetweenTries = true;
        // A failure that another try cannot mend.
        std::function<bool()> hopeless;
    };
    RetryPlan transferRetryPlan (std::function<void (int attempt)> report) const;

    // Makes tries until one goes through, the thread must exit, the command is cancelled,
    // a try ends the command itself, or the plan's tries are used up.
    Retried retry (const RetryPlan& plan, const std::function<Try (int attempt)>& once);

    bool requestPreset (int number);
    void readPresets (const juce::Array<int>& numbers);
    void readSetup();
    void readAll();
    bool writePreset (const Preset& preset, int number);
    void writePresets (const DeviceData& data, const juce::Array<int>& numbers);
    void writeSetup (const SetupData& setup);
    void writeWholeData (const DeviceData& data);
    void deletePresets (const juce::Array<int>& numbers);
    void sendSysExData (const juce::OwnedArray<juce::MidiMessage>& messages);

    //==============================================================================
    juce::MessageListener* const listener;
    const juce::String portName;
    const std::shared_ptr<MidiPortLayer> ports;
    const MidiPortId inputPort, outputPort;
    juce::Thread* const manager;
    const DeviceTimings timings;

    DeviceCommandQueue queue;
    std::atomic<juce::uint32> status { notIdentified };
    std::atomic<int> errorCode { 0 };
    std::atomic<int> currentPreset { -1 };
    std::atomic<int> requestedPreset { -1 };
    std::atomic<int> packetsPerUnit { 0 };
    std::atomic<int> packetCounter { 0 };
    std::atomic<int> lastStatus { noStatus };
    std::atomic<juce::uint64> bytesSent { 0 }, bytesReceived { 0 };
    std::atomic<juce::uint64> droppedIncoming { 0 };
    std::atomic<bool> unplugged { false };

    mutable juce::CriticalSection infoLock;   // identity fields and the two owned objects
    DeviceQuery query;
    VersionNumber firmware;
    int year = 0, month = 0, day = 0;
    int serial = -1;
    std::unique_ptr<DeviceCaps> caps;
    std::unique_ptr<DeviceData> deviceData;

    mutable juce::CriticalSection portLock;   // open, send and close, and the listings
    std::unique_ptr<MidiInputPort> input;
    std::unique_ptr<MidiOutputPort> output;
    // The port lists when the ports were opened last, and when the identification opened them.
    struct Listing
    {
        MidiPortList inputs, outputs;
        bool operator!= (const Listing& other) const { return inputs != other.inputs || outputs != other.outputs; }
    };
    Listing openedWith;
    std::optional<Listing> identifiedWith;
    std::atomic<bool> identityUnconfirmed { false };

    mutable juce::CriticalSection incomingLock;
    std::deque<juce::MidiMessage> incoming;

    // Set while a command or the identification runs; a sync-file load waits for it to clear
    // and holds the lock while it replaces the data, which keeps the next command waiting.
    std::mutex commandGateLock;
    std::condition_variable commandGateChanged;
    bool commandRunning = false;
    void beginCommand();
    void endCommand();
    mutable juce::WaitableEvent idleEvent;

    // The listeners of a change broadcaster belong to the message thread: changes seen on
    // other threads are handed over there. The object may be deleted on any thread, so the
    // hand-over holds a token that the destructor clears, under its lock, instead of a
    // pointer to the object.
    struct ChangeToken
    {
        std::recursive_mutex lock;
        DeviceObject* owner = nullptr;
        std::atomic<bool> pending { false };
    };
    const std::shared_ptr<ChangeToken> changeToken = std::make_shared<ChangeToken>();

    JUCE_DECLARE_NON_COPYABLE (DeviceObject)
};
