#include <gtest/gtest.h>
#include "archive/CloudPackList.h"
#include "content/ContentDownloadThread.h"
#include "content/ContentManager.h"
#include "core/AppPaths.h"
#include "core/InfoCodes.h"
#include "model/DeviceCaps.h"
#include "support/BackupWorld.h"
#include "support/ContentWorld.h"
#include "support/RecordingDialogService.h"

using namespace testing_support;

namespace
{
    // A dialog service that also answers file choosers.
    struct ChoosingDialogs : RecordingDialogService
    {
        juce::File chosen;
        std::vector<juce::String> chooserTitles;
        juce::File chooseFile (ChooserMode, const juce::String& title, const juce::File&, const juce::String&) override
        {
            chooserTitles.push_back (title);
            return chosen;
        }
    };

    juce::StringArray labelsOf (const juce::ValueTree& node)
    {
        juce::StringArray labels;
        for (const auto& child : node)
            labels.add (child[SourceIds::label].toString());
        return labels;
    }

    // The sample product's content, synchronised from the test web service.
    bool syncMerle (ContentWorld& world, ContentManager& cm)
    {
        constexpr juce::uint8 merle = 17;
        if (! cm.prepareProduct (merle) || cm.getDownloadThread() == nullptr)
            return false;
        cm.getDownloadThread()->queueProduct (merle);
        return pumpUntil ([&] { return ! world.host.eventsWithCode (InfoCode::productSyncSucceeded).empty()
                                       || ! world.host.eventsWithCode (InfoCode::productSyncFailed).empty(); }, 60000)
            && world.host.eventsWithCode (InfoCode::productSyncFailed).empty();
    }

    juce::ValueTree child (const juce::ValueTree& node, const juce::String& label)
    {
        return node.getChildWithProperty (SourceIds::label, label);
    }

    void setText (juce::XmlElement& root, const char* tag, const juce::String& text)
    {
        auto* e = root.getChildByName (tag);
        e->deleteAllTextElements();
        e->addTextElement (text);
    }

    // The rules of another source that, once, write something as a conversion first asks for
    // them: the packs folder changes while the packs are listed.
    struct RulesThatWriteOnce : ConversionContent
    {
        RulesThatWriteOnce (const ConversionContent& r, std::function<void()> w) : rules (r), write (std::move (w)) {}

        juce::Array<ConversionRuleInfo> getConversionRules (juce::uint8 productId, int kind) const override
        {
            if (auto w = std::exchange (write, nullptr))
                w();
            return rules.getConversionRules (productId, kind);
        }
        std::unique_ptr<DeviceCaps> createDeviceCaps (juce::uint8 productId, int build) const override
        {
            return rules.createDeviceCaps (productId, build);
        }
        std::unique_ptr<DeviceCaps> createDeviceCapsForDataVersion (juce::uint8 productId, int kind, int version) const override
        {
            return rules.createDeviceCapsForDataVersion (productId, kind, version);
        }

        const ConversionContent& rules;
        mutable std::function<void()> write;
    };

    class PackTest : public ::testing::Test
    {
    protected:
        BackupWorld w;
        juce::File packs { AppPaths::getPacksFolder (veloce) };

        // A pack as the maker ships it: description and data side by side, the data named
        // relative to the description.
        juce::File writePack (const juce::String& relativeFolder, const juce::String& name, const DeviceDataFormat& format,
                              const juce::String& title, int specialSlot = -1, const juce::String& specialName = {})
        {
            const auto folder = packs.getChildFile (relativeFolder);
            folder.createDirectory();
            auto unit = versionUnit (format, { 1, 2 });
            if (specialSlot >= 0)
                unit->getPreset (specialSlot)->setName (specialName);
            const auto meta = writeArchiveItem (folder, name, *unit, title);
            auto xml = readXml (meta);
            setText (*xml, "linkData", name + ".ard");
            xml->writeTo (meta);
            return meta;
        }
    };
}

