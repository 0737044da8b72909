#include <gtest/gtest.h>
#include "content/EventConnection.h"
#include "content/EventDeviceActivation.h"
#include "content/EventInstallLog.h"
#include "content/EventLogUserDevice.h"
#include "content/EventStartup.h"
#include "content/EventTracker.h"
#include "content/EventUpdate.h"
#include "support/ContentWorld.h"
#include <limits>

#if defined (__has_feature)
 #if __has_feature (address_sanitizer)
  #define LARKSPIRE_TEST_LEAK_CHECK 1
  #include <sanitizer/lsan_interface.h>
 #endif
#endif

using namespace testing_support;

namespace
{
    const juce::String tracking = "/lark-spire-2/php/tracking-1.0/";

    juce::StringArray namesOf (const TrackableEvent& e)
    {
        juce::StringArray names;
        for (auto& n : e.getQuery().getNames())
            names.add (n.toString());
        return names;
    }

    std::vector<LocalHttpServer::Request> posts (const LocalHttpServer& server)
    {
        std::vector<LocalHttpServer::Request> out;
        for (auto& r : server.getRequests())
            if (r.method == "POST")
                out.push_back (r);
        return out;
    }

    // The current device every device-manager event sees in these tests.
    struct ScopedDevice
    {
        ScopedDevice (int serial, int build)
        {
            set (serial, build);
        }
        ~ScopedDevice() { TrackableDeviceManagerEvent::setSnapshotProvider ({}); }

        void set (int serial, int build)
        {
            TrackableDeviceManagerEvent::setSnapshotProvider ([serial, build]
            {
                TrackableDeviceManagerEvent::DeviceSnapshot s;
                s.productId = 17;
                s.serial = serial;
                s.firmware = VersionNumber (0, 1, 2, 0, build, 0);
                s.displayName = "Merle";
                return s;
            });
        }
    };

    // Short idle waits unless a test asks for the real ones.
    struct ScopedTimings
    {
        explicit ScopedTimings (EventTracker::Timings t) { EventTracker::setTimings (t); }
        ~ScopedTimings() { EventTracker::setTimings ({}); }
    };

    juce::String startupBody (const EventTracker& t, const juce::Uuid& token, int sessionKey)
    {
        return "ls_build_num=139&os=" + juce::URL::addEscapeChars (EventStartup::getOperatingSystemName (juce::SystemStats::getOperatingSystemType()), true)
             + "&region=" + juce::URL::addEscapeChars (EventStartup::getRegion(), true)
             + "&install_token=" + token.toString() + "&session_id=" + t.getSessionId().toString()
             + "&session_key=" + juce::String (sessionKey);
    }
}

TEST (UsageEvents, QueryKeepsTheFirstValueOfAName)
{
    ContentWorld w;
    TrackingQuery q ("db_test.php");
    EXPECT_TRUE (q.addParameter ("b", 2));
    EXPECT_TRUE (q.addParameter ("a", "x y"));
    EXPECT_FALSE (q.addParameter ("b", 3));
    EXPECT_TRUE (q.addParameter ("flag", true));
    EXPECT_EQ (q.getParameterText(), " b='2' a='x y' flag='1'");
    EXPECT_EQ (q.buildUrl().toString (false), w.server.getRootAddress() + "/lark-spire-2/php/tracking-1.0/db_test.php");
    EXPECT_EQ (q.buildUrl().getParameterNames(), (juce::StringArray { "b", "a", "flag" }));
    EXPECT_EQ (q.buildUrl().getParameterValues(), (juce::StringArray { "2", "x y", "1" }));
}

