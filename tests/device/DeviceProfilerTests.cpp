#include <gtest/gtest.h>
#include "content/ContentManager.h"
#include "content/EventConnection.h"
#include "core/AppPaths.h"
#include "device/DeviceProfiler.h"
#include "support/DeviceWorld.h"

using namespace testing_support;

namespace
{
    const char* registryText =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<DEVICE_MANAGER>\n"
        "  <device name=\"Merle\" id=\"17\" activated=\"1\" detection=\"1600000000000\" version=\"0.1.1.0.120.0\" serial=\"40123\" manufacture=\"2019.03.05\"/>\n"
        "  <device name=\"Merle XT\" id=\"18\" activated=\"0\" detection=\"1600000001000\" version=\"0.2.1.0.210.0\" serial=\"31000\" manufacture=\"2020.11.30\"/>\n"
        "  <device name=\"\" id=\"12\" activated=\"0\" detection=\"0\" version=\"0.1.0.0.100.0\" serial=\"5\" manufacture=\"2018.01.01\"/>\n"
        "  <device name=\"Ghost\" id=\"255\" activated=\"0\" detection=\"0\" version=\"0.0.0.0.0.0\" serial=\"6\" manufacture=\"2018.01.01\"/>\n"
        "</DEVICE_MANAGER>\n";

    juce::File registryFile() { return juce::File (AppPaths::getDeviceListFile()); }

    void writeRegistry (const juce::String& text)
    {
        registryFile().getParentDirectory().createDirectory();
        registryFile().replaceWithText (text);
    }
}

TEST (DeviceProfiler, VariantNamesAndPortNames)
{
    DeviceWorld w;
    EXPECT_EQ (DeviceProfiler::getVariantDisplayName (17, 100), "Merle");
    EXPECT_EQ (DeviceProfiler::getVariantDisplayName (17, 50000), "Merle Black");
    EXPECT_EQ (DeviceProfiler::getVariantDisplayName (17, 99999), "Merle Black");
    EXPECT_EQ (DeviceProfiler::getVariantDisplayName (17, 100000), "Merle");   // no range holds it
    EXPECT_EQ (DeviceProfiler::getVariantDisplayName (99, 1), "");

    EXPECT_EQ (DeviceProfiler::findProductNameForPort ("Merle XT"), "Merle XT");
    // Spacing and case do not matter; the first product in order that fits wins.
    EXPECT_EQ (DeviceProfiler::findProductNameForPort ("MERLEXT usb 2"), "Merle");
    EXPECT_EQ (DeviceProfiler::findProductNameForPort ("p i p e r Port"), "Piper");
    EXPECT_EQ (DeviceProfiler::findProductNameForPort ("Keyboard"), "");
    EXPECT_EQ (DeviceProfiler::findProductNameForPort (""), "");
    EXPECT_TRUE (DeviceProfiler::isKnownProductPort ("my merle in"));
    EXPECT_FALSE (DeviceProfiler::isKnownProductPort ("Unknown Device"));
}

