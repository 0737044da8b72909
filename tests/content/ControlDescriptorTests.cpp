#include <gtest/gtest.h>
#include "content/ContentDownloadThread.h"
#include "content/ContentManager.h"
#include "core/AppPaths.h"
#include "core/Settings.h"
#include "support/ContentWorld.h"

using namespace testing_support;

namespace
{
    const juce::String descriptorPath = "/Larkspire2/masterDescriptor.xml";

    juce::String descriptorWith (const juce::String& larkspire, const juce::String& devices)
    {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<CONTROL_DESCRIPTOR>" + larkspire
               + "<devices>" + devices + "</devices></CONTROL_DESCRIPTOR>";
    }

    juce::String product (const juce::String& name, const juce::String& id, const juce::String& extra = {})
    {
        return "<product name=\"" + name + "\" sysexId=\"" + id + "\">" + extra + "</product>";
    }

    juce::File storedDescriptor (const ContentWorld& w)
    {
        return w.appDataFolder().getChildFile ("masterDescriptor.xml");
    }

    juce::String tagOfProductNamed (ContentManager& cm, juce::uint8 id) { return cm.getProductName (id); }
}

TEST (ControlDescriptor, OnlineDescriptorIsUsedAndWrittenBack)
{
    ContentWorld w;
    ContentManager cm;
    awaitDescriptor (cm);

    EXPECT_TRUE (cm.isOnline());
    EXPECT_TRUE (cm.hasControlDescriptor());
    EXPECT_NE (cm.getDownloadThread(), nullptr);
    EXPECT_EQ (w.host.fatalCode.load(), 0);
    EXPECT_EQ (w.server.countRequests ("GET", descriptorPath), 1);

    auto stored = juce::parseXML (storedDescriptor (w));
    ASSERT_NE (stored, nullptr);
    EXPECT_EQ (stored->getTagName(), "CONTROL_DESCRIPTOR");
    EXPECT_EQ (stored->getChildByName ("devices")->getNumChildElements(), 3);

    EXPECT_EQ (cm.getProductIds(), (juce::Array<juce::uint8> { 17, 18, 12 }));
    EXPECT_GT (cm.getBytesFetched().load(), 1000u);
    EXPECT_EQ (cm.getTransferCounter().load(), 0u);
}

TEST (ControlDescriptor, TheCopyOnDiskServesWhileTheWebCopyIsAwaitedAndTheWebCopyReplacesIt)
{
    ContentWorld w;
    w.server.stall (descriptorPath);
    w.installSampleContent();
    // The web copy announces newer capability content than the installed one.
    editServedFile (w.servedContent().getChildFile ("masterDescriptor.xml"), "merle-caps-3", "merle-caps-4");
    editServedFile (w.servedContent().getChildFile ("Merle/caps.xml"), "merle-caps-3", "merle-caps-4");
    const auto capsKey = [] (const ContentXml& caps) { return caps != nullptr ? caps->getChildElementAllSubText ("capsKey", {}) : juce::String(); };

    // The manager is built while the web service says nothing: the installed copy is in force.
    ContentManager cm;
    int fetchedCalls = 0;
    cm.callWhenDescriptorFetched ([&] { ++fetchedCalls; });
    ASSERT_TRUE (pumpUntil ([&] { return w.server.countRequests ("GET", descriptorPath) == 1; }));
    EXPECT_FALSE (cm.isOnline());
    EXPECT_EQ (cm.getDownloadThread(), nullptr);
    EXPECT_EQ (cm.getProductIds(), (juce::Array<juce::uint8> { 17, 18, 12 }));
    EXPECT_TRUE (storedDescriptor (w).loadFileAsString().contains ("merle-caps-3"));
    EXPECT_EQ (fetchedCalls, 0);
    EXPECT_EQ (w.host.fatalCode.load(), 0);

    // Content read from disk meanwhile serves at once and is brought up to date once the web
    // copy is in force.
    ASSERT_TRUE (cm.loadStoredContent (17));
    EXPECT_EQ (capsKey (cm.getCapsXml (17)), "merle-caps-3");

    // The web service answers: its copy is put in force, written back, and the program is online.
    w.server.clearBehaviour (descriptorPath);
    ASSERT_TRUE (pumpUntil ([&] { return fetchedCalls == 1; }, 60000));
    EXPECT_TRUE (cm.isOnline());
    EXPECT_TRUE (storedDescriptor (w).loadFileAsString().contains ("merle-caps-4"));
    ASSERT_NE (cm.getDownloadThread(), nullptr);
    EXPECT_TRUE (pumpUntil ([&] { return cm.isProductSynced (17); }, 60000));
    EXPECT_EQ (w.server.countRequests ("GET", "/Larkspire2/Merle/caps.xml"), 1);
    EXPECT_EQ (capsKey (cm.getCapsXml (17)), "merle-caps-4");
    EXPECT_FALSE (cm.isProductSynced (18));   // never asked for

    // Once the outcome is known, a late caller is answered at once.
    cm.callWhenDescriptorFetched ([&] { ++fetchedCalls; });
    EXPECT_EQ (fetchedCalls, 2);
}

