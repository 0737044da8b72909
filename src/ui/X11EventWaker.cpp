// The X library and JUCE's own X11 declarations; the precompiled JUCE headers leave them out.
#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#include "ui/X11EventWaker.h"

#if JUCE_LINUX
namespace juce
{
    // The window of JUCE's message loop: events sent to it are read and dropped.
    extern ::Window juce_messageWindowHandle;
}
#endif

X11EventWaker::X11EventWaker()
{
   #if JUCE_LINUX
    if (auto* x = juce::XWindowSystem::getInstanceWithoutCreating())
        if (auto* display = x->getDisplay())
        {
            juce::XWindowSystemUtilities::ScopedXLock lock;
            messageType = (unsigned long) juce::X11Symbols::getInstance()->xInternAtom (display, "LARKSPIRE_WAKE", False);
            startTimer (intervalMs);
        }
   #endif
}

X11EventWaker::~X11EventWaker()
{
    stopTimer();
}

void X11EventWaker::timerCallback()
{
   #if JUCE_LINUX
    auto* x = juce::XWindowSystem::getInstanceWithoutCreating();
    auto* display = x != nullptr ? x->getDisplay() : nullptr;
    if (display == nullptr || juce::juce_messageWindowHandle == 0)
        return;

    auto* symbols = juce::X11Symbols::getInstance();
    juce::XWindowSystemUtilities::ScopedXLock lock;
    if (symbols->xEventsQueued (display, QueuedAlready) == 0)
        return;

    XEvent wake {};
    wake.xclient.type = ClientMessage;
    wake.xclient.display = display;
    wake.xclient.window = juce::juce_messageWindowHandle;
    wake.xclient.message_type = (Atom) messageType;
    wake.xclient.format = 32;
    symbols->xSendEvent (display, juce::juce_messageWindowHandle, False, NoEventMask, &wake);
    symbols->xFlush (display);
   #endif
}
