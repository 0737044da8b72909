#include <gtest/gtest.h>
#include "content/ContentManager.h"
#include "content/EventTracker.h"
#include "core/AppPaths.h"
#include "core/InfoCodes.h"
#include "device/DeviceProfiler.h"
#include "support/DeviceWorld.h"

using namespace testing_support;

namespace
{
    using LogEntry = SimulatedUnit::LogEntry;

    // The identity queries a unit received: (device id, request kind) in order.
    std::vector<std::pair<int, int>> identityQueries (const SimulatedUnit& unit)
    {
        std::vector<std::pair<int, int>> out;
        for (auto& e : unit.getReceived (0x7E))
            out.push_back ({ e.deviceId(), e.bytes[7] });
        return out;
    }

    using Q = std::vector<std::pair<int, int>>;
}

TEST (DeviceScan, IdentifiesUnitsThroughTheBroadcastAndByProductInDescriptorOrder)
{
    DeviceWorld w;
    auto merle = w.addUnit (DeviceWorld::merle, 140, 40123);                 // answers its own id only
    auto xt = w.addUnit (DeviceWorld::merleXT, 215, 31000);                  // likewise
    auto piper = w.addUnit (DeviceWorld::piper, 100, 777, true);             // answers the broadcast

    EXPECT_EQ (w.scan(), 1);
    EXPECT_EQ (w.recorder.count (InfoCode::portPairsRebuilt), 1);
    auto& m = w.manager();
    ASSERT_EQ (m.getNumPairs(), 3);

    // What crossed the wire: the broadcast first, then the products in descriptor order
    // (Merle 17, Merle XT 18; Piper 12 is never asked by its id), then serial and date.
    EXPECT_EQ (identityQueries (*merle), (Q { { 0x7F, 0x7F }, { 17, 0x7F }, { 17, 0x07 }, { 17, 0x09 } }));
    EXPECT_EQ (identityQueries (*xt), (Q { { 0x7F, 0x7F }, { 17, 0x7F }, { 18, 0x7F }, { 18, 0x07 }, { 18, 0x09 } }));
    EXPECT_EQ (identityQueries (*piper), (Q { { 0x7F, 0x7F }, { 12, 0x07 }, { 12, 0x09 } }));

    const juce::uint8 ids[] = { 17, 18, 12 };
    const int serials[] = { 40123, 31000, 777 };
    const int builds[] = { 140, 215, 100 };
    for (int i = 0; i < 3; ++i)
    {
        auto d = w.device (i);
        EXPECT_TRUE (d->isReady()) << i;
        EXPECT_EQ (d->getStatus() & 0xFF, (juce::uint32) DeviceObject::identified) << i;
        EXPECT_TRUE ((d->getStatus() & DeviceObject::namedLikeProduct) != 0) << i;
        EXPECT_EQ (m.getProductId (i), ids[i]);
        EXPECT_EQ (m.getSerialNumber (i), serials[i]);
        EXPECT_EQ (m.getFirmwareVersion (i).build, builds[i]);
        EXPECT_TRUE (m.isDeviceReady (i));
        ASSERT_NE (d->getDeviceCaps(), nullptr);
        ASSERT_NE (d->getDeviceData(), nullptr);
        EXPECT_EQ (d->getDeviceData()->getFormat().productId, ids[i]);
        EXPECT_FALSE (d->arePortsOpen());   // identification closes what it opened
    }
    int y, mo, d;
    w.device (0)->getManufactureDate (y, mo, d);
    EXPECT_EQ (juce::String::formatted ("%4d.%02d.%02d", y, mo, d), "2021.06.24");
    EXPECT_EQ (w.device (0)->getDeviceData()->getNumSlots(), 26);
    EXPECT_EQ (w.device (0)->getDeviceCaps()->getPresetVersion(), 2);
    EXPECT_EQ (w.device (0)->getDataFolder(),
               AppPaths::join (AppPaths::getDataFolder (17), "40123"));

    EXPECT_EQ (m.findDeviceBySerial (31000), 1);
    EXPECT_TRUE (m.isDeviceConnected (18, 31000));
    EXPECT_FALSE (m.isDeviceConnected (17, 31000));
    EXPECT_EQ (m.findDevice (12, 777), 2);
    EXPECT_FALSE (m.isDeviceReady (-1));   // a negative index is not the current pair here

    // Connecting opens the ports and makes the pair current.
    ASSERT_TRUE (m.selectDevice (1));
    EXPECT_EQ (m.getCurrentIndex(), 1);
    EXPECT_TRUE (w.device()->arePortsOpen());
    EXPECT_EQ (m.getDeviceDisplayName(), "Merle XT Studio");   // serial 31000 lies in that variant's range
    EXPECT_EQ (m.getProductId(), 18);
    EXPECT_NE (m.getDeviceData(), nullptr);
    auto list = m.getDeviceList();
    EXPECT_EQ (list.displayNames, (juce::StringArray { "Merle MIDI", "Merle XT MIDI", "Piper MIDI" }));
    EXPECT_EQ (list.serialNumbers, (juce::Array<int> { 40123, 31000, 777 }));

    juce::uint64 sent = 0, received = 0;
    m.getMidiByteCounts (sent, received);
    juce::int64 unitsReceived = 0, unitsSent = 0;
    for (auto& u : { merle, xt, piper })
    {
        unitsReceived += u->getBytesReceived();
        unitsSent += u->getBytesSent();
    }
    EXPECT_EQ ((juce::int64) sent, unitsReceived);
    EXPECT_EQ ((juce::int64) received, unitsSent);
}

