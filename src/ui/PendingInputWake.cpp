// The X11 declarations come with JUCE's own only when asked for before its header (this
// file is compiled without the precompiled header for that).
#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#include <juce_gui_basics/juce_gui_basics.h>
#include "ui/PendingInputWake.h"

#if JUCE_LINUX || JUCE_BSD
namespace juce
{
    // JUCE's hidden window; the loop drops what is sent to it.
    extern ::Window juce_messageWindowHandle;
}
#endif

PendingInputWake::PendingInputWake()
{
    startTimer (25);
}

PendingInputWake::~PendingInputWake()
{
    stopTimer();
}

void PendingInputWake::timerCallback()
{
   #if JUCE_LINUX || JUCE_BSD
    auto* windowSystem = juce::XWindowSystem::getInstanceWithoutCreating();
    auto* display = windowSystem != nullptr ? windowSystem->getDisplay() : nullptr;
    if (display == nullptr || juce::juce_messageWindowHandle == 0)
        return;

    auto* x11 = juce::X11Symbols::getInstance();
    juce::XWindowSystemUtilities::ScopedXLock lock;

    // Only what was read already: this looks at the queue without touching the socket.
    if (x11->xEventsQueued (display, QueuedAlready) == 0)
        return;

    XEvent wake {};
    wake.xclient.type = ClientMessage;
    wake.xclient.display = display;
    wake.xclient.window = juce::juce_messageWindowHandle;
    wake.xclient.format = 32;
    x11->xSendEvent (display, juce::juce_messageWindowHandle, False, NoEventMask, &wake);
    x11->xFlush (display);
   #endif
}
