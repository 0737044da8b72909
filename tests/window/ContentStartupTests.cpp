#include <gtest/gtest.h>
#include "device/sim/SimulatedUnitSet.h"
#include "support/AppProcess.h"
#include "support/ContentWorld.h"
#include "support/LocalHttpServer.h"
#include "support/LoopbackClient.h"
#include "support/SocketUnit.h"
#include "support/TestEnvironment.h"
#include "ScreenTools.h"
#include <cstdlib>

using namespace testing_support;

// The program's start-up with its control content and usage events, seen from outside:
// the files it leaves in its data folder and the requests that reached the web service.
namespace
{
    const juce::String tracking = "/lark-spire-2/php/tracking-1.0/";

    juce::File sampleContent()
    {
        return juce::File (LARKSPIRE_SOURCE_DIR).getChildFile ("resources/Content");
    }

    juce::File dataFolder (const TempHome& home)
    {
        return home.getFolder().getChildFile (".config/Ardentis/Larkspire 2");
    }

    juce::String settingOf (const juce::File& settings, const char* key)
    {
        if (auto xml = juce::parseXML (settings))
            if (auto* e = xml->getChildByAttribute ("name", key))
                return e->getStringAttribute ("val");
        return {};
    }

    struct WebRoot
    {
        explicit WebRoot (const juce::String& root)
        {
            if (auto* old = std::getenv ("LARKSPIRE_WEB_ROOT"))
                previous = old;
            ::setenv ("LARKSPIRE_WEB_ROOT", root.toRawUTF8(), 1);
        }
        ~WebRoot()
        {
            if (previous.isNotEmpty()) ::setenv ("LARKSPIRE_WEB_ROOT", previous.toRawUTF8(), 1);
            else ::unsetenv ("LARKSPIRE_WEB_ROOT");
        }
        juce::String previous;
    };
}

TEST (ContentStartup, OnlineStartStoresTheDescriptorAndReportsTheRun)
{
    TempHome home;
    TempFolder served;
    sampleContent().copyDirectoryTo (served.child ("Larkspire2"));
    LocalHttpServer server (served.get());
    server.reply (tracking + "db_ls_run.php", 200, "77");
    WebRoot root (server.getRootAddress());

    AppProcess app;
    ASSERT_TRUE (pumpUntil ([&] { return ! app.isRunning()
                                      || server.countRequests ("POST", tracking + "db_ls_install.php") == 1; }, 60000));
    ASSERT_TRUE (app.isRunning()) << "the program ended by itself";
    EXPECT_EQ (app.stop(), 0);

    // The descriptor was fetched and written back.
    EXPECT_EQ (server.countRequests ("GET", "/Larkspire2/masterDescriptor.xml"), 1);
    auto stored = juce::parseXML (dataFolder (home).getChildFile ("masterDescriptor.xml"));
    ASSERT_NE (stored, nullptr);
    EXPECT_EQ (stored->getTagName(), "CONTROL_DESCRIPTOR");

    // The run event first, with this installation's token; then the install event with the session key.
    std::vector<LocalHttpServer::Request> posts;
    for (auto& r : server.getRequests())
        if (r.method == "POST")
            posts.push_back (r);
    ASSERT_EQ (posts.size(), 2u);
    EXPECT_EQ (posts[0].path, tracking + "db_ls_run.php");
    const auto token = settingOf (home.getSettingsFile(), "internal4");
    EXPECT_EQ (token.length(), 32);
    EXPECT_TRUE (posts[0].body.startsWith ("ls_build_num=139&os=")) << posts[0].body;
    EXPECT_TRUE (posts[0].body.contains ("&install_token=" + token + "&session_id=")) << posts[0].body;
    EXPECT_TRUE (posts[0].body.endsWith ("&session_key=0")) << posts[0].body;
    EXPECT_EQ (posts[1].body, "allow_tracking=1&session_key=77");
}

