#pragma once

#include <juce_events/juce_events.h>

// On X11 the message loop reads window events only when the X connection's socket has data.
// Events that reach the program while some call waits for an answer of the X server (the
// tooltip window's and an open popup menu's pointer polls do so several times a second, from
// timers) are read off the socket during that wait and left in the connection's queue, where
// the loop does not look: a mouse button released at that moment was only taken with the
// next input, so a click on a menu item or a button now and then did nothing until the
// pointer moved. This timer looks into that queue and, when events wait there, has the
// server send the program a message that it ignores, which wakes the loop to take them.
class PendingInputWake : private juce::Timer
{
public:
    PendingInputWake();
    ~PendingInputWake() override;

private:
    void timerCallback() override;

    JUCE_DECLARE_NON_COPYABLE (PendingInputWake)
};
