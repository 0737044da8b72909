#include <gtest/gtest.h>
#include "app/Nexus.h"
#include "content/ContentDownloadThread.h"
#include "content/ContentManager.h"
#include "core/InfoCodes.h"
#include "core/Settings.h"
#include "device/DeviceProfiler.h"
#include "model/DeviceCaps.h"
#include "model/FirmwareImage.h"
#include "support/ContentWorld.h"

using namespace testing_support;

namespace
{
    constexpr juce::uint8 merle = 17, merleXT = 18, piper = 12;

    const juce::String capsPath = "/Larkspire2/Merle/caps.xml";
    const juce::String firmwareListPath = "/Larkspire2/Merle/firmware.xml";
    const juce::String rulesPath = "/Larkspire2/Merle/rules.xml";
    const juce::String packPath = "/Larkspire2/Merle/merle_packs.zip";
    const juce::String descriptorPath = "/Larkspire2/masterDescriptor.xml";

    juce::String imagePath (int build) { return "/Larkspire2/Merle/firmware/merle_" + juce::String (build) + ".syx"; }

    juce::MemoryBlock bytesOf (const juce::File& f)
    {
        juce::MemoryBlock b;
        f.loadFileAsData (b);
        return b;
    }

    // Every file below a folder with its bytes, by relative path.
    std::map<juce::String, juce::MemoryBlock> snapshot (const juce::File& folder)
    {
        std::map<juce::String, juce::MemoryBlock> files;
        for (auto& f : folder.findChildFiles (juce::File::findFiles | juce::File::ignoreHiddenFiles, true))
            files[f.getRelativePathFrom (folder)] = bytesOf (f);
        auto key = folder.getChildFile (ContentManager::packKeyFileName);
        if (key.existsAsFile())
            files[key.getFileName()] = bytesOf (key);
        return files;
    }

    // Queues a product on the manager's download thread and waits for the end of its sync.
    bool syncAndWait (ContentWorld& w, ContentManager& cm, juce::uint8 id)
    {
        const auto before = w.host.eventsWithCode (InfoCode::productSyncSucceeded).size()
                          + w.host.eventsWithCode (InfoCode::productSyncFailed).size();
        cm.getDownloadThread()->queueProduct (id);
        pumpUntil ([&]
        {
            return w.host.eventsWithCode (InfoCode::productSyncSucceeded).size()
                 + w.host.eventsWithCode (InfoCode::productSyncFailed).size() > before;
        }, 60000);
        const auto ok = w.host.eventsWithCode (InfoCode::productSyncSucceeded);
        const auto failed = w.host.eventsWithCode (InfoCode::productSyncFailed);
        return ! ok.empty() && (failed.empty() || ok.size() + failed.size() > before) && ok.back().p1 == id
               && w.host.events().back().code == InfoCode::productSyncSucceeded;
    }

    juce::Array<int> builds (const juce::Array<FirmwareUpdateElement>& list)
    {
        juce::Array<int> b;
        for (auto& e : list)
            b.add (e.getBuild());
        return b;
    }

    // Waits until the picture thread has told of the product's pictures `times` times in all.
    bool picturesCame (ContentWorld& w, size_t times)
    {
        return pumpUntil ([&] { return w.host.eventsWithCode (InfoCode::productPicturesChanged).size() >= times; }, 60000);
    }

    // A first run that prepares and synchronises the sample product completely.
    void completeFirstRun (ContentWorld& w)
    {
        ContentManager cm;
        awaitDescriptor (cm);
        ASSERT_TRUE (cm.prepareProduct (merle));
        ASSERT_TRUE (syncAndWait (w, cm, merle));
        ASSERT_TRUE (picturesCame (w, 1));
        w.host.clearEvents();
        w.server.clearLog();
    }
}