TEST (UsageEvents, EventsHaveTheirEndpointsAndParameterOrder)
{
    ScopedDevice device (4242, 140);
    const juce::Uuid token, session;

    EventInstallLog install (false);
    EXPECT_EQ (install.getQuery().getEndpoint().toString(), "db_ls_install.php");
    EXPECT_EQ (install.getParameterText(), " allow_tracking='0'");

    EventStartup startup (token, session);
    EXPECT_EQ (startup.getQuery().getEndpoint().toString(), "db_ls_run.php");
    EXPECT_EQ (namesOf (startup), (juce::StringArray { "ls_build_num", "os", "region", "install_token", "session_id" }));
    EXPECT_EQ (startup.getQuery().getValues()[0].toString(), "139");
    EXPECT_EQ (startup.getQuery().getValues()[3].toString(), token.toString());
    EXPECT_EQ (startup.getQuery().getValues()[4].toString(), session.toString());
    EXPECT_EQ (EventStartup::getOperatingSystemName (juce::SystemStats::Windows10), "Windows 10");
    EXPECT_EQ (EventStartup::getOperatingSystemName (juce::SystemStats::WinXP), "Windows XP");
    EXPECT_EQ (EventStartup::getOperatingSystemName (juce::SystemStats::Linux), "Unknown OS");

    const juce::Time date (2021, 0, 2, 3, 4, 5, 0, true);
    EventDeviceActivation activation (77, "Merle XT", date);
    EXPECT_EQ (activation.getQuery().getEndpoint().toString(), "db_device_activate.php");
    EXPECT_EQ (activation.getParameterText(), " serial='77' product='Merle XT' date='2021-01-02 03:04:05'");

    EventLogUserDevice seen (77, 18, VersionNumber (0, 2, 1, 0, 210, 0), date);
    EXPECT_EQ (seen.getQuery().getEndpoint().toString(), "db_user_log_device.php");
    EXPECT_EQ (seen.getParameterText(), " serial='77' product_id='18' build_num='210' date_detected='2021-01-02 03:04:05'");

    EventConnection connection;
    EXPECT_EQ (connection.getQuery().getEndpoint().toString(), "db_device_connect.php");
    EXPECT_EQ (connection.getParameterText(), " serial='4242' product_id='17' build_num='140'");
    EXPECT_EQ (connection.getDevice().displayName, "Merle");

    EventUpdate update (VersionNumber (0, 1, 3, 0, 150, 0), true);
    EXPECT_EQ (update.getQuery().getEndpoint().toString(), "db_device_update.php");
    EXPECT_EQ (update.getParameterText(),
               " serial='4242' product_id='17' start_build='140' target_build='150' exit_code='0' description_read='1'");

    EventUpdate result (VersionNumber (0, 1, 0, 0, 100, 0), VersionNumber (0, 1, 2, 0, 140, 0), false, 3);
    EXPECT_EQ (result.getParameterText(),
               " serial='4242' product_id='17' start_build='100' target_build='140' exit_code='3' description_read='0'");
}

TEST (UsageEvents, RegionIsTheLocalesCountryCodeElseUS)
{
    const juce::Uuid token, session;
    const auto regionSent = [&] { return EventStartup (token, session).getQuery().getValues()[2].toString(); };
    {
        // The C locale names no country.
        ScopedEnvironmentVariable locale ("LC_ALL", "C");
        EXPECT_EQ (EventStartup::getRegion(), "US");
        EXPECT_EQ (regionSent(), "US");
    }

    // A locale with a territory, made for the test: the machine need not have one installed.
    TempFolder locales;
    juce::ChildProcess localedef;
    ASSERT_TRUE (localedef.start (juce::StringArray { "localedef", "-i", "en_GB", "-f", "UTF-8",
                                                      locales.get().getChildFile ("en_GB.UTF-8").getFullPathName() }));
    ASSERT_TRUE (localedef.waitForProcessToFinish (60000));
    ASSERT_EQ (localedef.getExitCode(), 0u) << localedef.readAllProcessOutput();
    {
        ScopedEnvironmentVariable path ("LOCPATH", locales.get().getFullPathName()), locale ("LC_ALL", "en_GB.UTF-8");
       #if LARKSPIRE_TEST_LEAK_CHECK
        // The C library keeps what it allocates for a locale path for good.
        __lsan::ScopedDisabler keptByTheCLibrary;
       #endif
        EXPECT_EQ (EventStartup::getRegion(), "GB");
        EXPECT_EQ (regionSent(), "GB");
    }

    // Only two upper-case ASCII letters are a code.
    EXPECT_EQ (EventStartup::regionFromCountry ("AT"), "AT");
    for (auto text : { "ISO", "gb", "G", "GBR", "", " GB", "G1", "United Kingdom" })
        EXPECT_EQ (EventStartup::regionFromCountry (text), "US") << text;
    EXPECT_EQ (EventStartup::regionFromCountry (juce::String::fromUTF8 ("\xc3\x84T")), "US");
}

TEST (UsageEvents, DeviceEventsWithoutACurrentDevice)
{
    EventConnection connection;
    EXPECT_EQ (connection.getParameterText(), " serial='-1' product_id='255' build_num='0'");
    EXPECT_GT (connection.getCreationTime(), 0);
}

