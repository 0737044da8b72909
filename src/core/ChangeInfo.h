#pragma once

#include "core/DeviceInfoMessage.h"

// A change record that the main content component broadcasts to its listeners.
class ChangeInfo : public juce::ReferenceCountedObject
{
public:
    enum Kind { applicationStateChange = 1, commandPerformed = 2, deviceEvent = 3 };

    using Ptr = juce::ReferenceCountedObjectPtr<ChangeInfo>;

    ChangeInfo() = default;
    explicit ChangeInfo (const DeviceInfoMessage& e) : kind (deviceEvent) { event.copyFrom (e); }

    static Ptr stateChange (int newState, int oldState)
    {
        Ptr info (new ChangeInfo());
        info->kind = applicationStateChange;
        info->newValue = newState;
        info->oldValue = oldState;
        return info;
    }

    static Ptr command (int commandId)
    {
        Ptr info (new ChangeInfo());
        info->kind = commandPerformed;
        info->commandId = commandId;
        return info;
    }

    int newValue = -1;
    int oldValue = -1;
    int commandId = 0;
    DeviceInfoMessage event;
    int kind = 0;
};