TEST (ProductContent, PrepareAndSynchroniseASampleProduct)
{
    ContentWorld w;
    ContentManager cm;
    awaitDescriptor (cm);
    ASSERT_TRUE (cm.isOnline());

    // The slowest icon holds nothing: the product is prepared with the default picture, and
    // the pictures follow on a thread of their own.
    w.server.serveSlowly ("/Larkspire2/Merle/icons/merle_black.png", 64, 50);
    ASSERT_TRUE (cm.prepareProduct (merle));
    EXPECT_EQ (w.server.countRequests ("GET", capsPath), 1);
    ASSERT_NE (cm.getCapsXml (merle), nullptr);
    EXPECT_EQ (cm.getCapsXml (merle)->getTagName(), "CAPS");
    EXPECT_EQ (cm.getProductImage (merle, "Merle Black").getWidth(), 153);
    ASSERT_TRUE (picturesCame (w, 1));
    EXPECT_EQ (w.server.countRequests ("GET", "/Larkspire2/Merle/icons/merle_black.png"), 1);
    w.host.clearEvents();

    // Variant pictures come from the icons; an unknown variant shows the first one.
    const auto black = cm.getProductImage (merle, "Merle Black");
    EXPECT_EQ (black.getWidth(), 64);
    EXPECT_NE (black.getPixelAt (20, 26), cm.getProductImage (merle, "Merle").getPixelAt (20, 26));
    EXPECT_EQ (cm.getProductImage (merle, "Nobody").getPixelAt (20, 26), cm.getProductImage (merle, "Merle").getPixelAt (20, 26));

    ASSERT_TRUE (syncAndWait (w, cm, merle));
    EXPECT_TRUE (cm.isProductSynced (merle));
    EXPECT_GT (cm.getLastSyncTime (merle), 0);

    // The messages of one product sync, in order: the lists and scripts first, the images
    // and packs after them.
    const auto& events = w.host.events();
    ASSERT_EQ (events.size(), 6u);
    EXPECT_EQ (events[0].code, InfoCode::productSyncStarted);
    EXPECT_EQ (events[0].p1, merle);
    EXPECT_EQ (events[0].text, "Merle");
    EXPECT_EQ (events[1].code, InfoCode::contentStatusText);
    EXPECT_EQ (events[1].text, "Merle: firmware update files");
    EXPECT_EQ (events[2].text, "Merle: conversion rules");
    EXPECT_EQ (events[3].text, "Merle: firmware update files");
    EXPECT_EQ (events[4].code, InfoCode::contentStatusText);
    EXPECT_EQ (events[4].text, "Merle: preset packs");
    EXPECT_EQ (events[5].code, InfoCode::productSyncSucceeded);
    EXPECT_EQ (events[5].p1, merle);
    EXPECT_EQ (events[5].text, "Merle");

    // Public images fetched; beta, revoked and expired ones not.
    const auto firmware = w.productFolder ("Merle").getChildFile ("firmware");
    for (int build : { 100, 120, 140 })
        EXPECT_EQ (bytesOf (firmware.getChildFile ("merle_" + juce::String (build) + ".syx")),
                   bytesOf (w.servedContent().getChildFile ("Merle/firmware/merle_" + juce::String (build) + ".syx")));
    EXPECT_EQ (w.server.countRequests ("GET", imagePath (150)), 0);
    EXPECT_EQ (w.server.countRequests ("GET", imagePath (110)), 0);
    EXPECT_EQ (w.server.countRequests ("GET", imagePath (90)), 0);

    EXPECT_EQ (builds (cm.getFirmwareList (merle)), (juce::Array<int> { 140, 120, 100 }));
    EXPECT_EQ (cm.getLatestFirmware (merle).getBuild(), 140);
    EXPECT_TRUE (cm.isFirmwareUpdateAvailable (merle, 120));
    EXPECT_FALSE (cm.isFirmwareUpdateAvailable (merle, 140));

    // Rules with their scripts.
    const auto presetRules = cm.getConversionRules (merle, 1);
    ASSERT_EQ (presetRules.size(), 3);
    EXPECT_EQ (presetRules[0].sourceVersion, 1);
    EXPECT_EQ (presetRules[0].targetVersion, 2);
    EXPECT_EQ (presetRules[0].targetProductId, merle);
    EXPECT_EQ (presetRules[2].targetProductId, merleXT);
    EXPECT_EQ (presetRules[2].cost, 3);
    EXPECT_EQ (presetRules[0].scriptFile,
               w.productFolder ("Merle").getChildFile ("js").getChildFile ("merle_preset_1_to_2.js").getFullPathName());
    EXPECT_EQ (cm.getConversionRules (merle, 2).size(), 1);
    EXPECT_TRUE (cm.getConversionRules (merle, 3).isEmpty());

    // The pack is unpacked with the key of what was unpacked.
    const auto packs = w.productFolder ("Merle").getChildFile ("packs");
    EXPECT_TRUE (packs.getChildFile ("Studio Voices/studio_voices.xml").existsAsFile());
    EXPECT_TRUE (packs.getChildFile ("Live Essentials/live_essentials.ard").existsAsFile());
    EXPECT_EQ (packs.getChildFile (ContentManager::packKeyFileName).loadFileAsString(), "merle-packs-1");
    EXPECT_TRUE (cm.isPresetPackListCurrent (merle));
    EXPECT_TRUE (cm.areContentFilesPresent (merle, 5));
}

TEST (ProductContent, CapsAreFetchedOnlyWhenTheirKeyChanged)
{
    ContentWorld w;
    completeFirstRun (w);

    {
        ContentManager cm;
        awaitDescriptor (cm);
        ASSERT_TRUE (cm.prepareProduct (merle));
        ASSERT_TRUE (cm.prepareProduct (merle));
        EXPECT_EQ (w.server.countRequests ("GET", capsPath), 0);
        EXPECT_EQ (w.server.countRequests ("GET", "/Larkspire2/Merle/icons/merle.png"), 0);
        EXPECT_NE (cm.getCapsXml (merle), nullptr);
    }

    // An empty key never counts as current: fetched every time, icons too.
    editServedFile (w.servedContent().getChildFile ("masterDescriptor.xml"),
                    "<capsKey>merle-caps-3</capsKey>", "<capsKey></capsKey>");
    ContentManager cm;
    awaitDescriptor (cm);
    for (size_t times : { 1u, 2u })
    {
        ASSERT_TRUE (cm.prepareProduct (merle));
        ASSERT_TRUE (picturesCame (w, times));
    }
    EXPECT_EQ (w.server.countRequests ("GET", capsPath), 2);
    EXPECT_EQ (w.server.countRequests ("GET", "/Larkspire2/Merle/icons/merle.png"), 2);
}

