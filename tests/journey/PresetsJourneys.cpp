#include "JourneyHarness.h"
#include <map>

using namespace journey;
using namespace testing_support;

namespace
{
    const int live = 7, choir = 3;   // tag bits of the sample unit's profile

    bool hasTag (const SimulatedUnit::Preset& p, int bit) { return (p.tags & (1 << bit)) != 0; }

    // What a click on a tag does to the presets shown: the box shows whether any has the
    // tag, and the click gives all of them the opposite.
    bool tagAfterClick (SimulatedUnit& unit, const juce::Array<int>& slots, int bit)
    {
        for (auto s : slots)
            if (hasTag (unit.getPreset (s), bit))
                return false;
        return true;
    }

    bool allTagged (SimulatedUnit& unit, const juce::Array<int>& slots, int bit, bool on)
    {
        for (auto s : slots)
            if (! unit.hasPreset (s) || hasTag (unit.getPreset (s), bit) != on)
                return false;
        return true;
    }
}

// The Presets page: a quit while the unit is first read asks nothing; presets selected by a
// click, a Ctrl-click, a Shift-click and a lasso; a preset renamed by typing in the details,
// which a quit asks about; tags changed for a selection; "Apply Changes" writes it all to the
// unit; the unit restarts quickly, which is told and answered with a scan; "Get Data" reads the
// names and tags back from the unit over its new connection, with a name that was changed on
// the unit itself meanwhile. A last name left unsent: a double click on the close button asks
// once, and "Quit Anyway" ends the program.
TEST_F (Journey, PresetsSelectRenameTagApplyAndGetData)
{
    WindowManager windowManager;
    start ("socket");
    auto& slow = plugIn ("Merle", 20100).unit();
    auto faults = slow.getFaults();
    faults.replyDelayMs = 150;
    slow.setFaults (faults);
    waitFor ([&] { return slow.countReceived (0x45) >= 3; }, "Merle being read");

    step ("quit while Merle is read for the first time: nothing was edited, nothing is asked");
    ASSERT_EQ (slow.countReceived (0x15), 0) << "the read had ended";
    pressKeys ("ctrl+q");
    const auto pressed = juce::Time::getMillisecondCounter();
    bool asked = false;
    waitFor ([&]
    {
        asked = asked || findVisibleWindow ("Changes Will Be Lost") != 0;
        return asked || ! isRunning();
    }, "the program ended", 30000);
    EXPECT_FALSE (asked);
    EXPECT_EQ (waitForExit (5000), 0);
    EXPECT_LE (juce::Time::getMillisecondCounter() - pressed, 3000u) << "the program took that long to end";

    auto& unit = startWithMerle();
    showPresets();

    step ("rename preset 2 in the details");
    clickAt (tile (2));
    waitForText (nameField(), "Sim 2");
    clickAt (nameField().getCentre());
    pressKeys ("ctrl+a");
    typeText ("Road Lead");
    pressKeys ("Return");
    waitForText (workspace(), "Road Lead");

    step ("quit with the name not sent: the program asks, and Cancel keeps it running");
    pressKeys ("ctrl+q");
    answer ("Changes Will Be Lost", "Cancel");
    EXPECT_TRUE (isRunning());

    step ("select 1, Ctrl 3, Shift 6, and change the tag Live of all");
    const juce::Array<int> clicked { 1, 3, 5, 6 };
    const bool liveAfter = tagAfterClick (unit, clicked, live);
    clickAt (tile (1));
    waitForText (nameField(), "Sim 1");
    clickAt (tile (3), 1, { "ctrl" });
    clickAt (tile (6), 1, { "shift" });
    waitForText (nameField(), "<multiple selected>");
    clickText (details(), "Live");

    step ("lasso 10, 11, 14 and 15 from the free space right of the tiles, and change the tag Choir");
    const juce::Array<int> lassoed { 10, 11, 14, 15 };
    const bool choirAfter = tagAfterClick (unit, lassoed, choir);
    screen::drag (at (975, 330), at (560, 440));
    waitForText (nameField(), "<multiple selected>");
    clickText (details(), "Choir");

    step ("Apply Changes");
    clickToolbarItem ("Apply Changes");
    waitFor ([&] { return unit.getPreset (2).name == "Road Lead" && allTagged (unit, clicked, live, liveAfter)
                          && allTagged (unit, lassoed, choir, choirAfter); }, "the unit holds the new name and tags");

    step ("Merle restarts: back 0.3 s after its connection closed; the loss is told, and Scan Now finds it again");
    unit.clearLog();
    replug (unit, 300);
    answer ("USB Device Connection Lost", "Scan Now");
    waitForText (statusText(), "Merle 1.4.00 build 140");
    EXPECT_GT (unit.countReceived (0x7E), 0) << "Merle was not asked who it is on its new connection";
    showPresets();

    step ("a name changed on the unit itself; Get Data");
    auto front = unit.getPreset (7);
    front.name = "Front Panel";
    unit.setPreset (front);
    waitForEnabled ("Get Data");
    unit.clearLog();
    clickToolbarItem ("Get Data");
    waitForText (workspace(), "Front Panel");
    EXPECT_GE (unit.countReceived (0x45), 19);
    EXPECT_TRUE (textIn (workspace()).contains ("Road Lead"));
    clickAt (tile (1));
    waitForText (nameField(), "Sim 1");
    EXPECT_EQ (isTagTicked ("Live"), liveAfter);
    clickAt (tile (10));
    waitForText (nameField(), "Sim 10");
    EXPECT_EQ (isTagTicked ("Choir"), choirAfter);

    step ("rename preset 10, not sent; the close button clicked twice 0.5 s apart asks once; Quit Anyway");
    clickAt (nameField().getCentre());
    pressKeys ("ctrl+a");
    typeText ("Wet Lead");
    pressKeys ("Return");
    waitForText (workspace(), "Wet Lead");
    const auto place = mainWindow();
    const auto window = findVisibleWindow ("Larkspire 2");
    windowManager.click (window);
    juce::Thread::sleep (500);
    windowManager.click (window);
    waitForWindow ("Changes Will Be Lost");
    int boxes = 0;
    for (const auto until = juce::Time::getMillisecondCounter() + 2000; juce::Time::getMillisecondCounter() < until;)
        boxes = juce::jmax (boxes, findVisibleWindows ("Changes Will Be Lost").size());
    EXPECT_EQ (boxes, 1);
    answer ("Changes Will Be Lost", "Quit Anyway");
    EXPECT_EQ (waitForExit(), 0);
    EXPECT_EQ (setting ("internal1"), "2");
    EXPECT_EQ (setting ("internal4").length(), 32);
    EXPECT_EQ (setting ("appWindowState"), place.toString());
    EXPECT_EQ (unit.getPreset (10).name, "Sim 10");
}

