#include "content/EventConnection.h"

EventConnection::EventConnection() : TrackableDeviceManagerEvent ("db_device_connect.php")
{
    query.addParameter ("serial", device.serial);
    query.addParameter ("product_id", (int) device.productId);
    query.addParameter ("build_num", (int) device.firmware.build);
}