TEST (ContentStartup, OfflineStartUsesTheInstalledContent)
{
    TempHome home;
    WebRoot root ("http://127.0.0.1:9");   // nothing answers there

    AppProcess app;
    const auto caps = dataFolder (home).getChildFile ("Merle/caps.xml");
    ASSERT_TRUE (pumpUntil ([&] { return ! app.isRunning() || caps.existsAsFile(); }, 60000));
    ASSERT_TRUE (app.isRunning()) << "the program ended by itself";
    EXPECT_EQ (app.stop(), 0);

    EXPECT_EQ (dataFolder (home).getChildFile ("masterDescriptor.xml").loadFileAsString(),
               sampleContent().getChildFile ("masterDescriptor.xml").loadFileAsString());
    EXPECT_EQ (caps.loadFileAsString(), sampleContent().getChildFile ("Merle/caps.xml").loadFileAsString());
    EXPECT_TRUE (dataFolder (home).getChildFile ("Merle XT/firmware.xml").existsAsFile());
}

TEST (ContentStartup, AWebServiceThatSaysNothingHoldsNeitherTheWindowNorTheWebCopy)
{
    TempHome home;
    TempFolder served;
    sampleContent().copyDirectoryTo (served.child ("Larkspire2"));
    const auto servedDescriptor = served.child ("Larkspire2/masterDescriptor.xml");
    servedDescriptor.replaceWithText (servedDescriptor.loadFileAsString().replace ("merle-caps-3", "merle-caps-4"));
    LocalHttpServer server (served.get());
    server.stall ("/Larkspire2/masterDescriptor.xml");
    WebRoot root (server.getRootAddress());

    // The window comes while the descriptor is still awaited.
    AppProcess app;
    unsigned long id = 0;
    ASSERT_TRUE (pumpUntil ([&] { id = findVisibleWindow ("Larkspire 2"); return id != 0 || ! app.isRunning(); }, 60000));
    ASSERT_NE (id, 0ul) << "the program ended by itself";
    EXPECT_TRUE (pumpUntil ([&] { return server.countRequests ("GET", "/Larkspire2/masterDescriptor.xml") == 1; }));

    // Once the web service answers, its copy is written back, and the program is online.
    server.clearBehaviour ("/Larkspire2/masterDescriptor.xml");
    const auto stored = dataFolder (home).getChildFile ("masterDescriptor.xml");
    EXPECT_TRUE (pumpUntil ([&] { return stored.loadFileAsString().contains ("merle-caps-4"); }, 60000));
    pumpFor (500);
    EXPECT_EQ (findVisibleWindow ("No Internet Connection"), 0ul);
    EXPECT_EQ (app.stop(), 0);
}

namespace
{
    const juce::String descriptorPath = "/Larkspire2/masterDescriptor.xml";

    // Units of the sample products outside the program, on its socket MIDI ports. Each is
    // plugged in while the program starts, before anything scans: it connects as soon as the
    // program listens.
    struct WaitingUnits
    {
        const int port = freeLoopbackPort();
        ScopedEnvironmentVariable midi { "LARKSPIRE_MIDI", "socket:" + juce::String (port) };
        std::vector<std::unique_ptr<SocketUnit>> plugged;

        SimulatedUnit& plugIn (const juce::String& product)
        {
            std::shared_ptr<SimulatedUnit> unit;
            for (auto& u : SimulatedUnitSet::createForContent (sampleContent()))
                if (u->getInputName() == product + " MIDI")
                    unit = u;
            EXPECT_NE (unit, nullptr) << product;
            std::unique_ptr<SocketUnit> connection;
            EXPECT_TRUE (pumpUntil ([&]
            {
                connection = std::make_unique<SocketUnit> (unit, port, product + " MIDI");
                return connection->isConnected();
            }, 60000)) << product << " never reached the program";
            plugged.push_back (std::move (connection));
            return plugged.back()->unit();
        }
    };

    juce::StringArray registeredSerials (const TempHome& home)
    {
        juce::StringArray serials;
        if (auto xml = juce::parseXML (dataFolder (home).getChildFile ("deviceList.xml")))
            for (auto* device : xml->getChildWithTagNameIterator ("device"))
                serials.add (device->getStringAttribute ("serial"));
        return serials;
    }

