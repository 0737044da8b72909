#pragma once

#include "core/ChangeInfo.h"

// Implemented by whatever follows the application's state, commands and device events.
class LarkspireChangeListener
{
public:
    virtual ~LarkspireChangeListener() = default;
    virtual void changeInfoCallback (const ChangeInfo& info) = 0;
};
