#include <gtest/gtest.h>
#include "archive/DeviceDataArchive.h"
#include "model/SysExCodec.h"
#include "support/ArchiveFixtures.h"
#include "support/TestEnvironment.h"
#include "model/AtomicFileWriter.h"
#include <thread>

using namespace testing_support;

namespace
{
    class ArchiveItemTest : public ::testing::Test
    {
    protected:
        ScopedProductNames names;
        TempFolder folder;
        DeviceDataFormat format = smallFormat (8);

        std::unique_ptr<DeviceData> data (int seed = 1) { return makeUnitData (format, { 1, 3, 4 }, seed); }

        // A saved item in the temporary folder, read back from its description.
        std::unique_ptr<DeviceDataArchive> savedAndReadBack (const juce::String& name = "item")
        {
            auto d = data();
            auto meta = writeArchiveItem (folder.get(), name, *d, "Saved " + name);
            auto xml = readXml (meta);
            return xml != nullptr ? std::make_unique<DeviceDataArchive> (*xml, folder.get()) : nullptr;
        }

        std::unique_ptr<juce::XmlElement> descriptionWith (const juce::String& tag, const juce::String& text)
        {
            auto d = data();
            auto xml = readXml (writeArchiveItem (folder.get(), "base", *d, "Base"));
            if (auto* e = xml->getChildByName (tag))
            {
                e->deleteAllTextElements();
                e->addTextElement (text);
            }
            return xml;
        }
    };
}

TEST_F (ArchiveItemTest, DescriptionHasItsChildrenInOrder)
{
    auto d = data();
    DeviceDataArchive item (d.get(), "Gig", "Friday night");
    item.setLinkData ("/somewhere/gig.ard");
    item.computeMd5();
    auto xml = item.createMetaXml();
    ASSERT_NE (xml, nullptr);
    EXPECT_EQ (xml->getTagName(), "ARCHIVE");

    juce::StringArray tags;
    for (auto* child : xml->getChildIterator())
        tags.add (child->getTagName());
    EXPECT_EQ (tags.joinIntoString (","),
               "uuid,md5,arVersion,product,buildNo,author,title,description,pubDate,linkImage,linkData");

    EXPECT_EQ (xml->getChildElementAllSubText ("uuid", {}), item.getUuid().toString());
    EXPECT_EQ (xml->getChildElementAllSubText ("uuid", {}).length(), 32);
    EXPECT_EQ (xml->getChildElementAllSubText ("md5", {}), item.getMd5());
    EXPECT_EQ (xml->getChildElementAllSubText ("arVersion", {}), "139");
    EXPECT_EQ (xml->getChildByName ("product")->getStringAttribute ("sysexId"), "21");
    EXPECT_EQ (xml->getChildElementAllSubText ("buildNo", {}), "140");
    EXPECT_EQ (xml->getChildByName ("author")->getStringAttribute ("name"), "Larkspire");
    EXPECT_EQ (xml->getChildByName ("author")->getStringAttribute ("id"), "1");
    EXPECT_EQ (xml->getChildElementAllSubText ("title", {}), "Gig");
    EXPECT_EQ (xml->getChildElementAllSubText ("description", {}), "Friday night");
    EXPECT_EQ (xml->getChildElementAllSubText ("pubDate", {}), juce::String (item.getPubDate()));
    EXPECT_EQ (xml->getChildElementAllSubText ("linkImage", {}), "*");
    EXPECT_EQ (xml->getChildElementAllSubText ("linkData", {}), "/somewhere/gig.ard");
}

TEST_F (ArchiveItemTest, ProductIdIsTwoUpperCaseHexDigits)
{
    auto f = format;
    f.productId = 0x0A;
    DeviceData d (VersionNumber (0, 1, 0, 0, 7, 0), f, nullptr);
    DeviceDataArchive item (&d, "t", "d");
    EXPECT_EQ (item.createMetaXml()->getChildByName ("product")->getStringAttribute ("sysexId"), "0A");

    f.productId = 0xAB;
    DeviceData e (VersionNumber (0, 1, 0, 0, 7, 0), f, nullptr);
    DeviceDataArchive other (&e, "t", "d");
    EXPECT_EQ (other.createMetaXml()->getChildByName ("product")->getStringAttribute ("sysexId"), "AB");
}

