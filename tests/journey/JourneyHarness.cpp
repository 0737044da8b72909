#include "JourneyHarness.h"
#include "device/sim/SimulatedUnitSet.h"
#include "support/LoopbackClient.h"
#include "support/TestEnvironment.h"

#include <cstdlib>
#include <stdexcept>

using namespace testing_support;

namespace journey
{
    namespace
    {
        const juce::String mainTitle ("Larkspire 2");
        const juce::String tracking ("/lark-spire-2/php/tracking-1.0/");

        juce::String xid (unsigned long window) { return juce::String ((juce::int64) window); }

        void add (juce::StringArray& command, Point p) { command.addArray ({ juce::String (p.x), juce::String (p.y) }); }

        bool isStatusStrip (juce::Colour c) { return c.getARGB() == 0xff00435au; }

        // The folder of a journey's world (its home and the web stand-in's files). Where the
        // journey has a /var/tmp of its own (the test runner gives it one), its path there is
        // fixed and readable, for the paths in it that the journey reads off the screen: OCR
        // misreads random characters (0 as O0, 1 as l). Elsewhere it has a unique name.
        juce::File makeWorldFolder()
        {
            if (juce::SystemStats::getEnvironmentVariable ("LARKSPIRE_TEST_OWN_MOUNTS", {}) != "1")
                return makeUniqueTempFolder ("larkspire-journey-");
            const juce::File folder ("/var/tmp/larkspire-journey");
            if (! folder.deleteRecursively() || ! folder.createDirectory())
                throw std::runtime_error ("cannot make " + folder.getFullPathName().toStdString());
            return folder;
        }
    }

    //==============================================================================
    namespace screen
    {
        void moveTo (Point p)
        {
            juce::StringArray command { "xdotool", "mousemove" };
            add (command, p);
            runTool (command);
        }

        void drag (Point from, Point to)
        {
            juce::StringArray command { "xdotool", "mousemove" };
            add (command, from);
            command.addArray ({ "mousedown", "1" });
            constexpr int steps = 12;
            for (int i = 1; i <= steps; ++i)
            {
                const auto p = from + (to - from) * i / steps;
                command.addArray ({ "sleep", "0.05", "mousemove" });
                add (command, p);
            }
            // The hand rests on the target a moment before it lets go.
            command.addArray ({ "sleep", "0.3", "mouseup", "1" });
            runTool (command);
        }

        namespace
        {
            struct Word
            {
                juce::String text;
                Area box;            // on the screen
                juce::String line;   // the same for the words of one line
            };

            // The words OCR finds in an area, read twice as described at read(), with their places.
            std::vector<std::vector<Word>> readWords (const juce::Image& image, Area area)
            {
                std::vector<std::vector<Word>> readings;
                area = area.getIntersection (image.getBounds());
                if (area.isEmpty())
                    return readings;

                double brightness = 0;
                for (int y = area.getY(); y < area.getBottom(); ++y)
                    for (int x = area.getX(); x < area.getRight(); ++x)
                        brightness += image.getPixelAt (x, y).getPerceivedBrightness();
                const bool darkGround = brightness / (area.getWidth() * area.getHeight()) < 0.5;

                constexpr int scale = 4;
                juce::TemporaryFile crop (".png"), big (".png");
                if (! writePng (image.getClippedImage (area), crop.getFile()))
                    throw std::runtime_error ("cannot write " + crop.getFile().getFullPathName().toStdString());
                for (auto blackAndWhite : { false, true })
                {
                    juce::StringArray command { "convert", crop.getFile().getFullPathName(), "-colorspace", "Gray" };
                    if (darkGround)
                        command.add ("-negate");
                    command.addArray ({ "-filter", "Lanczos", "-resize", juce::String (scale * 100) + "%" });
                    if (blackAndWhite)
                        command.addArray ({ "-threshold", "50%" });
                    command.add (big.getFile().getFullPathName());
                    runTool (command);

                    std::vector<Word> words;
                    const auto tsv = runTool ({ "tesseract", big.getFile().getFullPathName(), "stdout", "--psm", "11",
                                            "--dpi", "300", "tsv" });
                    for (auto& line : juce::StringArray::fromLines (tsv))
                    {
                        const auto cells = juce::StringArray::fromTokens (line, "\t", {});
                        if (cells.size() < 12 || cells[0] != "5" || cells[11].trim().isEmpty())
                            continue;
                        words.push_back ({ cells[11].trim(),
                                           Area (cells[6].getIntValue() / scale, cells[7].getIntValue() / scale,
                                                 cells[8].getIntValue() / scale, cells[9].getIntValue() / scale)
                                               + area.getPosition(),
                                           cells[2] + "." + cells[3] + "." + cells[4] });
                    }
                    readings.push_back (std::move (words));
                }
                return readings;
            }

