#include <gtest/gtest.h>
#include "support/AppProcess.h"
#include "support/ContentWorld.h"
#include "support/DeviceWorld.h"
#include "support/LoopbackClient.h"
#include "support/SocketUnit.h"
#include "support/TestEnvironment.h"
#include "ScreenTools.h"
#include <cstdlib>
#include <stdexcept>

using namespace testing_support;

namespace
{
    // The face of a filled preset tile in cell view.
    bool isFilledTileBlue (juce::Colour c)
    {
        return std::abs (c.getRed() - 105) < 20 && std::abs (c.getGreen() - 153) < 20 && std::abs (c.getBlue() - 211) < 20;
    }

    // The background of selected text in a text field.
    bool isSelectedTextBlue (juce::Colour c)
    {
        return c.getARGB() == 0xff98b8dau;
    }

    int countPixels (const juce::Image& image, juce::Rectangle<int> area, bool (*test) (juce::Colour))
    {
        int n = 0;
        area = area.getIntersection (image.getBounds());
        for (int y = area.getY(); y < area.getBottom(); ++y)
            for (int x = area.getX(); x < area.getRight(); ++x)
                if (test (image.getPixelAt (x, y)))
                    ++n;
        return n;
    }
}

// The program started with the virtual MIDI ports connects the first simulated unit and
// reads it; its Presets tab then shows the unit's presets as filled tiles in the grid.
TEST (DataPageWindow, PresetsTabShowsTheSyncedUnitsPresets)
{
    TempHome home;
    ScopedEnvironmentVariable midi ("LARKSPIRE_MIDI", "virtual");

    AppProcess app;
    unsigned long id = 0;
    pumpUntil ([&] { id = findVisibleWindow ("Larkspire 2"); return id != 0 || ! app.isRunning(); }, 60000);
    ASSERT_NE (id, 0ul) << "no window appeared";
    const auto area = getWindowGeometry (id);
    ASSERT_FALSE (area.isEmpty());

    // The workspace: right of the browser, below the toolbar, above the details.
    const juce::Rectangle<int> workspace (area.getX() + area.getWidth() / 3, area.getY() + 110,
                                          area.getWidth() * 2 / 3 - 20, 250);

    // Offline, the program first says so; Return closes that box.
    pressKeysIn ("No Internet Connection", "Return");
    ASSERT_TRUE (pumpUntil ([&] { return findVisibleWindow ("No Internet Connection") == 0; }, 60000));

    const auto before = takeScreenshot();
    ASSERT_TRUE (before.isValid());
    const int tilesOnDevicesTab = countPixels (before, workspace, isFilledTileBlue);

    // The "Presets" tab sits right of "Devices" at the top left of the window.
    int tilePixels = 0;
    const bool shown = pumpUntil ([&]
    {
        runTool ({ "xdotool", "mousemove", juce::String (area.getX() + 157), juce::String (area.getY() + 14),
                   "click", "1" });
        return pumpUntil ([&]
        {
            const auto shot = takeScreenshot();
            tilePixels = shot.isValid() ? countPixels (shot, workspace, isFilledTileBlue) : 0;
            return tilePixels > 8000;
        }, 3000);
    }, 90000);

    EXPECT_TRUE (shown) << "filled tile pixels: " << tilePixels;
    EXPECT_LT (tilesOnDevicesTab, 2000);
    EXPECT_EQ (app.stop(), 0);
}

namespace
{
    // The program on the socket port layer with one simulated unit outside it, driven by
    // real X input and judged by what the unit receives and by what the screen shows.
    struct UnitAtTheWindow
    {
        TempHome home;
        const int port = freeLoopbackPort();
        ScopedEnvironmentVariable midi { "LARKSPIRE_MIDI", "socket:" + juce::String (port) };
        std::shared_ptr<SimulatedUnit> unit;
        std::unique_ptr<SocketUnit> connection;
        std::unique_ptr<AppProcess> app;
        juce::Rectangle<int> window;