TEST_F (ArchiveItemTest, NewItemsAndTheirSummary)
{
    auto d = data();
    DeviceDataArchive item (d.get(), "Title", "Text");
    EXPECT_TRUE (item.isValid());
    EXPECT_TRUE (item.isModified());
    EXPECT_TRUE (item.getMd5().isEmpty());
    EXPECT_EQ (item.getAuthorId(), 1);
    EXPECT_EQ (item.getAuthorName(), "Larkspire");
    EXPECT_EQ (item.getLinkImage(), "*");
    EXPECT_NE (item.getData(), d.get());
    EXPECT_EQ (item.getProductId(), 0x21);
    EXPECT_EQ (item.getBuildNo(), 140);
    EXPECT_EQ (item.getPresetIndices(), juce::Array<int> ({ 1, 3, 4 }));
    EXPECT_EQ (item.getPresetNames().joinIntoString (","), "P1,P3,P4");
    EXPECT_TRUE (item.getHasPresets());
    EXPECT_TRUE (item.getHasCompleteSetup());
    EXPECT_NE (item.getPicture(), nullptr);

    // A build number above 32767 reads back sign-extended, as the 16-bit field holds it.
    DeviceData high (VersionNumber (0, 1, 0, 0, 40000, 0), format, nullptr);
    EXPECT_EQ (DeviceDataArchive (&high, "h", "").getBuildNo(), (juce::int16) 40000);

    DeviceDataArchive empty (nullptr, "None", "");
    EXPECT_FALSE (empty.isValid());
    EXPECT_EQ (empty.getProductId(), 255);
    EXPECT_EQ (empty.getBuildNo(), 0);
    EXPECT_FALSE (empty.getHasPresets());
    EXPECT_TRUE (empty.getPresetNames().isEmpty());
}

TEST_F (ArchiveItemTest, ChecksumCoversTheExactByteStream)
{
    auto d = data();
    DeviceDataArchive item (d.get(), "Sum", "Of the parts");
    item.setPubDate (1561975200000);
    item.computeMd5();

    juce::MemoryOutputStream expected;
    auto* own = item.getData();
    for (int i = 1; i < own->getNumSlots(); ++i)
        if (auto* p = own->getPreset (i))
            expected << p->getMd5().getRawChecksumData();
    expected << own->getSetup().getMd5().getRawChecksumData();
    for (auto text : { item.getUuid().toString(), juce::String ("139"), juce::String ("1"), juce::String ("Larkspire"),
                       juce::String ("Sum"), juce::String ("Of the parts"), juce::String ("1561975200000"),
                       juce::String ("*") })
        expected.write (text.toRawUTF8(), text.getNumBytesAsUTF8());

    EXPECT_EQ (item.getMd5(), juce::MD5 (expected.getMemoryBlock()).toHexString());
    EXPECT_EQ (item.getMd5().length(), 32);
    EXPECT_EQ (item.getMd5(), item.getMd5().toLowerCase());

    // Slot 0 never counts; the title always does.
    const auto before = item.getMd5();
    item.getData()->setPreset (0, makePreset (format, 0, "Zero", 1, 77));
    item.computeMd5();
    EXPECT_EQ (item.getMd5(), before);

    item.setTitle ("Sum 2");
    EXPECT_TRUE (item.getMd5().isEmpty());
    item.computeMd5();
    EXPECT_NE (item.getMd5(), before);

    // An incomplete setup adds nothing.
    auto partial = makeUnitData (format, { 1, 3, 4 }, 1, false);
    partial->getSetup().addMessage (buildSetupMessages ({ 1, 2, 3, 4, 5, 6 }, format)[0]);
    DeviceDataArchive noSetup (partial.get(), "Sum", "Of the parts");
    noSetup.setPubDate (1561975200000);
    noSetup.computeMd5();
    juce::MemoryOutputStream withoutSetup;
    for (int i = 1; i < own->getNumSlots(); ++i)
        if (auto* p = partial->getPreset (i))
            withoutSetup << p->getMd5().getRawChecksumData();
    for (auto text : { noSetup.getUuid().toString(), juce::String ("139"), juce::String ("1"), juce::String ("Larkspire"),
                       juce::String ("Sum"), juce::String ("Of the parts"), juce::String ("1561975200000"),
                       juce::String ("*") })
        withoutSetup.write (text.toRawUTF8(), text.getNumBytesAsUTF8());
    EXPECT_EQ (noSetup.getMd5(), juce::MD5 (withoutSetup.getMemoryBlock()).toHexString());
}