TEST (DeviceScan, AProfileTheDataFileCannotHoldIsRefusedAndItsUnitIsNotUsed)
{
    DeviceWorld w;
    // The stored profile of the newer Merle builds claims more presets than a data file holds.
    const auto caps = w.content.productFolder ("Merle").getChildFile ("caps.xml");
    const auto text = caps.loadFileAsString();
    ASSERT_TRUE (text.contains ("setupPacketSize=\"56\""));
    ASSERT_TRUE (caps.replaceWithText (text.replace ("setupPacketSize=\"56\"", "setupPacketSize=\"56\" numPresets=\"20000\"")));
    ASSERT_NE (getContentManager()->loadContent (DeviceWorld::merle, ContentType::caps, true), nullptr);

    struct Log : juce::Logger
    {
        void logMessage (const juce::String& m) override { const juce::ScopedLock sl (lock); lines.add (m); }
        juce::CriticalSection lock;
        juce::StringArray lines;
    } log;
    juce::Logger::setCurrentLogger (&log);
    w.addUnit (DeviceWorld::merle, 140, 40123);
    EXPECT_EQ (w.scan(), 1);
    juce::Logger::setCurrentLogger (nullptr);

    auto d = w.device (0);
    EXPECT_FALSE (d->isReady());
    EXPECT_NE (d->getStatus() & DeviceObject::unknownProduct, 0u);
    EXPECT_EQ (d->getDeviceCaps(), nullptr);
    EXPECT_EQ (d->getDeviceData(), nullptr);
    const juce::String refusal ("Merle: the capability profile of builds 130 to 140 cannot be used: "
                                "numPresets is 20000, above the limit of 16384, which the data file cannot hold.");
    EXPECT_TRUE (log.lines.contains (refusal)) << log.lines.joinIntoString ("\n");
    // The GUI is told why, with the product and the build.
    const auto told = w.recorder.withCode (InfoCode::unitProfileRefused);
    ASSERT_EQ (told.size(), 1u);
    EXPECT_EQ (told[0].p1, DeviceWorld::merle);
    EXPECT_EQ (told[0].p2, 140);
    EXPECT_EQ (told[0].text, refusal);

    // The builds whose profile a data file can hold are not touched.
    EXPECT_NE (DeviceProfiler::createDeviceCaps (DeviceWorld::merle, 120), nullptr);
    EXPECT_EQ (getContentManager()->createDeviceCapsForDataVersion (DeviceWorld::merle, 2, 2), nullptr);
}