            // The letters and digits of a text, in lower case, with the digits OCR takes for
            // letters in labels as those letters ("0k" is "Ok").
            juce::String letters (const juce::String& s)
            {
                return s.retainCharacters ("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789")
                        .toLowerCase().replaceCharacters ("01", "ol");
            }
        }

        namespace
        {
            // Light text on a darker ground inside a light area (the faces of the program's
            // text buttons, the bar of a selected row) is lost among the dark text around it,
            // so such grounds are found and read on their own.
            bool isButtonFace (juce::Colour c)
            {
                return c.getBlue() - c.getRed() >= 25 && c.getRed() >= 110 && c.getRed() <= 200 && c.getBlue() >= 160;
            }

            bool isDarkBar (juce::Colour c) { return c.getPerceivedBrightness() < 0.35f; }

            std::vector<Area> grounds (const juce::Image& image, Area area, bool (*isGround) (juce::Colour))
            {
                area = area.getIntersection (image.getBounds());
                std::vector<Area> found;
                std::vector<bool> seen ((size_t) (area.getWidth() * area.getHeight()), false);
                auto index = [&] (int x, int y) { return (size_t) ((y - area.getY()) * area.getWidth() + x - area.getX()); };
                for (int y = area.getY(); y < area.getBottom(); ++y)
                    for (int x = area.getX(); x < area.getRight(); ++x)
                    {
                        if (seen[index (x, y)] || ! isGround (image.getPixelAt (x, y)))
                            continue;
                        // The ground's extent: a flood over its pixels (its text makes holes, not gaps).
                        Area box (x, y, 1, 1);
                        std::vector<Point> todo { { x, y } };
                        seen[index (x, y)] = true;
                        while (! todo.empty())
                        {
                            const auto p = todo.back();
                            todo.pop_back();
                            box = box.getUnion ({ p.x, p.y, 1, 1 });
                            for (auto d : { Point (1, 0), Point (-1, 0), Point (0, 1), Point (0, -1) })
                            {
                                const auto q = p + d;
                                if (area.contains (q) && ! seen[index (q.x, q.y)] && isGround (image.getPixelAt (q.x, q.y)))
                                {
                                    seen[index (q.x, q.y)] = true;
                                    todo.push_back (q);
                                }
                            }
                        }
                        if (box.getWidth() >= 30 && box.getHeight() >= 14 && box != area)
                            found.push_back (box);
                    }
                return found;
            }
        }

        juce::String read (const juce::Image& image, Area area)
        {
            juce::StringArray readings;
            for (auto& words : readWords (image, area))
            {
                juce::StringArray text;
                for (auto& w : words)
                    text.add (w.text);
                readings.addIfNotAlreadyThere (text.joinIntoString (" "));
            }
            readings.removeEmptyStrings();
            return readings.joinIntoString (" / ");
        }

        bool shows (const juce::String& seen, const juce::String& text)
        {
            return letters (seen).contains (letters (text));
        }

