#include "JourneyHarness.h"

using namespace journey;

namespace
{
    // The serial numbers of the device registry ("deviceList.xml" in the data folder).
    juce::StringArray registeredSerials (const juce::File& dataFolder)
    {
        juce::StringArray serials;
        if (auto xml = juce::parseXML (dataFolder.getChildFile ("deviceList.xml")))
            for (auto* device : xml->getChildWithTagNameIterator ("device"))
                serials.add (device->getStringAttribute ("serial"));
        return serials;
    }
}

// A first start online with two units waiting for the program: the window opens, both units
// are found by the start-up scan, the first usable one is connected and named in the status
// bar, and it is remembered. The user moves the window and quits; at the next start, with the
// units plugged in the other way round, the remembered unit is connected again and the window
// stands where it was left.
TEST_F (Journey, FirstStartOnlineAndTheNextStart)
{
    start ("socket");
    auto& merle = plugIn ("Merle", 20100);
    plugIn ("Merle XT", 21100);

    const auto area = mainWindow();
    step ("the start-up scan connects the first usable unit");
    waitForText (statusText(), "Merle 1.4.00 build 140");
    EXPECT_GT (merle.unit().countReceived (0x7E), 0) << "Merle was never asked who it is";
    EXPECT_TRUE (waitFor ([&] { return registeredSerials (dataFolder()).size() == 2; }, "both units in the registry"))
        << registeredSerials (dataFolder()).joinIntoString (", ");
    // Both units were there for the first scan: no device change was noticed afterwards.
    EXPECT_EQ (screen::findWindow ("USB Device Change"), 0ul);
    // Online: the content came from the web service, and no box says otherwise.
    EXPECT_GE (web().countRequests ("GET", "/Larkspire2/masterDescriptor.xml"), 1);
    EXPECT_EQ (screen::findWindow ("No Internet Connection"), 0ul);
    // Both units have their tiles on the Devices page.
    const Area tiles (area.getX(), area.getY() + 122, area.getWidth(), 30);
    EXPECT_TRUE (waitForText (tiles, "Merle XT"));

    const Area moved (40, 60, 900, 700);
    placeMainWindow (moved);
    step ("the user quits with Ctrl+Q");
    screen::click (at (500, 400));
    screen::key ("ctrl+q");
    EXPECT_EQ (waitForExit(), 0);
    EXPECT_EQ (setting ("lastConnectedDevice"), "20100");
    EXPECT_EQ (setting ("appWindowState"), moved.toString());

    step ("the next start, the units plugged in the other way round");
    start ("socket");
    plugIn ("Merle XT", 21100);
    plugIn ("Merle", 20100);
    waitForText (statusText(), "Merle 1.4.00 build 140");
    EXPECT_FALSE (textIn (statusText()).contains ("Merle XT"));
    EXPECT_EQ (mainWindow(), moved);
    screen::click (at (500, 400));
    screen::key ("ctrl+q");
    EXPECT_EQ (waitForExit(), 0);
}