TEST (DeviceScan, ProductsThatAnswerTheBroadcastAreAskedByIdOnlyWithScanAll)
{
    DeviceWorld w;
    auto piper = w.addUnit (DeviceWorld::piper, 100, 555, false);   // this one ignores the broadcast

    EXPECT_EQ (w.scan(), 1);
    auto d = w.device (0);
    EXPECT_FALSE (d->isReady());
    EXPECT_EQ (d->getStatus(), (juce::uint32) (DeviceObject::namedLikeProduct | DeviceObject::notAUnit));
    // A port named like a unit that stayed silent: the scan ran a second pass.
    EXPECT_EQ (w.recorder.count (InfoCode::portPairsRebuilt), 2);
    for (auto& q : identityQueries (*piper))
        EXPECT_NE (q.first, 12);

    w.content.host.scanAll = true;
    piper->clearLog();
    EXPECT_EQ (w.scan(), 1);
    EXPECT_TRUE (w.device (0)->isReady());
    EXPECT_EQ (identityQueries (*piper),
               (Q { { 0x7F, 0x7F }, { 17, 0x7F }, { 18, 0x7F }, { 12, 0x7F }, { 12, 0x07 }, { 12, 0x09 } }));
}

TEST (DeviceScan, RealIdentityWindowsAndRescanDelayForASilentUnitPort)
{
    auto t = ScopedDeviceTimings::fast();
    t.identityWindowMs = 500;
    t.rescanDelayMs = 3000;
    DeviceWorld w (t);
    auto unit = w.addUnit (DeviceWorld::merle, 140, 1);
    auto f = unit->getFaults();
    f.silent = true;
    unit->setFaults (f);

    EXPECT_EQ (w.scan(), 1);
    EXPECT_EQ (w.recorder.count (InfoCode::portPairsRebuilt), 2);

    // Each pass: the broadcast and the two products, each given its whole window; between
    // the passes the pause before the rescan.
    const auto log = unit->getReceived (0x7E);
    ASSERT_EQ (log.size(), 6u);
    EXPECT_EQ (identityQueries (*unit), (Q { { 0x7F, 0x7F }, { 17, 0x7F }, { 18, 0x7F },
                                             { 0x7F, 0x7F }, { 17, 0x7F }, { 18, 0x7F } }));
    for (size_t i : { 1u, 2u, 4u, 5u })
        EXPECT_GE (log[i].timeMs - log[i - 1].timeMs, 499.0) << i;
    EXPECT_GE (log[3].timeMs - log[2].timeMs, 500.0 + 3000.0 - 2.0);

    EXPECT_EQ (w.device (0)->getStatus(), (juce::uint32) (DeviceObject::namedLikeProduct | DeviceObject::notAUnit));
}

TEST (DeviceScan, PortsThatAreNoUnitAndPairsWithoutAnOutput)
{
    DeviceWorld w;
    auto keys = w.addPorts ("Keyboard", "Keyboard");
    auto lonely = w.addUnit (DeviceWorld::merle, 140, 9);
    lonely->setPortNames ("Lonely Port", {});   // an input without an output

    EXPECT_EQ (w.scan(), 1);
    EXPECT_EQ (w.recorder.count (InfoCode::portPairsRebuilt), 1);   // nothing looked like a unit
    auto& m = w.manager();
    ASSERT_EQ (m.getNumPairs(), 2);

    EXPECT_EQ (m.getDeviceFlags (0), (juce::uint32) DeviceObject::notAUnit);
    EXPECT_EQ (m.getDeviceFlags (1), (juce::uint32) (DeviceObject::portMissing | DeviceObject::notAUnit));
    EXPECT_EQ (m.getPair (1).displayName, "Unknown Device");
    EXPECT_EQ (m.getPair (1).outputName, "Not found");
    EXPECT_TRUE (lonely->getLog().empty());   // never opened, never asked
    EXPECT_EQ (m.getProductId (0), 18);        // the last product asked
    EXPECT_FALSE (m.selectDevice (1));
}

TEST (DeviceScan, ConnectingIsRefusedUntilTheScanHasSettledThePorts)
{
    DeviceWorld w;
    w.addUnit (DeviceWorld::merle, 140, 5);
    auto& m = w.startManager();
    EXPECT_TRUE (m.arePortsUnsettled());
    EXPECT_FALSE (m.selectDevice (0));
    ASSERT_EQ (w.scan(), 1);
    EXPECT_FALSE (m.arePortsUnsettled());
    EXPECT_TRUE (m.isPolling());
    EXPECT_FALSE (m.selectDevice (1));

    // During a firmware update (application state 4) port changes are let be; once it has
    // ended the change is seen. With no unit connected it loses nothing, but leaves the
    // ports to a rescan.
    w.content.host.applicationState = 4;
    w.addUnit (DeviceWorld::merleXT, 215, 6);
    pumpFor (600);
    EXPECT_EQ (w.recorder.count (InfoCode::portListsChanged), 0);
    EXPECT_FALSE (m.arePortsUnsettled());
    w.content.host.applicationState = 0;
    ASSERT_TRUE (pumpUntil ([&] { return w.recorder.count (InfoCode::portListsChanged) == 1; }));
    EXPECT_EQ (w.recorder.count (InfoCode::connectedUnitLost), 0);
    EXPECT_FALSE (m.selectDevice (0));
    ASSERT_EQ (w.scan(), 1);
    EXPECT_TRUE (m.selectDevice (1));
    EXPECT_EQ (m.getProductId(), 18);
}