TEST_F (PackTest, PacksBecomeCloudNodesInTheirFolders)
{
    const auto studio = writePack ("Studio", "studio", w.newFormat, "Studio Pack");
    const auto deep = writePack ("Live/Deep", "deep", w.newFormat, "Deep Pack");
    const auto top = writePack ("", "top", w.newFormat, "Top Pack");
    packs.getChildFile ("Empty").createDirectory();
    const auto before = snapshotFolder (packs);

    CloudPackList list (veloce, w.newFormat, w.newVersion, &w.rules);
    auto cloud = list.getNode();
    EXPECT_EQ (cloud[SourceIds::category].toString(), "cloud");
    EXPECT_EQ (cloud[SourceIds::label].toString(), "Cloud");
    EXPECT_EQ (labelsOf (cloud).joinIntoString ("|"), "Empty|Live|Studio|Top Pack");
    EXPECT_EQ (labelsOf (child (cloud, "Live")).joinIntoString ("|"), "Deep");
    EXPECT_EQ (labelsOf (child (child (cloud, "Live"), "Deep")).joinIntoString ("|"), "Deep Pack");
    EXPECT_EQ (labelsOf (child (cloud, "Studio")).joinIntoString ("|"), "Studio Pack");

    // The relative data name was read from the pack's own folder; nothing was converted or written.
    auto* item = getSourceNodeArchive (child (child (child (cloud, "Live"), "Deep"), "Deep Pack"));
    ASSERT_NE (item, nullptr);
    EXPECT_EQ (item->getLinkData(), packs.getChildFile ("Live/Deep/deep.ard").getFullPathName());
    EXPECT_EQ (item->getPresetIndices(), juce::Array<int> ({ 1, 2 }));
    EXPECT_TRUE (isReadOnlySourceNode (child (cloud, "Studio")));
    EXPECT_EQ (snapshotFolder (packs), before);

    // Existing group nodes are reused.
    list.buildPackGroupNodes (cloud, packs);
    EXPECT_EQ (labelsOf (cloud).joinIntoString ("|"), "Empty|Live|Studio|Top Pack");
    EXPECT_EQ (list.findPackGroupNode (cloud, packs, packs), cloud);
    EXPECT_EQ (list.findPackGroupNode (cloud, packs, packs.getChildFile ("Live/Deep")), child (child (cloud, "Live"), "Deep"));
}

TEST_F (PackTest, OlderPacksAreConvertedAndSavedInPlace)
{
    const auto old = writePack ("Old", "old", w.oldFormat, "Old Pack");
    const auto failing = writePack ("Old", "failing", w.oldFormat, "Failing Pack", 2, "Bad");
    const auto failingBefore = fileBytes (failing);
    const auto failingData = fileBytes (failing.withFileExtension ("ard"));

    CloudPackList list (veloce, w.newFormat, w.newVersion, &w.rules);
    auto group = child (list.getNode(), "Old");
    // A pack that does not convert is left out and left as it was.
    EXPECT_EQ (labelsOf (group).joinIntoString ("|"), "Old Pack");
    EXPECT_EQ (fileBytes (failing), failingBefore);
    EXPECT_EQ (fileBytes (failing.withFileExtension ("ard")), failingData);

    auto* item = getSourceNodeArchive (group.getChild (0));
    ASSERT_NE (item, nullptr);
    EXPECT_EQ (item->getData()->getFormat(), w.newFormat);

    // Saved in place: the next listing needs no conversion, and the listing's own saves leave
    // it current.
    DeviceDataArchive reread (*readXml (old), packs);
    ASSERT_TRUE (reread.isValid());
    EXPECT_EQ (reread.getData()->getFormat(), w.newFormat);
    EXPECT_EQ (reread.getUuid(), item->getUuid());
    EXPECT_TRUE (list.isCurrent());

    // A pack written while the packs are listed (as the failing pack converts again) is shown
    // at the next refresh.
    RulesThatWriteOnce rules (w.rules, [this] { writePack ("New", "new", w.newFormat, "New Pack"); });
    CloudPackList listing (veloce, w.newFormat, w.newVersion, &rules);
    ASSERT_EQ (rules.write, nullptr);
    EXPECT_FALSE (labelsOf (listing.getNode()).contains ("New"));
    EXPECT_FALSE (listing.isCurrent());
    listing.reload();
    EXPECT_EQ (labelsOf (child (listing.getNode(), "New")).joinIntoString ("|"), "New Pack");
    EXPECT_TRUE (listing.isCurrent());
}

