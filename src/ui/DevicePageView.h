#pragma once

#include "core/LarkspireChangeListener.h"
#include <juce_gui_basics/juce_gui_basics.h>

// What the main content component needs of the "Devices" page: the page itself (shown in
// its tab, enabled and disabled around transfers), its place among the change listeners,
// and the port the user picked for "Connect selected device".
class DevicePageView : public LarkspireChangeListener
{
public:
    ~DevicePageView() override = default;

    virtual juce::Component& getPageComponent() = 0;

    // The port index of the first port button toggled on, in panel order; -1 when none.
    virtual int getFirstToggledPortIndex() const = 0;

    // The port buttons show again which unit's ports are open (after a click on another
    // unit whose connection did not come about).
    virtual void showConnectedUnit() = 0;

    // The known units are listed again (the registry has been read).
    virtual void showKnownUnits() = 0;
};