        Area find (const juce::Image& image, Area area, const juce::String& text)
        {
            // A line that holds just the text wins over a ground that holds it, which wins over
            // a line that holds more ("Merle" is not the first word of "Merle XT", nor is the
            // "Browse..." button the word in "Click 'Browse...' to select").
            const auto wanted = juce::StringArray::fromTokens (text, false);
            Area partial;
            for (auto& words : readWords (image, area))
                for (size_t i = 0; i + (size_t) wanted.size() <= words.size(); ++i)
                {
                    bool match = true;
                    Area box = words[i].box;
                    for (int k = 0; k < wanted.size() && match; ++k)
                    {
                        match = letters (words[i + (size_t) k].text) == letters (wanted[k]);
                        box = box.getUnion (words[i + (size_t) k].box);
                    }
                    if (! match)
                        continue;
                    const auto end = i + (size_t) wanted.size();
                    const bool wholeLine = (i == 0 || words[i - 1].line != words[i].line)
                                        && (end == words.size() || words[end].line != words[i].line);
                    if (wholeLine)
                        return box;
                    if (partial.isEmpty())
                        partial = box;
                }
            for (auto isGround : { isButtonFace, isDarkBar })
                for (auto& ground : grounds (image, area, isGround))
                    for (auto& reading : juce::StringArray::fromTokens (read (image, ground), "/", {}))
                    {
                        // An icon on the ground reads as a stray word before the text.
                        const auto words = juce::StringArray::fromTokens (reading, false);
                        for (int i = 0; i + wanted.size() <= words.size(); ++i)
                        {
                            bool match = true;
                            for (int k = 0; k < wanted.size() && match; ++k)
                                match = letters (words[i + k]) == letters (wanted[k]);
                            if (match)
                                return ground;
                        }
                    }
            return partial;
        }

        Area findToolbarLabel (const juce::Image& image, Area area, const juce::String& label)
        {
            const auto parts = juce::StringArray::fromTokens (label, false);
            for (auto& words : readWords (image, area))
                for (auto& first : words)
                {
                    if (letters (first.text) != letters (parts[0]))
                        continue;
                    if (parts.size() == 1)
                        return first.box;
                    for (auto& second : words)
                        if (letters (second.text) == letters (parts[1])
                            && std::abs (second.box.getCentreX() - first.box.getCentreX()) < 20
                            && second.box.getY() > first.box.getBottom() - 2 && second.box.getY() < first.box.getBottom() + 20)
                            return first.box.getUnion (second.box);
                }
            return {};
        }

        int count (const juce::Image& image, Area area, const std::function<bool (juce::Colour)>& test)
        {
            int n = 0;
            area = area.getIntersection (image.getBounds());
            for (int y = area.getY(); y < area.getBottom(); ++y)
                for (int x = area.getX(); x < area.getRight(); ++x)
                    if (test (image.getPixelAt (x, y)))
                        ++n;
            return n;
        }

        bool near (juce::Colour c, juce::uint32 rgb, int tolerance)
        {
            const juce::Colour e (0xff000000u | rgb);
            return std::abs (c.getRed() - e.getRed()) <= tolerance && std::abs (c.getGreen() - e.getGreen()) <= tolerance
                && std::abs (c.getBlue() - e.getBlue()) <= tolerance;
        }
    }

    double firstAskedAt (const SimulatedUnit& unit, int kind)
    {
        for (auto& m : unit.getReceived (0x7E))
            if (m.bytes.size() > 7 && m.bytes[7] == kind)
                return m.timeMs;
        return 0.0;
    }

    std::map<juce::String, juce::MemoryBlock> filesUnder (const juce::File& folder, const juce::String& pattern)
    {
        std::map<juce::String, juce::MemoryBlock> files;
        for (auto& f : folder.findChildFiles (juce::File::findFiles | juce::File::ignoreHiddenFiles, true, pattern))
            f.loadFileAsData (files[f.getRelativePathFrom (folder)]);
        return files;
    }

    //==============================================================================
    Journey::Journey()
        : home (makeWorldFolder().getChildFile ("home"))
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        output = juce::File::getCurrentWorkingDirectory().getChildFile ("journey-output")
                     .getChildFile (juce::String (info->test_suite_name()) + "." + info->name());
        if (! output.deleteRecursively() || ! output.createDirectory() || ! home.createDirectory())
            throw std::runtime_error ("cannot make the folders " + output.getFullPathName().toStdString() + " and "
                                      + home.getFullPathName().toStdString());

        // The web stand-in serves a copy of the installed sample content where the program
        // looks for the maker's service, and takes its usage events.
        if (! installedContent().copyDirectoryTo (servedContent()))
            throw std::runtime_error ("cannot copy the sample content to " + servedContent().getFullPathName().toStdString());
        server = std::make_unique<LocalHttpServer> (servedContent().getParentDirectory());
        server->reply (tracking + "db_ls_run.php", 200, "77");
        for (auto script : { "db_ls_install.php", "db_device_connect.php", "db_device_activate.php",
                             "db_device_update.php", "db_user_log_device.php" })
            server->reply (tracking + script, 200, "1");