TEST (DeviceProfiler, CapabilityProfilesByBuildAndByDataVersion)
{
    DeviceWorld w;
    auto caps = DeviceProfiler::createDeviceCaps (17, 100);
    ASSERT_NE (caps, nullptr);
    EXPECT_EQ (caps->getFirstBuild(), 0);
    EXPECT_EQ (caps->getLastBuild(), 109);
    EXPECT_EQ (caps->getPresetStepPacketSize(), 32);

    // The open-ended profile applies to every later build.
    for (int build : { 130, 150, 9999 })
    {
        caps = DeviceProfiler::createDeviceCaps (17, build);
        ASSERT_NE (caps, nullptr);
        EXPECT_EQ (caps->getFirstBuild(), 130);
        EXPECT_EQ (caps->getSetupVersion(), 2);
        EXPECT_TRUE (caps->containsBuild (build));
    }
    EXPECT_EQ (DeviceProfiler::createDeviceCaps (99, 100), nullptr);

    // By data version, from the capability content once it is loaded.
    ASSERT_NE (getContentManager()->loadContent (12, ContentType::caps, false), nullptr);
    // Preset data version 2 first appears in the profile 110..129.
    caps = getContentManager()->createDeviceCapsForDataVersion (17, 1, 2);
    ASSERT_NE (caps, nullptr);
    EXPECT_EQ (caps->getFirstBuild(), 110);
    EXPECT_EQ (caps->getLastBuild(), 129);
    // Setup version 2 lives in the open-ended profile: its end becomes its start.
    caps = getContentManager()->createDeviceCapsForDataVersion (17, 2, 2);
    ASSERT_NE (caps, nullptr);
    EXPECT_EQ (caps->getFirstBuild(), 130);
    EXPECT_EQ (caps->getLastBuild(), 130);
    // A profile without the key matches through the base value (XT's 0..209 gives setupVersion 1 itself;
    // Piper's only profile has no features: its base setupVersion 1 matches).
    caps = getContentManager()->createDeviceCapsForDataVersion (12, 2, 1);
    ASSERT_NE (caps, nullptr);
    EXPECT_EQ (caps->getFirstBuild(), 0);
    // No match: only the base features, range 0..0.
    caps = getContentManager()->createDeviceCapsForDataVersion (17, 1, 7);
    ASSERT_NE (caps, nullptr);
    EXPECT_EQ (caps->getLastBuild(), 0);
    EXPECT_EQ (caps->getPresetStepPacketSize(), 32);
    EXPECT_EQ (getContentManager()->createDeviceCapsForDataVersion (17, 3, 1), nullptr);
}

TEST (DeviceProfiler, FactoryBanksAreLookedUpForNewUnitData)
{
    DeviceWorld w;
    auto bank = DeviceProfiler::createFactoryBank (17, 100);
    ASSERT_NE (bank, nullptr);
    EXPECT_EQ (bank->getDigestText (1), "cad45c819a1db285c20c9355c754543e");
    bank = DeviceProfiler::createFactoryBank (17, 140);
    EXPECT_EQ (bank->getDigestText (1), "bc5ea43dfbca90a28c160e3bd040893e");
    bank = DeviceProfiler::createFactoryBank (12, 100);   // no bank in the document: an empty one
    ASSERT_NE (bank, nullptr);
    EXPECT_EQ (bank->getDigestText (1), "");

    // The profiler is the lookup of unit data made without a bank.
    auto caps = DeviceProfiler::createDeviceCaps (17, 140);
    DeviceData data (VersionNumber (0, 1, 2, 0, 140, 0), caps->getFormat(), nullptr);
    ASSERT_NE (data.getFactoryBank(), nullptr);
    EXPECT_EQ (data.getFactoryBank()->getDigestText (2), "3ff6a69f3be3500913ee71cd550e4b6d");

    // A profiler that replaces another keeps the lookup; without one there is none.
    setDeviceProfiler (new DeviceProfiler());
    EXPECT_NE (DeviceData (VersionNumber (0, 1, 2, 0, 140, 0), caps->getFormat(), nullptr).getFactoryBank(), nullptr);
    setDeviceProfiler (nullptr);
    EXPECT_EQ (DeviceData (VersionNumber (0, 1, 2, 0, 140, 0), caps->getFormat(), nullptr).getFactoryBank(), nullptr);
}

