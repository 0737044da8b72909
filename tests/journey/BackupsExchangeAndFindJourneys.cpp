#include "JourneyHarness.h"
#include "device/SysExFileAnalysis.h"
#include <fcntl.h>
#include <stdexcept>
#include <sys/mount.h>
#include <unistd.h>

using namespace journey;
using namespace testing_support;

namespace
{
    // The backups of a product: the titles of the archive descriptions in its data folder.
    juce::StringArray backupTitles (const juce::File& dataFolder, const juce::String& product)
    {
        juce::StringArray titles;
        for (auto& f : dataFolder.getChildFile (product + "/data").findChildFiles (juce::File::findFiles, false, "*.xml"))
            if (auto xml = juce::parseXML (f))
                if (xml->hasTagName ("ARCHIVE"))
                    if (auto* title = xml->getChildByName ("title"))
                        titles.add (title->getAllSubText());
        titles.sort (true);
        return titles;
    }

    int backupDataFiles (const juce::File& dataFolder, const juce::String& product)
    {
        return dataFolder.getChildFile (product + "/data").getNumberOfChildFiles (juce::File::findFiles, "*.ard");
    }

    // Whether the product's backup index lists exactly the archive descriptions on disk.
    bool indexListsTheBackupsOnDisk (const juce::File& dataFolder, const juce::String& product)
    {
        const auto folder = dataFolder.getChildFile (product + "/data");
        const auto index = folder.getChildFile (product + "_backup.xml").loadFileAsString();
        const auto onDisk = folder.findChildFiles (juce::File::findFiles, false, product + "_0*.xml");
        int listed = 0;
        for (int i = index.indexOf ("<archive>"); i >= 0; i = index.indexOf (i + 1, "<archive>"))
            ++listed;
        for (auto& f : onDisk)
            if (! index.contains ("<archive>" + f.getFullPathName() + "</archive>"))
                return false;
        return listed == onDisk.size();
    }

    // A small disk of its own mounted over a folder while the journey runs, only where the
    // journey runs in a mount namespace of its own (the test runner starts it so); there, one
    // that cannot be mounted ends the journey.
    class SmallDisk
    {
    public:
        SmallDisk (const juce::File& folder, int megabytes) : where (folder)
        {
            const bool ownNamespace = juce::SystemStats::getEnvironmentVariable ("LARKSPIRE_TEST_OWN_MOUNTS", {}) == "1";
            mounted = ownNamespace && where.createDirectory().wasOk()
                      && ::mount ("tmpfs", where.getFullPathName().toRawUTF8(), "tmpfs", 0,
                                  ("size=" + juce::String (megabytes) + "m").toRawUTF8()) == 0;
            if (ownNamespace && ! mounted)
                throw std::runtime_error ("cannot mount a small disk over " + where.getFullPathName().toStdString());
        }

        ~SmallDisk()
        {
            if (mounted)
                ::umount2 (where.getFullPathName().toRawUTF8(), MNT_DETACH);
        }

        bool isMounted() const noexcept { return mounted; }
        juce::File getFiller() const    { return where.getChildFile (".filler"); }

        // Takes every byte left with a file of its own; whether the disk is full now.
        bool fill()
        {
            const int fd = ::open (getFiller().getFullPathName().toRawUTF8(), O_WRONLY | O_CREAT | O_APPEND, 0600);
            if (fd < 0)
                return false;
            std::vector<char> zeros (64 * 1024, 0);
            for (size_t chunk = zeros.size(); chunk > 0; chunk /= 2)
                while (::write (fd, zeros.data(), chunk) == (ssize_t) chunk) {}
            ::fsync (fd);
            ::close (fd);
            const int probe = ::open (where.getChildFile (".probe").getFullPathName().toRawUTF8(), O_WRONLY | O_CREAT, 0600);
            const bool full = probe >= 0 && ::write (probe, zeros.data(), 1) != 1;
            if (probe >= 0)
                ::close (probe);
            where.getChildFile (".probe").deleteFile();
            return full;
        }