TEST_F (PackTest, PacksCannotReachOutsideTheirFolder)
{
    TempFolder outside;
    auto unit = versionUnit (w.newFormat, { 1 });
    const auto foreign = writeArchiveItem (outside.get(), "foreign", *unit, "Foreign");
    const auto outsideBefore = snapshotFolder (outside.get());

    // Absolute, climbing and linked paths out of the packs folder; an invalid description;
    // a pack of another product; a linked description.
    packs.createDirectory();
    auto escape = readXml (foreign);
    setText (*escape, "linkData", foreign.withFileExtension ("ard").getFullPathName());
    escape->writeTo (packs.getChildFile ("absolute.xml"));
    setText (*escape, "linkData", "../../../../../../../../../../.." + foreign.withFileExtension ("ard").getFullPathName());
    escape->writeTo (packs.getChildFile ("climbing.xml"));
    ASSERT_TRUE (outside.get().createSymbolicLink (packs.getChildFile ("linked"), true));
    setText (*escape, "linkData", "linked/foreign.ard");
    escape->writeTo (packs.getChildFile ("via_link.xml"));
    ASSERT_TRUE (foreign.createSymbolicLink (packs.getChildFile ("pointer.xml"), true));

    const auto broken = writePack ("Bad", "broken", w.newFormat, "Broken");
    auto brokenXml = readXml (broken);
    setText (*brokenXml, "md5", "short");
    brokenXml->writeTo (broken);

    auto otherFormat = versionFormat (cantor, 2, 2);
    const auto other = writePack ("Bad", "other", otherFormat, "Other Product");

    // A picture named by a web address is never fetched (the default picture stands in);
    // a picture file inside the pack is still shown.
    TempFolder site;
    juce::Image image (juce::Image::RGB, 4, 4, true);
    {
        juce::FileOutputStream out (site.child ("pic.png"));
        ASSERT_TRUE (juce::PNGImageFormat().writeImageToStream (image, out));
    }
    LocalHttpServer server (site.get());
    const auto good = writePack ("Good", "good", w.newFormat, "Good");
    ASSERT_TRUE (site.child ("pic.png").copyFileTo (packs.getChildFile ("Good/pic.png")));
    auto goodXml = readXml (good);
    setText (*goodXml, "linkImage", server.address ("/pic.png"));
    goodXml->writeTo (good);
    const auto framed = writePack ("Good", "framed", w.newFormat, "Framed");
    auto framedXml = readXml (framed);
    setText (*framedXml, "linkImage", "pic.png");
    framedXml->writeTo (framed);

    CloudPackList list (veloce, w.newFormat, w.newVersion, &w.rules);
    juce::Array<juce::ValueTree> nodes;
    std::function<void (const juce::ValueTree&)> collect = [&] (const juce::ValueTree& t)
    {
        for (const auto& c : t)
        {
            if (c.getType() == SourceIds::node)
                nodes.add (c);
            collect (c);
        }
    };
    collect (list.getNode());
    ASSERT_EQ (nodes.size(), 2);
    EXPECT_EQ (nodes[0][SourceIds::label].toString(), "Framed");
    EXPECT_EQ (nodes[1][SourceIds::label].toString(), "Good");
    EXPECT_NE (dynamic_cast<juce::DrawableImage*> (getSourceNodeArchive (nodes[0])->getPicture()), nullptr);
    EXPECT_TRUE (samePicture (*getSourceNodeArchive (nodes[1])->getPicture(), *DeviceDataArchive::createDefaultPicture()));
    EXPECT_TRUE (server.getRequests().empty());
    EXPECT_FALSE (child (list.getNode(), "linked").isValid());   // a linked folder is no group
    EXPECT_EQ (snapshotFolder (outside.get()), outsideBefore);
}