TEST_F (ArchiveItemTest, BitmapPictureEntersTheChecksumAsPng)
{
    juce::Image image (juce::Image::ARGB, 4, 4, true);
    image.setPixelAt (1, 1, juce::Colours::red);
    juce::MemoryOutputStream pngBytes;
    juce::PNGImageFormat().writeImageToStream (image, pngBytes);
    const auto pictureFile = folder.child ("picture.png");
    ASSERT_TRUE (pictureFile.replaceWithData (pngBytes.getData(), pngBytes.getDataSize()));

    auto xml = descriptionWith ("linkImage", pictureFile.getFullPathName());
    DeviceDataArchive item (*xml, folder.get());
    ASSERT_TRUE (item.isValid());
    auto* bitmap = dynamic_cast<juce::DrawableImage*> (item.getPicture());
    ASSERT_NE (bitmap, nullptr);
    EXPECT_EQ (bitmap->getImage().getPixelAt (1, 1), juce::Colours::red);

    item.computeMd5();
    juce::MemoryOutputStream expected;
    auto* d = item.getData();
    for (int i = 1; i < d->getNumSlots(); ++i)
        if (auto* p = d->getPreset (i))
            expected << p->getMd5().getRawChecksumData();
    expected << d->getSetup().getMd5().getRawChecksumData();
    for (auto text : { item.getUuid().toString(), juce::String (item.getArVersion()), juce::String (item.getAuthorId()),
                       item.getAuthorName(), item.getTitle(), item.getDescription(), juce::String (item.getPubDate()) })
        expected.write (text.toRawUTF8(), text.getNumBytesAsUTF8());
    juce::PNGImageFormat().writeImageToStream (bitmap->getImage(), expected);
    EXPECT_EQ (item.getMd5(), juce::MD5 (expected.getMemoryBlock()).toHexString());
}

TEST_F (ArchiveItemTest, SavedItemsReadBackWhole)
{
    auto d = data();
    DeviceDataArchive item (d.get(), "Round trip", "Line one\nLine two <&>");
    item.setPubDate (1561975200000);
    item.setHomeFolder (folder.get());
    item.setLinkData ("trip.ard");   // relative: beside the description
    const auto meta = folder.child ("trip.xml");
    ASSERT_TRUE (item.save (meta));
    EXPECT_FALSE (item.isModified());
    EXPECT_EQ (item.getMd5().length(), 32);
    EXPECT_TRUE (folder.child ("trip.ard").existsAsFile());
    EXPECT_TRUE (meta.loadFileAsString().startsWith ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));

    auto xml = readXml (meta);
    ASSERT_NE (xml, nullptr);
    DeviceDataArchive back (*xml, folder.get());
    ASSERT_TRUE (back.isValid());
    EXPECT_FALSE (back.isModified());
    EXPECT_EQ (back.getUuid(), item.getUuid());
    EXPECT_EQ (back.getMd5(), item.getMd5());
    EXPECT_EQ (back.getTitle(), "Round trip");
    EXPECT_EQ (back.getDescription(), "Line one\nLine two <&>");
    EXPECT_EQ (back.getPubDate(), 1561975200000);
    EXPECT_EQ (back.getAuthorName(), "Larkspire");
    EXPECT_EQ (back.getArVersion(), 139);
    EXPECT_EQ (back.getPresetNames().joinIntoString (","), "P1,P3,P4");
    EXPECT_TRUE (back.getHasCompleteSetup());
    for (int i = 0; i < d->getNumSlots(); ++i)
        EXPECT_EQ (back.getData()->hasPreset (i), d->hasPreset (i));
    EXPECT_TRUE (back.getData()->getPreset (3)->isSamePreset (*d->getPreset (3)));

    // The checksum is reproducible from what was read.
    back.computeMd5();
    EXPECT_EQ (back.getMd5(), item.getMd5());

    // A 2019 date in the test's UTC zone.
    EXPECT_EQ (back.getDateText(), "Jul 01, 2019 - 10:00 AM");

    // Data is always stored as ".ard"; a link with another ending is saved naming that file.
    for (auto link : { juce::String ("tour.dat"), juce::String ("tour"), folder.child ("tour.ARD").getFullPathName() })
    {
        folder.child ("tour.ard").deleteFile();
        back.setLinkData (link);
        ASSERT_TRUE (back.save (folder.child ("tour.xml"))) << link;
        auto tour = readXml (folder.child ("tour.xml"));
        ASSERT_NE (tour, nullptr);
        const auto saved = tour->getChildElementAllSubText ("linkData", {});
        EXPECT_EQ (saved, juce::File::isAbsolutePath (link) ? folder.child ("tour.ard").getFullPathName()
                                                            : juce::String ("tour.ard")) << link;
        EXPECT_EQ (back.getLinkData(), saved);
        DeviceDataArchive again (*tour, folder.get());
        EXPECT_TRUE (again.isValid()) << link;
        EXPECT_EQ (again.getPresetNames().joinIntoString (","), "P1,P3,P4");
    }
    EXPECT_FALSE (folder.child ("tour.dat").exists() || folder.child ("tour").exists() || folder.child ("tour.ARD").exists());
}

