#pragma once

#include "device/DeviceCommandQueue.h"
#include "device/DeviceTimings.h"
#include "device/MidiPortLayer.h"
#include "device/MidiPortPair.h"
#include "model/VersionNumber.h"
#include <juce_audio_devices/juce_audio_devices.h>

class DeviceCaps;
class DeviceData;
class DeviceObject;

// The one owner of the MIDI side. It pairs MIDI inputs with outputs, owns one DeviceObject
// per pair, runs scans, watches the port lists for changes, keeps the connected ("current")
// pair, and takes DeviceCommandMessages posted to it: it carries out the scan and the
// re-identification itself and hands every transfer to the current DeviceObject.
//
// Its DeviceInfoMessages and those of its device objects go to the listener it is given.
// The pair list is rebuilt by the manager's thread and read by the GUI: every reader takes
// its lock, and device objects are handed out by shared pointer, so a rescan never pulls
// one from under a reader.
class DeviceManager : public juce::Thread,
                      public juce::MessageListener
{
public:
    // Starts nothing: the owner starts the thread.
    explicit DeviceManager (juce::MessageListener* listener, std::shared_ptr<MidiPortLayer> ports = getMidiPortLayer());
    ~DeviceManager() override;

    void run() override;

    // A DeviceCommandMessage is queued; anything else is ignored.
    void handleMessage (const juce::Message& message) override;

    //==============================================================================
    // Queries; a negative index means the current pair.
    int getNumPairs() const;
    int getCurrentIndex() const;
    MidiPortPair getPair (int index) const;   // names and indices (and the device) by value
    std::shared_ptr<DeviceObject> getDeviceObject (int index = -1) const;
    bool isDeviceReady (int index) const;     // a negative index gives false
    juce::uint8 getProductId (int index = -1) const;
    juce::uint32 getDeviceFlags (int index = -1) const;
    int getSerialNumber (int index = -1) const;
    VersionNumber getFirmwareVersion (int index = -1) const;
    // Current pair only.
    juce::String getDeviceDisplayName() const;
    juce::String getDeviceDataFolder() const;
    DeviceCaps* getDeviceCaps() const;
    DeviceData* getDeviceData() const;

    bool isDeviceConnected (juce::uint8 productId, int serial) const;
    int findDeviceBySerial (int serial) const;
    int findDevice (juce::uint8 productId, int serial) const;

    struct DeviceList
    {
        juce::StringArray displayNames, inputNames, outputNames;
        juce::Array<juce::uint32> statusWords;
        juce::Array<int> serialNumbers;
        juce::Array<VersionNumber> firmwareVersions;
    };
    DeviceList getDeviceList() const;

    void getMidiByteCounts (juce::uint64& sent, juce::uint64& received) const;

    int getQueueState() const noexcept    { return queue.getState(); }
    DeviceCommandQueue& getQueue() noexcept { return queue; }
    bool isPolling() const noexcept       { return polling.load(); }
    bool arePortsUnsettled() const noexcept { return portsUnsettled.load(); }

    //==============================================================================
    // Actions, on the message thread
    // Refused while a rescan is pending or for an index out of range.
    bool selectDevice (int index);
    void closeCurrentDevice();
    void requestCancel();
    void resetCurrentDevice();
    bool loadSyncSnapshot();

private:
    bool scan();
    void rescanPorts();
    // Takes the port pairs out of the list and stops their device threads and ports.
    void releaseAllDevices();
    bool identifyCurrentDevice();
    void checkPortLists();
    // While the connected unit is busy: whether its own ports are still listed.
    void watchBusyUnitsPorts (const MidiPortPair& current);
    // Whether a port of the connected unit died since it was opened, or another unit answered
    // on it, with the loss not yet told: its unit went, and may have come back under the same
    // name between two looks.
    bool haveCurrentPortsDied (const MidiPortPair& current) const;
    void handleCommand (const DeviceCommandMessage& command);
    void post (int code, int p1, int p2);
    // Waits on the thread's event until the deadline (woken early only by its exit).
    bool pauseFor (int ms);

    juce::MessageListener* const listener;
    const std::shared_ptr<MidiPortLayer> ports;
    const DeviceTimings timings;

    std::atomic<bool> polling { false };
    std::atomic<bool> portsUnsettled { true };
    // The manager's thread only: the lists as last seen (ports known by name and identifier,
    // so that a port that left and came back is a change even under the same name).
    MidiPortList lastInputs, lastOutputs;
    bool currentUnplugged = false;               // likewise: its loss is still to be told

    mutable juce::CriticalSection pairsLock;     // the pairs, the current index and the lost device
    juce::Array<MidiPortPair> pairs;
    int currentIndex = -1;
    // The device whose loss was told last, while its dead ports stay open: it is not told
    // again. Selecting a device (its ports opened anew) or new pairs end the mark.
    std::weak_ptr<DeviceObject> lostDevice;

    juce::AudioDeviceManager audioDevices;

    DeviceCommandQueue queue;

    JUCE_DECLARE_NON_COPYABLE (DeviceManager)
};

// The process-wide device manager; the setter owns what it is given and deletes the one
// it replaces (stopping its thread). Whatever is still set at process exit is deleted then.
DeviceManager* getDeviceManager();
void setDeviceManager (DeviceManager* manager);

// True while a unit is connected: the process-wide device manager has a current pair.
bool isUnitConnected();
