#pragma once

#include "model/DeviceData.h"
#include "model/DeviceDataArchiveBase.h"

// The handle through which the pages work on one source of data: a weak reference
// to a connected unit's live data, an owned archive item, and the owned working
// copy that the user edits.
class DataSet : public juce::ReferenceCountedObject
{
public:
    using Ptr = juce::ReferenceCountedObjectPtr<DataSet>;

    // The same unit, a copy of the archive item, a full copy of the working data with
    // every flag cleared.
    DataSet (const DataSet& other);
    // Takes `working`; without one, a full copy of the unit's data (flags kept).
    DataSet (DeviceData* device, std::unique_ptr<DeviceData> working);
    // Takes the archive item; the working copy is a full copy of its data (flags kept).
    explicit DataSet (std::unique_ptr<DeviceDataArchiveBase> archive);
    ~DataSet() override;

    DeviceData* getDevice() const noexcept { return device.get(); }
    DeviceDataArchiveBase* getArchive() const noexcept { return archive.get(); }
    DeviceData* getWorking() const noexcept { return working.get(); }

    // The unit's data while it lives, else the archive item's data, else null.
    DeviceData* getSourceDeviceData() const;

    // The working copy is modified, or a slot the source fills is empty in it.
    bool hasUnsavedChanges() const;

private:
    juce::WeakReference<DeviceData> device;
    std::unique_ptr<DeviceDataArchiveBase> archive;
    std::unique_ptr<DeviceData> working;

    DataSet& operator= (const DataSet&) = delete;
};