TEST (DeviceScan, ThePollSeesPortChangesAtItsRealInterval)
{
    auto t = ScopedDeviceTimings::fast();
    t.portPollMs = 3000;
    DeviceWorld w (t);
    auto merle = w.addUnit (DeviceWorld::merle, 140, 40123);
    ASSERT_TRUE (w.scanAndSelect (0));
    merle->clearLog();

    // Another unit appears: the connected one is asked for its serial number and stays.
    auto xt = w.addUnit (DeviceWorld::merleXT, 215, 31000);
    ASSERT_TRUE (pumpUntil ([&] { return w.recorder.count (InfoCode::portListsChanged) == 1; }, 30000));
    EXPECT_EQ (w.recorder.count (InfoCode::connectedUnitLost), 0);
    EXPECT_EQ (identityQueries (*merle), (Q { { 17, 0x07 } }));
    EXPECT_TRUE (w.manager().arePortsUnsettled());
    EXPECT_FALSE (w.manager().selectDevice (0));
    // The check is a command of the unit and ends like one.
    ASSERT_FALSE (w.recorder.endings().empty());
    EXPECT_EQ (w.recorder.endings().back().commandCode, DeviceCommand::reidentify);
    EXPECT_EQ (w.recorder.endings().back().code, InfoCode::commandDone);

    // The connected unit is unplugged: its re-identification fails.
    merle->unplug();
    ASSERT_TRUE (pumpUntil ([&] { return w.recorder.count (InfoCode::connectedUnitLost) == 1; }, 30000));
    EXPECT_EQ (w.device()->getErrorCode(), 0xA00004);
    EXPECT_EQ (w.recorder.endings().back().code, InfoCode::commandFailed);
    pumpFor (100);
    EXPECT_EQ (w.recorder.count (InfoCode::portListsChanged), 1);
    juce::ignoreUnused (xt);
}

TEST (DeviceScan, ReidentificationCommandChecksTheSerialNumber)
{
    DeviceWorld w;
    auto merle = w.addUnit (DeviceWorld::merle, 140, 40123);
    ASSERT_TRUE (w.scanAndSelect (0));
    merle->clearLog();

    EXPECT_EQ (w.run (DeviceCommandMessage (DeviceCommand::reidentify)), InfoCode::commandDone);
    EXPECT_EQ (identityQueries (*merle), (Q { { 17, 0x07 } }));
    EXPECT_EQ (w.recorder.count (InfoCode::connectedUnitLost), 0);

    // Another unit answers on the same ports now.
    auto id = merle->getIdentity();
    id.serial = 40124;
    merle->setIdentity (id);
    EXPECT_EQ (w.run (DeviceCommandMessage (DeviceCommand::reidentify)), InfoCode::commandFailed);
    ASSERT_TRUE (pumpUntil ([&] { return w.recorder.count (InfoCode::connectedUnitLost) == 1; }));
    EXPECT_EQ (w.device()->getErrorCode(), 0xA00004);
    EXPECT_EQ (w.device()->getSerialNumber(), 40124);   // what arrived
    EXPECT_FALSE (w.manager().isPolling());
    EXPECT_TRUE (w.manager().arePortsUnsettled());
}

