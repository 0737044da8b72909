#include "model/DataSet.h"

DataSet::DataSet (const DataSet& other)
    : juce::ReferenceCountedObject(), device (other.device.get())
{
    if (other.archive != nullptr)
        archive = other.archive->createArchiveCopy();
    if (other.working != nullptr)
        working = other.working->createFullCopy (true);
}

DataSet::DataSet (DeviceData* d, std::unique_ptr<DeviceData> w)
    : device (d), working (std::move (w))
{
    if (working == nullptr && d != nullptr)
        working = d->createFullCopy (false);
}

DataSet::DataSet (std::unique_ptr<DeviceDataArchiveBase> a)
    : archive (std::move (a))
{
    if (archive != nullptr)
        if (auto* data = archive->getData())
            working = data->createFullCopy (false);
}

DataSet::~DataSet()
{
    working.reset();
    archive.reset();
    device = nullptr;
}

DeviceData* DataSet::getSourceDeviceData() const
{
    if (auto* d = device.get())
        return d;
    return archive != nullptr ? archive->getData() : nullptr;
}

bool DataSet::hasUnsavedChanges() const
{
    if (working == nullptr)
        return false;
    if (working->isModified())
        return true;
    if (auto* source = getSourceDeviceData())
        for (int i = 1; i < source->getNumSlots(); ++i)
            if (source->hasPreset (i) && ! working->hasPreset (i))
                return true;
    return false;
}