        socketPort = freeLoopbackPort();
        startedAt = juce::Time::getMillisecondCounter();
    }

    Journey::~Journey()
    {
        units.clear();
        if (app != nullptr && app->isRunning())
            app->stop (10000);
        app.reset();
        server.reset();
        home.getParentDirectory().deleteRecursively();
    }

    void Journey::TearDown()
    {
        const bool failed = ::testing::Test::HasFailure();
        if (failed)
        {
            // What the user saw last, and what the screen shows now.
            if (lastShot.isValid())
                writePng (lastShot, output.getChildFile ("last-seen.png"));
            writePng (takeScreenshot(), output.getChildFile ("at-failure.png"));
            output.getChildFile ("steps.txt").replaceWithText (steps.joinIntoString ("\n") + "\n");
            // Where each of the program's threads stands, when a debugger is at hand.
            if (isRunning() && juce::File ("/usr/bin/gdb").existsAsFile())
                output.getChildFile ("program-threads.txt")
                      .replaceWithText (askTool ({ "gdb", "-p", juce::String ((int) app->getPid()), "-batch",
                                                   "-ex", "thread apply all bt" }, 60000));
            for (auto& f : home.findChildFiles (juce::File::findFiles, true, "*"))
                if (f.getSize() < 65536 && (f.hasFileExtension ("xml") || f.hasFileExtension ("settings")))
                    f.copyFileTo (output.getChildFile ("home").getChildFile (f.getRelativePathFrom (home)));
        }
        if (app != nullptr && app->isRunning())
            app->stop (10000);
        if (! failed)
            output.deleteRecursively();
    }

    //==============================================================================
    juce::File Journey::settingsFile() const
    {
        return home.getChildFile ("Ardentis/Larkspire 2/Larkspire 2.settings");
    }

    juce::File Journey::servedContent() const
    {
        return home.getSiblingFile (home.getFileName() + "-web").getChildFile ("Larkspire2");
    }

    juce::File Journey::dataFolder() const
    {
        return home.getChildFile (".config/Ardentis/Larkspire 2");
    }

    juce::String Journey::setting (const juce::String& key) const
    {
        if (auto xml = juce::parseXML (settingsFile()))
            if (auto* e = xml->getChildByAttribute ("name", key))
                return e->getStringAttribute ("val");
        return {};
    }

    juce::File Journey::installedContent()
    {
        return juce::File (LARKSPIRE_APP_BINARY).getSiblingFile ("Content");
    }

    //==============================================================================
    void Journey::start (const juce::String& midi, const juce::StringArray& words, const juce::String& webRoot)
    {
        step ("start the program (" + (midi + " " + words.joinIntoString (" ")).trim() + ")");
        // Only what a user's session has, and the two words the README names.
        juce::StringArray environment { "HOME=" + home.getFullPathName(),
                                        "LARKSPIRE_MIDI=" + (midi == "socket" ? "socket:" + juce::String (socketPort) : midi),
                                        "LARKSPIRE_WEB_ROOT=" + (webRoot.isNotEmpty() ? webRoot : server->getRootAddress()) };
        for (auto name : { "DISPLAY", "XAUTHORITY", "PATH" })
            if (auto* value = std::getenv (name))
                environment.add (juce::String (name) + "=" + juce::String (value));

        windowId = 0;
        app = std::make_unique<AppProcess> (words, environment, output.getChildFile ("program-output.txt"));
    }

    void Journey::sendSignals (std::initializer_list<int> signals)
    {
        juce::StringArray numbers;
        for (auto s : signals)
            numbers.add (juce::String (s));
        step ("the program gets signals " + numbers.joinIntoString (", "));
        for (auto s : signals)
            if (app != nullptr && app->isRunning())
                ::kill (app->getPid(), s);
    }

    int Journey::endBySignals (std::initializer_list<int> signals, int timeoutMs)
    {
        sendSignals (signals);
        return waitForExit (timeoutMs);
    }

    juce::String Journey::programOutput() const
    {
        return output.getChildFile ("program-output.txt").loadFileAsString();
    }

    bool Journey::isRunning()
    {
        return app != nullptr && app->isRunning();
    }

    int Journey::waitForExit (int timeoutMs)
    {
        return app != nullptr ? app->waitForExit (timeoutMs) : -1;
    }

    Area Journey::mainWindowNow()
    {
        // The program may replace its first window while starting: look it up again
        // whenever the one known has gone.
        auto area = getWindowGeometry (windowId);
        if (area.isEmpty())
        {
            windowId = findVisibleWindow (mainTitle);
            area = getWindowGeometry (windowId);
        }
        if (area.isEmpty())
            return {};
        // Laid out: the status strip runs along the whole bottom edge.
        const auto image = look();
        const int y = area.getBottom() - 3;
        const bool laidOut = image.isValid() && isStatusStrip (image.getPixelAt (area.getX() + 2, y))
                          && isStatusStrip (image.getPixelAt (area.getRight() - 3, y));
        return laidOut ? area : Area();
    }

    Area Journey::mainWindow()
    {
        Area area;
        waitFor ([&] { area = mainWindowNow(); return ! area.isEmpty(); }, "the main window shows its content");
        return area;
    }

    void Journey::placeMainWindow (Area area)
    {
        step ("the user moves the window to " + area.toString());
        waitFor ([&]
        {
            const auto now = mainWindowNow();
            if (now != area && windowId != 0)
                askTool ({ "xdotool", "windowmove", xid (windowId), juce::String (area.getX()), juce::String (area.getY()),
                               "windowsize", xid (windowId), juce::String (area.getWidth()), juce::String (area.getHeight()) });
            return now == area;
        }, "the main window at " + area.toString());
    }

    Point Journey::at (int x, int y)
    {
        const auto area = mainWindow();
        return { area.getX() + x, area.getY() + y };
    }

    void Journey::openOptions()
    {
        // The header's icons are 16 pixels, 10 apart from each other and the right edge: Help,
        // then Options.
        step ("click the Options button");
        const auto area = mainWindow();
        clickAt ({ area.getRight() - 2 * 16 - 2 * 10 + 8, area.getY() + 15 });
    }

    Area Journey::tabStrip()
    {
        const auto area = mainWindow();
        return area.withHeight (31);
    }

    Area Journey::toolbar()
    {
        const auto area = mainWindow();
        return { area.getX(), area.getY() + 31, area.getWidth(), 64 };
    }

    Area Journey::page()
    {
        const auto area = mainWindow();
        return area.withTrimmedTop (96).withTrimmedBottom (29);
    }

    Area Journey::statusText()
    {
        const auto area = mainWindow();
        return { area.getX() + 20, area.getBottom() - 29, 330, 29 };
    }

    //==============================================================================
    SimulatedUnit& Journey::startWithMerle()
    {
        start ("socket");
        auto& unit = plugIn ("Merle", 20100).unit();
        waitForText (statusText(), "Merle 1.4.00 build 140");
        waitFor ([&] { return unit.countReceived (0x45) >= 25; }, "Merle read as it connects");
        return unit;
    }

    void Journey::showPresets()
    {
        clickText (tabStrip(), "Presets");
        waitForText (workspace(), "Sim 1");
    }

    Area Journey::browser()
    {
        const auto area = mainWindow();
        return { area.getX() + 5, area.getY() + 118, 300, 580 };
    }

    Area Journey::workspace()
    {
        const auto area = mainWindow();
        return { area.getX() + 315, area.getY() + 118, area.getWidth() - 335, 345 };
    }

    Point Journey::tile (int slot)
    {
        // Four tiles a row, 156 pixels apart, rows 94 pixels apart (the grid's icon layout).
        const int column = (slot - 1) % 4, row = (slot - 1) / 4;
        return at (393 + 156 * column, 155 + 94 * row);
    }

    Area Journey::nameField()
    {
        const auto area = mainWindow();
        return { area.getX() + 340, area.getY() + 518, 640, 28 };
    }

    Area Journey::details()
    {
        const auto area = mainWindow();
        return { area.getX() + 315, area.getY() + 490, area.getWidth() - 335, 215 };
    }

    bool Journey::isTagTicked (const juce::String& tag)
    {
        const auto label = waitForTextAt (details(), tag);
        // The box sits just left of its label; a tick is dark.
        const Area box (label.getX() - 20, label.getY() - 4, 16, label.getHeight() + 8);
        return screen::count (look(), box, [] (juce::Colour c) { return c.getPerceivedBrightness() < 0.35f; }) >= 4;
    }

    //==============================================================================
    SocketUnit& Journey::plugIn (const juce::String& product, int serial)
    {
        step ("plug in " + product + " (serial " + juce::String (serial) + ")");
        std::shared_ptr<SimulatedUnit> unit;
        for (auto& u : SimulatedUnitSet::createForContent (installedContent()))
            if (u->getInputName() == product + " MIDI")
                unit = u;
        if (unit == nullptr)
            throw std::runtime_error ("no sample product " + product.toStdString());
        auto identity = unit->getIdentity();
        identity.serial = serial;
        unit->setIdentity (identity);
        return connect (unit);
    }

    SocketUnit& Journey::connect (std::shared_ptr<SimulatedUnit> unit)
    {
        // The program listens once it has started; a unit waiting for it tries again.
        const auto name = unit->getInputName();
        std::unique_ptr<SocketUnit> connected;
        waitFor ([&]
        {
            connected = std::make_unique<SocketUnit> (unit, socketPort, name);
            if (connected->isConnected())
                return true;
            juce::Thread::sleep (10);
            return false;
        }, "the program takes the connection of " + name);
        units.push_back (std::move (connected));
        return *units.back();
    }

    void Journey::unplug (SocketUnit& unit)
    {
        step ("unplug " + unit.unit().getInputName());
        unit.disconnect();
    }

    void Journey::unplug (SimulatedUnit& unit)
    {
        for (auto& socket : units)
            if (&socket->unit() == &unit)
                return unplug (*socket);
        failed ("no socket of " + unit.getInputName());
    }

    SocketUnit& Journey::plugBackIn (SocketUnit& unit)
    {
        step ("plug " + unit.unit().getInputName() + " in again");
        return connect (unit.getUnit());
    }

    void Journey::replug (SimulatedUnit& unit, int gapMs)
    {
        step ("unplug " + unit.getInputName() + " and plug it in again " + juce::String (gapMs) + " ms later");
        SocketUnit* plugged = nullptr;
        for (auto& u : units)
            if (&u->unit() == &unit && u->isConnected())
                plugged = u.get();
        if (plugged == nullptr)
            failed ("FAILED: " + unit.getInputName() + " is not plugged in");
        plugged->disconnect();
        juce::Thread::sleep (gapMs);
        connect (plugged->getUnit());
    }

    //==============================================================================
    bool Journey::waitFor (const std::function<bool()>& condition, const juce::String& what, int timeoutMs)
    {
        // A program that ends on its way there ends the wait at once.
        const bool wasRunning = isRunning();
        bool ended = false;
        if (pumpUntil ([&] { ended = wasRunning && ! isRunning(); return ended || condition(); }, timeoutMs)
            && ! ended)
            return true;
        if (ended && condition())
            return true;
        const auto why = ended ? "the program ended (exit code " + juce::String (waitForExit (0)) + ") while waiting for: "
                               : "waited in vain " + juce::String (timeoutMs / 1000) + " s for: ";
        failed ("FAILED: " + why + what);
    }

    unsigned long Journey::waitForWindow (const juce::String& title, int timeoutMs)
    {
        unsigned long id = 0;
        waitFor ([&] { id = findVisibleWindow (title); return id != 0 && ! getWindowGeometry (id).isEmpty(); },
                 "the window \"" + title + "\"", timeoutMs);
        return id;
    }

    bool Journey::waitForWindowGone (const juce::String& title, int timeoutMs)
    {
        return waitFor ([&] { return findVisibleWindow (title) == 0; }, "the window \"" + title + "\" to close",
                        timeoutMs);
    }

    bool Journey::waitForText (Area area, const juce::String& text, int timeoutMs)
    {
        juce::String seen;
        const bool found = pumpUntil ([&]
        {
            const auto image = look();
            seen = screen::read (image, area);
            if (screen::shows (seen, text))
                return true;
            // Light text on a dark bar or a button is read on its own.
            return ! screen::find (image, area, text).isEmpty();
        }, timeoutMs);
        if (! found)
            failed ("FAILED waiting for \"" + text + "\" in " + area.toString() + "; the screen shows \"" + seen + "\"");
        return found;
    }

    bool Journey::waitForScreen (const std::function<bool (const juce::Image&)>& test, const juce::String& what,
                                 int timeoutMs)
    {
        return waitFor ([&] { const auto image = look(); return image.isValid() && test (image); }, what, timeoutMs);
    }

    Area Journey::waitForTextAt (Area area, const juce::String& text, int timeoutMs)
    {
        Area found;
        juce::String seen;
        if (! pumpUntil ([&]
            {
                const auto image = look();
                found = screen::find (image, area, text);
                if (found.isEmpty())
                    seen = screen::read (image, area);
                return ! found.isEmpty();
            }, timeoutMs))
            failed ("FAILED looking for \"" + text + "\" in " + area.toString() + "; the screen shows \"" + seen + "\"");
        return found;
    }

    Area Journey::waitForToolbarItem (const juce::String& label, bool enabled, int timeoutMs)
    {
        const auto area = toolbar();
        Area found;
        waitForScreen ([&] (const juce::Image& image)
        {
            found = screen::findToolbarLabel (image, area, label);
            // A disabled item is drawn faded: its label has no dark pixels.
            return ! found.isEmpty()
                && (! enabled || screen::count (image, found, [] (juce::Colour c) { return c.getPerceivedBrightness() < 0.5f; }) > 0);
        }, "the toolbar item \"" + label + "\"" + (enabled ? " enabled" : ""), timeoutMs);
        return found;
    }

    void Journey::waitForEnabled (const juce::String& label, int timeoutMs)
    {
        waitForToolbarItem (label, true, timeoutMs);
    }

    void Journey::clickToolbarItem (const juce::String& label)
    {
        const auto found = waitForToolbarItem (label, false, 60000);
        step ("click the toolbar item \"" + label + "\"");
        // The item's icon is above its label.
        clickAt (found.getCentre().translated (0, -20));
    }

    bool Journey::clickText (Area area, const juce::String& text, int button, int count)
    {
        const auto found = waitForTextAt (area, text);
        step ("click \"" + text + "\"" + (count > 1 ? " " + juce::String (count) + " times" : juce::String()));
        if (count == 1)
            clickAt (found.getCentre(), button);
        else
            runTool ({ "xdotool", "mousemove", juce::String (found.getCentreX()), juce::String (found.getCentreY()),
                       "click", "--repeat", juce::String (count), "--delay", "80", juce::String (button) });
        return true;
    }

    bool Journey::answer (const juce::String& title, const juce::String& button)
    {
        const auto box = waitForWindow (title);
        if (box == 0)
            return false;
        const auto area = getWindowGeometry (box);
        // The buttons are along the bottom of a box.
        if (! clickText (area.withTop (area.getBottom() - juce::jmin (area.getHeight(), 90)), button))
            return false;
        return waitForWindowGone (title);
    }

    void Journey::choosePath (const juce::String& chooserTitle, const juce::File& path)
    {
        const auto chooser = getWindowGeometry (waitForWindow (chooserTitle));
        const auto field = waitForTextAt (chooser, "file:");
        clickAt ({ field.getRight() + 100, field.getCentreY() });
        pressKeys ("ctrl+a");
        typeText (path.getFullPathName());
        clickText (chooser, "Open");
        waitForWindowGone (chooserTitle);
    }

    juce::String Journey::textIn (Area area)
    {
        return screen::read (look(), area);
    }

    juce::Image Journey::look()
    {
        auto image = takeScreenshot();
        if (image.isValid())
            lastShot = image;
        return image;
    }

    [[noreturn]] void Journey::failed (const juce::String& what)
    {
        step (what);
        if (lastShot.isValid())
            writePng (lastShot, output.getChildFile ("failure.png"));
        // The steps after this one build on it: the journey ends here.
        throw std::runtime_error (what.toStdString());
    }

    void Journey::step (const juce::String& what)
    {
        const auto seconds = (juce::Time::getMillisecondCounter() - startedAt) / 1000.0;
        steps.add (juce::String (seconds, 1) + " s: " + what);
    }
}
