#include "content/EventUpdate.h"

EventUpdate::EventUpdate (const VersionNumber& target, bool descriptionRead)
    : TrackableDeviceManagerEvent ("db_device_update.php")
{
    query.addParameter ("serial", device.serial);
    query.addParameter ("product_id", (int) device.productId);
    query.addParameter ("start_build", (int) device.firmware.build);
    query.addParameter ("target_build", (int) target.build);
    query.addParameter ("exit_code", 0);
    query.addParameter ("description_read", descriptionRead);
}

EventUpdate::EventUpdate (const VersionNumber& start, const VersionNumber& target, bool descriptionRead, int exitCode)
    : TrackableDeviceManagerEvent ("db_device_update.php")
{
    query.addParameter ("serial", device.serial);
    query.addParameter ("product_id", (int) device.productId);
    query.addParameter ("start_build", (int) start.build);
    query.addParameter ("target_build", (int) target.build);
    query.addParameter ("exit_code", exitCode);
    query.addParameter ("description_read", descriptionRead);
}