TEST_F (PackTest, ParseArchiveDate)
{
    const auto t = CloudPackList::parseArchiveDate ("20190701103005");
    EXPECT_EQ (t.getYear(), 2019);
    EXPECT_EQ (t.getMonth(), 6);
    EXPECT_EQ (t.getDayOfMonth(), 1);
    EXPECT_EQ (t.getHours(), 10);
    EXPECT_EQ (t.getMinutes(), 30);
    EXPECT_EQ (t.getSeconds(), 5);

    const auto earliest = juce::Time::getCurrentTime() - juce::RelativeTime::hours (1);
    for (auto bad : { "2019070110300", "2019-07-01 10:30", "20191301103005", "" })
        EXPECT_GT (CloudPackList::parseArchiveDate (bad), earliest) << bad;
}

TEST_F (PackTest, ListEntriesBecomePackItems)
{
    RecordingDialogService dialogs;
    TempFolder work;
    auto unit = versionUnit (w.oldFormat, { 1, 2 });
    const auto source = work.child ("source_data.ard");
    ASSERT_EQ (unit->writeToFile (source), 0);

    auto entry = juce::parseXML ("<archive><title>Warm Voices</title><description>Soft and close</description>"
                                 "<iconName>voi ce!</iconName><date>20200102030405</date>"
                                 "<dataURL>" + source.getFullPathName() + "</dataURL></archive>");
    const auto out = work.child ("out/warm.xml");
    out.getParentDirectory().createDirectory();
    ASSERT_TRUE (CloudPackList::convertArchiveListEntry (*entry, veloce, w.newVersion, out, &w.rules));
    EXPECT_TRUE (dialogs.boxes.empty());

    auto xml = readXml (out);
    ASSERT_NE (xml, nullptr);
    EXPECT_EQ (xml->getChildElementAllSubText ("linkData", {}), "source_data.ard");
    EXPECT_EQ (xml->getChildElementAllSubText ("linkImage", {}), "*archive_icon_voice.png");
    EXPECT_EQ (xml->getChildElementAllSubText ("title", {}), "Warm Voices");
    DeviceDataArchive item (*xml, out.getParentDirectory());
    ASSERT_TRUE (item.isValid());
    EXPECT_EQ (item.getData()->getFormat(), w.newFormat);
    EXPECT_EQ (item.getDescription(), "Soft and close");
    EXPECT_EQ (juce::Time (item.getPubDate()).getYear(), 2020);
    EXPECT_EQ (juce::Time (item.getPubDate()).getSeconds(), 5);
    EXPECT_TRUE (samePicture (*item.getPicture(), *resourcePicture ("archive_icon_voice_svg")));

    // An unknown icon is reported and the item keeps the default picture.
    auto noIcon = juce::parseXML ("<archive><iconName>nothing</iconName><dataURL>" + source.getFullPathName()
                                  + "</dataURL></archive>");
    ASSERT_TRUE (CloudPackList::convertArchiveListEntry (*noIcon, veloce, w.newVersion, work.child ("out/x.xml"), &w.rules));
    ASSERT_EQ (dialogs.boxes.size(), 1u);
    EXPECT_EQ (dialogs.boxes[0].title, "Error");
    EXPECT_EQ (dialogs.boxes[0].message, "Can't find icon: archive_icon_nothing");
    EXPECT_EQ (readXml (work.child ("out/x.xml"))->getChildElementAllSubText ("title", {}), "???");

    // Data that cannot be loaded, or does not convert, is skipped with its reason.
    auto missing = juce::parseXML ("<archive><title>Gone</title><dataURL>" + work.child ("none.ard").getFullPathName()
                                   + "</dataURL></archive>");
    EXPECT_FALSE (CloudPackList::convertArchiveListEntry (*missing, veloce, w.newVersion, work.child ("out/g.xml"), &w.rules));
    EXPECT_EQ (dialogs.boxes.back().message, "Couldn't load Gone. The archive will be skipped.");
    EXPECT_FALSE (work.child ("out/g.xml").exists());

    unit->getPreset (1)->setName ("Bad");
    ASSERT_EQ (unit->writeToFile (work.child ("bad.ard")), 0);
    auto bad = juce::parseXML ("<archive><title>Broken</title><dataURL>" + work.child ("bad.ard").getFullPathName()
                               + "</dataURL></archive>");
    EXPECT_FALSE (CloudPackList::convertArchiveListEntry (*bad, veloce, w.newVersion, work.child ("out/b.xml"), &w.rules));
    EXPECT_EQ (dialogs.boxes.back().message, "Data conversion failed on Broken. \n\nError: bad preset");
    EXPECT_FALSE (work.child ("out/b.xml").exists());
}