        UnitAtTheWindow()
        {
            SimulatedUnit::Identity identity;
            identity.productId = DeviceWorld::merle;
            identity.minor = 4;
            identity.build = 140;
            identity.serial = 4711;
            unit = std::make_shared<SimulatedUnit> (DeviceWorld::profileOf (DeviceWorld::merle, 140), identity, "Merle MIDI");
            juce::Array<int> filled;
            for (int n = 1; n <= 12; ++n)
                filled.add (n);
            unit->fillPresets (filled, 7);
        }

        ~UnitAtTheWindow()
        {
            // The program ends cleanly (under the sanitizers: without a report at its quit).
            if (app != nullptr)
                EXPECT_EQ (app->stop(), 0);
        }

        juce::Point<int> at (int x, int y) const { return window.getPosition() + juce::Point<int> (x, y); }

        // Starts the program, closes its offline box, connects the unit and waits until the
        // Presets tab shows the unit's presets read in full.
        bool start()
        {
            app = std::make_unique<AppProcess>();
            unsigned long id = 0;
            pumpUntil ([&] { id = findVisibleWindow ("Larkspire 2"); return id != 0 || ! app->isRunning(); }, 60000);
            if (id == 0)
                return false;
            window = getWindowGeometry (id);
            pressKeysIn ("No Internet Connection", "Return");
            if (! pumpUntil ([&] { return findVisibleWindow ("No Internet Connection") == 0; }, 60000))
                return false;

            if (! pumpUntil ([&]
                {
                    connection = std::make_unique<SocketUnit> (unit, port, "Merle MIDI");
                    return connection->isConnected();
                }, 60000))
                return false;
            // A unit plugged in after the start is offered for a rescan, which the user accepts
            // once the box has the keyboard. Then every preset is read, and the setup after them.
            bool rescanAccepted = false;
            if (! pumpUntil ([&]
                {
                    if (const auto box = findVisibleWindow ("USB Device Change"); ! rescanAccepted && box != 0 && focusedWindow() == box)
                    {
                        pressKeys ("Return");
                        rescanAccepted = true;
                    }
                    return unit->countReceived (0x15) > 0;
                }, 90000))
                return false;
            // The "Presets" tab; a click while the program still finishes the read may come
            // too early, so the user clicks again.
            return pumpUntil ([&]
            {
                clickAt (at (157, 14));
                return pumpUntil ([&] { const auto grid = tiles(); return grid.rows.size() >= 3 && grid.columns.size() >= 3; }, 3000);
            }, 60000);
        }

        TileGrid tiles() const
        {
            const auto shot = takeScreenshot();
            if (! shot.isValid())
                return {};
            return findTileGrid (shot, { window.getX() + window.getWidth() / 3, window.getY() + 110,
                                         window.getWidth() * 2 / 3 - 25, 330 },
                                 [] (juce::Colour c) { return isFilledTileBlue (c); }, 30);
        }

        // Where the tile of a slot is, once the grid shows its tiles in full colour (a page
        // that is busy draws them faded).
        juce::Point<int> tileOf (int slot) const
        {
            TileGrid grid;
            if (! pumpUntil ([&] { grid = tiles(); return grid.columns.size() >= 4 && grid.rows.size() >= 3; }, 60000))
                throw std::runtime_error ("the grid never showed its tiles in full colour");
            return grid.centreOf ((slot - 1) % grid.columns.size(), (slot - 1) / grid.columns.size());
        }

        // Whether the tile at a point shows a preset (in full colour).
        static bool tileFilled (juce::Point<int> tile)
        {
            const auto shot = takeScreenshot();
            return shot.isValid() && countPixels (shot, juce::Rectangle<int> (21, 21).withCentre (tile), isFilledTileBlue) > 300;
        }

        // Whether a popup menu shows with a corner at the pointer (it opens leftwards in the
        // right half of the window), inside the window.
        bool menuAt (juce::Point<int> pointer) const
        {
            auto isWhite = [] (juce::Colour c) { return c.getARGB() == 0xffffffffu; };
            const auto shot = takeScreenshot();
            // Below the first item, which the pointer may highlight.
            const juce::Rectangle<int> right (pointer.x + 1, pointer.y + 20, 120, 30), left (pointer.x - 121, pointer.y + 20, 120, 30);
            return shot.isValid() && (countPixels (shot, right, isWhite) > 2500 || countPixels (shot, left, isWhite) > 2500)
                   && window.contains (pointer.translated (0, 60));
        }