TEST (ProductContent, FailedCapsDownloadKeepsTheStoredCapsAndFails)
{
    ContentWorld w;
    completeFirstRun (w);
    const auto caps = w.productFolder ("Merle").getChildFile ("caps.xml");
    const auto before = bytesOf (caps);

    editServedFile (w.servedContent().getChildFile ("masterDescriptor.xml"), "merle-caps-3", "merle-caps-4");
    ContentManager cm;
    awaitDescriptor (cm);
    for (int status : { 404, 500 })
    {
        w.server.failWith (capsPath, status);
        EXPECT_FALSE (cm.prepareProduct (merle));
        EXPECT_EQ (bytesOf (caps), before);
    }

    // Content of the wrong kind never replaces the stored caps.
    w.server.reply (capsPath, 200, "<FIRMWARE><capsKey>merle-caps-4</capsKey></FIRMWARE>");
    EXPECT_FALSE (cm.prepareProduct (merle));
    EXPECT_EQ (bytesOf (caps), before);
    w.server.serveTruncated (capsPath, 100);
    EXPECT_FALSE (cm.prepareProduct (merle));
    EXPECT_EQ (bytesOf (caps), before);

    // The stored profiles still serve.
    ASSERT_NE (cm.getCapsXml (merle), nullptr);
}

// Though nothing is fetched, what downloads cut short by a kill left behind goes: the
// temporary of an image no longer listed, and that of an image already whole.
TEST (ProductContent, SecondRunFetchesNothingWhenEverythingIsCurrent)
{
    ContentWorld w;
    completeFirstRun (w);
    const auto firmware = w.productFolder ("Merle").getChildFile ("firmware");
    for (auto name : { ".merle_130.syx.tmp", ".merle_140.syx.tmp" })
        ASSERT_TRUE (firmware.getChildFile (name).replaceWithText ("piece"));

    ContentManager cm;

    awaitDescriptor (cm);
    ASSERT_TRUE (cm.prepareProduct (merle));
    ASSERT_TRUE (syncAndWait (w, cm, merle));
    for (auto& r : w.server.getRequests())
        EXPECT_EQ (r.path, descriptorPath) << "unexpected request for " << r.path;
    EXPECT_EQ (firmware.findChildFiles (juce::File::findFiles, false, "*.tmp").size(), 0);
}

TEST (ProductContent, FirmwareImagesFollowTheirStatus)
{
    ContentWorld w;
    const auto firmware = w.productFolder ("Merle").getChildFile ("firmware");
    firmware.createDirectory();
    firmware.getChildFile ("merle_110.syx").replaceWithText ("revoked image");

    {
        ContentManager cm;
        awaitDescriptor (cm);
        ASSERT_TRUE (cm.prepareProduct (merle));
        ASSERT_TRUE (syncAndWait (w, cm, merle));
        EXPECT_FALSE (firmware.getChildFile ("merle_110.syx").exists());
        EXPECT_FALSE (firmware.getChildFile ("merle_150.syx").exists());
        EXPECT_FALSE (builds (cm.getFirmwareList (merle)).contains (150));
    }

    // In developer mode the beta image is fetched and offered.
    configureApplicationProperties();
    w.host.developer = true;
    w.host.clearEvents();
    {
        ContentManager cm;
        awaitDescriptor (cm);
        ASSERT_TRUE (cm.prepareProduct (merle));
        ASSERT_TRUE (syncAndWait (w, cm, merle));
        EXPECT_TRUE (firmware.getChildFile ("merle_150.syx").existsAsFile());
        EXPECT_EQ (builds (cm.getFirmwareList (merle)), (juce::Array<int> { 150, 140, 120, 100 }));
        EXPECT_EQ (cm.getLatestFirmware (merle).getBuild(), 150);
    }
    deleteApplicationProperties();
}