TEST (PackTools, PackConversionFromAListFile)
{
    ContentWorld world;
    setContentManager (newFetchedContentManager());
    auto* cm = getContentManager();
    constexpr juce::uint8 merle = 17;
    ASSERT_TRUE (syncMerle (world, *cm));
    const auto latest = cm->getLatestFirmware (merle);
    ASSERT_GT (latest.getBuild(), 0);
    auto caps = cm->createDeviceCaps (merle, latest.getBuild());
    ASSERT_NE (caps, nullptr);

    TempFolder work;
    DeviceData data (latest.getVersion(), caps->getFormat(), nullptr);
    data.setPreset (1, makePreset (caps->getFormat(), 1, "Shine", 1, 3));
    ASSERT_EQ (data.writeToFile (work.child ("shine.ard")), 0);

    const auto listFile = work.child ("pack/presets.xml");
    listFile.getParentDirectory().createDirectory();
    listFile.replaceWithText ("<PRESETS><product name=\"Merle\"/>"
                              "<archive><title>Shine</title><iconName>stage</iconName><date>20210101000000</date>"
                              "<dataURL>" + work.child ("shine.ard").getFullPathName() + "</dataURL></archive>"
                              "<archive><title>Lost</title><dataURL>" + work.child ("lost.ard").getFullPathName()
                              + "</dataURL></archive></PRESETS>");
    const auto output = listFile.getParentDirectory().getChildFile ("temp");
    output.createDirectory();
    output.getChildFile ("notes.txt").replaceWithText ("keep me");
    output.getChildFile ("stale.xml").replaceWithText ("<old/>");

    {
        ChoosingDialogs dialogs;
        EXPECT_EQ (CloudPackList::convertPresetPack (listFile.getFullPathName()), 1);
        ASSERT_GE (dialogs.boxes.size(), 4u);
        // The question first, then what is being converted, each a box of its own.
        EXPECT_EQ (dialogs.boxes[0].message, "Convert the preset pack listed in " + listFile.getFullPathName() + "?");
        EXPECT_EQ (dialogs.boxes[0].buttons, (juce::StringArray { "Start Conversion", "Cancel" }));
        EXPECT_EQ (dialogs.boxes[1].message,
                   "Converting preset pack for Merle. For version: " + getVersionText (latest.getVersion()));
        EXPECT_EQ (dialogs.boxes[1].buttons, (juce::StringArray { "OK" }));
        EXPECT_EQ (dialogs.boxes[2].message, "Couldn't load Lost. The archive will be skipped.");
        EXPECT_EQ (dialogs.boxes[3].message, "Failed to convert: Lost");

        EXPECT_TRUE (output.getChildFile ("shine.xml").existsAsFile());
        EXPECT_TRUE (output.getChildFile ("shine.ard").existsAsFile());
        EXPECT_FALSE (output.getChildFile ("stale.xml").exists());
        EXPECT_EQ (output.getChildFile ("notes.txt").loadFileAsString(), "keep me");
        DeviceDataArchive item (*readXml (output.getChildFile ("shine.xml")), output);
        EXPECT_TRUE (item.isValid());
        EXPECT_EQ (item.getLinkImage(), "*archive_icon_stage.png");
    }
    {
        // Declining the question converts nothing.
        ChoosingDialogs dialogs;
        dialogs.answerWith ({ 1 });
        EXPECT_EQ (CloudPackList::convertPresetPack (listFile.getFullPathName()), 0);
        EXPECT_EQ (dialogs.boxes.size(), 1u);
    }
    {
        // A list whose root is not "PRESETS" converts nothing.
        ChoosingDialogs dialogs;
        work.child ("wrong.xml").replaceWithText ("<PACKS><product name=\"Merle\"/></PACKS>");
        EXPECT_EQ (CloudPackList::convertPresetPack (work.child ("wrong.xml").getFullPathName()), 0);
        ASSERT_EQ (dialogs.boxes.size(), 1u);
        EXPECT_EQ (dialogs.boxes[0].message, "Something went wrong. Figure it out.");
    }
    {
        // Without a list the user is asked for one; cancelling ends the tool.
        ChoosingDialogs dialogs;
        EXPECT_EQ (CloudPackList::convertPresetPack ({}), 0);
        ASSERT_EQ (dialogs.chooserTitles.size(), 1u);
        EXPECT_EQ (dialogs.chooserTitles[0], "Select Source Pack");
        EXPECT_TRUE (dialogs.boxes.empty());
    }
    {
        // A folder of pack folders: each with a list is converted, the others are reported.
        ChoosingDialogs dialogs;
        work.child ("nolist").createDirectory();
        dialogs.chosen = work.get();
        CloudPackList::convertPresetPackFolder();
        EXPECT_EQ (dialogs.chooserTitles[0], "Select Preset Source Folder");
        juce::StringArray messages;
        for (auto& b : dialogs.boxes)
            messages.add (b.message);
        EXPECT_TRUE (messages.contains ("Can't find: " + work.child ("nolist/presets.xml").getFullPathName() + ". Skipping."));
        EXPECT_TRUE (messages.contains ("Failed to convert: Lost"));
    }
    setContentManager (nullptr);
}