        // Waits until the page has finished its work with the unit: the grid shows its
        // tiles in full colour again.
        bool waitUntilIdle() const
        {
            return pumpUntil ([&] { const auto grid = tiles(); return grid.columns.size() >= 2 && grid.rows.size() >= 2; }, 60000);
        }

        // What the name field of the details panel shows.
        juce::String shownName() const
        {
            return readText (takeScreenshot(), { window.getX() + 340, window.getY() + 518, 400, 30 });
        }

        juce::Array<int> deletedPresets() const
        {
            juce::Array<int> numbers;
            for (auto& e : unit->getReceived (0x50))
                numbers.add (e.value14());
            return numbers;
        }
    };
}

// A left click, a Ctrl-click, a Shift-click and a lasso select presets as a user makes
// them; the details name the clicked preset; Delete and "Apply Changes" delete exactly the
// selected presets on the unit; a right click opens the grid's menu at the pointer.
TEST (DataPageWindow, ClicksSelectAndTheUnitDeletesExactlyTheSelection)
{
    UnitAtTheWindow w;
    ASSERT_TRUE (w.start()) << (saveScreenshot ("DataPageWindow-start"), "the unit's presets were never shown");

    clickAt (w.tileOf (2));
    EXPECT_TRUE (pumpUntil ([&] { return w.shownName() == w.unit->getPreset (2).name; }, 20000))
        << w.shownName() << " / " << w.unit->getPreset (2).name;

    clickAt (w.tileOf (4), 1, { "ctrl" });
    clickAt (w.tileOf (6), 1, { "shift" });
    EXPECT_TRUE (pumpUntil ([&] { return w.shownName() == "<multiple selected>"; }, 20000)) << w.shownName();

    pressKeys ("Delete");
    clickAt (w.at (94, 60));   // "Apply Changes"
    EXPECT_TRUE (pumpUntil ([&] { return w.deletedPresets().size() >= 4; }, 60000));
    EXPECT_TRUE (w.waitUntilIdle());
    EXPECT_EQ (w.deletedPresets(), juce::Array<int> ({ 2, 4, 5, 6 }));
    EXPECT_FALSE (w.unit->hasPreset (5));
    EXPECT_TRUE (w.unit->hasPreset (3));

    // A right click opens the menu with a corner at the pointer (it opens leftwards in the
    // right half of the window), inside the window.
    const auto pointer = w.tileOf (9);
    clickAt (pointer, 3);
    const bool menuShown = pumpUntil ([&] { return w.menuAt (pointer); }, 20000);
    EXPECT_TRUE (menuShown) << (saveScreenshot ("DataPageWindow-menu"), "no menu at the pointer");
    pressKeys ("Escape");
    EXPECT_TRUE (pumpUntil ([&] { return ! w.menuAt (pointer); }, 20000));

    // A plain click selects one preset alone, and only that one is deleted.
    w.unit->clearLog();
    clickAt (w.tileOf (9));
    EXPECT_TRUE (pumpUntil ([&] { return w.shownName() == w.unit->getPreset (9).name; }, 20000)) << w.shownName();
    pressKeys ("Delete");
    clickAt (w.at (94, 60));
    EXPECT_TRUE (pumpUntil ([&] { return ! w.deletedPresets().isEmpty(); }, 60000));
    EXPECT_TRUE (w.waitUntilIdle());
    EXPECT_EQ (w.deletedPresets(), juce::Array<int> ({ 9 }));

    // A lasso drawn from an empty slot (2) over the tiles of 3, 6 and 7 selects the
    // presets it touches.
    w.unit->clearLog();
    const auto from = w.tileOf (2), to = w.tileOf (7);
    runTool ({ "xdotool", "mousemove", juce::String (from.x), juce::String (from.y), "mousedown", "1",
               "mousemove", juce::String (from.x + 10), juce::String (from.y + 10), "sleep", "0.2",
               "mousemove", juce::String (to.x), juce::String (to.y), "sleep", "0.2", "mouseup", "1" });
    EXPECT_TRUE (pumpUntil ([&] { return w.shownName() == "<multiple selected>"; }, 20000)) << w.shownName();
    pressKeys ("Delete");
    clickAt (w.at (94, 60));
    EXPECT_TRUE (pumpUntil ([&] { return w.deletedPresets().size() >= 2; }, 60000));
    EXPECT_TRUE (w.waitUntilIdle());
    EXPECT_EQ (w.deletedPresets(), juce::Array<int> ({ 3, 7 }));
    if (::testing::Test::HasFailure())
        saveScreenshot ("DataPageWindow-clicks");
}

