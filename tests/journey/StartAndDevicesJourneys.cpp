#include "JourneyHarness.h"
#include "model/DeviceData.h"
#include "support/SilentNameServer.h"
#include "support/TestEnvironment.h"

using namespace journey;
using namespace testing_support;

namespace
{
    // The unit holds presets named name 1 to name count in its first slots, and no others;
    // their names, as presetNamesIn gives them.
    juce::String holdOnly (SimulatedUnit& unit, const juce::String& name, int count)
    {
        for (auto n : unit.getPresetNumbers())
            unit.erasePreset (n);
        juce::StringArray names;
        for (int n = 1; n <= count; ++n)
        {
            auto preset = unit.makePreset (n, 7);
            preset.name = name + " " + juce::String (n);
            unit.setPreset (preset);
            names.add (preset.name);
        }
        return names.joinIntoString (", ");
    }

    // The names of the presets in a data file the program wrote.
    juce::String presetNamesIn (const juce::File& file)
    {
        auto data = DeviceData::createFromFile (file.getFullPathName());
        return data != nullptr ? data->getPresetNames (data->getPresetIndices()).joinIntoString (", ") : juce::String();
    }

    // Nothing but identity queries reached the unit before it was asked for its serial number
    // (by its own product id): it was not read or written before the program knew it.
    bool knownBeforeUsed (const SimulatedUnit& unit)
    {
        for (auto& e : unit.getLog())
        {
            if (e.command() == 0x7E && e.bytes.size() > 7 && e.bytes[7] == 0x07 && e.deviceId() == unit.getIdentity().productId)
                return true;
            if (e.command() != 0x7E)
                return false;
        }
        return true;
    }

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

// A first start online with two units waiting for the program, every file of the web but its
// descriptor trickling: the window opens, both units are found by the start-up scan, each
// waiting for its product's small files only as long as the web time-out, and the download
// thread gives a trickling file up at that time-out; the first usable unit is connected and
// named in the status bar, and it is remembered. The user moves the window and quits; at the
// next start, with the units plugged in the other way round and the web's answer trickling,
// the known units are listed and Scan looks inactive while the answer is awaited; the answer
// is given up at the web time-out, the units are scanned by the copy on disk, the remembered
// unit is connected again, and the window stands where it was left. Scan then looks active,
// and scans.
TEST_F (Journey, FirstStartOnlineAndTheNextStart)
{
    // 1 MB at 150 bytes a second, just above the transfer's low-speed abort: about two hours.
    auto trickle = [this] (const juce::String& path)
    {
        const auto file = servedContent().getChildFile (path);
        file.appendData (juce::String::repeatedString ("x", 1 << 20).toRawUTF8(), 1 << 20);
        web().serveSlowly ("/Larkspire2/" + path, 15, 100);
    };
    for (auto& file : servedContent().findChildFiles (juce::File::findFiles, true))
        if (file.getFileName() != "masterDescriptor.xml")
            trickle (file.getRelativePathFrom (servedContent()));
    const double firstStartMs = juce::Time::getMillisecondCounterHiRes();
    start ("socket");
    auto& merle = plugIn ("Merle", 20100);
    auto& xt = plugIn ("Merle XT", 21100);

    const auto area = mainWindow();
    step ("the start-up scan connects the first usable unit");
    waitForText (statusText(), "Merle 1.4.00 build 140", 120000);
    ASSERT_GT (merle.unit().countReceived (0x7E), 0) << "Merle was never asked who it is";
    EXPECT_LT (merle.unit().getReceived (0x7E).front().timeMs - firstStartMs, 45000.0);
    for (auto* unit : { &merle, &xt })
    {
        EXPECT_GT (firstAskedAt (unit->unit(), 0x09), 0.0);
        EXPECT_LT (firstAskedAt (unit->unit(), 0x09) - firstStartMs, 75000.0) << "a unit waited that long to be identified";
    }
    auto scriptsAsked = [this]
    {
        int n = 0;
        for (auto& r : web().getRequests())
            n += r.path.startsWith ("/Larkspire2/Merle/js/") ? 1 : 0;
        return n;
    };
    waitFor ([&] { return scriptsAsked() >= 2; }, "the next rule script, the first one given up", 120000);
    EXPECT_LT (juce::Time::getMillisecondCounterHiRes() - firstStartMs, 75000.0) << "a trickling file held the download";
    EXPECT_TRUE (waitFor ([&] { return registeredSerials (dataFolder()).size() == 2; }, "both units in the registry"))
        << registeredSerials (dataFolder()).joinIntoString (", ");
    // Both units were there for the first scan: no device change was noticed afterwards.
    EXPECT_EQ (findVisibleWindow ("USB Device Change"), 0ul);
    // Online: the content came from the web service, and no box says otherwise.
    EXPECT_GE (web().countRequests ("GET", "/Larkspire2/masterDescriptor.xml"), 1);
    EXPECT_EQ (findVisibleWindow ("No Internet Connection"), 0ul);
    // Both units have their tiles on the Devices page.
    const Area tiles (area.getX(), area.getY() + 122, area.getWidth(), 30);
    EXPECT_TRUE (waitForText (tiles, "Merle XT"));
    // Where Scan's label is in the window: faded, it is too pale for OCR to find.
    const auto scanLabel = waitForToolbarItem ("Scan", true, 60000) - area.getPosition();

    const Area moved (40, 60, 900, 700);
    placeMainWindow (moved);
    step ("the user quits with Ctrl+Q");
    clickAt (at (500, 400));
    pressKeys ("ctrl+q");
    EXPECT_EQ (waitForExit(), 0);
    EXPECT_EQ (setting ("lastConnectedDevice"), "20100");
    EXPECT_EQ (setting ("appWindowState"), moved.toString());

    step ("the next start, the units plugged in the other way round; the web's answer trickles");
    const auto descriptor = servedContent().getChildFile ("masterDescriptor.xml");
    descriptor.replaceWithText (descriptor.loadFileAsString() + "<!--" + juce::String::repeatedString ("x", 1 << 20) + "-->");
    web().serveSlowly ("/Larkspire2/masterDescriptor.xml", 15, 100);
    const double startedMs = juce::Time::getMillisecondCounterHiRes();
    start ("socket");
    plugIn ("Merle XT", 21100);
    auto& merleAgain = plugIn ("Merle", 20100);
    auto asked = [&] { return merleAgain.unit().countReceived (0x7E); };

    step ("while the answer is awaited: the known units are listed, and Scan looks inactive and does nothing");
    waitForText (page(), "Merle XT");
    const auto scan = scanLabel + mainWindow().getPosition();
    const auto shot = look();
    EXPECT_GT (screen::count (shot, scan, [] (juce::Colour c) { return c.getPerceivedBrightness() < 0.8f; }), 0)
        << "Scan is not shown";
    EXPECT_EQ (screen::count (shot, scan, [] (juce::Colour c) { return c.getPerceivedBrightness() < 0.5f; }), 0)
        << "Scan looks active";
    // Its icon is above its label.
    clickAt (scan.getCentre().translated (0, -20));
    EXPECT_EQ (asked(), 0) << "the web's answer ended before the look was taken";

    step ("the answer is given up: the units are scanned by the copy on disk");
    waitFor ([&] { return asked() > 0; }, "Merle asked who it is");
    EXPECT_LT (merleAgain.unit().getReceived (0x7E).front().timeMs - startedMs, 40000.0);
    answer ("No Internet Connection", "OK");
    waitForText (statusText(), "Merle 1.4.00 build 140");
    EXPECT_FALSE (textIn (statusText()).contains ("Merle XT"));
    EXPECT_EQ (mainWindow(), moved);

    step ("Scan looks active now, and scans");
    waitForEnabled ("Scan");
    const int before = asked();
    clickToolbarItem ("Scan");
    waitFor ([&] { return asked() > before; }, "Merle asked again");
    waitForText (statusText(), "Merle 1.4.00 build 140");
    clickAt (at (500, 400));
    pressKeys ("ctrl+q");
    EXPECT_EQ (waitForExit(), 0);
}

// On a network whose name server never answers, with a known unit that the web service has not
// confirmed yet: the start-up gives the web up at its time-out, the unit is read right after it
// is identified although its web look-up hangs, and after "No Internet Connection" Scan scans.
// With the developer word, the conversion of a pack whose data lies on the web shows its
// progress over a program that stays responsive; Cancel ends it, and a quit during the next one
// ends the program.
TEST_F (Journey, OnANetworkWhoseNamesNeverResolveNothingWaitsForTheWeb)
{
    SilentNameServer names;
    if (! names.isInPlace())
        GTEST_SKIP() << "no mount namespace of its own to give the program a silent name server in";

    // Merle known and unconfirmed; the image of the firmware it runs, which the pack conversion
    // takes for the latest, on disk.
    const auto image = dataFolder().getChildFile ("Merle/firmware/merle_140.syx");
    ASSERT_TRUE (image.getParentDirectory().createDirectory());
    ASSERT_TRUE (installedContent().getChildFile ("Merle/firmware/merle_140.syx").copyFileTo (image));
    ASSERT_TRUE (dataFolder().getChildFile ("deviceList.xml").replaceWithText (
        "<DEVICE_MANAGER><device name=\"Merle\" id=\"17\" activated=\"0\" detection=\"1600000000000\" "
        "version=\"0.1.4.0.140.0\" serial=\"20100\" manufacture=\"2021.03.12\"/></DEVICE_MANAGER>"));
    const auto packs = getHome().getChildFile ("packs");
    ASSERT_TRUE (packs.getChildFile ("Voices").createDirectory());
    ASSERT_TRUE (packs.getChildFile ("Voices/presets.xml").replaceWithText (
        "<PRESETS><product name=\"Merle\"/><archive><title>Far Away</title><iconName>stage</iconName>"
        "<dataURL>http://packs.larkspire.test/far.ard</dataURL></archive></PRESETS>"));

    start ("socket", { "developer" }, "http://web.larkspire.test:8080");
    auto& merle = plugIn ("Merle", 20100).unit();

    step ("the web is given up at its time-out; Merle is read right after it is identified");
    waitForWindow ("No Internet Connection", 90000);
    waitFor ([&] { return merle.countReceived (0x45) > 0; }, "Merle read");
    const auto log = merle.getLog();
    double before = 0, read = 0;
    for (auto& m : log)
    {
        if (m.command() == 0x45)
        {
            read = m.timeMs;
            break;
        }
        before = m.timeMs;
    }
    EXPECT_LT (read - before, 3000.0) << "nothing reached Merle that long before its read";
    EXPECT_GT (names.getQueries(), 0);

    step ("after \"No Internet Connection\", Scan scans");
    answer ("No Internet Connection", "OK");
    clickText (tabStrip(), "Devices");
    waitForEnabled ("Scan");
    const int asked = merle.countReceived (0x7E);
    clickToolbarItem ("Scan");
    waitFor ([&] { return merle.countReceived (0x7E) > asked; }, "Merle asked again");
    waitForText (statusText(), "Merle 1.4.00 build 140");

    // The browser's menu, Developer, Convert LS1 preset pack(s)..., the folder of the pack, and
    // the two questions: the progress window of the pack's read.
    auto convertThePack = [&] (bool firstTime)
    {
        step ("convert the pack");
        if (firstTime)
        {
            clickText (tabStrip(), "Presets");
            clickText (browser(), "Backups");
        }
        const auto backups = waitForTextAt (browser(), "Backups");
        clickAt (backups.getCentre(), 3);
        const Area menu (backups.getX(), backups.getY() - 20, 600, 200);
        clickText (menu, "Developer");
        clickText (menu, "Convert LS1 preset pack(s)...");
        choosePath ("Select Preset Source Folder", packs);
        clickText (getWindowGeometry (waitForWindow ("Convert Preset Pack")), "Start Conversion");
        Area box;
        waitFor ([&] { box = getWindowGeometry (findVisibleWindow ("Convert Preset Pack"));
                       return ! box.isEmpty() && screen::shows (textIn (box), "For version"); }, "what is converted");
        clickText (box.withTop (box.getBottom() - 60), "OK");
        const auto progress = getWindowGeometry (waitForWindow ("Converting Preset Pack"));
        waitForText (progress, "Reading Far Away");
        return progress;
    };

    step ("Cancel ends the conversion, with nothing more said");
    const auto progress = convertThePack (true);
    clickText (progress.withTop (progress.getBottom() - 60), "Cancel");
    waitForWindowGone ("Converting Preset Pack");
    testing_support::pumpFor (2000);
    EXPECT_EQ (findVisibleWindow ("Error"), 0ul);

    step ("a quit during the next conversion ends the program");
    convertThePack (false);
    const auto sent = juce::Time::getMillisecondCounter();
    EXPECT_EQ (endBySignals ({ SIGTERM }, 30000), 0);
    EXPECT_LT (juce::Time::getMillisecondCounter() - sent, 3000u) << "the program took that long to end";
}

// The Devices page: a click on another unit's tile connects it; "Disconnect" lets it go; a
// unit plugged in later is found through the device change box's "Scan Now". A unit unplugged
// while another is connected brings the box that says the connection is still open; when the
// connected unit goes too, that box goes and the loss is told instead. A unit unplugged in the
// middle of a read ends the read within seconds, with the one box of the lost connection (not
// a time-out first), and every file the program stored is still whole.
TEST_F (Journey, DevicesPage)
{
    start ("socket");
    auto& merle = plugIn ("Merle", 20100);
    auto& xt = plugIn ("Merle XT", 21100);
    waitForText (statusText(), "Merle 1.4.00 build 140");
    // The connected unit is read at once (automatic synchronisation).
    waitFor ([&] { return merle.unit().countReceived (0x45) >= 25; }, "Merle's presets read");

    step ("connect Merle XT by a click on its tile");
    clickText (page(), "Merle XT");
    // Merle XT runs an old build: the program offers the new one, which the user declines.
    answer ("New Firmware Available", "No");
    waitForText (statusText(), "Merle XT 2.1.00 build 210");
    waitFor ([&] { return xt.unit().countReceived (0x45) >= 50; }, "Merle XT's presets read");

    step ("disconnect");
    clickToolbarItem ("Disconnect");
    waitForText (statusText(), "Nothing Connected");

    step ("a unit plugged in later, found by Scan Now");
    auto& piper = plugIn ("Piper", 22100);
    answer ("USB Device Change", "Scan Now");
    waitForText (page(), "Piper");
    EXPECT_GT (piper.unit().countReceived (0x7E), 0) << "Piper was never asked who it is";
    // The scan connects the unit connected last.
    waitForText (statusText(), "Merle XT 2.1.00 build 210");

    step ("unplug Piper, then the connected Merle XT while the box about Piper is open");
    unplug (piper);
    const auto change = waitForWindow ("USB Device Change");
    EXPECT_TRUE (waitForText (getWindowGeometry (change), "still open"));
    // Merle's data as it is before Merle is read again.
    const auto before = filesUnder (dataFolder(), "*.ard");
    const auto merleFiles = dataFolder().getChildFile ("Merle/data/20100");
    ASSERT_TRUE (merleFiles.getChildFile ("sync.ard").existsAsFile());
    auto faults = merle.unit().getFaults();
    faults.replyDelayMs = 150;
    merle.unit().setFaults (faults);
    merle.unit().clearLog();
    unplug (xt);
    waitForWindow ("USB Device Connection Lost");
    EXPECT_EQ (findVisibleWindow ("USB Device Change"), 0ul) << "the box that says the connection is open stayed";
    waitForText (statusText(), "Nothing Connected");

    step ("rescan: Merle is connected and read, and unplugged while it is read");
    answer ("USB Device Connection Lost", "Scan Now");
    waitForText (statusText(), "Merle 1.4.00 build 140");
    waitFor ([&] { return merle.unit().countReceived (0x45) >= 5; }, "Merle being read");
    unplug (merle);

    // The read ends at once: the lost connection is told within seconds, in its one box.
    bool timeOutBox = false;
    waitFor ([&]
    {
        timeOutBox = timeOutBox || findVisibleWindow ("Device Error") != 0;
        return findVisibleWindow ("USB Device Connection Lost") != 0;
    }, "the lost connection told", 30000);
    EXPECT_FALSE (timeOutBox) << "a time-out box came first";
    answer ("USB Device Connection Lost", "Later");
    waitForText (statusText(), "Nothing Connected");
    EXPECT_EQ (findVisibleWindow ("Device Error"), 0ul);

    // Merle's stored data is as it was, and every stored file is whole.
    const auto after = filesUnder (dataFolder(), "*.ard");
    for (auto name : { "sync.ard", "working.ard" })
    {
        const auto path = merleFiles.getChildFile (name).getRelativePathFrom (dataFolder());
        ASSERT_EQ (after.count (path), 1u) << path;
        EXPECT_TRUE (after.at (path) == before.at (path)) << path;
    }
    for (auto& [path, bytes] : after)
        EXPECT_NE (DeviceData::createFromFile (dataFolder().getChildFile (path).getFullPathName()), nullptr) << path;
    for (auto& f : dataFolder().findChildFiles (juce::File::findFiles, true, "*.xml"))
        EXPECT_NE (juce::parseXML (f), nullptr) << f.getFullPathName();

    pressKeys ("ctrl+q");
    EXPECT_EQ (waitForExit(), 0);
}

// A unit unplugged while "Apply Changes" sends nine renamed presets: the program reports the
// lost connection and keeps the edits not sent. When the unit comes back, the program asks before its
// automatic read would replace them; "Cancel" keeps them, and "Apply Changes" sends the rest.
TEST_F (Journey, AUnitUnpluggedDuringApplyComesBackWithItsEditsKept)
{
    start ("socket");
    auto& socket = plugIn ("Merle", 20100);
    auto& unit = socket.unit();
    waitForText (statusText(), "Merle 1.4.00 build 140");
    waitFor ([&] { return unit.countReceived (0x45) >= 25; }, "Merle read as it connects");
    showPresets();

    // Slots 1 to 11 hold nine presets (4 and 8 are empty).
    const juce::Array<int> nine { 1, 2, 3, 5, 6, 7, 9, 10, 11 };
    auto renamedOnTheUnit = [&]
    {
        int n = 0;
        for (auto slot : nine)
            n += unit.hasPreset (slot) && unit.getPreset (slot).name == "Renamed" ? 1 : 0;
        return n;
    };

    step ("rename the nine presets of slots 1 to 11 at once");
    clickAt (tile (1));
    waitForText (nameField(), "Sim 1");
    clickAt (tile (11), 1, { "shift" });
    waitForText (nameField(), "<multiple selected>");
    clickAt (nameField().getCentre());
    typeText ("Renamed");
    pressKeys ("Return");
    waitForText (workspace(), "Renamed");

    step ("Apply Changes, and unplug the unit after four writes");
    auto faults = unit.getFaults();
    faults.replyDelayMs = 400;
    unit.setFaults (faults);
    clickToolbarItem ("Apply Changes");
    waitFor ([&] { return renamedOnTheUnit() >= 4; }, "four presets written", 120000);
    unplug (socket);
    ASSERT_LT (renamedOnTheUnit(), nine.size()) << "every preset was written before the unplug";
    faults.replyDelayMs = 0;
    unit.setFaults (faults);

    // The send ends as the connection is lost, told in its one box, and the unit is let go.
    waitForWindow ("USB Device Connection Lost", 60000);
    answer ("USB Device Connection Lost", "Later");
    waitForText (statusText(), "Nothing Connected");
    EXPECT_EQ (findVisibleWindow ("Device Error"), 0ul);
    const int writtenBefore = renamedOnTheUnit();

    step ("the unit comes back: the question before the read, and Cancel");
    unit.clearLog();
    plugBackIn (socket);
    answer ("USB Device Change", "Scan Now");
    const auto box = getWindowGeometry (waitForWindow ("Changes Will Be Lost"));
    EXPECT_TRUE (waitForText (box, "If you synchronize now"));
    answer ("Changes Will Be Lost", "Cancel");
    waitForText (statusText(), "Merle 1.4.00 build 140");
    EXPECT_EQ (unit.countReceived (0x45), 0) << "the unit was read over the edits";
    EXPECT_EQ (renamedOnTheUnit(), writtenBefore);

    step ("Apply Changes sends the rest");
    clickText (tabStrip(), "Presets");
    waitForEnabled ("Apply Changes");
    clickToolbarItem ("Apply Changes");
    waitFor ([&] { return renamedOnTheUnit() == nine.size(); }, "the unit holds all nine renamed");
    waitForEnabled ("Get Data");
    pressKeys ("ctrl+q");
    EXPECT_EQ (waitForExit(), 0);
}

// The web's product list leaves Piper out and answers late, while the installed list names it.
// The devices start on the web's list, so Piper is not identified as a product and is not used
// for data: a click on its tile reads nothing of it, no disk error is reported, the connected
// unit stays, and the quit asks about no edits.
TEST_F (Journey, AUnitOfAProductTheWebListLeavesOutIsNotUsedForData)
{
    const auto descriptor = servedContent().getChildFile ("masterDescriptor.xml");
    auto list = juce::parseXML (descriptor);
    ASSERT_NE (list, nullptr);
    auto* products = list->getChildByName ("devices");
    ASSERT_NE (products, nullptr);
    products->removeChildElement (products->getChildByAttribute ("name", "Piper"), true);
    web().reply ("/Larkspire2/masterDescriptor.xml", 200, list->toString(), 8000);

    start ("socket");
    plugIn ("Merle", 20100);
    auto& piper = plugIn ("Piper", 22100);
    step ("the web's list comes late; the units are scanned by it");
    const auto stored = dataFolder().getChildFile ("masterDescriptor.xml");
    waitFor ([&] { return stored.existsAsFile() && ! stored.loadFileAsString().contains ("\"Piper\""); },
             "the web's list stored");
    waitForText (statusText(), "Merle 1.4.00 build 140");

    step ("click Piper's tile");
    piper.unit().clearLog();
    clickAt (waitForTextAt (page(), "Piper").getCentre());
    bool falseBox = false;
    const auto started = juce::Time::getMillisecondCounter();
    waitFor ([&]
    {
        falseBox = falseBox || findVisibleWindow ("File Error") != 0 || findVisibleWindow ("Changes Will Be Lost") != 0;
        return juce::Time::getMillisecondCounter() - started > 5000;
    }, "a while after the click");
    EXPECT_FALSE (falseBox);
    EXPECT_EQ (piper.unit().countReceived (0x45), 0) << "Piper's presets were read";
    EXPECT_TRUE (textIn (statusText()).contains ("Merle 1.4.00 build 140"));

    step ("quit");
    pressKeys ("ctrl+q");
    EXPECT_EQ (waitForExit(), 0) << "the quit was held up (by \"Changes Will Be Lost\"?)";
}

// Two units of one product. "Scan", and 0.11 s later the first unit is unplugged and plugged in
// again 0.27 s after that (a loose cable, a USB reset), which moves its ports behind the
// second's. The second is connected and read on its own ports; nothing reaches the first's new
// ports. The move is noticed; after a rescan a click on the first's tile reads it on its new
// ports. Each unit's folder holds only its own presets. Then the same with units of two
// products: the first unit replugged during a scan after which the program connects a Piper,
// whose reads all go to the Piper.
TEST_F (Journey, AUnitRepluggedDuringAScanIsReadAndWrittenOnlyOnItsOwnPorts)
{
    // "Scan"; once the scan asks the units who they are (seen at the witness), and no sooner than
    // 0.11 s after the click, the unit is unplugged, and plugged in again 0.27 s after that.
    auto scanAndReplug = [this] (SocketUnit& unit, const SimulatedUnit& witness) -> SocketUnit&
    {
        step ("Scan; " + unit.unit().getInputName() + " is unplugged 0.11 s later and plugged in again 0.27 s after that");
        clickToolbarItem ("Scan");
        const auto clicked = juce::Time::getMillisecondCounter();
        waitFor ([&] { return witness.countReceived (0x7E) > 0; }, "the scan asking who is there");
        juce::Thread::sleep (juce::jmax (0, 110 - (int) (juce::Time::getMillisecondCounter() - clicked)));
        unplug (unit);
        unit.unit().clearLog();
        juce::Thread::sleep (270);
        return plugBackIn (unit);
    };

    start ("socket");
    auto& first = plugIn ("Merle", 12345678);
    auto& second = plugIn ("Merle", 23456789);
    const auto alpha = holdOnly (first.unit(), "Alpha", 5);
    const auto bravo = holdOnly (second.unit(), "Bravo", 7);
    const auto firstSync = dataFolder().getChildFile ("Merle/data/12345678/sync.ard");
    const auto secondFolder = dataFolder().getChildFile ("Merle/data/23456789");
    waitForText (statusText(), "Merle 1.4.00 build 140");
    waitFor ([&] { return firstSync.existsAsFile(); }, "the first unit read as it connects");

    second.unit().clearLog();
    auto& back = scanAndReplug (first, second.unit());

    // The second is connected and read where it was identified; the move is noticed after.
    waitFor ([&] { return secondFolder.getChildFile ("sync.ard").existsAsFile(); }, "the second unit read");
    EXPECT_EQ (presetNamesIn (secondFolder.getChildFile ("sync.ard")), bravo);
    EXPECT_EQ (second.unit().countReceived (0x45), 25);
    const auto change = waitForWindow ("USB Device Change");
    EXPECT_TRUE (waitForText (getWindowGeometry (change), "still open"));
    EXPECT_TRUE (back.unit().getLog().empty()) << "the first unit's new ports were used before a scan";
    answer ("USB Device Change", "OK");

    step ("rescan: the second is read again; a click on the first's tile reads the first on its new ports");
    clickToolbarItem ("Scan");
    waitFor ([&] { return second.unit().countReceived (0x45) == 2 * 25 && second.unit().countReceived (0x15) == 2; },
             "the second unit read again");
    // Both tiles say "Merle"; the connected unit's is framed in blue.
    const auto oneTile = waitForTextAt (page(), "Merle");
    const auto otherTile = waitForTextAt (page().withLeft (oneTile.getRight() + 20), "Merle");
    auto isConnectedTile = [&] (Area label)
    {
        return screen::count (look(), label.expanded (80, 16), [] (juce::Colour c) { return screen::near (c, 0x086da6); }) > 20;
    };
    ASSERT_NE (isConnectedTile (oneTile), isConnectedTile (otherTile));
    step ("click the tile of the unit not connected");
    clickAt ((isConnectedTile (oneTile) ? otherTile : oneTile).getCentre());
    waitFor ([&] { return back.unit().countReceived (0x15) == 1; }, "the first unit read on its new ports");
    waitFor ([&] { return presetNamesIn (firstSync) == alpha; }, "the first unit's presets stored");
    EXPECT_EQ (presetNamesIn (secondFolder.getChildFile ("sync.ard")), bravo);
    EXPECT_EQ (presetNamesIn (secondFolder.getChildFile ("working.ard")), bravo);
    EXPECT_TRUE (knownBeforeUsed (back.unit()));
    EXPECT_TRUE (knownBeforeUsed (second.unit()));

    step ("the second unit goes and a Piper comes; each change is told");
    unplug (second);
    answer ("USB Device Change", "OK");
    auto& piper = plugIn ("Piper", 34567890);
    answer ("USB Device Change", "OK");

    // The first unit is replugged during a scan again: the Piper is connected and read on its own ports.
    piper.unit().clearLog();
    auto& again = scanAndReplug (back, piper.unit());
    waitForText (statusText(), "Piper");
    waitFor ([&] { return piper.unit().countReceived (0x15) == 1; }, "the Piper read");
    answer ("USB Device Change", "OK");
    EXPECT_TRUE (again.unit().getLog().empty()) << "the first unit's new ports were used before a scan";
    EXPECT_TRUE (knownBeforeUsed (piper.unit()));

    pressKeys ("ctrl+q");
    EXPECT_EQ (waitForExit(), 0);
}