TEST_F (ArchiveItemTest, ValidityRules)
{
    {
        auto good = descriptionWith ("title", "fine");
        EXPECT_TRUE (DeviceDataArchive (*good, folder.get()).isValid());
    }
    for (auto md5 : { juce::String ("0123456789abcdef0123456789abcde"), juce::String ("0123456789abcdef0123456789abcdef0"),
                      juce::String() })
    {
        auto xml = descriptionWith ("md5", md5);
        EXPECT_FALSE (DeviceDataArchive (*xml, folder.get()).isValid()) << md5;
    }
    {
        auto xml = descriptionWith ("uuid", "  ");
        EXPECT_FALSE (DeviceDataArchive (*xml, folder.get()).isValid());
    }
    for (auto tag : { "product", "author" })
    {
        auto xml = descriptionWith ("title", "x");
        xml->removeChildElement (xml->getChildByName (tag), true);
        EXPECT_FALSE (DeviceDataArchive (*xml, folder.get()).isValid()) << tag;
    }
    {
        auto xml = descriptionWith ("title", "x");
        xml->setTagName ("ARCHIVES");
        EXPECT_FALSE (DeviceDataArchive (*xml, folder.get()).isValid());
    }
    {
        auto xml = descriptionWith ("linkData", folder.child ("nothing.ard").getFullPathName());
        DeviceDataArchive item (*xml, folder.get());
        EXPECT_FALSE (item.isValid());
        EXPECT_EQ (item.getData(), nullptr);
        EXPECT_EQ (item.getProductId(), 255);
    }
    {
        // Missing text elements read as empty; order does not matter.
        auto xml = descriptionWith ("title", "x");
        auto* title = xml->getChildByName ("title");
        xml->removeChildElement (xml->getChildByName ("description"), true);
        xml->removeChildElement (title, false);
        xml->addChildElement (title);
        auto* author = xml->getChildByName ("author");
        author->removeAttribute ("id");
        DeviceDataArchive item (*xml, folder.get());
        EXPECT_TRUE (item.isValid());
        EXPECT_EQ (item.getTitle(), "x");
        EXPECT_TRUE (item.getDescription().isEmpty());
        EXPECT_EQ (item.getAuthorId(), -1);
    }
}

TEST_F (ArchiveItemTest, CopiesHaveTheirOwnIdentityAndData)
{
    auto original = savedAndReadBack();
    ASSERT_NE (original, nullptr);
    ASSERT_TRUE (original->isValid());

    DeviceDataArchive copy (*original);
    EXPECT_NE (copy.getUuid(), original->getUuid());
    EXPECT_TRUE (copy.getMd5().isEmpty());
    EXPECT_TRUE (copy.getLinkData().isEmpty());
    EXPECT_TRUE (copy.isModified());
    EXPECT_TRUE (copy.isValid());
    EXPECT_EQ (copy.getTitle(), original->getTitle());
    EXPECT_EQ (copy.getPubDate(), original->getPubDate());
    ASSERT_NE (copy.getData(), nullptr);
    EXPECT_NE (copy.getData(), original->getData());
    EXPECT_NE (copy.getPicture(), original->getPicture());
    EXPECT_TRUE (samePicture (*copy.getPicture(), *original->getPicture()));

    copy.getData()->removePreset (3);
    EXPECT_TRUE (original->getData()->hasPreset (3));

    // Through the data model's interface as well.
    auto viaBase = original->createArchiveCopy();
    auto* typed = dynamic_cast<DeviceDataArchive*> (viaBase.get());
    ASSERT_NE (typed, nullptr);
    EXPECT_NE (typed->getUuid(), original->getUuid());
    EXPECT_TRUE (typed->getLinkData().isEmpty());
}

