#pragma once

#include "device/VirtualMidiDevice.h"
#include "device/sim/SimSysEx.h"
#include "device/sim/SimUnitProfile.h"
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>

// A unit of the product family as the virtual port layer sees it: it speaks the unit's side
// of the SysEx protocol from its profile (identity answers; preset and setup reads and
// writes; deletes and suspends; the firmware loader with its reboot), keeps what it was
// sent in a time-stamped log, and can be told to misbehave.
//
// Messages from the program arrive on the unit's own thread after their time on the wire
// (when a link rate is set), and its answers go back from that thread, one after the
// other, each after its own time on the wire.
class SimulatedUnit : public VirtualMidiDevice,
                      private juce::Thread
{
public:
    struct Identity
    {
        juce::uint8 productId = 17;
        int buildType = 0, major = 1, minor = 0, revision = 0, build = 100, last = 0;
        int serial = 12345;
        int day = 1, month = 1, year = 2020;
        bool answersBroadcast = false;   // answers the identity query sent to every unit
    };

    struct Preset
    {
        int number = 0;
        juce::String name;
        int tags = 0;
        int steps = 1;
        std::vector<int> values;         // steps x values per step
    };

    // Fault switches. The counted ones count down as they strike.
    struct Faults
    {
        bool silent = false;                 // answers nothing at all
        int replyDelayMs = 0;                // before every answer
        int dropReplies = 0;                 // the next requests that would be answered get no answer
        int badChecksumPacket = -1;          // data packet k (from 0) of a preset or setup answer gets a wrong checksum...
        int badChecksumTimes = 0;            // ...in this many answers
        int badIndexPacket = -1;             // the same for a wrong packet index
        int badIndexTimes = 0;
        int truncatedPacket = -1;            // the same for a packet cut short
        int truncatedTimes = 0;
        int wrongHeaderNumberTimes = 0;      // answers a preset request with the next number's header
        std::map<int, int> readStatus;       // a request for this preset is answered with this status only
        bool doneInsteadOfPreset = false;    // a preset request is answered with "done" (0x56) only
        std::map<int, int> writeStatus;      // the status after a preset of this number was written (else 1)
        int setupWriteStatus = 1;
        int firmwareResends = 0;             // each firmware block is asked for again this many times
        int vanishAfterSending = -1;         // unplugs once it has sent this many more messages
        int vanishAfterReceiving = -1;       // unplugs once it has received this many more messages
        int rebootQuietMs = 300;             // loader: reboots this long after its last message
        int rebootDownMs = 500;              // the ports stay away this long while it reboots
    };

    struct LogEntry
    {
        double timeMs = 0;                   // millisecond counter: when the program sent it, plus its wire time
        SimSysEx::Bytes bytes;

        juce::uint8 deviceId() const { return bytes.size() > 5 ? bytes[5] : 0; }
        juce::uint8 command() const  { return bytes.size() > 6 ? bytes[6] : 0; }
        // Bytes 7-8 as a 14-bit number (preset numbers, suspend values).
        int value14() const          { return bytes.size() > 8 ? SimSysEx::read14 (bytes.data() + 7) : -1; }
    };

    // Both of its ports carry the same name.
    SimulatedUnit (const SimUnitProfile& profile, const Identity& identity, const juce::String& portName);
    ~SimulatedUnit() override;

    // The profile changes only when the unit reboots into a build with another one.
    const SimUnitProfile& getProfile() const noexcept { return profile; }
    // Where a reboot into a new build finds that build's profile. Without it the unit keeps
    // its profile. With it, memory whose layout the new build changes is cleared, as a
    // unit's firmware does: presets when their data version or size changes, the setup
    // (back to zeros) when its own does.
    void setProfileForBuild (std::function<SimUnitProfile (int build)> lookup);
    Identity getIdentity() const;
    void setIdentity (const Identity& identity);
    Faults getFaults() const;
    void setFaults (const Faults& faults);
    // Bytes per second on each direction of the link; 0 = no wire time.
    void setLinkRate (int bytesPerSecond);

    //==============================================================================
    // Memory
    Preset makePreset (int number, int seed) const;
    void fillPresets (const juce::Array<int>& numbers, int seed);
    void setPreset (const Preset& preset);
    bool hasPreset (int number) const;
    Preset getPreset (int number) const;
    void erasePreset (int number);
    juce::Array<int> getPresetNumbers() const;
    std::vector<int> getSetup() const;
    void setSetup (const std::vector<int>& values);
    bool isSuspended() const;

    //==============================================================================
    // What crossed the wire
    std::vector<LogEntry> getLog() const;
    // Messages of one command; a device id of -1 takes every id.
    std::vector<LogEntry> getReceived (juce::uint8 command, int deviceId = -1) const;
    int countReceived (juce::uint8 command, int deviceId = -1) const;
    void clearLog();
    juce::int64 getBytesReceived() const;
    juce::int64 getBytesSent() const;

    //==============================================================================
    // Firmware loader
    int getBlocksAccepted() const;
    int getRebootCount() const;
    // Reboots at once with a new build: the ports vanish for the reboot time.
    void reboot (int newBuild);

protected:
    void receivedFromProgram (const juce::MidiMessage& message) override;

private:
    using Clock = std::chrono::steady_clock;

    struct Pending
    {
        Clock::time_point due;
        SimSysEx::Bytes bytes;
        double arrivalMs = 0;   // millisecond counter when its last byte is in
    };

    struct Timer
    {
        Clock::time_point due;
        std::function<void()> action;
    };

    struct IncomingPreset
    {
        bool active = false;
        int number = 0, version = 0, tags = 0, steps = 0;
        juce::String name;
        std::vector<int> values;
        int packets = 0;
        bool damaged = false;
    };

    void run() override;
    void handle (const SimSysEx::Bytes& message, double arrivalMs);
    void handleLoader (const SimSysEx::Bytes& message);
    void answerIdentity (int kind);
    void answerPresetRequest (int number);
    void answerSetupRequest();
    void receivePresetHeader (const SimSysEx::Bytes& message);
    void receivePresetPacket (const SimSysEx::Bytes& message);
    void receiveSetupPacket (const SimSysEx::Bytes& message);

    // Queues answers (under the queue lock); false when a dropped reply swallowed them.
    bool answer (const std::vector<SimSysEx::Bytes>& messages);
    void schedule (int delayMs, std::function<void()> action);
    void finishReboot (int newBuild, int major, int minor, int revision);

    SimSysEx::Bytes presetHeader (const Preset& p, int numberShown) const;
    std::vector<SimSysEx::Bytes> presetPackets (const Preset& p);
    std::vector<SimSysEx::Bytes> setupPackets();
    void damage (std::vector<SimSysEx::Bytes>& packets);

    SimUnitProfile profile;        // the unit's thread changes it at a reboot
    std::function<SimUnitProfile (int)> profileForBuild;

    mutable std::mutex dataLock;   // identity, faults, memory, log, loader state
    Identity identity;
    Faults faults;
    std::map<int, Preset> presets;
    std::vector<int> setup;
    bool suspended = false;
    std::vector<LogEntry> log;
    juce::int64 bytesReceived = 0, bytesSent = 0;
    IncomingPreset incoming;
    std::vector<int> incomingSetup;
    int incomingSetupPackets = 0;
    bool incomingSetupDamaged = false;

    bool loaderActive = false;
    int blockChecksum = -1, blockLength = -1;
    SimSysEx::Bytes block;
    int blockResends = 0;
    int blocksAccepted = 0;
    int pendingBuild = -1, pendingMajor = 0, pendingMinor = 0, pendingRevision = 0;
    double lastLoaderMessageMs = 0;
    int reboots = 0;

    std::mutex queueLock;          // the queues below and the link rate
    std::condition_variable wake;
    std::deque<Pending> inbound, outbound;
    std::vector<Timer> timers;
    int linkRate = 0;
    Clock::time_point inboundFree, outboundFree;
    bool stopping = false;

    JUCE_DECLARE_NON_COPYABLE (SimulatedUnit)
};