// Tab goes on from the page to the header's buttons. The page's keys work at once after a
// toolbar click whose item disables itself, after a popup menu, and after a hit picked in
// Find Preset, whose query field takes the typing as it opens; "Rename" from a backup's menu
// gives its editor the typing.
TEST (DataPageWindow, TheKeyboardStaysWithThePageAndGoesWhereTheUserTypes)
{
    UnitAtTheWindow w;
    ASSERT_TRUE (w.start()) << (saveScreenshot ("DataPageKeys-start"), "the unit's presets were never shown");
    auto applyAndWaitForDeletes = [&] (int count)
    {
        clickAt (w.at (94, 60));   // "Apply Changes"
        EXPECT_TRUE (pumpUntil ([&] { return w.deletedPresets().size() >= count; }, 60000));
        EXPECT_TRUE (w.waitUntilIdle());
    };
    const auto tile3 = w.tileOf (3), tile7 = w.tileOf (7);

    // From the grid (nothing selected), Tab goes to the details' view and then to the
    // header's "Options", whose Return opens the Options dialog.
    pressKeys ("Tab");
    pressKeys ("Tab");
    pressKeys ("Return");
    EXPECT_TRUE (pumpUntil ([&] { return findVisibleWindow ("Options") != 0; }, 20000))
        << (saveScreenshot ("DataPageKeys-tab"), "Tab never reached the header's Options button");
    EXPECT_TRUE (pumpUntil ([&] { const auto box = findVisibleWindow ("Options"); return box != 0 && focusedWindow() == box; }, 20000));
    // Escape closes it and the user clicks tile 3 straight away, before the box's own loop has
    // ended: the keyboard stays with the grid they clicked.
    runTool ({ "xdotool", "key", "Escape", "mousemove", juce::String (tile3.x), juce::String (tile3.y), "click", "1" });
    EXPECT_TRUE (pumpUntil ([&] { return findVisibleWindow ("Options") == 0; }, 20000));

    // Delete, "Undo" on the toolbar (which then disables itself), Ctrl+Y redoes the delete:
    // the grid shows each step, and the unit gets the delete.
    EXPECT_TRUE (pumpUntil ([&] { return w.shownName() == w.unit->getPreset (3).name; }, 20000)) << w.shownName();
    pressKeys ("Delete");
    EXPECT_TRUE (pumpUntil ([&] { return ! w.tileFilled (tile3); }, 20000)) << "Delete emptied nothing";
    clickAt (w.at (748, 60));  // "Undo"
    EXPECT_TRUE (pumpUntil ([&] { return w.tileFilled (tile3); }, 20000)) << "Undo brought nothing back";
    pressKeys ("ctrl+y");
    EXPECT_TRUE (pumpUntil ([&] { return ! w.tileFilled (tile3); }, 20000)) << "Ctrl+Y redid nothing";
    applyAndWaitForDeletes (1);
    EXPECT_EQ (w.deletedPresets(), juce::Array<int> ({ 3 }));

    // A menu opened and closed: Delete still reaches the grid.
    w.unit->clearLog();
    clickAt (tile7);
    clickAt (tile7, 3);
    EXPECT_TRUE (pumpUntil ([&] { return w.menuAt (tile7); }, 20000)) << (saveScreenshot ("DataPageKeys-menu-open"), "no menu");
    pressKeys ("Escape");
    EXPECT_TRUE (pumpUntil ([&] { return ! w.menuAt (tile7); }, 20000)) << "the menu stayed";
    pressKeys ("Delete");
    applyAndWaitForDeletes (1);
    EXPECT_EQ (w.deletedPresets(), juce::Array<int> ({ 7 }));

    // Find Preset: typed at once into its query field; the hit picked by a double click is
    // selected in the grid, and Delete acts on it.
    w.unit->clearLog();
    const auto name = w.unit->getPreset (11).name;
    pressKeys ("ctrl+f");
    ASSERT_TRUE (pumpUntil ([&] { return findVisibleWindow ("Find Preset") != 0; }, 20000));
    EXPECT_TRUE (pumpUntil ([&] { return focusedWindow() == findVisibleWindow ("Find Preset"); }, 20000));
    typeText (name);
    const auto dialog = getWindowGeometry (findVisibleWindow ("Find Preset"));
    // The first row of the results, highest rank first, below the query field and the header.
    const auto firstRow = dialog.getPosition() + juce::Point<int> (200, 118);
    EXPECT_TRUE (pumpUntil ([&] { return readText (takeScreenshot(), { firstRow.x - 50, firstRow.y - 9, 250, 18 }).contains (name); }, 20000))
        << (saveScreenshot ("DataPageKeys-find"), "the query was not typed into the field");
    runTool ({ "xdotool", "mousemove", juce::String (firstRow.x), juce::String (firstRow.y), "click", "--repeat", "2", "--delay", "80", "1" });
    EXPECT_TRUE (pumpUntil ([&] { return findVisibleWindow ("Find Preset") == 0; }, 20000));
    EXPECT_TRUE (pumpUntil ([&] { return w.shownName() == name; }, 20000)) << w.shownName();
    pressKeys ("Delete");
    applyAndWaitForDeletes (1);
    EXPECT_EQ (w.deletedPresets(), juce::Array<int> ({ 11 }));

    // "Rename" from a backup's menu: what the user types names the backup.
    clickAt (w.at (421, 60));  // "Backup All"
    const auto backupRow = w.at (150, 285);
    EXPECT_TRUE (pumpUntil ([&] { return readText (takeScreenshot(), { backupRow.x - 90, backupRow.y - 9, 250, 18 }).contains ("(All)"); }, 20000))
        << (saveScreenshot ("DataPageKeys-backup"), "no backup in the browser");
    clickAt (backupRow);
    clickAt (backupRow, 3);
    // The menu opens rightwards from the pointer; its fifth entry is "Rename".
    const auto renameItem = backupRow + juce::Point<int> (45, 81);
    EXPECT_TRUE (pumpUntil ([&] { return readText (takeScreenshot(), { renameItem.x - 30, renameItem.y - 9, 200, 18 }) == "Rename"; }, 20000))
        << (saveScreenshot ("DataPageKeys-menu"), "no \"Rename\" in the backup's menu");
    clickAt (renameItem);
    // The editor opens over the row with the old name selected.
    EXPECT_TRUE (pumpUntil ([&]
    {
        const auto shot = takeScreenshot();
        return shot.isValid() && countPixels (shot, { backupRow.x - 90, backupRow.y - 9, 300, 18 }, isSelectedTextBlue) > 500;
    }, 20000)) << (saveScreenshot ("DataPageKeys-rename"), "no editor for the name");
    typeText ("Road Kit");
    pressKeys ("Return");
    // The details of the selected backup name it so.
    auto shownTitle = [&] { return readText (takeScreenshot(), { w.window.getX() + 505, w.window.getY() + 473, 300, 20 }); };
    EXPECT_TRUE (pumpUntil ([&] { return shownTitle() == "Road Kit"; }, 20000)) << shownTitle();

    if (::testing::Test::HasFailure())
        saveScreenshot ("DataPageKeys-end");
}
