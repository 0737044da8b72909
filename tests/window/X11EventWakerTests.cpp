#include <gtest/gtest.h>
#include "support/TestEnvironment.h"
#include "ui/X11EventWaker.h"
#include "ScreenTools.h"

using namespace testing_support;

// A click that the X library has already read into its own queue when the event loop next
// looks at the connection (a call that waited for the server's answer took it in): the loop
// finds nothing to read, and only the waker brings the click to the window before the server
// sends anything more.
TEST (X11EventWaker, AClickTheXLibraryHasQueuedReachesTheWindow)
{
    struct Pad : juce::Component
    {
        int presses = 0;
        void mouseDown (const juce::MouseEvent&) override { ++presses; }
        void paint (juce::Graphics& g) override { g.fillAll (juce::Colours::white); }
    } pad;
    pad.setBounds (100, 100, 200, 200);
    pad.addToDesktop (0);
    pad.setVisible (true);
    // The X server shows the window under the point that will be clicked.
    const auto windowId = juce::String ((juce::pointer_sized_int) pad.getPeer()->getNativeHandle());
    ASSERT_TRUE (pumpUntil ([&]
    {
        return runTool ({ "xdotool", "mousemove", "200", "200", "getmouselocation" }).contains ("window:" + windowId);
    }, 20000));

    X11EventWaker waker;
    runTool ({ "xdotool", "click", "1" });
    juce::Desktop::getMousePosition();   // asks the server: the click is read into the queue
    EXPECT_TRUE (pumpUntil ([&] { return pad.presses == 1; }, 10000)) << pad.presses;
}
