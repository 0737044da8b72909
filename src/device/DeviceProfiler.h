#pragma once

#include "model/DeviceCaps.h"
#include "model/FactoryBank.h"
#include "model/VersionNumber.h"
#include <memory>
#include <mutex>

// Two jobs. The static helpers read a product's capability document (through the content
// manager) to name a unit's variant, to build the capability profile of a firmware build or
// of a data version, to find a build's factory bank, and to tell the product a MIDI port
// is named after. The object is the known-device registry: every unit ever identified on
// this computer, kept in "deviceList.xml" of the application data folder.
//
// Every registry operation holds the registry lock, but never across a web request or a
// content download.
class DeviceProfiler
{
public:
    // Installs createFactoryBank as the lookup of unit data made without a bank.
    DeviceProfiler();
    ~DeviceProfiler();

    //==============================================================================
    // Capability documents
    static juce::String getVariantDisplayName (juce::uint8 productId, int serial);
    // Null without content or for a profile refused as ContentManager::createDeviceCaps says.
    static std::unique_ptr<DeviceCaps> createDeviceCaps (juce::uint8 productId, int build, juce::String* refusal = nullptr);
    static std::unique_ptr<FactoryBank> createFactoryBank (juce::uint8 productId, int build);
    // The product a port is named after: the name itself when it is a product name, else
    // the first product whose name, without blanks and in lower case, occurs in the port
    // name taken the same way; empty when none.
    static juce::String findProductNameForPort (const juce::String& portName);
    static bool isKnownProductPort (const juce::String& portName);

    //==============================================================================
    // The registry
    struct Date
    {
        int year = 0, month = 0, day = 0;
    };

    // Parallel lists, one entry per known unit.
    struct KnownDevices
    {
        juce::Array<VersionNumber> firmwareVersions;
        juce::StringArray names;
        juce::Array<int> productIds;
        juce::Array<int> serialNumbers;
        juce::Array<Date> manufactureDates;
        juce::Array<juce::int64> detectionTimes;
    };

    // Reads "deviceList.xml" (readRegistry) and makes the content of each product in it
    // present (with the words "developer" and "sync_all": of every product). True when every
    // preparation succeeded.
    bool load();

    // Reads "deviceList.xml" alone: the known units are then listed, before their products'
    // content is made present.
    void readRegistry();

    KnownDevices getKnownDevices (bool leaveOutConnected) const;

    // Adds the units the device manager has identified, or updates their firmware version,
    // and saves the file when anything changed. When a unit was added (or, on the first run
    // of this installation, once per run) every known unit is queued as a usage event.
    void updateFromDevices();

    // Refused (false) for the unit connected now; false when no entry was removed.
    bool removeDevice (juce::uint8 productId, int serial);
    bool removeDisconnectedDevices();

    bool isFirmwareUpdateAvailableForDevice (juce::uint8 productId, int serial) const;

    // Starts asking the maker's web service about every unit it has not confirmed yet, on a
    // thread of the profiler's own: nothing of the program depends on the answer, so nothing
    // waits for it. A start while a look-up runs makes it run once more afterwards.
    void startLookUp();

    // A copy of the registry (null before anything was loaded or made).
    std::unique_ptr<juce::XmlElement> getRegistryCopy() const;
    juce::Array<int> getKnownProductIds() const;

private:
    class LookUpThread;

    bool save();   // with the lock held; false when the file could not be written
    juce::XmlElement* findEntry (int productId, int serial) const;
    // The look-up itself: registers the units the service does not know and saves what changed.
    // The thread's exit ends it early.
    void lookUpDevices (juce::Thread* thread);

    std::mutex lookUpLock;   // guards the thread's making and its end
    std::unique_ptr<LookUpThread> lookUpThread;
    mutable juce::CriticalSection lock;
    std::unique_ptr<juce::XmlElement> registry;
    juce::Array<int> productIds;
    bool loggedThisRun = false;

    JUCE_DECLARE_NON_COPYABLE (DeviceProfiler)
};

// The process-wide device profiler; the setter owns what it is given and deletes the one
// it replaces. Whatever is still set at process exit is deleted then.
DeviceProfiler* getDeviceProfiler();
void setDeviceProfiler (DeviceProfiler* profiler);
