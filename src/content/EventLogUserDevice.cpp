#include "content/EventLogUserDevice.h"

EventLogUserDevice::EventLogUserDevice (int serial, juce::uint8 productId, const VersionNumber& firmware,
                                        juce::Time detected)
    : TrackableEvent ("db_user_log_device.php")
{
    query.addParameter ("serial", serial);
    query.addParameter ("product_id", (int) productId);
    query.addParameter ("build_num", (int) firmware.build);
    query.addParameter ("date_detected", detected.formatted ("%Y-%m-%d %H:%M:%S"));
}
