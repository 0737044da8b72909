#pragma once

#include "firmware/FirmwareUpdateProgressView.h"
#include <juce_events/juce_events.h>
#include <memory>

namespace juce { class Component; }

// What a firmware update needs of the component that owns it (the main content component):
// the application commands it runs along the way, where its end is reported, what its
// questions belong to, and its progress window. Every call is made on the message thread.
class FirmwareUpdateHost
{
public:
    // The application commands an update runs.
    enum Command : int
    {
        downloadDeviceData    = 0x3D000,   // reads the unit's presets and setup (device command 0x100010)
        scanForDevices        = 0x36000,   // rescans the MIDI ports (device command 0x100000)
        connectSelectedDevice = 0x36001    // connects the unit the update keeps (product id and serial)
    };

    virtual ~FirmwareUpdateHost() = default;

    // Carries out one of the commands above at once and tells whether it ran: false when the
    // command is unknown or disabled, so that nothing was started. An update waits for what a
    // command starts only when this returned true.
    virtual bool performUpdateCommand (int commandId) = 0;

    // Receives the end of the update (DeviceInfoMessage 0x84001, posted; the owner then reads
    // the result code and the error text from the thread) and the progress window's stop
    // request (0x84000), which the owner hands back to the thread as a device event.
    virtual juce::MessageListener& getUpdateListener() = 0;

    // The component the update's questions are shown over; may be null.
    virtual juce::Component* getDialogParent() = 0;

    // A new progress window for the update, or null when none could be made (the update is
    // then refused before it starts).
    virtual std::unique_ptr<FirmwareUpdateProgressView> createProgressView() = 0;
};