TEST_F (ArchiveItemTest, AFailedSaveLeavesTheOldFilesByteIdentical)
{
    auto d = data();
    const auto meta = writeArchiveItem (folder.get(), "keep", *d, "Keep me");
    ASSERT_TRUE (meta.existsAsFile());
    const auto before = snapshotFolder (folder.get());

    auto xml = readXml (meta);
    DeviceDataArchive item (*xml, folder.get());
    ASSERT_TRUE (item.isValid());

    // An incomplete setup cannot be stored whole: nothing is written.
    item.getData()->getSetup().clear();
    item.getData()->getSetup().addMessage (buildSetupMessages ({ 1, 2, 3, 4, 5, 6 }, format)[0]);
    item.setTitle ("Changed");
    EXPECT_FALSE (item.save (meta));
    EXPECT_TRUE (item.isModified());
    EXPECT_EQ (snapshotFolder (folder.get()), before);

    // A description path that is a folder fails before anything is written.
    DeviceDataArchive fresh (d.get(), "Fresh", "");
    fresh.setHomeFolder (folder.get());
    fresh.setLinkData (meta.withFileExtension ("ard").getFullPathName());
    ASSERT_TRUE (folder.child ("dir.xml").createDirectory());
    EXPECT_FALSE (fresh.save (folder.child ("dir.xml")));
    EXPECT_TRUE (fresh.isModified());
    folder.child ("dir.xml").deleteRecursively();
    EXPECT_EQ (snapshotFolder (folder.get()), before);

    // A write that fails leaves the item naming the files on disk: a new one still names none.
    const auto blocked = folder.child (".new.xml.data.tmp");
    ASSERT_TRUE (blocked.getChildFile ("in the way").create());
    DeviceDataArchive made (d.get(), "New", "");
    made.setHomeFolder (folder.get());
    EXPECT_FALSE (made.save (folder.child ("new.xml")));
    EXPECT_TRUE (made.getLinkData().isEmpty()) << made.getLinkData();
    EXPECT_TRUE (made.isModified());
    blocked.deleteRecursively();
    EXPECT_EQ (snapshotFolder (folder.get()), before);
}

TEST_F (ArchiveItemTest, ASaveCutShortIsCompletedOrUndoneBeforeTheItemIsRead)
{
    auto d = data();
    const auto meta = writeArchiveItem (folder.get(), "pair", *d, "Old");
    const auto oldFiles = snapshotFolder (folder.get());
    const auto metaTemporary = folder.child (".pair.xml.tmp"), dataTemporary = folder.child (".pair.xml.data.tmp");

    // Cut short before anything was replaced: the old pair stands, the temporaries go.
    writeFile (dataTemporary, { 1, 2 });
    writeFile (metaTemporary, { '<' });
    DeviceDataArchive::finishInterruptedSave (meta);
    EXPECT_EQ (snapshotFolder (folder.get()), oldFiles);

    // Cut short after the data was replaced: the whole new description takes its place.
    DeviceDataArchive item (*readXml (meta), folder.get());
    item.setData (*makeUnitData (format, { 2 }, 7));
    item.setTitle ("New");
    ASSERT_TRUE (item.save (meta));
    const auto newFiles = snapshotFolder (folder.get());
    ASSERT_TRUE (meta.moveFileTo (metaTemporary));
    writeFile (meta, oldFiles.at ("pair.xml"));
    DeviceDataArchive::finishInterruptedSave (meta);
    EXPECT_EQ (snapshotFolder (folder.get()), newFiles);
    DeviceDataArchive back (*readXml (meta), folder.get());
    EXPECT_EQ (back.getTitle(), "New");
    EXPECT_EQ (back.getPresetIndices(), juce::Array<int> ({ 2 }));

    // An unfinished description by itself is dropped, also one cut off inside its root's
    // opening tag (which the parser alone takes for an empty description).
    const auto& whole = newFiles.at ("pair.xml");
    const auto text = juce::String::fromUTF8 ((const char*) whole.data(), (int) whole.size());
    for (auto cut : { (long) whole.size() / 2, (long) (text.indexOf ("<ARCHIVE") + 8) })
    {
        writeFile (metaTemporary, Bytes (whole.begin(), whole.begin() + cut));
        DeviceDataArchive::finishInterruptedSave (meta);
        EXPECT_EQ (snapshotFolder (folder.get()), newFiles) << cut;
    }

    // A link by a temporary's name is never followed: it goes, and what it points to stays.
    TempFolder outside;
    writeFile (outside.child ("other.xml"), oldFiles.at ("pair.xml"));
    ASSERT_TRUE (outside.child ("other.xml").createSymbolicLink (metaTemporary, true));
    DeviceDataArchive::finishInterruptedSave (meta);
    EXPECT_EQ (snapshotFolder (folder.get()), newFiles);
    EXPECT_FALSE (metaTemporary.isSymbolicLink());
    EXPECT_EQ (fileBytes (outside.child ("other.xml")), oldFiles.at ("pair.xml"));

    // A save of the description still running in this process (its data in place, its whole
    // description in its temporary): the check on another thread waits for it and takes none
    // of its files, so the save ends whole.
    writeFile (meta, oldFiles.at ("pair.xml"));
    std::atomic<bool> checked { false };
    std::thread check;
    {
        AtomicFileWriter running (meta);
        ASSERT_NE (running.getStream(), nullptr);
        running.getStream()->write (whole.data(), whole.size());
        ASSERT_TRUE (running.finish());
        check = std::thread ([&] { DeviceDataArchive::finishInterruptedSave (meta); checked = true; });
        pumpUntil ([&] { return checked.load(); }, 1000);   // the check's chance to interfere
        EXPECT_TRUE (running.commit());
    }
    check.join();
    EXPECT_TRUE (checked);
    EXPECT_EQ (snapshotFolder (folder.get()), newFiles);
}

