// The X11 declarations come with JUCE's own only when asked for before its header (this
// file is compiled without the precompiled header for that).
#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#include <juce_gui_basics/juce_gui_basics.h>
#include "ui/WindowSystem.h"

void flushWindowSystem()
{
   #if JUCE_LINUX || JUCE_BSD
    auto* windowSystem = juce::XWindowSystem::getInstanceWithoutCreating();
    auto* display = windowSystem != nullptr ? windowSystem->getDisplay() : nullptr;
    if (display == nullptr)
        return;

    juce::XWindowSystemUtilities::ScopedXLock lock;
    juce::X11Symbols::getInstance()->xFlush (display);
   #endif
}