// A firmware image that trickles holds no unit, which waits only for the lists and scripts
// (of its own product or another), and is listed as coming while it is on its way; it is given
// up at the web time-out, and the next image follows.
TEST (ProductContent, AnImageThatTricklesHoldsNoUnitAndIsGivenUpAtTheWebTimeout)
{
    ContentWorld w;
    w.servedContent().getChildFile ("Merle/firmware/merle_140.syx")
        .appendData (juce::String::repeatedString ("x", 1 << 20).toRawUTF8(), 1 << 20);
    w.server.serveSlowly (imagePath (140), 15, 100);   // 150 bytes a second: two hours
    setWebTimeoutMs (2000);
    ContentManager cm;
    awaitDescriptor (cm);
    ASSERT_TRUE (cm.prepareProduct (merle));
    auto* thread = cm.getDownloadThread();
    thread->queueProduct (merle);

    ASSERT_TRUE (pumpUntil ([&] { return w.server.countRequests ("GET", imagePath (140)) == 1; }));
    EXPECT_TRUE (thread->isQueued (merle));
    EXPECT_FALSE (thread->isFetchingUnitFiles (merle));
    EXPECT_EQ (cm.getConversionRules (merle, 1).size(), 3);
    EXPECT_TRUE (cm.getFirmwareList (merle).isEmpty());
    EXPECT_EQ (builds (cm.getFirmwareList (merle, true)), (juce::Array<int> { 140, 120, 100 }));

    // The small files of another product do not wait behind the image.
    thread->queueProduct (merleXT);
    ASSERT_TRUE (pumpUntil ([&] { return ! thread->isFetchingUnitFiles (merleXT) || ! thread->isQueued (merle); }));
    EXPECT_TRUE (thread->isQueued (merle));

    ASSERT_TRUE (pumpUntil ([&] { return ! w.host.eventsWithCode (InfoCode::productSyncFailed).empty(); }, 60000));
    EXPECT_EQ (w.host.eventsWithCode (InfoCode::productSyncFailed).front().p1, merle);
    EXPECT_EQ (builds (cm.getFirmwareList (merle, true)), (juce::Array<int> { 120, 100 }));
    EXPECT_FALSE (w.productFolder ("Merle").getChildFile ("firmware/merle_140.syx").exists());
    EXPECT_TRUE (w.productFolder ("Merle").getChildFile ("packs").getChildFile (ContentManager::packKeyFileName).existsAsFile());
}

TEST (ProductContent, AnImageThatIsNotWholeCountsAsMissingAndIsNeverKept)
{
    ContentWorld w;
    completeFirstRun (w);

    // A local image cut inside a message, though it opens as SysEx, is neither offered nor
    // kept: it is fetched again and replaced.
    const auto firmware = w.productFolder ("Merle").getChildFile ("firmware");
    const auto image = firmware.getChildFile ("merle_140.syx");
    const auto served = bytesOf (w.servedContent().getChildFile ("Merle/firmware/merle_140.syx"));
    image.replaceWithData (served.getData(), served.getSize() - 100);
    {
        ContentManager cm;
        awaitDescriptor (cm);
        ASSERT_TRUE (cm.prepareProduct (merle));
        ASSERT_TRUE (cm.parseContentLists (merle, 3));
        EXPECT_FALSE (cm.areContentFilesPresent (merle, 3));
        EXPECT_EQ (builds (cm.getFirmwareList (merle)), (juce::Array<int> { 120, 100 }));
        ASSERT_TRUE (syncAndWait (w, cm, merle));
        EXPECT_EQ (w.server.countRequests ("GET", imagePath (140)), 1);
        EXPECT_EQ (bytesOf (image), served);
        EXPECT_EQ (builds (cm.getFirmwareList (merle)), (juce::Array<int> { 140, 120, 100 }));
    }

    // A cut right after a whole message leaves a piece that reads as an image.
    juce::MemoryInputStream servedStream (served, false);
    juce::OwnedArray<juce::MidiMessage> messages;
    ASSERT_TRUE (FirmwareImage::read (servedStream, &messages));
    ASSERT_GT (messages.size(), 2);
    const int boundary = messages[0]->getRawDataSize() + messages[1]->getRawDataSize();

    // A body shorter than its declared length, one that ends only as its connection closes (no
    // length, not chunked), a chunked one cut before its last chunk, and one that is not an image
    // are refused: the entry is dropped, the sync fails, and no file (nor its temporary) is left.
    // Each next synchronisation asks for the image again.
    image.deleteFile();
    w.server.clearLog();
    int asked = 0;
    for (auto refused : { std::function<void()> ([&] { w.server.serveTruncated (imagePath (140), 300); }),
                          std::function<void()> ([&] { w.server.serveTruncated (imagePath (140), boundary, false); }),
                          std::function<void()> ([&] { w.server.serveChunked (imagePath (140), boundary); }),
                          std::function<void()> ([&] { w.server.reply (imagePath (140), 200, "<html>not firmware</html>"); }) })
    {
        refused();
        w.host.clearEvents();
        ContentManager cm;
        awaitDescriptor (cm);
        ASSERT_TRUE (cm.prepareProduct (merle));
        EXPECT_FALSE (syncAndWait (w, cm, merle));
        EXPECT_EQ (w.server.countRequests ("GET", imagePath (140)), ++asked);
        EXPECT_EQ (builds (cm.getFirmwareList (merle)), (juce::Array<int> { 120, 100 }));
        EXPECT_FALSE (cm.isProductSynced (merle));
        EXPECT_EQ (firmware.findChildFiles (juce::File::findFiles, false, "*140*").size(), 0);
    }

    // A chunked body that ends with its last chunk is whole.
    w.server.serveChunked (imagePath (140));
    {
        ContentManager cm;
        awaitDescriptor (cm);
        ASSERT_TRUE (cm.prepareProduct (merle));
        ASSERT_TRUE (syncAndWait (w, cm, merle));
        EXPECT_EQ (bytesOf (image), served);
        EXPECT_EQ (builds (cm.getFirmwareList (merle)), (juce::Array<int> { 140, 120, 100 }));
    }

    // An image larger than any image may be stops at that size, though its answer declares no
    // length, and leaves nothing on disk.
    image.deleteFile();
    juce::MemoryBlock oversized (FirmwareImage::maxSize + (1 << 20), true);
    oversized.copyFrom (served.getData(), 0, served.getSize());
    ASSERT_TRUE (w.servedContent().getChildFile ("Merle/firmware/merle_140.syx").replaceWithData (oversized.getData(), oversized.getSize()));
    {
        ContentManager cm;
        awaitDescriptor (cm);
        ASSERT_TRUE (cm.prepareProduct (merle));
        const auto before = cm.getBytesFetched().load();
        EXPECT_FALSE (syncAndWait (w, cm, merle));
        // The image, and the few lists read from disk meanwhile.
        const auto fetched = (juce::int64) (cm.getBytesFetched().load() - before);
        EXPECT_GT (fetched, FirmwareImage::maxSize - (1 << 20));
        EXPECT_LT (fetched, FirmwareImage::maxSize + (64 << 10));
        EXPECT_EQ (firmware.findChildFiles (juce::File::findFiles, false, "*140*").size(), 0);
    }
}