// Two units of one product behind ports of one name; after the scan the first is unplugged
// and plugged in again, so that the lists hold it after the second. Each is used only on the
// ports it was identified on: the second is read on its own, once it has told its serial
// number again there; where another unit answers on the first's ports (their identifier
// kept), the first counts as lost and nothing is read there or taken for it.
TEST (DeviceScan, AUnitIsUsedOnlyOnThePortsItWasIdentifiedOnWhereverTheListsMovedThem)
{
    auto t = ScopedDeviceTimings::fast();
    t.portPollMs = 60000;   // the lists move before the device manager looks again
    DeviceWorld w (t);
    auto first = w.addUnit (DeviceWorld::merle, 140, 12345678);
    auto second = w.addUnit (DeviceWorld::merle, 140, 23456789);
    for (auto [unit, name] : { std::pair (first, "First"), std::pair (second, "Second") })
    {
        auto preset = unit->makePreset (3, 1);
        preset.name = name;
        unit->setPreset (preset);
    }
    ASSERT_EQ (w.scan(), 1);
    auto& m = w.manager();
    ASSERT_EQ (m.getSerialNumber (0), 12345678);
    ASSERT_EQ (m.getSerialNumber (1), 23456789);

    w.ports->removeDevice (first);
    first->plugIn();
    w.ports->addDevice (first);
    first->clearLog();
    second->clearLog();

    ASSERT_TRUE (m.selectDevice (1));
    EXPECT_EQ (w.run (DeviceCommandMessage (DeviceCommand::readAll)), InfoCode::commandDone);
    EXPECT_TRUE (first->getLog().empty());
    ASSERT_FALSE (second->getLog().empty());
    EXPECT_EQ (identityQueries (*second), (Q { { 17, 0x07 } }));
    EXPECT_EQ (second->getLog().front().command(), 0x7E);
    EXPECT_EQ (second->countReceived (0x45), 25);
    auto* data = m.getDeviceData();
    ASSERT_NE (data, nullptr);
    EXPECT_EQ (data->getPresetNames (data->getPresetIndices()), juce::StringArray ("Second"));

    auto other = first->getIdentity();
    other.serial = 34567890;
    first->setIdentity (other);
    ASSERT_TRUE (m.selectDevice (0));
    EXPECT_EQ (w.run (DeviceCommandMessage (DeviceCommand::readAll)), InfoCode::commandFailed);
    EXPECT_EQ (w.device()->getErrorCode(), 0xA00004);
    EXPECT_TRUE (pumpUntil ([&] { return w.recorder.count (InfoCode::connectedUnitLost) == 1; }));
    EXPECT_EQ (identityQueries (*first), (Q { { 17, 0x07 } }));
    EXPECT_EQ (first->countReceived (0x45), 0);
    EXPECT_EQ (m.getSerialNumber (0), 12345678);
    EXPECT_TRUE (w.device (0)->getDeviceData()->getPresetIndices().isEmpty());
    EXPECT_FALSE (m.selectDevice (0));
}

