#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// JUCE 7 on Linux reads the X server's events only when its connection has bytes waiting.
// A call that waits for an answer from the server (JUCE asks where the pointer is several
// times a second, for tooltips and while a drag runs) takes the events that came before the
// answer into the X library's own queue, where nothing looks at them until the server sends
// something more: a released button or a pressed key could wait there until the pointer next
// moves. While it lives, this looks for such events every few milliseconds and has the server
// send the program a message that the program ignores, which wakes its event loop.
class X11EventWaker : private juce::Timer
{
public:
    X11EventWaker();
    ~X11EventWaker() override;

    static constexpr int intervalMs = 20;

private:
    void timerCallback() override;

    unsigned long messageType = 0;
};