TEST (PackTools, TheSamplePacksAppearForTheUnit)
{
    ContentWorld world;
    setContentManager (newFetchedContentManager());
    auto* cm = getContentManager();
    constexpr juce::uint8 merle = 17;
    ASSERT_TRUE (syncMerle (world, *cm));
    ASSERT_TRUE (juce::File (AppPaths::getPacksFolder (merle)).getChildFile ("Studio Voices/studio_voices.xml").existsAsFile());

    // A unit whose data versions match the packs: shown as they are.
    auto caps140 = cm->createDeviceCaps (merle, 140);
    ASSERT_NE (caps140, nullptr);
    const auto before = snapshotFolder (AppPaths::getPacksFolder (merle));
    {
        CloudPackList list (merle, caps140->getFormat(), VersionNumber (0, 1, 2, 0, 140, 0));
        auto cloud = list.getNode();
        EXPECT_EQ (labelsOf (cloud).joinIntoString ("|"), "Live Essentials|Studio Voices");
        auto studio = child (cloud, "Studio Voices").getChild (0);
        EXPECT_EQ (studio[SourceIds::label].toString(), "Studio Voices");
        auto* item = getSourceNodeArchive (studio);
        ASSERT_NE (item, nullptr);
        EXPECT_EQ (item->getPresetNames().joinIntoString (","), "Dry Lead,Tight Double,Soft Third,Whisper Air,Vintage Tape,Radio Voice");
        EXPECT_EQ (makeSourceNodeTitle (studio), "Studio Voices");   // not under a root: the node alone
    }
    EXPECT_EQ (snapshotFolder (AppPaths::getPacksFolder (merle)), before);

    // A unit with older firmware: the packs are converted by the product's own rules and
    // kept converted.
    auto capsOld = cm->createDeviceCaps (merle, 100);
    ASSERT_NE (capsOld, nullptr);
    ASSERT_NE (capsOld->getPresetVersion(), caps140->getPresetVersion());
    {
        CloudPackList list (merle, capsOld->getFormat(), VersionNumber (0, 1, 0, 0, 100, 0));
        auto cloud = list.getNode();
        EXPECT_EQ (labelsOf (cloud).joinIntoString ("|"), "Live Essentials|Studio Voices");
        auto* item = getSourceNodeArchive (child (cloud, "Live Essentials").getChild (0));
        ASSERT_NE (item, nullptr);
        EXPECT_TRUE (item->getData()->hasSameFormat (capsOld->getFormat()));
        EXPECT_EQ (item->getPresetNames().size(), 4);
    }
    const auto studioFile = juce::File (AppPaths::getPacksFolder (merle)).getChildFile ("Studio Voices/studio_voices.xml");
    DeviceDataArchive reread (*readXml (studioFile), juce::File (AppPaths::getPacksFolder (merle)));
    ASSERT_TRUE (reread.isValid());
    EXPECT_TRUE (reread.getData()->hasSameFormat (capsOld->getFormat()));
    setContentManager (nullptr);
}