TEST (ControlDescriptor, OfflineUsesTheStoredCopyWithoutRewritingIt)
{
    ContentWorld w;
    w.server.failWith (descriptorPath, 404);
    w.appDataFolder().createDirectory();
    storedDescriptor (w).replaceWithText (descriptorWith ("", product ("Stored Unit", "33")));
    const auto storedText = storedDescriptor (w).loadFileAsString();
    w.installSampleContent();

    ContentManager cm;

    awaitDescriptor (cm);
    EXPECT_FALSE (cm.isOnline());
    EXPECT_EQ (cm.getDownloadThread(), nullptr);
    EXPECT_EQ (cm.getProductIds(), (juce::Array<juce::uint8> { 33 }));
    EXPECT_EQ (storedDescriptor (w).loadFileAsString(), storedText);
    EXPECT_EQ (w.host.fatalCode.load(), 0);
}

TEST (ControlDescriptor, DownloadWithWrongRootCountsAsMissing)
{
    ContentWorld w;
    w.server.reply (descriptorPath, 200, "<?xml version=\"1.0\"?><SOMETHING_ELSE/>");
    w.appDataFolder().createDirectory();
    storedDescriptor (w).replaceWithText (descriptorWith ("", product ("Stored Unit", "33")));
    const auto storedText = storedDescriptor (w).loadFileAsString();

    ContentManager cm;

    awaitDescriptor (cm);
    EXPECT_FALSE (cm.isOnline());
    EXPECT_EQ (cm.getProductName (33), "Stored Unit");
    EXPECT_EQ (storedDescriptor (w).loadFileAsString(), storedText);
}

TEST (ControlDescriptor, ErrorPageWithADescriptorBodyIsNotADescriptor)
{
    ContentWorld w;
    w.server.failWith (descriptorPath, 500, descriptorWith ("", product ("Error Unit", "44")));
    w.installSampleContent();

    ContentManager cm;

    awaitDescriptor (cm);
    EXPECT_FALSE (cm.isOnline());
    EXPECT_EQ (cm.findProductIndex (44), -1);
    EXPECT_EQ (cm.getProductName (17), "Merle");
}

TEST (ControlDescriptor, InstalledCopyIsCopiedToTheDataFolder)
{
    ContentWorld w;
    w.server.failWith (descriptorPath, 404);
    w.installSampleContent();

    ContentManager cm;

    awaitDescriptor (cm);
    EXPECT_FALSE (cm.isOnline());
    EXPECT_EQ (w.host.fatalCode.load(), 0);
    EXPECT_EQ (cm.getProductName (18), "Merle XT");
    EXPECT_EQ (storedDescriptor (w).loadFileAsString(),
               w.installedContent().getChildFile ("masterDescriptor.xml").loadFileAsString());
}

