#include "content/EventDeviceActivation.h"

EventDeviceActivation::EventDeviceActivation (int serial, const juce::String& product, juce::Time date)
    : TrackableEvent ("db_device_activate.php")
{
    query.addParameter ("serial", serial);
    query.addParameter ("product", product);
    query.addParameter ("date", date.formatted ("%Y-%m-%d %H:%M:%S"));
}