TEST (ProductContent, FailedListDownloadsCountAgainstTheSync)
{
    ContentWorld w;
    completeFirstRun (w);

    // Each step tells of itself once, in order, when no image is fetched.
    auto statusTexts = [&w]
    {
        juce::StringArray texts;
        for (auto& e : w.host.eventsWithCode (InfoCode::contentStatusText))
            texts.add (e.text);
        return texts;
    };
    const juce::StringArray eachOnce { "Merle: firmware update files", "Merle: conversion rules", "Merle: preset packs" };

    editServedFile (w.servedContent().getChildFile ("masterDescriptor.xml"), "merle-fw-7", "merle-fw-8");
    w.server.failWith (firmwareListPath, 503);
    {
        ContentManager cm;
        awaitDescriptor (cm);
        ASSERT_TRUE (cm.prepareProduct (merle));
        EXPECT_FALSE (syncAndWait (w, cm, merle));
        // The stored list still serves.
        EXPECT_EQ (builds (cm.getFirmwareList (merle)), (juce::Array<int> { 140, 120, 100 }));
        EXPECT_EQ (statusTexts(), eachOnce);
    }

    w.host.clearEvents();
    w.server.clearBehaviour (firmwareListPath);
    editServedFile (w.servedContent().getChildFile ("masterDescriptor.xml"), "merle-rules-2", "merle-rules-3");
    w.server.failWith (rulesPath, 404);
    {
        ContentManager cm;
        awaitDescriptor (cm);
        ASSERT_TRUE (cm.prepareProduct (merle));
        EXPECT_FALSE (syncAndWait (w, cm, merle));
    }

    // A new list without any image.
    w.host.clearEvents();
    w.server.clearBehaviour (rulesPath);
    editServedFile (w.servedContent().getChildFile ("masterDescriptor.xml"), "merle-fw-8", "merle-fw-9");
    w.server.reply (firmwareListPath, 200, "<FIRMWARE><firmwareKey>merle-fw-9</firmwareKey></FIRMWARE>");
    ContentManager cm;
    awaitDescriptor (cm);
    ASSERT_TRUE (cm.prepareProduct (merle));
    EXPECT_TRUE (syncAndWait (w, cm, merle));
    EXPECT_TRUE (cm.getFirmwareList (merle).isEmpty());
    EXPECT_EQ (statusTexts(), eachOnce);
}

TEST (ProductContent, RuleListsAreParsedStrictly)
{
    ContentWorld w;
    editServedFile (w.servedContent().getChildFile ("Merle/rules.xml"), "</CONVERSION_RULES>",
                    "  <bogus source=\"1\" target=\"2\" script=\"https://www.ardentis.example/Larkspire2/Merle/js/bogus.js\"/>\n"
                    "  <preset source=\"3\" target=\"4\" name=\"Nobody\" script=\"https://www.ardentis.example/Larkspire2/Merle/js/merle_preset_1_to_2.js\"/>\n"
                    "  <setup target=\"4\" script=\"https://www.ardentis.example/Larkspire2/Merle/js/merle_setup_1_to_2.js\"/>\n"
                    "  <preset source=\"5\" target=\"6\" script=\"https://www.ardentis.example/Larkspire2/Merle/js/\"/>\n"
                    "  <note>no script, not a rule</note>\n"
                    "</CONVERSION_RULES>");

    ContentManager cm;

    awaitDescriptor (cm);
    ASSERT_TRUE (cm.prepareProduct (merle));
    EXPECT_FALSE (syncAndWait (w, cm, merle));   // the bogus rule makes the list parse fail

    // The usable rules are there; the unknown target, the missing source and the folder
    // address are left out.
    const auto presets = cm.getConversionRules (merle, 1);
    EXPECT_EQ (presets.size(), 3);
    for (auto& r : presets)
        EXPECT_NE (r.sourceVersion, 3);
    EXPECT_EQ (cm.getConversionRules (merle, 2).size(), 1);

    juce::XmlElement rule ("setup");
    rule.setAttribute ("script", "https://x.example/a/b.js");
    auto info = ConversionRuleInfo::fromXml (rule, merle, 255, false, "/data/js");
    EXPECT_EQ (info.kind, 2);
    EXPECT_EQ (info.sourceVersion, -1);
    EXPECT_EQ (info.targetVersion, -1);
    EXPECT_EQ (info.cost, 1);
    EXPECT_EQ (info.targetProductId, merle);
    EXPECT_EQ (info.scriptFile, "/data/js/b.js");

    rule.setAttribute ("script", "https://x.example/a/..");
    EXPECT_EQ (ConversionRuleInfo::fromXml (rule, merle, 255, false, "/data/js").scriptFile, "");
    EXPECT_EQ (ConversionRuleInfo::fromXml (juce::XmlElement ("other"), merle, 255, false, "/data/js").kind, 3);
}