TEST (DeviceProfiler, LoadsTheRegistryAndListsKnownUnits)
{
    DeviceWorld w;
    writeRegistry (registryText);
    auto& profiler = *getDeviceProfiler();
    profiler.load();
    EXPECT_EQ (profiler.getKnownProductIds(), (juce::Array<int> { 17, 18, 12 }));
    EXPECT_EQ (w.content.host.prepareCalls.load(), 3);

    auto known = profiler.getKnownDevices (false);
    EXPECT_EQ (known.names, (juce::StringArray { "Merle", "Merle XT" }));   // no name or id 255: left out
    EXPECT_EQ (known.serialNumbers, (juce::Array<int> { 40123, 31000 }));
    EXPECT_EQ (known.firmwareVersions[1].build, 210);
    EXPECT_EQ (known.manufactureDates[1].year, 2020);
    EXPECT_EQ (known.manufactureDates[1].month, 11);
    EXPECT_EQ (known.manufactureDates[1].day, 30);
    EXPECT_EQ (known.detectionTimes[0], 1600000000000LL);

    // With the Merle images in place, the Merle at build 120 has a newer build to offer.
    const juce::File firmware (AppPaths::getFirmwareFolder (17));
    ASSERT_TRUE (ContentWorld::sampleContent().getChildFile ("Merle").getChildFile ("firmware").copyDirectoryTo (firmware));
    ASSERT_TRUE (getContentManager()->parseContentLists (17, ContentType::firmwareList));
    EXPECT_TRUE (profiler.isFirmwareUpdateAvailableForDevice (17, 40123));
    EXPECT_FALSE (profiler.isFirmwareUpdateAvailableForDevice (17, 1));    // not a known unit
    EXPECT_FALSE (profiler.isFirmwareUpdateAvailableForDevice (18, 31000)); // no images of its product

    // With the developer words every product is prepared too.
    w.content.host.developer = true;
    w.content.host.syncAll = true;
    w.content.host.prepareCalls = 0;
    profiler.load();
    EXPECT_EQ (w.content.host.prepareCalls.load(), 6);
}

TEST (DeviceProfiler, RemovingUnitsRewritesTheFile)
{
    DeviceWorld w;
    writeRegistry (registryText);
    auto& profiler = *getDeviceProfiler();
    profiler.load();

    EXPECT_FALSE (profiler.removeDevice (17, 1));   // not there
    EXPECT_TRUE (profiler.removeDevice (17, 40123));
    auto xml = juce::XmlDocument::parse (registryFile());
    ASSERT_NE (xml, nullptr);
    EXPECT_EQ (xml->getNumChildElements(), 3);
    EXPECT_EQ (xml->getChildElement (0)->getStringAttribute ("serial"), "31000");

    // A connected unit stays; every other entry goes.
    auto xt = w.addUnit (DeviceWorld::merleXT, 210, 31000);
    ASSERT_EQ (w.scan(), 1);
    EXPECT_TRUE (profiler.removeDisconnectedDevices());
    xml = juce::XmlDocument::parse (registryFile());
    ASSERT_EQ (xml->getNumChildElements(), 1);
    EXPECT_EQ (xml->getChildElement (0)->getStringAttribute ("serial"), "31000");
    EXPECT_FALSE (profiler.removeDisconnectedDevices());
    juce::ignoreUnused (xt);
}

TEST (DeviceProfiler, ABrokenRegistryFileIsReplacedWhole)
{
    DeviceWorld w;
    writeRegistry ("<DEVICE_LIST><device id=\"17\"/></DEVICE_LIST>");
    auto& profiler = *getDeviceProfiler();
    profiler.load();
    EXPECT_EQ (profiler.getRegistryCopy(), nullptr);
    writeRegistry ("<DEVICE_MANAGER><device id=\"17\" ser");
    profiler.load();
    EXPECT_EQ (profiler.getRegistryCopy(), nullptr);

    w.addUnit (DeviceWorld::merle, 140, 8);
    ASSERT_EQ (w.scan(), 1);
    auto xml = juce::XmlDocument::parse (registryFile());
    ASSERT_NE (xml, nullptr);
    EXPECT_TRUE (xml->hasTagName ("DEVICE_MANAGER"));
    EXPECT_EQ (xml->getNumChildElements(), 1);
    // Nothing is left beside it from the writing.
    EXPECT_EQ (registryFile().getParentDirectory().findChildFiles (juce::File::findFiles, false, "*deviceList*").size(), 1);
}

TEST (DeviceProfiler, UsageEventsSeeTheConnectedUnit)
{
    DeviceWorld w;
    w.addUnit (DeviceWorld::merle, 140, 40123);
    {
        EventConnection none;
        EXPECT_EQ (none.getDevice().serial, -1);
        EXPECT_EQ (none.getDevice().productId, 255);
    }
    ASSERT_TRUE (w.scanAndSelect (0));
    EventConnection connected;
    EXPECT_EQ (connected.getDevice().serial, 40123);
    EXPECT_EQ (connected.getDevice().productId, 17);
    EXPECT_EQ (connected.getDevice().firmware.build, 140);
    EXPECT_EQ (connected.getDevice().displayName, "Merle");
}