TEST (DeviceScan, TheRegistryFileAfterIdentificationAndTheUsageEvents)
{
    DeviceWorld w;
    w.content.host.firstRun = false;
    setEventTracker (new EventTracker());
    struct TrackerGone { ~TrackerGone() { setEventTracker (nullptr); } } trackerGone;

    w.addUnit (DeviceWorld::merle, 120, 40123);
    auto xt = w.addUnit (DeviceWorld::merleXT, 210, 31000, true);
    const auto before = juce::Time::currentTimeMillis();
    ASSERT_EQ (w.scan(), 1);

    const juce::File file (AppPaths::getDeviceListFile());
    ASSERT_TRUE (file.existsAsFile());
    auto xml = juce::XmlDocument::parse (file);
    ASSERT_NE (xml, nullptr);
    EXPECT_TRUE (xml->hasTagName ("DEVICE_MANAGER"));
    ASSERT_EQ (xml->getNumChildElements(), 2);
    auto* e = xml->getChildElement (0);
    EXPECT_TRUE (e->hasTagName ("device"));
    const juce::StringArray order { "name", "id", "activated", "detection", "version", "serial", "manufacture" };
    for (int i = 0; i < order.size(); ++i)
        EXPECT_EQ (e->getAttributeName (i), order[i]);
    EXPECT_EQ (e->getStringAttribute ("name"), "Merle");
    EXPECT_EQ (e->getStringAttribute ("id"), "17");
    EXPECT_EQ (e->getStringAttribute ("activated"), "0");
    EXPECT_GE (e->getStringAttribute ("detection").getLargeIntValue(), before);
    EXPECT_EQ (e->getStringAttribute ("version"), "0.1.1.20.120.0");
    EXPECT_EQ (e->getStringAttribute ("serial"), "40123");
    EXPECT_EQ (e->getStringAttribute ("manufacture"), "2021.06.24");
    EXPECT_EQ (xml->getChildElement (1)->getStringAttribute ("name"), "Merle XT");
    const auto detection = xml->getChildElement (1)->getStringAttribute ("detection");
    EXPECT_TRUE (file.loadFileAsString().startsWith ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));

    // A unit was added: every known unit went out as a usage event.
    auto logged = [&] { return w.content.server.countRequests ("POST", "/lark-spire-2/php/tracking-1.0/db_user_log_device.php"); };
    ASSERT_TRUE (pumpUntil ([&] { return logged() == 2; }));
    bool sawXt = false;
    for (auto& r : w.content.server.getRequests())
        if (r.path.endsWith ("db_user_log_device.php") && r.body.startsWith ("serial=31000&product_id=18&build_num=210&"))
            sawXt = true;
    EXPECT_TRUE (sawXt);

    // The same units again, one with a new build: its entry stays, only the version moves,
    // and nothing new is logged.
    auto id = xt->getIdentity();
    id.build = 215;
    xt->setIdentity (id);
    ASSERT_EQ (w.scan(), 1);
    xml = juce::XmlDocument::parse (file);
    ASSERT_EQ (xml->getNumChildElements(), 2);
    EXPECT_EQ (xml->getChildElement (1)->getStringAttribute ("version"), "0.1.2.10.215.0");
    EXPECT_EQ (xml->getChildElement (1)->getStringAttribute ("detection"), detection);
    pumpFor (300);
    EXPECT_EQ (logged(), 2);

    // Known units: the connected one can be left out, and cannot be removed.
    auto* profiler = getDeviceProfiler();
    EXPECT_EQ (profiler->getKnownDevices (false).serialNumbers, (juce::Array<int> { 40123, 31000 }));
    ASSERT_TRUE (w.manager().selectDevice (1));
    EXPECT_FALSE (profiler->removeDevice (18, 31000));
    EXPECT_EQ (profiler->getKnownDevices (true).serialNumbers, (juce::Array<int> { }));   // both identified now
}

TEST (DeviceScan, TheWebLookUpActivatesUnitsTheServiceKnowsOrRegisters)
{
    DeviceWorld w;
    auto& server = w.content.server;
    const juce::String base = "/lark-spire-2/php/tracking-1.0/";
    server.reply (base + "db_query_find_device.php", 200, " No\n");
    server.reply (base + "db_device_activate.php", 200, "Success\n");

    w.addUnit (DeviceWorld::merle, 140, 40123);
    ASSERT_EQ (w.scan(), 1);

    // The look-up runs after the scan's result went out.
    auto activated = [] (int i) { return getDeviceProfiler()->getRegistryCopy()->getChildElement (i)->getStringAttribute ("activated"); };
    auto stored = [] (int i)
    {
        auto xml = juce::XmlDocument::parse (juce::File (AppPaths::getDeviceListFile()));
        return xml != nullptr && xml->getChildElement (i) != nullptr ? xml->getChildElement (i)->getStringAttribute ("activated")
                                                                     : juce::String();
    };
    ASSERT_TRUE (pumpUntil ([&] { return stored (0) == "1"; }));
    EXPECT_EQ (activated (0), "1");

    ASSERT_EQ (server.countRequests ("POST", base + "db_query_find_device.php"), 1);
    ASSERT_EQ (server.countRequests ("POST", base + "db_device_activate.php"), 1);
    for (auto& r : server.getRequests())
    {
        if (r.path.endsWith ("db_query_find_device.php"))
            EXPECT_EQ (r.body, "serial=40123");
        if (r.path.endsWith ("db_device_activate.php"))
            EXPECT_TRUE (r.body.startsWith ("serial=40123&product=Merle&date=")) << r.body;
    }

    // A confirmed unit is not asked again; a new one the service knows is simply marked.
    server.clearLog();
    server.reply (base + "db_query_find_device.php", 200, "Yes");
    w.addUnit (DeviceWorld::merleXT, 215, 31000);
    ASSERT_EQ (w.scan(), 1);
    ASSERT_TRUE (pumpUntil ([&] { return stored (1) == "1"; }));
    EXPECT_EQ (server.countRequests ("POST", base + "db_query_find_device.php"), 1);
    EXPECT_EQ (server.countRequests ("POST", base + "db_device_activate.php"), 0);

    // Any other answer changes nothing.
    server.reply (base + "db_query_find_device.php", 500, "Maybe");
    w.addUnit (DeviceWorld::piper, 100, 12, true);
    ASSERT_EQ (w.scan(), 1);
    ASSERT_TRUE (pumpUntil ([&] { return server.countRequests ("POST", base + "db_query_find_device.php") == 2; }));
    pumpFor (300);
    EXPECT_EQ (activated (2), "0");
    EXPECT_EQ (stored (2), "0");
}