TEST (UsageEvents, StartupThenInstallOnTheFirstRun)
{
    ContentWorld w;
    w.host.firstRun = true;
    w.server.reply (tracking + "db_ls_run.php", 200, "4711\n");

    EventTracker tracker;
    ASSERT_TRUE (pumpUntil ([&] { return posts (w.server).size() == 2 && tracker.getNumQueued() == 0; }));
    const auto sent = posts (w.server);
    EXPECT_EQ (sent[0].path, tracking + "db_ls_run.php");
    EXPECT_EQ (sent[0].body, startupBody (tracker, w.host.installId, 0));
    EXPECT_EQ (sent[0].headers["Content-Type"], "application/x-www-form-urlencoded");
    EXPECT_EQ (sent[1].path, tracking + "db_ls_install.php");
    EXPECT_EQ (sent[1].body, "allow_tracking=1&session_key=4711");
    EXPECT_EQ (tracker.getSessionKey(), 4711);
}

TEST (UsageEvents, LaterRunsSendOnlyTheStartupEvent)
{
    ContentWorld w;
    // A number followed by other text is no key.
    w.server.reply (tracking + "db_ls_run.php", 200, "42 sessions");

    EventTracker tracker;
    ASSERT_TRUE (pumpUntil ([&] { return posts (w.server).size() == 1; }));
    pumpFor (300);
    EXPECT_EQ (posts (w.server).size(), 1u);
    EXPECT_EQ (tracker.getSessionKey(), 0);

    // Only a reply that is wholly a decimal number (around it, blanks and line ends) gives a key.
    EXPECT_EQ (EventTracker::readSessionKey (" 4711\r\n"), 4711);
    EXPECT_EQ (EventTracker::readSessionKey ("-3"), -3);
    EXPECT_EQ (EventTracker::readSessionKey ("2147483647"), 2147483647);
    EXPECT_EQ (EventTracker::readSessionKey ("-2147483648"), std::numeric_limits<int>::min());
    for (auto reply : { "42abc", "4 2", "1.5", "0x10", "", "-", "not a number", "2147483648", "99999999999999999999" })
        EXPECT_EQ (EventTracker::readSessionKey (reply), 0) << reply;
}

TEST (UsageEvents, QueuedEventsGoOutInQueueOrderWithTheSessionKey)
{
    ContentWorld w;
    ScopedDevice device (5, 140);
    // The run event's answer takes a while, so that everything below is queued before it.
    w.server.reply (tracking + "db_ls_run.php", 200, "12", 1500);

    EventTracker tracker;
    const juce::Time date (2021, 0, 2, 3, 4, 5, 0, true);
    EXPECT_TRUE (tracker.addEvent (std::make_unique<EventLogUserDevice> (1, 17, VersionNumber (0, 1, 0, 0, 100, 0), date), -1, true));
    EXPECT_TRUE (tracker.addEvent (std::make_unique<EventLogUserDevice> (2, 17, VersionNumber (0, 1, 0, 0, 100, 0), date), -1, true));
    EXPECT_TRUE (tracker.addEvent (std::make_unique<EventConnection>(), 0, false));
    EXPECT_FALSE (tracker.addEvent (nullptr));

    ASSERT_TRUE (pumpUntil ([&] { return posts (w.server).size() == 4 && tracker.getNumQueued() == 0; }));
    const auto sent = posts (w.server);
    EXPECT_EQ (sent[0].path, tracking + "db_ls_run.php");
    EXPECT_EQ (sent[1].path, tracking + "db_device_connect.php");
    EXPECT_EQ (sent[1].body, "serial=5&product_id=17&build_num=140&session_key=12");
    EXPECT_EQ (sent[2].body, "serial=1&product_id=17&build_num=100&date_detected=2021-01-02%2003%3A04%3A05&session_key=12");
    EXPECT_TRUE (sent[3].body.startsWith ("serial=2&"));
}

