#include "firmware/FirmwareUpdateTimings.h"
#include <mutex>

namespace
{
    std::mutex timingsLock;
    FirmwareUpdateTimings current;
}

FirmwareUpdateTimings getFirmwareUpdateTimings()
{
    const std::lock_guard<std::mutex> l (timingsLock);
    return current;
}

void setFirmwareUpdateTimings (const FirmwareUpdateTimings& timings)
{
    const std::lock_guard<std::mutex> l (timingsLock);
    current = timings;
}