TEST (ProductContent, QueueKeepsTheFiveSecondRuleAndNoDuplicates)
{
    ContentWorld w;
    ContentManager cm;
    awaitDescriptor (cm);
    ASSERT_TRUE (cm.prepareProduct (merle));
    ASSERT_TRUE (syncAndWait (w, cm, merle));
    auto* thread = cm.getDownloadThread();

    // Synchronised a moment ago: the real 5 s interval refuses it.
    thread->queueProduct (merle);
    EXPECT_FALSE (thread->isQueued (merle));
    EXPECT_EQ (thread->getNumQueued(), 0);
    pumpFor (300);
    EXPECT_EQ (w.host.eventsWithCode (InfoCode::productSyncStarted).size(), 1u);

    // While one product is busy (re-fetching an image slowly), another is queued once
    // however often it is asked for, and the busy one is not queued again.
    w.productFolder ("Merle").getChildFile ("firmware/merle_140.syx").deleteFile();
    w.server.serveSlowly (imagePath (140), 32, 100);
    ContentDownloadThread::setMinimumIntervalSeconds (0.0);
    thread->queueProduct (merle);
    ASSERT_TRUE (pumpUntil ([&] { return w.host.eventsWithCode (InfoCode::productSyncStarted).size() == 2; }));
    thread->queueProduct (merleXT);
    thread->queueProduct (merleXT);
    thread->queueProduct (merle);
    EXPECT_TRUE (thread->isQueued (merleXT));
    EXPECT_EQ (thread->getNumQueued(), 2);

    ASSERT_TRUE (pumpUntil ([&] { return thread->getNumQueued() == 0
                                      && w.host.eventsWithCode (InfoCode::productSyncSucceeded).size() == 3; }, 60000));
    const auto started = w.host.eventsWithCode (InfoCode::productSyncStarted);
    ASSERT_EQ (started.size(), 3u);
    EXPECT_EQ (started[2].p1, merleXT);
    EXPECT_EQ (started[2].text, "Merle XT");

    // An unknown product counts as never synchronised, and its sync fails.
    thread->queueProduct (99);
    ASSERT_TRUE (pumpUntil ([&] { return ! w.host.eventsWithCode (InfoCode::productSyncFailed).empty(); }));
    EXPECT_EQ (w.host.eventsWithCode (InfoCode::productSyncFailed).back().p1, 99);
}

TEST (ProductContent, PacksAreKeptWhenTheNewPackFails)
{
    ContentWorld w;
    completeFirstRun (w);
    const auto packs = w.productFolder ("Merle").getChildFile ("packs");
    const auto before = snapshot (packs);
    ASSERT_FALSE (before.empty());

    // The descriptor announces a new pack, which cannot be fetched in this run.
    editServedFile (w.servedContent().getChildFile ("masterDescriptor.xml"), "merle-packs-1", "merle-packs-2");
    for (auto failure : { 0, 1, 2 })
    {
        if (failure == 0) w.server.failWith (packPath, 500, "no packs today");
        if (failure == 1) w.server.serveTruncated (packPath, 300);
        if (failure == 2) w.server.serveEmpty (packPath);
        w.host.clearEvents();
        ContentManager cm;
        awaitDescriptor (cm);
        ASSERT_TRUE (cm.prepareProduct (merle));
        EXPECT_FALSE (syncAndWait (w, cm, merle));
        EXPECT_EQ (snapshot (packs), before);
        EXPECT_FALSE (packs.getSiblingFile ("packs.incoming").exists());
    }

    // The next run sees that the unpacked pack is the old one and fetches the new one.
    w.server.clearBehaviour (packPath);
    w.server.clearLog();
    w.host.clearEvents();
    ContentManager cm;
    awaitDescriptor (cm);
    ASSERT_TRUE (cm.prepareProduct (merle));
    ASSERT_TRUE (syncAndWait (w, cm, merle));
    EXPECT_EQ (w.server.countRequests ("GET", packPath), 1);
    EXPECT_EQ (packs.getChildFile (ContentManager::packKeyFileName).loadFileAsString(), "merle-packs-2");
}