TEST_F (ArchiveItemTest, FilesNamedByADescriptionStayInsideTheItemsFolder)
{
    TempFolder outside;
    auto d = data();
    const auto foreignMeta = writeArchiveItem (outside.get(), "foreign", *d, "Foreign");
    const auto foreignData = outside.child ("foreign.ard");
    ASSERT_TRUE (foreignData.existsAsFile());
    const auto outsideBefore = snapshotFolder (outside.get());

    const auto relativeEscape = juce::String ("../") + outside.get().getFileName() + "/foreign.ard";
    for (auto link : { foreignData.getFullPathName(), relativeEscape, folder.get().getFullPathName() })
    {
        auto xml = readXml (foreignMeta);
        xml->getChildByName ("linkData")->deleteAllTextElements();
        xml->getChildByName ("linkData")->addTextElement (link);
        DeviceDataArchive item (*xml, folder.get());
        EXPECT_FALSE (item.isValid()) << link;
        EXPECT_EQ (item.getData(), nullptr) << link;

        // Neither deleting nor saving reaches outside.
        item.deleteFiles();
        EXPECT_FALSE (item.save (outside.child ("foreign.xml")));
    }

    // A link inside the folder that points out is not followed.
    const auto link = folder.child ("linked.ard");
    ASSERT_TRUE (foreignData.createSymbolicLink (link, true));
    {
        auto xml = readXml (foreignMeta);
        xml->getChildByName ("linkData")->deleteAllTextElements();
        xml->getChildByName ("linkData")->addTextElement ("linked.ard");
        DeviceDataArchive item (*xml, folder.get());
        EXPECT_FALSE (item.isValid());
        item.deleteFiles();
        EXPECT_TRUE (link.isSymbolicLink());
    }
    // Nor is a linked folder on the way.
    const auto linkedFolder = folder.child ("sub");
    ASSERT_TRUE (outside.get().createSymbolicLink (linkedFolder, true));
    {
        auto xml = readXml (foreignMeta);
        xml->getChildByName ("linkData")->deleteAllTextElements();
        xml->getChildByName ("linkData")->addTextElement ("sub/foreign.ard");
        DeviceDataArchive item (*xml, folder.get());
        EXPECT_FALSE (item.isValid());
        EXPECT_FALSE (item.save (folder.child ("sub/foreign.xml")));
    }

    // A local picture outside the folder is not read either.
    {
        juce::Image image (juce::Image::ARGB, 2, 2, true);
        juce::MemoryOutputStream png;
        juce::PNGImageFormat().writeImageToStream (image, png);
        ASSERT_TRUE (outside.child ("pic.png").replaceWithData (png.getData(), png.getDataSize()));
        auto xml = descriptionWith ("linkImage", outside.child ("pic.png").getFullPathName());
        DeviceDataArchive item (*xml, folder.get());
        EXPECT_EQ (dynamic_cast<juce::DrawableImage*> (item.getPicture()), nullptr);
        auto missing = DeviceDataArchive::createMissingPicture();
        EXPECT_TRUE (samePicture (*item.getPicture(), *missing));
    }

    outside.child ("pic.png").deleteFile();
    EXPECT_EQ (snapshotFolder (outside.get()), outsideBefore);
}

