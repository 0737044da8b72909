#include <gtest/gtest.h>
#include "support/AppProcess.h"
#include "support/LocalHttpServer.h"
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