TEST (UsageEvents, AConnectionIsReportedOncePerDeviceAndBuild)
{
    ContentWorld w;
    w.server.reply (tracking + "db_ls_run.php", 200, "1");
    ScopedDevice device (9, 120);

    EventTracker tracker;
    EXPECT_TRUE (tracker.addEvent (std::make_unique<EventConnection>()));
    EXPECT_TRUE (tracker.addEvent (std::make_unique<EventConnection>()));   // accepted, not queued
    ASSERT_TRUE (pumpUntil ([&] { return w.server.countRequests ("POST", tracking + "db_device_connect.php") == 1
                                      && tracker.getNumQueued() == 0; }));

    device.set (9, 140);   // after a firmware update
    EXPECT_TRUE (tracker.addEvent (std::make_unique<EventConnection>()));
    device.set (10, 140);
    EXPECT_TRUE (tracker.addEvent (std::make_unique<EventConnection>()));
    device.set (9, 140);
    EXPECT_TRUE (tracker.addEvent (std::make_unique<EventConnection>()));
    ASSERT_TRUE (pumpUntil ([&] { return w.server.countRequests ("POST", tracking + "db_device_connect.php") == 3
                                      && tracker.getNumQueued() == 0; }));
    pumpFor (300);
    EXPECT_EQ (w.server.countRequests ("POST", tracking + "db_device_connect.php"), 3);
}

TEST (UsageEvents, DeveloperModeSendsNothing)
{
    ContentWorld w;
    w.host.developer = true;
    w.host.firstRun = true;
    ScopedDevice device (9, 120);
    {
        EventTracker tracker;
        EXPECT_FALSE (tracker.isEnabled());
        EXPECT_FALSE (tracker.addEvent (std::make_unique<EventConnection>()));
        EXPECT_FALSE (tracker.addEvent (std::make_unique<EventInstallLog> (true)));
        EXPECT_EQ (tracker.getNumQueued(), 0);
        pumpFor (300);
    }
    EXPECT_TRUE (w.server.getRequests().empty());
}

TEST (UsageEvents, AFailedRequestLosesItsEvent)
{
    ContentWorld w;
    w.server.reply (tracking + "db_ls_run.php", 200, "3");
    w.server.failWith (tracking + "db_device_connect.php", 500, "try later");
    ScopedDevice device (9, 120);

    EventTracker tracker;
    ASSERT_TRUE (pumpUntil ([&] { return posts (w.server).size() == 1; }));
    EXPECT_TRUE (tracker.addEvent (std::make_unique<EventConnection>()));
    ASSERT_TRUE (pumpUntil ([&] { return posts (w.server).size() == 2 && tracker.getNumQueued() == 0; }));
    pumpFor (300);
    EXPECT_EQ (posts (w.server).size(), 2u);
}

TEST (UsageEvents, IdleTrackerWakesForNewEventsAndAfterItsWait)
{
    ContentWorld w;
    w.server.reply (tracking + "db_ls_run.php", 200, "3");
    ScopedTimings timings ({ 300, 5000, 5000 });
    ScopedDevice device (9, 120);

    EventTracker tracker;
    ASSERT_TRUE (pumpUntil ([&] { return posts (w.server).size() == 1; }));
    // Queued without a signal: it goes out when the idle wait ends.
    EXPECT_TRUE (tracker.addEvent (std::make_unique<EventConnection>(), -1, true));
    ASSERT_TRUE (pumpUntil ([&] { return posts (w.server).size() == 2; }));
}

TEST (UsageEvents, ShutdownGivesQueuedEventsTheirGraceTime)
{
    ContentWorld w;
    w.server.reply (tracking + "db_ls_run.php", 200, "3");
    w.server.reply (tracking + "db_device_connect.php", 200, "ok", 1500);
    ScopedDevice device (9, 120);

    {
        EventTracker tracker;   // the real 5000 ms grace
        ASSERT_TRUE (pumpUntil ([&] { return posts (w.server).size() == 1; }));
        EXPECT_TRUE (tracker.addEvent (std::make_unique<EventConnection>(), -1, true));
    }
    // The answer took 1.5 s and still came within the grace.
    EXPECT_EQ (w.server.countRequests ("POST", tracking + "db_device_connect.php"), 1);
}

TEST (UsageEvents, ShutdownStopsAHangingRequest)
{
    ContentWorld w;
    w.server.stall (tracking + "db_ls_run.php");
    ScopedTimings timings ({ 3600000, 100, 5000 });
    {
        EventTracker tracker;
        ASSERT_TRUE (pumpUntil ([&] { return posts (w.server).size() == 1; }));
    }   // must not hang: the request is cancelled when the thread is asked to stop
    SUCCEED();
}

TEST (UsageEvents, ProcessWidePointerOwnsTheTracker)
{
    ContentWorld w;
    w.host.developer = true;
    setEventTracker (new EventTracker());
    ASSERT_NE (getEventTracker(), nullptr);
    EXPECT_TRUE (getEventTracker()->isThreadRunning());
    setEventTracker (nullptr);
    EXPECT_EQ (getEventTracker(), nullptr);
}
