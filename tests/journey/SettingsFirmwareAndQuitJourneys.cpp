#include "JourneyHarness.h"
#include "support/TestEnvironment.h"

using namespace journey;
using namespace testing_support;

namespace
{
    // The face of a filled preset tile in cell view.
    bool isFilledTile (juce::Colour c) { return screen::near (c, 0x6999d3, 20); }
}

// Options: the user chooses manual synchronisation and leaves with "Ok"; the next start keeps
// it (the unit is not read until asked); "Restore Defaults" brings automatic synchronisation
// back, and the unit is read at once when it connects again.
TEST_F (Journey, OptionsAreKeptAndTheDefaultsRestored)
{
    startWithMerle();

    step ("choose manual synchronisation");
    openOptions();
    auto dialog = getWindowGeometry (waitForWindow ("Options"));
    clickText (dialog, "Data");
    clickText (dialog, "Manually initiate synchronization");
    clickText (dialog, "Ok");
    waitForWindowGone ("Options");
    waitFor ([&] { return setting ("dataSyncMethod") == "manual"; }, "the choice stored");
    pressKeys ("ctrl+q");
    EXPECT_EQ (waitForExit(), 0);

    step ("start again: the unit waits to be read");
    start ("socket");
    auto& again = plugIn ("Merle", 20100);
    waitForText (statusText(), "Merle 1.4.00 build 140");
    clickText (tabStrip(), "Presets");
    waitForText (page(), "Click To Sync With Merle");
    EXPECT_EQ (again.unit().countReceived (0x45), 0);

    step ("restore the defaults");
    openOptions();
    dialog = getWindowGeometry (waitForWindow ("Options"));
    clickText (dialog, "Restore Defaults");
    clickText (dialog, "Ok");
    waitForWindowGone ("Options");
    waitFor ([&] { return setting ("dataSyncMethod") == "auto"; }, "the default stored");

    step ("connect the unit again: it is read at once");
    clickText (tabStrip(), "Devices");
    clickToolbarItem ("Disconnect");
    waitForText (statusText(), "Nothing Connected");
    clickText (page(), "Merle");
    waitFor ([&] { return again.unit().countReceived (0x45) >= 25; }, "Merle read as it connects");
    pressKeys ("ctrl+q");
    EXPECT_EQ (waitForExit(), 0);
}

// A firmware update through the Devices page's "Update" and the firmware chooser, with the
// simulated units and the sample content from the web stand-in: the unit restarts with the
// new build, which the status bar and the device registry show.
TEST_F (Journey, FirmwareUpdateThroughTheChooser)
{
    start ("virtual");
    waitForText (statusText(), "Merle 1.4.00 build 140");

    step ("connect Merle XT, which runs an old build");
    clickText (page(), "Merle XT");
    answer ("New Firmware Available", "No");
    waitForText (statusText(), "Merle XT 2.1.00 build 210");

    step ("Update, Show Details, choose the newest build in the chooser");
    clickToolbarItem ("Update");
    answer ("Firmware Update!", "Show Details...");
    const auto chooser = getWindowGeometry (waitForWindow ("Merle XT Firmware Updates"));
    // The list offers the newest build first, selected.
    waitForText (chooser, "2.1.05 build 212");
    clickText (chooser, "2.1.05 build 212");
    clickText (chooser, "Start Update");
    waitForWindowGone ("Merle XT Firmware Updates");
    answer ("Firmware Update!", "Start Update");

    step ("the update runs and ends");
    waitForWindow ("Firmware Update");
    const auto done = getWindowGeometry (waitForWindow ("Firmware Update Complete", 300000));
    EXPECT_TRUE (waitForText (done, "Merle XT updated successfully."));
    answer ("Firmware Update Complete", "OK");
    EXPECT_GE (web().countRequests ("GET", "/Larkspire2/Merle XT/firmware/xt_212.syx"), 1);

    // The unit is connected again and reports its new build.
    waitForText (statusText(), "Merle XT 2.1.05 build 212", 120000);
    waitFor ([&]
    {
        if (auto xml = juce::parseXML (dataFolder().getChildFile ("deviceList.xml")))
            if (auto* xt = xml->getChildByAttribute ("serial", "11100"))
                return xt->getStringAttribute ("version").endsWith (".212.0");
        return false;
    }, "the registry holds the new build");
    pressKeys ("ctrl+q");
    EXPECT_EQ (waitForExit(), 0);
}