TEST_F (ArchiveItemTest, PictureResolution)
{
    auto defaultPicture = DeviceDataArchive::createDefaultPicture();
    auto missingPicture = DeviceDataArchive::createMissingPicture();
    ASSERT_NE (defaultPicture, nullptr);
    ASSERT_NE (missingPicture, nullptr);
    EXPECT_FALSE (samePicture (*defaultPicture, *missingPicture));

    auto pictureFor = [this] (const juce::String& link)
    {
        auto xml = descriptionWith ("linkImage", link);
        return std::make_unique<DeviceDataArchive> (*xml, folder.get());
    };

    EXPECT_TRUE (samePicture (*pictureFor ("*")->getPicture(), *defaultPicture));
    EXPECT_TRUE (samePicture (*pictureFor ("  *  ")->getPicture(), *defaultPicture));
    EXPECT_TRUE (samePicture (*pictureFor ("*no_such_picture.png")->getPicture(), *defaultPicture));
    // An empty link is a path, not the built-in picture.
    EXPECT_TRUE (samePicture (*pictureFor ("")->getPicture(), *missingPicture));
    EXPECT_TRUE (samePicture (*pictureFor (folder.child ("absent.png").getFullPathName())->getPicture(), *missingPicture));

    // A ".png" name is first looked for as a vector picture of the same name.
    auto voice = resourcePicture ("archive_icon_voice_svg");
    EXPECT_TRUE (samePicture (*pictureFor ("*archive_icon_voice.png")->getPicture(), *voice));
    // Otherwise a bitmap resource of that name.
    auto icon = pictureFor ("*app_icon.png");
    EXPECT_NE (dynamic_cast<juce::DrawableImage*> (icon->getPicture()), nullptr);
}

TEST_F (ArchiveItemTest, SettersMarkTheItemAndDropTheChecksum)
{
    auto item = savedAndReadBack();
    ASSERT_NE (item, nullptr);
    ASSERT_FALSE (item->isModified());
    ASSERT_FALSE (item->getMd5().isEmpty());

    item->setTitle (item->getTitle());
    EXPECT_FALSE (item->isModified());

    item->setPubDate (5);
    EXPECT_TRUE (item->isModified());
    EXPECT_TRUE (item->getMd5().isEmpty());

    // Data of another format is refused; the same format is taken as a copy.
    auto other = format;
    other.presetVersion += 1;
    DeviceData wrong (VersionNumber(), other, nullptr);
    EXPECT_FALSE (item->setData (wrong));
    auto replacement = makeUnitData (format, { 2 }, 9);
    EXPECT_TRUE (item->setData (*replacement));
    EXPECT_NE (item->getData(), replacement.get());
    EXPECT_EQ (item->getPresetIndices(), juce::Array<int> ({ 2 }));

    DeviceDataArchive empty (nullptr, "t", "");
    EXPECT_FALSE (empty.setData (*replacement));
}

TEST_F (ArchiveItemTest, DeleteFilesRemovesDataAndDescription)
{
    auto item = savedAndReadBack ("gone");
    ASSERT_NE (item, nullptr);
    ASSERT_TRUE (folder.child ("gone.ard").existsAsFile());
    ASSERT_TRUE (folder.child ("gone.xml").existsAsFile());
    const auto other = writeArchiveItem (folder.get(), "stays", *data(), "Stays");
    item->deleteFiles();
    EXPECT_FALSE (folder.child ("gone.ard").exists());
    EXPECT_FALSE (folder.child ("gone.xml").exists());
    EXPECT_TRUE (other.existsAsFile());
    EXPECT_TRUE (folder.child ("stays.ard").existsAsFile());
}