    private:
        juce::File where;
        bool mounted = false;
    };
}

// Backups: "Backup All" and "Backup User" each make a backup that the browser lists by its
// title; the user undoes the second, redoes it and undoes it again, renames the first, drags
// one of its presets onto the unit in the browser, deletes the backup and undoes the delete.
// The files on disk follow each step, "Apply Changes" puts the dragged preset on the unit.
// Two backups deleted at once whose files cannot be written back bring one box at their undo,
// and the unit unplugged while it is up harms nothing. After the quit the backup index lists
// exactly the backups on disk.
TEST_F (Journey, BackupsMadeRenamedUsedDeletedAndRestored)
{
    auto& unit = startWithMerle();
    showPresets();

    step ("Backup All and Backup User");
    clickToolbarItem ("Backup All");
    waitForText (browser(), "(All)");
    clickToolbarItem ("Backup User");
    waitForText (browser(), "(User)");
    waitFor ([&] { return backupTitles (dataFolder(), "Merle").size() == 2 && backupDataFiles (dataFolder(), "Merle") == 2; },
             "both backups on disk");

    step ("undo Backup User, redo it, and undo it again");
    clickToolbarItem ("Undo");
    waitFor ([&] { return ! textIn (browser()).contains ("(User)"); }, "the user backup gone from the browser");
    waitFor ([&] { return backupDataFiles (dataFolder(), "Merle") == 1; }, "its files gone");
    pressKeys ("ctrl+y");
    waitForText (browser(), "(User)");
    waitFor ([&] { return backupTitles (dataFolder(), "Merle").size() == 2 && backupDataFiles (dataFolder(), "Merle") == 2; },
             "its files back");
    pressKeys ("ctrl+z");
    waitFor ([&] { return backupTitles (dataFolder(), "Merle").size() == 1 && backupDataFiles (dataFolder(), "Merle") == 1; },
             "its files gone again");

    step ("rename the full backup");
    clickText (browser(), "(All)", 1, 2);
    pressKeys ("ctrl+a");
    typeText ("Road Kit");
    pressKeys ("Return");
    waitForText (browser(), "Road Kit");
    waitFor ([&] { return backupTitles (dataFolder(), "Merle").contains ("Road Kit"); }, "the new title on disk");

    step ("drag preset 9 of the backup onto the unit in the browser: to an empty slot");
    clickText (browser(), "Road Kit");
    waitForText (workspace(), "Sim 9");
    clickAt (tile (9));
    waitForText (nameField(), "Sim 9");
    const auto unitItem = at (90, 170);
    screen::drag (tile (9), unitItem);
    clickText (Area (unitItem.x - 100, unitItem.y - 20, 450, 250), "Paste Preset to Empty Slot");

    step ("delete the backup, and undo");
    clickText (browser(), "Road Kit");
    pressKeys ("Delete");
    waitFor ([&] { return ! textIn (browser()).contains ("Road Kit"); }, "the backup gone from the browser");
    waitFor ([&] { return backupDataFiles (dataFolder(), "Merle") == 0; }, "its files gone");
    pressKeys ("ctrl+z");
    waitForText (browser(), "Road Kit");
    waitFor ([&] { return backupTitles (dataFolder(), "Merle").contains ("Road Kit")
                          && backupDataFiles (dataFolder(), "Merle") == 1; }, "its files back");

    step ("the dragged preset in the first empty slot of the unit");
    clickText (browser(), "Merle");
    waitForText (workspace(), "Sim 1");
    clickToolbarItem ("Apply Changes");
    waitFor ([&] { return unit.hasPreset (4) && unit.getPreset (4).name == "Sim 9"; }, "Sim 9 in slot 4 of the unit");
    EXPECT_EQ (unit.getPreset (4).values, unit.getPreset (9).values);
    waitForEnabled ("Get Data");

    step ("delete Road Kit and a new backup at once, take their files' places, and undo: one box, "
          "after the step, and the unit unplugged while it is up");
    clickToolbarItem ("Backup All");
    waitFor ([&] { return backupDataFiles (dataFolder(), "Merle") == 2; }, "the new backup on disk");
    const auto descriptions = dataFolder().getChildFile ("Merle/data").findChildFiles (juce::File::findFiles, false, "Merle_0*.xml");
    clickText (browser(), "Road Kit");
    clickAt (waitForTextAt (browser(), "(All)").getCentre(), 1, { "ctrl" });
    pressKeys ("Delete");
    waitFor ([&] { return backupDataFiles (dataFolder(), "Merle") == 0; }, "both backups' files gone");
    for (auto& description : descriptions)
        ASSERT_TRUE (description.createDirectory().wasOk());
    pressKeys ("ctrl+z");
    waitForWindow ("File Error");
    unplug (unit);
    waitForText (statusText(), "Nothing Connected");
    answer ("File Error", "OK");
    EXPECT_EQ (findVisibleWindow ("File Error"), 0ul);
    EXPECT_TRUE (isRunning());

    pressKeys ("ctrl+q");
    EXPECT_EQ (waitForExit(), 0);
    EXPECT_EQ (backupDataFiles (dataFolder(), "Merle"), 0);
    EXPECT_TRUE (indexListsTheBackupsOnDisk (dataFolder(), "Merle"));
}