// A firmware image is kept only whole. On a first start the web cuts Merle's 8 MiB image right
// after a block, about 2 MiB in, with no length to tell: the piece, though it reads as an image,
// is not kept under the image's name nor anywhere else, the synchronisation fails, and the
// firmware chooser does not offer the build. On the next start, on a slow but steady line where the image
// takes about 87 s to come, the unit is identified and read without waiting for it, and the
// firmware chooser says that the version is still downloading until its image is there. The
// image then lies on disk byte for byte, and the download ends without a "Download Failed" box.
TEST_F (Journey, OnASlowLineALongFirmwareImageArrivesWholeAndHoldsNoUnit)
{
    // The opening message, then blocks as long as blocks may be, and a last shorter one.
    juce::MemoryOutputStream framed;
    const juce::uint8 acknowledge[] = { 0xF0, 0x00, 0x7A, 0x15, 0x00, 0x60, 0x51, 0x00, 0xF7 };
    framed.write (acknowledge, sizeof (acknowledge));
    for (int i = 0; framed.getDataSize() < (size_t) (8 << 20); ++i)
    {
        const int length = juce::jmin (16000, (8 << 20) - (int) framed.getDataSize());
        const juce::uint8 head[] = { 0xF0, 0x00, 0x7A, 0x15, 0x00, 0x60, 0x71 };
        framed.write (head, sizeof (head));
        for (int j = (int) sizeof (head); j < length - 1; ++j)
            framed.writeByte ((char) ((i * 7 + j) & 0x7F));
        framed.writeByte ((char) 0xF7);
    }
    const auto image = framed.getMemoryBlock();
    ASSERT_EQ (image.getSize(), (size_t) (8 << 20));
    ASSERT_TRUE (servedContent().getChildFile ("Merle/firmware/merle_140.syx").replaceWithData (image.getData(), image.getSize()));
    const juce::String imagePath ("/Larkspire2/Merle/firmware/merle_140.syx");
    const auto firmware = dataFolder().getChildFile ("Merle/firmware");
    const auto stored = firmware.getChildFile ("merle_140.syx");

    step ("the web cuts the image right after a block, about 2 MiB in, without a length");
    web().serveTruncated (imagePath, (int) sizeof (acknowledge) + 131 * 16000, false);
    start ("socket");
    plugIn ("Merle", 20100);
    answer ("Download Failed", "OK");
    EXPECT_EQ (web().countRequests ("GET", imagePath), 1);

    step ("the chooser offers the builds before it, the newest of them first");
    waitForEnabled ("Update");
    clickToolbarItem ("Update");
    const auto without = getWindowGeometry (waitForWindow ("Merle Firmware Updates"));
    EXPECT_TRUE (waitForText (without, "1.1.00 build 120"));
    EXPECT_FALSE (screen::shows (textIn (without), "build 140"));
    clickText (without, "Cancel");
    waitForWindowGone ("Merle Firmware Updates");
    pressKeys ("ctrl+q");
    EXPECT_EQ (waitForExit(), 0);
    EXPECT_EQ (firmware.findChildFiles (juce::File::findFiles, false, "*140*").size(), 0)
        << "the piece of the image was kept";
    EXPECT_TRUE (firmware.getChildFile ("merle_120.syx").existsAsFile());

    step ("start again on a slow line");
    web().serveSlowly (imagePath, 4915, 50);   // 96 KiB a second
    web().clearLog();
    const double startedMs = juce::Time::getMillisecondCounterHiRes();
    start ("socket");
    auto& merle = plugIn ("Merle", 20100).unit();

    step ("Merle is identified while the image is still coming");
    waitFor ([&] { return firstAskedAt (merle, 0x09) > 0; }, "Merle asked its year", 60000);
    EXPECT_GT (firstAskedAt (merle, 0x07), 0.0) << "Merle was never asked its serial number";
    EXPECT_LT (firstAskedAt (merle, 0x09) - startedMs, 20000.0);
    waitFor ([&] { return merle.countReceived (0x45) >= 25; }, "Merle read as it connects");
    EXPECT_EQ (web().countRequests ("GET", imagePath), 1);
    EXPECT_FALSE (stored.exists());

    step ("the chooser says that the version is still downloading, until it is there");
    waitForEnabled ("Update");
    clickToolbarItem ("Update");
    const auto chooser = getWindowGeometry (waitForWindow ("Merle Firmware Updates"));
    EXPECT_TRUE (waitForText (chooser, "Still downloading"));
    waitFor ([&] { return stored.existsAsFile(); }, "the image on disk", 300000);
    waitFor ([&] { return ! screen::shows (textIn (chooser), "Still downloading"); }, "the chooser tells it is there");
    clickText (chooser, "Cancel");
    waitForWindowGone ("Merle Firmware Updates");

    step ("the image is whole, and the download ends without a failure");
    juce::MemoryBlock onDisk;
    stored.loadFileAsData (onDisk);
    EXPECT_TRUE (onDisk == image) << "the image on disk differs from the one served";
    waitFor ([&] { return dataFolder().getChildFile ("Merle/packs/.presetsKey").existsAsFile(); }, "the packs, which come last");
    pumpFor (2000);
    EXPECT_EQ (findVisibleWindow ("Download Failed"), 0ul);
    pressKeys ("ctrl+q");
    EXPECT_EQ (waitForExit(), 0);
}