// A stored copy with the wrong root, or one that names no product the program can use (as
// earlier versions stored from the web), counts as missing.
TEST (ControlDescriptor, StoredCopyWithWrongRootOrNoProductFallsBackToTheInstalledOne)
{
    for (auto stored : { "<WRONG><devices>" + product ("Wrong Unit", "55") + "</devices></WRONG>",
                         descriptorWith ("", product ("", "55")) })
    {
        ContentWorld w;
        w.server.failWith (descriptorPath, 404);
        w.appDataFolder().createDirectory();
        storedDescriptor (w).replaceWithText (stored);
        w.installSampleContent();

        ContentManager cm;

        awaitDescriptor (cm);
        EXPECT_EQ (cm.findProductIndex (55), -1);
        EXPECT_EQ (cm.getProductName (17), "Merle") << stored;
        EXPECT_EQ (w.host.fatalCode.load(), 0);
    }
}

TEST (ControlDescriptor, InstalledCopyIsReadInPlaceWhenTheDataFolderCannotTakeIt)
{
    ContentWorld w;
    w.server.failWith (descriptorPath, 404);
    w.installSampleContent();
    // A folder where the stored copy should go: the copy cannot be made.
    storedDescriptor (w).createDirectory();

    ContentManager cm;

    awaitDescriptor (cm);
    EXPECT_EQ (w.host.fatalCode.load(), 0);
    EXPECT_EQ (cm.getProductName (17), "Merle");
}

TEST (ControlDescriptor, NoDescriptorAnywhereIsFatalCodeTwo)
{
    ContentWorld w;
    w.server.failWith (descriptorPath, 404);

    ContentManager cm;

    awaitDescriptor (cm);
    EXPECT_EQ (w.host.fatalCode.load(), 2);
    EXPECT_FALSE (cm.hasControlDescriptor());
    EXPECT_FALSE (cm.parseControlDescriptor());
    EXPECT_TRUE (cm.getProductIds().isEmpty());
    EXPECT_EQ (cm.getDownloadThread(), nullptr);
    EXPECT_FALSE (storedDescriptor (w).exists());
}

TEST (ControlDescriptor, DeveloperOverrideIsUsedAndNeverWrittenBack)
{
    ContentWorld w;
    configureApplicationProperties();
    w.host.developer = true;
    TempFolder folder;
    auto developerCopy = folder.child ("dev descriptor.xml");
    developerCopy.replaceWithText (descriptorWith ("", product ("Dev Unit", "66")));
    setSetting (SettingsKeys::developerControlDescriptorUri, developerCopy.getFullPathName());

    {
        ContentManager cm;
        awaitDescriptor (cm);
        EXPECT_TRUE (cm.isOnline());   // the web copy was obtained
        EXPECT_EQ (cm.getProductIds(), (juce::Array<juce::uint8> { 66 }));
        EXPECT_FALSE (storedDescriptor (w).exists());
    }

    // A broken override is dropped: the downloaded descriptor is used and written back.
    developerCopy.replaceWithText ("<OTHER/>");
    ContentManager cm;
    awaitDescriptor (cm);
    EXPECT_EQ (cm.getProductName (17), "Merle");
    EXPECT_TRUE (storedDescriptor (w).existsAsFile());
    deleteApplicationProperties();
}

TEST (ControlDescriptor, ProductsWithoutUsableNameOrIdAreSkipped)
{
    ContentWorld w;
    w.server.reply (descriptorPath, 200, descriptorWith ("",
        product ("First", "1", "<manual>https://x.example/first</manual>")
        + product ("", "2")
        + "<product name=\"No Id\"/>"
        + product ("Too High", "128")
        + product ("Not A Number", "abc")
        + product ("Negative", "-3")
        + product ("..", "4")
        + product ("Sub/Folder", "5")
        + product ("Second", "127", "<pubDate>2019-03-01T12:30:00Z</pubDate>")
        + "<product name=\"Legacy\" sysexId=\"9\" allVersSupportGenSyxID=\"yes\"/>"
        + product ("Duplicate", "1")));

    ContentManager cm;

    awaitDescriptor (cm);
    EXPECT_EQ (cm.getProductIds(), (juce::Array<juce::uint8> { 1, 127, 9, 1 }));
    EXPECT_EQ (cm.findProductIndex (1), 0);
    EXPECT_EQ (cm.findProductIndex (9), 2);
    EXPECT_EQ (cm.findProductIndex (2), -1);
    EXPECT_EQ (cm.findProductIdByName ("Second"), 127);
    EXPECT_EQ (cm.findProductIdByName ("second"), 255);
    EXPECT_EQ (cm.findProductIdByName ("Unknown"), 255);
    EXPECT_EQ (cm.getProductName (1), "First");
    EXPECT_EQ (cm.getProductName (200), "");
    EXPECT_EQ (tagOfProductNamed (cm, 127), "Second");
    EXPECT_TRUE (cm.getAllVersSupportGenSyxID (9));
    EXPECT_FALSE (cm.getAllVersSupportGenSyxID (1));
    EXPECT_EQ (cm.getManualUrl (1), "https://x.example/first");
    EXPECT_EQ (cm.getManualUrl (127), cm.getDefaultManualLink());
    EXPECT_EQ (cm.getManualUrl (99), cm.getDefaultManualLink());
    EXPECT_FALSE (cm.isProductSynced (1));
    EXPECT_FALSE (cm.isProductSynced (99));

    // The product names name the data folders.
    EXPECT_TRUE (AppPaths::getProductFolder (127).endsWith ("Larkspire 2/Second"));
    EXPECT_TRUE (AppPaths::getProductFolder (2).isEmpty());
}