// Rearranging the presets: a drag to an empty slot moves a preset, a drag onto another one
// swaps them; a preset is copied and pasted with the keys; one is deleted; Undo and Redo by
// the toolbar and by the keys; "Apply Changes": the unit holds what the grid shows.
TEST_F (Journey, PresetsRearrangedUndoneRedoneAndApplied)
{
    auto& unit = startWithMerle();
    showPresets();

    auto menuAt = [&] (Point p) { return Area (p.x - 300, p.y - 40, 600, 220); };

    step ("drag 1 to the empty slot 4: Move");
    clickAt (tile (1));
    waitForText (nameField(), "Sim 1");
    screen::drag (tile (1), tile (4));
    clickText (menuAt (tile (4)), "Move");
    step ("drag 2 onto 3: Swap");
    clickAt (tile (2));
    waitForText (nameField(), "Sim 2");
    screen::drag (tile (2), tile (3));
    clickText (menuAt (tile (3)), "Swap");
    step ("copy 5 and paste it into the empty slot 8 with the keys");
    clickAt (tile (5));
    waitForText (nameField(), "Sim 5");
    pressKeys ("ctrl+c");
    screen::moveTo (tile (8));
    pressKeys ("ctrl+v");
    step ("delete 7");
    clickAt (tile (7));
    waitForText (nameField(), "Sim 7");
    pressKeys ("Delete");

    // The grid: 1 empty, 2 "Sim 3", 3 "Sim 2", 4 "Sim 1", 7 empty, 8 "Sim 5".
    auto label = [&] (int slot) { return tile (slot).translated (0, 44); };
    auto labelArea = [&] (int slot) { return Area (label (slot).x - 70, label (slot).y - 10, 140, 20); };
    waitForText (labelArea (8), "Sim 5");
    waitForText (labelArea (4), "Sim 1");
    waitForText (labelArea (3), "Sim 2");
    waitForText (labelArea (7), "<empty>");

    step ("Undo and Redo on the toolbar, then with the keys");
    clickToolbarItem ("Undo");
    waitForText (labelArea (7), "Sim 7");
    clickToolbarItem ("Redo");
    waitForText (labelArea (7), "<empty>");
    pressKeys ("ctrl+z");
    waitForText (labelArea (7), "Sim 7");
    pressKeys ("ctrl+y");
    waitForText (labelArea (7), "<empty>");

    step ("Apply Changes");
    std::map<int, juce::String> expected;
    for (auto n : unit.getPresetNumbers())
        expected[n] = unit.getPreset (n).name;
    expected.erase (1);
    expected.erase (7);
    expected[2] = "Sim 3";
    expected[3] = "Sim 2";
    expected[4] = "Sim 1";
    expected[8] = "Sim 5";
    auto holds = [&]
    {
        std::map<int, juce::String> now;
        for (auto n : unit.getPresetNumbers())
            now[n] = unit.getPreset (n).name;
        return now == expected;
    };
    clickToolbarItem ("Apply Changes");
    waitFor (holds, "the unit holds what the grid shows");
    // The moved and copied presets are whole: the same values as their originals.
    EXPECT_EQ (unit.getPreset (8).values, unit.getPreset (5).values);
    waitForEnabled ("Get Data");
    pressKeys ("ctrl+q");
    EXPECT_EQ (waitForExit(), 0);
}