TEST (DeviceScan, VirtualPortsOfTheSampleContentUnderTheEnvironmentSwitch)
{
    DeviceWorld w;
    ScopedEnvironmentVariable midi ("LARKSPIRE_MIDI", "virtual");
    ContentManager::setInstalledContentFolder (ContentWorld::sampleContent());
    auto layer = MidiPortLayer::createFromEnvironment();
    ContentManager::setInstalledContentFolder (w.content.installedContent());
    ASSERT_EQ (layer->getKind(), "virtual");
    EXPECT_EQ (MidiPortId::namesOf (layer->getInputs()), (juce::StringArray { "Merle MIDI", "Merle XT MIDI", "Piper MIDI" }));

    setDeviceManager (new DeviceManager (&w.recorder, layer));
    getDeviceManager()->startThread();
    ASSERT_EQ (w.scan(), 1);
    auto& m = w.manager();
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE (m.isDeviceReady (i)) << i;
    EXPECT_EQ (m.getProductId (2), 12);
}

TEST (DeviceScan, ThePairListIsSafeToReadWhileRescansReplaceIt)
{
    DeviceWorld w;
    w.addUnit (DeviceWorld::merle, 140, 1);
    w.addUnit (DeviceWorld::merleXT, 215, 2);
    ASSERT_EQ (w.scan(), 1);
    auto& m = w.manager();
    auto held = w.device (0);

    // Reading from the message thread while the manager's thread rebuilds the list.
    const int scans = w.recorder.count (InfoCode::scanFinished);
    for (int i = 0; i < 3; ++i)
        m.postMessage (new DeviceCommandMessage (DeviceCommand::scan));
    int reads = 0;
    ASSERT_TRUE (pumpUntil ([&]
    {
        for (int i = 0; i < 20; ++i, ++reads)
        {
            auto list = m.getDeviceList();
            for (int p = 0; p < list.displayNames.size() + 1; ++p)
            {
                if (auto d = m.getDeviceObject (p))
                    juce::ignoreUnused (d->getStatus(), d->getSerialNumber(), d->getFirmwareVersion());
                juce::ignoreUnused (m.getDeviceFlags (p), m.isDeviceReady (p), m.getPair (p).displayName);
            }
            juce::uint64 s, r;
            m.getMidiByteCounts (s, r);
        }
        return w.recorder.count (InfoCode::scanFinished) == scans + 3;
    }));
    EXPECT_GT (reads, 0);

    // An object handed out before stays usable; it was replaced and its thread stopped.
    EXPECT_NE (w.device (0), held);
    EXPECT_FALSE (held->isThreadRunning());
    EXPECT_EQ (held->getSerialNumber(), 1);
    EXPECT_TRUE (w.device (0)->isReady());
}

TEST (DeviceScan, ChangeListenersHearOfThePortsOnTheMessageThread)
{
    DeviceWorld w;
    w.addUnit (DeviceWorld::merle, 140, 1);
    ASSERT_EQ (w.scan(), 1);

    struct Listener : juce::ChangeListener
    {
        void changeListenerCallback (juce::ChangeBroadcaster*) override
        {
            EXPECT_TRUE (juce::MessageManager::getInstance()->isThisTheMessageThread());
            ++calls;
        }
        int calls = 0;
    } listener;

    auto d = w.device (0);
    d->addChangeListener (&listener);
    ASSERT_TRUE (w.manager().selectDevice (0));
    ASSERT_TRUE (pumpUntil ([&] { return listener.calls > 0; }));
    EXPECT_TRUE ((d->getStatus() & DeviceObject::portsOpen) != 0);
    d->removeChangeListener (&listener);
}