TEST (ControlDescriptor, LinksAndTheBuildInfoRule)
{
    ContentWorld w;
    w.server.reply (descriptorPath, 200, descriptorWith (
        "<larkSpire><latestBuildNo>139</latestBuildNo><latestBuildInfo>Old news</latestBuildInfo>"
        "<updateUrlPc>https://x.example/old</updateUrlPc><linkUserAccount>https://x.example/me</linkUserAccount>"
        "<linkConnectionFAQ>https://x.example/faq</linkConnectionFAQ></larkSpire>",
        product ("One", "1")));
    {
        ContentManager cm;
        awaitDescriptor (cm);
        EXPECT_EQ (cm.getLatestBuildInfo(), "");
        EXPECT_EQ (cm.getUpdateAddress(), "");
        EXPECT_EQ (cm.getAccountLink(), "https://x.example/me?agent=larkspire");
        EXPECT_EQ (cm.getConnectionFaqLink(), "https://x.example/faq");
        EXPECT_EQ (cm.getGeneralSupportLink(), WebRoot::getDefaultRoot() + "/support");
        EXPECT_EQ (cm.getProductSupportLink(), WebRoot::getDefaultRoot() + "/products/larkspire/support/");
        EXPECT_EQ (cm.getManualLink(), WebRoot::getDefaultRoot() + "/support/manuals/");
        EXPECT_EQ (cm.getDefaultManualLink(), WebRoot::getDefaultRoot() + "/support/manuals/");
    }

    w.server.reply (descriptorPath, 200, descriptorWith (
        "<larkSpire><latestBuildNo>140</latestBuildNo><latestBuildInfo>Larkspire 1.1.03 is here.</latestBuildInfo>"
        "<updateUrlPc>https://x.example/get</updateUrlPc></larkSpire>",
        product ("One", "1")));
    {
        ContentManager cm;
        awaitDescriptor (cm);
        EXPECT_EQ (cm.getLatestBuildInfo(), "Larkspire 1.1.03 is here.");
        EXPECT_EQ (cm.getUpdateAddress(), "https://x.example/get");
        EXPECT_EQ (cm.getAccountLink(), WebRoot::getDefaultRoot() + "/account?agent=larkspire");
    }

    // Without the application's element every link has its default.
    w.server.reply (descriptorPath, 200, descriptorWith ("", product ("One", "1")));
    ContentManager cm;
    awaitDescriptor (cm);
    EXPECT_EQ (cm.getAccountLink(), WebRoot::getDefaultRoot() + "/account?agent=larkspire");
    EXPECT_EQ (cm.getConnectionFaqLink(), WebRoot::getDefaultRoot() + "/support");
    EXPECT_TRUE (cm.getAccountLink().startsWith ("https://"));
}