TEST (ProductContent, PackEntriesMustStayInsideThePacksFolder)
{
    ContentWorld w;
    completeFirstRun (w);
    const auto packs = w.productFolder ("Merle").getChildFile ("packs");
    const auto before = snapshot (packs);

    for (auto escape : { "../escaped.txt", "/tmp/larkspire-escaped.txt", "Good/../../escaped.txt" })
    {
        juce::ZipFile::Builder builder;
        builder.addEntry (new juce::MemoryInputStream ("ok", 2, true), 0, "Good/fine.xml", juce::Time::getCurrentTime());
        builder.addEntry (new juce::MemoryInputStream ("bad", 3, true), 0, escape, juce::Time::getCurrentTime());
        juce::MemoryOutputStream zip;
        ASSERT_TRUE (builder.writeToStream (zip, nullptr));
        w.servedContent().getChildFile ("Merle/merle_packs.zip").replaceWithData (zip.getData(), zip.getDataSize());
        editServedFile (w.servedContent().getChildFile ("masterDescriptor.xml"),
                        "<presetsKey>merle-packs-1</presetsKey>", "<presetsKey>evil</presetsKey>");

        w.host.clearEvents();
        ContentManager cm;
        awaitDescriptor (cm);
        ASSERT_TRUE (cm.prepareProduct (merle));
        EXPECT_FALSE (syncAndWait (w, cm, merle)) << escape;
        EXPECT_EQ (snapshot (packs), before) << escape;
        EXPECT_FALSE (w.productFolder ("Merle").getChildFile ("escaped.txt").exists());
        EXPECT_FALSE (juce::File ("/tmp/larkspire-escaped.txt").exists());
        editServedFile (w.servedContent().getChildFile ("masterDescriptor.xml"),
                        "<presetsKey>evil</presetsKey>", "<presetsKey>merle-packs-1</presetsKey>");
    }
}

TEST (ProductContent, ShutdownDuringASlowPackDownloadKeepsTheOldPacks)
{
    ContentWorld w;
    completeFirstRun (w);
    const auto packs = w.productFolder ("Merle").getChildFile ("packs");
    const auto before = snapshot (packs);

    editServedFile (w.servedContent().getChildFile ("masterDescriptor.xml"), "merle-packs-1", "merle-packs-2");
    w.server.serveSlowly (packPath, 64, 200);
    {
        ContentManager cm;
        awaitDescriptor (cm);
        ASSERT_TRUE (cm.prepareProduct (merle));
        cm.getDownloadThread()->queueProduct (merle);
        ASSERT_TRUE (pumpUntil ([&] { return w.server.countRequests ("GET", packPath) == 1; }, 60000));
    }   // the manager stops its download thread here

    EXPECT_EQ (snapshot (packs), before);
    EXPECT_TRUE (w.host.eventsWithCode (InfoCode::productSyncSucceeded).empty());
}

TEST (ProductContent, CachedContentSurvivesAReloadWhileHeld)
{
    ContentWorld w;
    ContentManager cm;
    awaitDescriptor (cm);
    ASSERT_TRUE (cm.prepareProduct (merle));
    auto held = cm.getCapsXml (merle);
    ASSERT_NE (held, nullptr);

    auto reloaded = cm.loadContent (merle, 2, true);
    ASSERT_NE (reloaded, nullptr);
    EXPECT_NE (reloaded.get(), held.get());
    EXPECT_EQ (cm.getCapsXml (merle).get(), reloaded.get());
    EXPECT_EQ (held->getChildByName ("capsKey")->getAllSubText(), "merle-caps-3");
}

TEST (ProductContent, ContentFilesAreLastSegmentsInTheirFolders)
{
    ContentWorld w;
    ContentManager cm;
    awaitDescriptor (cm);
    const auto folder = w.productFolder ("Merle");
    EXPECT_EQ (cm.getContentFile (merle, 2, 0, false), folder.getChildFile ("caps.xml").getFullPathName());
    EXPECT_EQ (cm.getContentFile (merle, 5, 0, true), folder.getChildFile ("packs/merle_packs.zip").getFullPathName());
    EXPECT_TRUE (folder.getChildFile ("packs").isDirectory());
    EXPECT_EQ (cm.getContentFile (piper, 3, 0, false), "");
    EXPECT_EQ (cm.getContentFile (99, 2, 0, false), "");
    EXPECT_EQ (cm.getContentAddress (merle, 0, 0), "");
    EXPECT_EQ (cm.getContentAddress (merle, 7, 0), "");
    EXPECT_EQ (cm.getContentAddress (merle, 3, 0), WebRoot::getDefaultRoot() + "/Larkspire2/Merle/firmware.xml");
    EXPECT_FALSE (cm.areContentFilesPresent (merle, 2));
    EXPECT_FALSE (cm.areContentFilesPresent (merle, 5));
}

TEST (ProductContent, ProductWithOnlyCapsSynchronises)
{
    ContentWorld w;
    ContentManager cm;
    awaitDescriptor (cm);
    ASSERT_TRUE (cm.prepareProduct (piper));
    ASSERT_TRUE (syncAndWait (w, cm, piper));
    EXPECT_TRUE (cm.getFirmwareList (piper).isEmpty());
    EXPECT_EQ (cm.getLatestFirmware (piper).getStatus(), FirmwareUpdateElement::statusUnknown);
    EXPECT_FALSE (cm.isFirmwareUpdateAvailable (piper, 0));
    const auto& events = w.host.events();
    ASSERT_EQ (events.size(), 4u);   // no pack step for a product without packs
    EXPECT_EQ (events[2].text, "Piper: conversion rules");
}