// Export and import: the selection is exported to a SysEx file in the folder the export
// dialog offers (the documents folder, which a new account does not have yet); a second
// export to the same file, with the folder chosen through the folder chooser, asks before
// replacing it; the exported presets, deleted from the workspace, come back through the
// import dialog and its file chooser, and "Apply Changes" leaves them on the unit.
TEST_F (Journey, ExportAndImport)
{
    const auto documents = getHome().getChildFile ("Documents");
    const auto file = documents.getChildFile ("Road.syx");

    auto& unit = startWithMerle();
    showPresets();

    auto exportSelection = [&] (bool browse)
    {
        clickToolbarItem ("Export");
        auto dialog = getWindowGeometry (waitForWindow ("Export"));
        waitForText (dialog, documents.getFullPathName());
        if (browse)
        {
            clickText (dialog, "Browse...");
            choosePath ("Select the export folder", documents);
        }
        const auto name = waitForTextAt (dialog, "Name");
        clickAt ({ name.getRight() + 80, name.getCentreY() });
        pressKeys ("ctrl+a");
        typeText ("Road.syx");
        clickText (dialog, "Start Export");
        if (browse)
            answer ("Replace File", "Yes");
        waitForText (getWindowGeometry (waitForWindow ("Export")), "Export completed successfully.");
        answer ("Export", "OK");
    };
    auto presetsIn = [&] (const juce::File& f)
    {
        juce::MemoryBlock bytes;
        f.loadFileAsData (bytes);
        int headers = 0;
        const auto* b = static_cast<const juce::uint8*> (bytes.getData());
        for (size_t i = 0; i + 6 < bytes.getSize(); ++i)
            if (b[i] == 0xF0 && b[i + 1] == 0x00 && b[i + 2] == 0x7A && b[i + 3] == 0x15 && b[i + 6] == 0x20)
                ++headers;
        return headers;
    };

    step ("export presets 1 to 3 into the offered folder");
    clickAt (tile (1));
    waitForText (nameField(), "Sim 1");
    clickAt (tile (3), 1, { "shift" });
    waitForText (nameField(), "<multiple selected>");
    exportSelection (false);
    EXPECT_EQ (presetsIn (file), 3);

    step ("export presets 1 to 6 to the same file through the folder chooser: replace it");
    clickAt (tile (6), 1, { "shift" });
    exportSelection (true);
    EXPECT_EQ (presetsIn (file), 5);
    int product = 0, version = 0;
    EXPECT_EQ (identifySysExFile (file, product, version), 2u);
    EXPECT_EQ (product, 17);

    step ("delete 1 to 3 in the workspace, and import the file");
    clickAt (tile (1));
    waitForText (nameField(), "Sim 1");
    clickAt (tile (3), 1, { "shift" });
    waitForText (nameField(), "<multiple selected>");
    pressKeys ("Delete");
    waitForText (Area (tile (2).x - 70, tile (2).y + 34, 140, 20), "<empty>");
    clickToolbarItem ("Import");
    const auto dialog = getWindowGeometry (waitForWindow ("Import"));
    clickText (dialog, "Browse...");
    const auto chooser = getWindowGeometry (waitForWindow ("Select the import file(s)"));
    // Several files may be chosen here, so the file is picked from the list of its folder,
    // whose path the user types into the box at the top.
    clickAt (chooser.getPosition() + Point (200, 60));
    pressKeys ("ctrl+a");
    typeText (documents.getFullPathName());
    pressKeys ("Return");
    clickText (chooser, "Road.syx", 1, 2);
    waitForWindowGone ("Select the import file(s)");
    waitForText (dialog, "Road.syx");
    waitForText (dialog, "To Workspace");
    clickText (dialog, "Start Import");
    waitForText (getWindowGeometry (waitForWindow ("Import")), "Import complete");
    answer ("Import", "OK");
    waitForText (Area (tile (2).x - 70, tile (2).y + 34, 140, 20), "Sim 2");

    step ("Apply Changes: the unit keeps its presets");
    const auto before = unit.getPreset (2).values;
    unit.clearLog();
    clickToolbarItem ("Apply Changes");
    waitFor ([&] { return unit.countReceived (0x20) >= 3; }, "the imported presets written");
    waitForEnabled ("Get Data");
    EXPECT_EQ (unit.countReceived (0x50), 0);
    for (int n : { 1, 2, 3 })
        EXPECT_EQ (unit.getPreset (n).name, "Sim " + juce::String (n));
    EXPECT_EQ (unit.getPreset (2).values, before);
    pressKeys ("ctrl+q");
    EXPECT_EQ (waitForExit(), 0);
}