// Unsent edits are never dropped without asking: with every preset deleted and not yet
// applied, a click on another unit's tile and quitting each ask first; "Cancel" keeps the unit
// connected, the program running and the edits. A logout's signals then quit without asking,
// in order, though they come while the program is held up and a click on the close button
// waits behind them: the window's place and the edits are kept, and "Apply Changes" sends them
// after the next start.
TEST_F (Journey, UnsentChangesAskBeforeAnotherUnitOrQuitAndCancelKeepsThem)
{
    WindowManager windowManager;
    start ("socket");
    auto& merle = plugIn ("Merle", 20100);
    auto& unit = merle.unit();
    auto& piper = plugIn ("Piper", 22100).unit();
    waitForText (statusText(), "Merle 1.4.00 build 140");
    waitFor ([&] { return unit.countReceived (0x45) >= 25; }, "Merle read as it connects");
    const int presets = unit.getPresetNumbers().size();

    step ("delete every preset with keys");
    clickText (tabStrip(), "Presets");
    waitForScreen ([&] (const juce::Image& shot) { return screen::count (shot, page(), isFilledTile) > 8000; },
                   "the presets in the grid");
    pressKeys ("ctrl+a");
    pressKeys ("Delete");
    waitForScreen ([&] (const juce::Image& shot) { return screen::count (shot, page(), isFilledTile) < 500; },
                   "the grid without presets");

    step ("click Piper's tile, and cancel");
    clickText (tabStrip(), "Devices");
    piper.clearLog();
    clickText (page(), "Piper");
    const auto box = getWindowGeometry (waitForWindow ("Changes Will Be Lost"));
    EXPECT_TRUE (waitForText (box, "If you connect another unit now"));
    answer ("Changes Will Be Lost", "Cancel");
    EXPECT_TRUE (textIn (statusText()).contains ("Merle 1.4.00 build 140"));
    EXPECT_EQ (piper.countReceived (0x45), 0) << "Piper was read";
    clickText (tabStrip(), "Presets");
    waitForEnabled ("Apply Changes");
    EXPECT_LT (screen::count (look(), page(), isFilledTile), 500);

    step ("quit, and cancel");
    pressKeys ("ctrl+q");
    answer ("Changes Will Be Lost", "Cancel");
    EXPECT_TRUE (isRunning());
    EXPECT_LT (screen::count (look(), page(), isFilledTile), 500);

    step ("the user moves the window, and the window manager holds the X server meanwhile; a logout sends "
          "SIGTERM and SIGHUP at once, and 2.5 s later the user clicks the close button");
    const auto moved = mainWindow().withPosition (40, 60);
    const auto window = findVisibleWindow ("Larkspire 2");
    windowManager.holdServerAndMove (window, moved.getPosition());
    juce::Thread::sleep (500);   // the program's message thread waits for the server
    sendSignals ({ SIGTERM, SIGHUP });
    const auto sent = juce::Time::getMillisecondCounter();
    juce::Thread::sleep (2500);
    windowManager.click (window);
    windowManager.releaseServer();
    EXPECT_EQ (waitForExit (30000), 0);
    EXPECT_LE (juce::Time::getMillisecondCounter() - sent, 9000u) << "the program took that long to end";
    EXPECT_EQ (setting ("appWindowState"), moved.toString());

    step ("start again: the edits are kept, and reading the unit over them asks first");
    start ("socket");
    plugBackIn (merle);
    answer ("Changes Will Be Lost", "Cancel");
    clickText (tabStrip(), "Presets");
    waitForEnabled ("Apply Changes");
    EXPECT_LT (screen::count (look(), page(), isFilledTile), 500);

    step ("the edits are still there to send");
    unit.clearLog();
    clickToolbarItem ("Apply Changes");
    waitFor ([&] { return unit.getPresetNumbers().isEmpty(); }, "the unit without presets");
    EXPECT_EQ (unit.countReceived (0x50), presets);
    // The deleted slots are read back; then the page is free again and nothing is left unsent.
    waitFor ([&] { return unit.countReceived (0x45) >= presets; }, "the deleted slots read back");
    waitForEnabled ("Get Data");
    pressKeys ("ctrl+q");
    EXPECT_EQ (waitForExit(), 0);
}
