#pragma once

#include <memory>

class DeviceData;

// What a DataSet needs of an archive item: the item lives in the archive layer
// above this one and implements this.
class DeviceDataArchiveBase
{
public:
    virtual ~DeviceDataArchiveBase() = default;

    // The item's data, or null when it holds none.
    virtual DeviceData* getData() const = 0;

    // A copy made the way the item copies itself (a copy gets its own identity).
    virtual std::unique_ptr<DeviceDataArchiveBase> createArchiveCopy() const = 0;
};