// Find Preset: the user opens it from the toolbar, types a query and picks a hit from a
// preset pack with a double click: the browser shows the pack, and the grid and the details
// show the preset selected. "Send Selected" puts that preset on the unit.
TEST_F (Journey, FindPresetShowsTheHitSelectedInItsSource)
{
    auto& unit = startWithMerle();
    showPresets();

    clickToolbarItem ("Find Preset");
    const auto dialog = waitForWindow ("Find Preset");
    typeText ("Dry");
    // The dialog grows as the first letter is typed.
    Area area;
    waitFor ([&] { area = getWindowGeometry (dialog); return area.getHeight() > 300; }, "the dialog with its results");
    clickText (area, "Dry Lead", 1, 2);
    waitForWindowGone ("Find Preset");
    waitForText (nameField(), "Dry Lead");
    waitForText (Area (workspace().getX(), workspace().getY() - 18, 400, 18), "Studio Voices");

    step ("send the preset found to the unit");
    clickToolbarItem ("Send Selected");
    waitFor ([&]
             {
                 const auto numbers = unit.getPresetNumbers();
                 return std::any_of (numbers.begin(), numbers.end(), [&] (int n) { return unit.getPreset (n).name == "Dry Lead"; });
             }, "Dry Lead on the unit");
    waitForEnabled ("Get Data");
    pressKeys ("ctrl+q");
    EXPECT_EQ (waitForExit(), 0);
}