TEST (ProductContent, CapabilityProfilesPerBuild)
{
    ContentWorld w;
    ContentManager cm;
    awaitDescriptor (cm);
    EXPECT_EQ (cm.createDeviceCaps (merle, 140), nullptr);   // nothing prepared yet
    ASSERT_TRUE (cm.prepareProduct (merle));
    ASSERT_TRUE (cm.prepareProduct (merleXT));

    struct Case { juce::uint8 id; int build, presetVersion, setupVersion, first, last; };
    for (auto c : { Case { merle, 100, 1, 1, 0, 109 }, Case { merle, 125, 2, 1, 110, 129 },
                    Case { merle, 140, 2, 2, 130, 140 }, Case { merle, 900, 2, 2, 130, 900 },
                    Case { merleXT, 200, 1, 1, 0, 209 }, Case { merleXT, 215, 1, 2, 210, 215 } })
    {
        auto caps = cm.createDeviceCaps (c.id, c.build);
        ASSERT_NE (caps, nullptr);
        EXPECT_EQ (caps->getPresetVersion(), c.presetVersion) << c.build;
        EXPECT_EQ (caps->getSetupVersion(), c.setupVersion) << c.build;
        EXPECT_EQ (caps->getFirstBuild(), c.first) << c.build;
        EXPECT_EQ (caps->getLastBuild(), c.last) << c.build;
        EXPECT_TRUE (caps->isBuildValid());
        EXPECT_TRUE (caps->getFormat().isValid());
        EXPECT_EQ (caps->getProductId(), c.id);
    }
}

TEST (ProductContent, HubPreparesOnlineAndQueuesOnce)
{
    ContentWorld w;
    Nexus nexus;
    EXPECT_FALSE (nexus.prepareProductContent (merle));   // no content manager yet

    setContentManager (newFetchedContentManager());
    auto* cm = getContentManager();
    EXPECT_FALSE (nexus.prepareProductContent (merle));   // no device profiler yet
    setDeviceProfiler (new DeviceProfiler());
    struct ProfilerGone { ~ProfilerGone() { setDeviceProfiler (nullptr); } } profilerGone;

    // Asked on the message thread while the web service says nothing about the caps, the hub
    // returns at once: the download thread has the product, and tells when it is done.
    w.server.stall (capsPath);
    ASSERT_TRUE (nexus.prepareProductContent (merle));
    ASSERT_TRUE (pumpUntil ([&] { return w.server.countRequests ("GET", capsPath) == 1; }));
    EXPECT_TRUE (cm->getDownloadThread()->isQueued (merle));
    EXPECT_EQ (cm->getCapsXml (merle), nullptr);   // nothing on disk here
    EXPECT_TRUE (w.host.eventsWithCode (InfoCode::productSyncSucceeded).empty());
    w.server.clearBehaviour (capsPath);
    ASSERT_TRUE (pumpUntil ([&] { return ! w.host.eventsWithCode (InfoCode::productSyncSucceeded).empty(); }, 60000));
    EXPECT_TRUE (cm->isProductSynced (merle));
    EXPECT_NE (cm->createDeviceCaps (merle, 140), nullptr);
    EXPECT_EQ (w.host.eventsWithCode (InfoCode::productSyncStarted).size(), 1u);
    const auto syncs = w.host.eventsWithCode (InfoCode::productSyncStarted).size();

    // Synchronised content needs nothing more.
    EXPECT_FALSE (nexus.prepareProductContent (merle));
    pumpFor (300);
    EXPECT_EQ (w.host.eventsWithCode (InfoCode::productSyncStarted).size(), syncs);

    EXPECT_FALSE (nexus.prepareProductContent (99));
}

TEST (ProductContent, HubUsesStoredContentOffline)
{
    ContentWorld w;
    w.server.failWith (descriptorPath, 404);
    w.installSampleContent();
    Nexus nexus;
    setContentManager (newFetchedContentManager());
    setDeviceProfiler (new DeviceProfiler());
    struct ProfilerGone { ~ProfilerGone() { setDeviceProfiler (nullptr); } } profilerGone;
    auto* cm = getContentManager();
    ASSERT_FALSE (cm->isOnline());

    EXPECT_TRUE (nexus.prepareProductContent (merle));
    EXPECT_NE (cm->getCapsXml (merle), nullptr);
    EXPECT_NE (cm->createDeviceCaps (merle, 140), nullptr);
    // Without images and scripts nothing is offered, but the lists are known.
    EXPECT_TRUE (cm->getFirmwareList (merle).isEmpty());
    EXPECT_TRUE (cm->getConversionRules (merle, 1).isEmpty());
    EXPECT_FALSE (cm->prepareProduct (merle));
    EXPECT_FALSE (cm->isProductSynced (merle));

    // Only the installed requests were made: the descriptor.
    for (auto& r : w.server.getRequests())
        EXPECT_EQ (r.path, descriptorPath);

    // A product whose folder does not exist has nothing stored.
    w.productFolder ("Piper").deleteRecursively();
    EXPECT_FALSE (nexus.prepareProductContent (piper));
}