    // The copy of the control descriptor on disk: the sample one, without the products named.
    void storeDescriptorWithout (const TempHome& home, const juce::StringArray& leftOut)
    {
        auto descriptor = juce::parseXML (sampleContent().getChildFile ("masterDescriptor.xml"));
        ASSERT_NE (descriptor, nullptr);
        auto* devices = descriptor->getChildByName ("devices");
        for (auto& name : leftOut)
            devices->removeChildElement (devices->getChildByAttribute ("name", name), true);
        ASSERT_TRUE (dataFolder (home).createDirectory());
        ASSERT_TRUE (descriptor->writeTo (dataFolder (home).getChildFile ("masterDescriptor.xml")));
    }

    // Whether the status bar at the bottom of the window shows its MIDI-in indicator lit: its
    // traffic indicators sit at the right end of the bar.
    bool showsMidiTraffic (const juce::Image& shot, juce::Rectangle<int> window)
    {
        const juce::Rectangle<int> indicators (window.getRight() - 130, window.getBottom() - 29, 130, 29);
        int lit = 0;
        for (int y = indicators.getY(); y < indicators.getBottom(); ++y)
            for (int x = indicators.getX(); x < indicators.getRight(); ++x)
            {
                const auto c = shot.getPixelAt (x, y);
                if (std::abs (c.getRed() - 0x35) < 16 && std::abs (c.getGreen() - 0xc8) < 16 && std::abs (c.getBlue() - 0xff) < 16)
                    ++lit;
            }
        return lit > 20;
    }
}

// A product that only the web copy of the control descriptor lists, with the web service
// answering late: the devices wait for the web copy, so the unit of that product, waiting
// when the program starts, is identified, registered, connected and read by the first scan
// without the user doing anything, and the MIDI indicators show the traffic of that read.
TEST (ContentStartup, AUnitOfAProductOnlyTheLateWebCopyListsIsFoundAndReadAtOnce)
{
    TempHome home;
    storeDescriptorWithout (home, { "Merle" });
    TempFolder served;
    sampleContent().copyDirectoryTo (served.child ("Larkspire2"));
    LocalHttpServer server (served.get());
    server.reply (descriptorPath, 200, served.child ("Larkspire2/masterDescriptor.xml").loadFileAsString(), 12000);
    WebRoot root (server.getRootAddress());
    WaitingUnits units;

    AppProcess app;
    // Merle comes first: the first usable unit is connected. Its replies take a little time,
    // so that its read lasts a while.
    auto& merle = units.plugIn ("Merle");
    auto& xt = units.plugIn ("Merle XT");
    for (auto* unit : { &merle, &xt })
    {
        auto faults = unit->getFaults();
        faults.replyDelayMs = 80;
        unit->setFaults (faults);
    }

    // Screens taken until the connected unit has been read (its setup last). The window is
    // looked up each time: it is placed while the program starts.
    struct Look { double timeMs; bool traffic; };
    std::vector<Look> looks;
    auto readUnit = [&] { return merle.countReceived (0x15) > 0 ? &merle : xt.countReceived (0x15) > 0 ? &xt : nullptr; };
    pumpUntil ([&]
    {
        const double t = juce::Time::getMillisecondCounterHiRes();
        const auto window = getWindowGeometry (findVisibleWindow ("Larkspire 2"));
        const auto shot = takeScreenshot();
        if (shot.isValid() && ! window.isEmpty())
            looks.push_back ({ t, showsMidiTraffic (shot, window) });
        return readUnit() != nullptr || ! app.isRunning();
    }, 120000);

    EXPECT_EQ (readUnit() != nullptr ? readUnit()->getInputName() : juce::String ("no unit"), "Merle MIDI")
        << "Merle was not the unit connected and read";
    EXPECT_TRUE (pumpUntil ([&] { return registeredSerials (home).contains ("10100"); }, 30000))
        << registeredSerials (home).joinIntoString (", ");
    EXPECT_EQ (findVisibleWindow ("USB Device Change"), 0ul);

    // The indicators were lit while the first scan asked the unit who it is and read it, from
    // the first message it was sent to its setup read.
    if (auto* unit = readUnit())
    {
        const double from = unit->getLog().front().timeMs, to = unit->getReceived (0x15).front().timeMs;
        int lit = 0, during = 0;
        for (auto& look : looks)
            if (look.timeMs >= from && look.timeMs <= to)
            {
                ++during;
                lit += look.traffic ? 1 : 0;
            }
        EXPECT_GT (lit, 0) << during << " screens taken while the unit was scanned and read, none with the MIDI indicators lit";
    }
    if (::testing::Test::HasFailure())
        saveScreenshot ("ContentStartup-late-web");
    EXPECT_EQ (app.stop(), 0);
}