TEST (ControlDescriptor, IsoDates)
{
    const auto expected = juce::Time (2019, 2, 1, 12, 30, 0, 0, false).toMilliseconds();
    EXPECT_EQ (parseIsoDateTime ("2019-03-01T12:30:00Z"), expected);
    EXPECT_EQ (parseIsoDateTime ("2019-03-01T12:30:00"), expected);
    EXPECT_EQ (parseIsoDateTime ("2019-03-01"), juce::Time (2019, 2, 1, 0, 0, 0, 0, false).toMilliseconds());
    EXPECT_EQ (parseIsoDateTime ("3000-01-01T00:00:00Z"), juce::Time (3000, 0, 1, 0, 0, 0, 0, false).toMilliseconds());

    for (auto text : { "1999-12-31T23:59:59Z", "3001-01-01T00:00:00Z", "", "garbage" })
    {
        const auto before = juce::Time::currentTimeMillis();
        const auto parsed = parseIsoDateTime (text);
        EXPECT_GE (parsed, before) << text;
        EXPECT_LE (parsed, juce::Time::currentTimeMillis()) << text;
    }
}

TEST (ControlDescriptor, XmlTagCheck)
{
    juce::XmlElement e ("CAPS");
    EXPECT_TRUE (isXmlElementWithTag (&e, "CAPS"));
    EXPECT_FALSE (isXmlElementWithTag (&e, "caps"));
    EXPECT_FALSE (isXmlElementWithTag (nullptr, "CAPS"));
}

TEST (ControlDescriptor, SeedingCopiesInstalledListsButNeverOverwrites)
{
    ContentWorld w;
    w.server.failWith (descriptorPath, 404);
    w.installSampleContent();

    auto merle = w.productFolder ("Merle");
    merle.createDirectory();
    merle.getChildFile ("caps.xml").replaceWithText ("<CAPS><capsKey>newer</capsKey></CAPS>");

    ContentManager cm;

    awaitDescriptor (cm);
    EXPECT_EQ (merle.getChildFile ("caps.xml").loadFileAsString(), "<CAPS><capsKey>newer</capsKey></CAPS>");
    EXPECT_EQ (merle.getChildFile ("firmware.xml").loadFileAsString(),
               w.installedContent().getChildFile ("Merle/firmware.xml").loadFileAsString());
    EXPECT_TRUE (merle.getChildFile ("rules.xml").existsAsFile());
    // Only the lists are seeded, not images, scripts or packs.
    EXPECT_FALSE (merle.getChildFile ("firmware").exists());
    EXPECT_FALSE (merle.getChildFile ("merle_packs.zip").exists());
    EXPECT_TRUE (w.productFolder ("Merle XT").getChildFile ("caps.xml").existsAsFile());
    EXPECT_TRUE (w.productFolder ("Piper").getChildFile ("caps.xml").existsAsFile());
}

TEST (ControlDescriptor, DefaultProductImage)
{
    auto image = createDefaultProductImage();
    EXPECT_EQ (image.getWidth(), 153);
    EXPECT_EQ (image.getHeight(), 152);
    EXPECT_EQ (image.getPixelAt (0, 0).getAlpha(), 0);
    EXPECT_GT (image.getPixelAt (76, 110).getAlpha(), 0);

    ContentWorld w;
    ContentManager cm;
    awaitDescriptor (cm);
    // Before any content is prepared, every product shows the default picture.
    EXPECT_EQ (cm.getProductImage (17, "Merle").getPixelAt (76, 110), image.getPixelAt (76, 110));
    EXPECT_EQ (cm.getProductImage (99, "").getWidth(), 153);
}

TEST (ControlDescriptor, ProcessWidePointerOwnsItsManager)
{
    ContentWorld w;
    setContentManager (newFetchedContentManager());
    ASSERT_NE (getContentManager(), nullptr);
    EXPECT_EQ (AppPaths::getProductName (18), "Merle XT");

    // Replacing it deletes the old one; the product names come from the new one.
    w.server.reply (descriptorPath, 200, descriptorWith ("", product ("Replacement", "18")));
    setContentManager (newFetchedContentManager());
    EXPECT_EQ (AppPaths::getProductName (18), "Replacement");

    setContentManager (nullptr);
    EXPECT_EQ (getContentManager(), nullptr);
    EXPECT_EQ (AppPaths::getProductName (18), "");
}