// A full disk: "Backup All" cannot write the backup's files, so the backup is not made. The
// "File Error" box says so and stands centred on the window, as does the one of the unit's
// data that cannot be stored when it is disconnected; the browser does not list the backup,
// and every file that was there before stays byte for byte. A quit by a signal waits for no
// such box: it tells it on the error output and ends by itself, with the product's folder
// full (SIGHUP) as with the whole home full (SIGTERM).
TEST_F (Journey, ABackupOnAFullDiskIsNotListedAndTheEarlierOnesStayWhole)
{
    // The product's data folder (the backups, their index and the unit's stored data) on a disk
    // of one megabyte.
    const auto merleData = dataFolder().getChildFile ("Merle/data");
    SmallDisk disk (merleData, 1);
    if (! disk.isMounted())
        GTEST_SKIP() << "no mount namespace of its own to mount a small disk in";

    startWithMerle();
    showPresets();
    const auto centredOnTheWindow = [&] (Area box)
    {
        const auto window = mainWindow();
        return std::abs (box.getCentreX() - window.getCentreX()) <= 40 && std::abs (box.getCentreY() - window.getCentreY()) <= 40;
    };

    step ("Backup All");
    clickToolbarItem ("Backup All");
    waitForText (browser(), "(All)");
    waitFor ([&] { return backupTitles (dataFolder(), "Merle").size() == 1; }, "the backup on disk");
    const auto before = filesUnder (merleData);

    step ("the disk fills up; Backup All again");
    ASSERT_TRUE (disk.fill());
    clickToolbarItem ("Backup All");
    const auto box = getWindowGeometry (waitForWindow ("File Error"));
    EXPECT_TRUE (waitForText (box, "added to your backups"));
    EXPECT_TRUE (centredOnTheWindow (box)) << box.toString() << " in " << mainWindow().toString();
    answer ("File Error", "OK");
    EXPECT_FALSE (textIn (browser()).contains ("(2)")) << textIn (browser());
    EXPECT_TRUE (filesUnder (merleData) == before);

    step ("disconnect: the unit's data cannot be stored either");
    clickText (tabStrip(), "Devices");
    clickToolbarItem ("Disconnect");
    const auto stored = getWindowGeometry (waitForWindow ("File Error"));
    EXPECT_TRUE (centredOnTheWindow (stored)) << stored.toString() << " in " << mainWindow().toString();
    answer ("File Error", "OK");
    waitForText (statusText(), "Nothing Connected");
    EXPECT_TRUE (filesUnder (merleData) == before);

    // The unit's data as the program stores it once it has read it.
    const auto syncFile = merleData.getChildFile ("20100/sync.ard");
    const auto readAndStored = [&] (const juce::String& what) {
        waitFor ([&] { return syncFile.existsAsFile() && ! syncFile.getSiblingFile ("sync_.ard").exists(); }, what);
    };
    const auto endsBySignal = [&] (int signal) {
        const auto told = programOutput().length();
        const auto sent = juce::Time::getMillisecondCounter();
        EXPECT_EQ (endBySignals ({ signal }, 30000), 0);
        EXPECT_LE (juce::Time::getMillisecondCounter() - sent, 8000u) << "the program took that long to end";
        EXPECT_TRUE (programOutput().substring (told).contains ("File Error: Larkspire was unable to save the device's data"))
            << programOutput();
    };

    step ("room again; connect, read; the disk full again; SIGHUP");
    ASSERT_TRUE (disk.getFiller().deleteFile());
    syncFile.deleteFile();
    clickText (page(), "Merle");
    readAndStored ("Merle read and stored");
    ASSERT_TRUE (disk.fill());
    endsBySignal (SIGHUP);
    EXPECT_EQ (backupTitles (dataFolder(), "Merle").size(), 1);
    EXPECT_EQ (backupDataFiles (dataFolder(), "Merle"), 1);
    EXPECT_TRUE (filesUnder (merleData) == before);

    step ("a start with the whole home on a small disk; Merle read; the disk full; SIGTERM");
    SmallDisk wholeHome (getHome(), 16);
    ASSERT_TRUE (wholeHome.isMounted());
    startWithMerle();
    readAndStored ("Merle read and stored");
    ASSERT_TRUE (wholeHome.fill());
    endsBySignal (SIGTERM);
}