// Offline, with the web service refusing late and a unit waiting whose stored capability
// profile marks its build invalid: the start-up's "No Internet Connection" comes before the
// scan's "Firmware Version". Each box, the queued one too, gives the keyboard back to where
// it was when it closes: with the pointer away from the window, Ctrl+Q then reaches the
// program.
TEST (ContentStartup, OfflineTheFirstBoxSaysSoAndEachBoxGivesTheKeyboardBack)
{
    TempHome home;
    storeDescriptorWithout (home, {});
    const auto storedCaps = dataFolder (home).getChildFile ("Merle/caps.xml");
    ASSERT_TRUE (storedCaps.getParentDirectory().createDirectory());
    ASSERT_TRUE (sampleContent().getChildFile ("Merle/caps.xml").copyFileTo (storedCaps));
    editServedFile (storedCaps, "<range start=\"130\" end=\"-1\"/>\n    <features ",
                    "<range start=\"130\" end=\"-1\"/>\n    <features isBuildValid=\"0\" ");
    LocalHttpServer server;
    server.reply (descriptorPath, 503, "Service Unavailable", 6000);
    WebRoot root (server.getRootAddress());
    WaitingUnits units;

    AppProcess app;
    auto& merle = units.plugIn ("Merle");

    juce::String first;
    ASSERT_TRUE (pumpUntil ([&]
    {
        for (auto title : { "No Internet Connection", "Firmware Version" })
            if (first.isEmpty() && findVisibleWindow (title) != 0)
                first = title;
        return first.isNotEmpty() || ! app.isRunning();
    }, 90000)) << "no box came";
    EXPECT_EQ (first, "No Internet Connection");
    EXPECT_TRUE (pumpUntil ([&] { return findVisibleWindow ("Firmware Version") != 0; }, 60000));
    EXPECT_GT (merle.countReceived (0x7E), 0);

    // The user answers both boxes with the Return key, the pointer away from the window.
    runTool ({ "xdotool", "mousemove", "0", "0" });
    pressKeysIn ("Firmware Version", "Return");
    EXPECT_TRUE (pumpUntil ([&] { return findVisibleWindow ("Firmware Version") == 0; }, 60000));
    pressKeysIn ("No Internet Connection", "Return");
    EXPECT_TRUE (pumpUntil ([&] { return findVisibleWindow ("No Internet Connection") == 0; }, 60000));
    pressKeysIn ("Larkspire 2", "ctrl+q");
    EXPECT_EQ (app.waitForExit (30000), 0) << "the keys did not reach the program";
}

// The web answers with the right root and no product, while the copy on disk lists the
// products. That copy stays as it was and stays in force: the unit waiting is identified by it,
// connected and read, at this start and at the next, offline, one.
TEST (ContentStartup, AWebCopyWithoutProductsSpoilsNeitherTheStoredCopyNorTheScan)
{
    TempHome home;
    storeDescriptorWithout (home, {});
    const auto stored = dataFolder (home).getChildFile ("masterDescriptor.xml");
    juce::MemoryBlock before;
    ASSERT_TRUE (stored.loadFileAsData (before));
    LocalHttpServer server;
    server.reply (descriptorPath, 200, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<CONTROL_DESCRIPTOR/>");
    WaitingUnits units;

    for (auto web : { server.getRootAddress(), juce::String ("http://127.0.0.1:9") })
    {
        WebRoot root (web);
        AppProcess app;
        auto& merle = units.plugIn ("Merle");
        EXPECT_TRUE (pumpUntil ([&] { return merle.countReceived (0x15) > 0 || ! app.isRunning(); }, 90000));
        EXPECT_GT (merle.countReceived (0x15), 0) << "Merle was not identified, connected and read with the web at " << web;
        EXPECT_EQ (app.stop(), 0);

        juce::MemoryBlock after;
        EXPECT_TRUE (stored.loadFileAsData (after) && after == before) << "the stored copy changed";
        units.plugged.clear();
    }
    EXPECT_EQ (server.countRequests ("GET", descriptorPath), 1);
}
