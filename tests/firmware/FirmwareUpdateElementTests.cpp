#include <gtest/gtest.h>
#include "content/ContentManager.h"
#include "firmware/FirmwareUpdateElement.h"
#include "support/ContentWorld.h"

using namespace testing_support;

namespace
{
    std::unique_ptr<juce::XmlElement> entry (const juce::String& status, const juce::String& version,
                                             const juce::String& link, bool withDescription = true)
    {
        juce::String text = "<firmwareUpdate><status>" + status + "</status><version>" + version
                          + "</version><pubDate>2020-09-14T10:00:00Z</pubDate><link>" + link + "</link>";
        if (withDescription)
            text << "<description><line>First line.</line><line href=\"https://x.example/notes\">Notes</line></description>";
        return juce::parseXML (text + "</firmwareUpdate>");
    }

    const juce::String folder = "/data/Merle/firmware";
}

TEST (FirmwareUpdateElement, EmptyElement)
{
    FirmwareUpdateElement e;
    EXPECT_EQ (e.getStatus(), FirmwareUpdateElement::statusUnknown);
    EXPECT_EQ (e.getReleaseDate(), 0);
    EXPECT_EQ (e.getDescription().getTagName(), "description");
    EXPECT_EQ (e.getDescription().getNumChildElements(), 0);
    EXPECT_EQ (e.getVersion(), VersionNumber());
    EXPECT_TRUE (e.getLink().isEmpty());
    EXPECT_FALSE (e.isUsable());
}

TEST (FirmwareUpdateElement, StatusTexts)
{
    EXPECT_EQ (FirmwareUpdateElement::parseStatus ("public"), 0);
    EXPECT_EQ (FirmwareUpdateElement::parseStatus ("BETA"), 1);
    EXPECT_EQ (FirmwareUpdateElement::parseStatus ("Alpha"), 2);
    EXPECT_EQ (FirmwareUpdateElement::parseStatus ("expired"), 4);
    EXPECT_EQ (FirmwareUpdateElement::parseStatus ("ReVoKeD"), 5);
    EXPECT_EQ (FirmwareUpdateElement::parseStatus (" public\n"), 0);
    EXPECT_EQ (FirmwareUpdateElement::parseStatus ("custom"), 6);
    EXPECT_EQ (FirmwareUpdateElement::parseStatus ("published"), 6);
    EXPECT_EQ (FirmwareUpdateElement::parseStatus (""), 6);
}

TEST (FirmwareUpdateElement, VersionTexts)
{
    EXPECT_EQ (FirmwareUpdateElement::parseVersionText ("b 2.1.05 build 1234"), VersionNumber (1, 2, 1, 5, 1234, 0));
    EXPECT_EQ (FirmwareUpdateElement::parseVersionText ("1.2.00 build 140"), VersionNumber (0, 1, 2, 0, 140, 0));
    EXPECT_EQ (FirmwareUpdateElement::parseVersionText ("  A 3.0.1 Build 7 "), VersionNumber (2, 3, 0, 1, 7, 0));
    EXPECT_EQ (FirmwareUpdateElement::parseVersionText ("demo 1.4.2 build 99"), VersionNumber (3, 1, 4, 2, 99, 0));
    EXPECT_EQ (FirmwareUpdateElement::parseVersionText ("b2.1.05build 1234"), VersionNumber (1, 2, 1, 5, 1234, 0));
    EXPECT_EQ (FirmwareUpdateElement::parseVersionText ("2.1.07.3 build 12"), VersionNumber (0, 2, 1, 7, 12, 0));
    EXPECT_EQ (FirmwareUpdateElement::parseVersionText ("2.1"), VersionNumber (0, 2, 1, 0, 0, 0));
    EXPECT_EQ (FirmwareUpdateElement::parseVersionText ("1.0.0 build 99999").build, 32767);
}

TEST (FirmwareUpdateElement, VersionFormatting)
{
    EXPECT_EQ (formatFirmwareVersion (VersionNumber (1, 2, 1, 5, 1234, 3), false), "2.1.05 build 1234  [beta]");
    EXPECT_EQ (formatFirmwareVersion (VersionNumber (1, 2, 1, 5, 1234, 3), true), "2.1.05 build 1234  [beta] (mcu 3)");
    EXPECT_EQ (formatFirmwareVersion (VersionNumber (0, 1, 2, 0, 140, 0), false), "1.2.00 build 140");
    EXPECT_EQ (formatFirmwareVersion (VersionNumber (2, 10, 3, 7, 5, 1), true), "10.3.07 build 5  [alpha] (mcu 1)");
    EXPECT_EQ (formatFirmwareVersion (VersionNumber (3, 1, 0, 0, 9, 0), false), "1.0.00 build 9  [demo]");
    EXPECT_EQ (formatFirmwareVersion (VersionNumber (7, 1, 0, 0, 9, 0), false), "1.0.00 build 9");
}

TEST (FirmwareUpdateElement, ParsesAListEntry)
{
    auto xml = entry ("Public", "1.2.00 build 140", "https://x.example/fw/merle_140.syx");
    FirmwareUpdateElement e (*xml, folder);
    EXPECT_EQ (e.getStatus(), 0);
    EXPECT_EQ (e.getVersion(), VersionNumber (0, 1, 2, 0, 140, 0));
    EXPECT_EQ (e.getReleaseDate(), juce::Time (2020, 8, 14, 10, 0, 0, 0, false).toMilliseconds());
    EXPECT_EQ (e.getLink(), "https://x.example/fw/merle_140.syx");
    EXPECT_EQ (e.getImageFile(), "/data/Merle/firmware/merle_140.syx");
    EXPECT_EQ (e.getDescriptionLines(), (juce::StringArray { "First line.", "Notes" }));
    EXPECT_EQ (e.getDescription().getChildElement (1)->getStringAttribute ("href"), "https://x.example/notes");

    // Copies are deep.
    FirmwareUpdateElement copy (e);
    EXPECT_NE (&copy.getDescription(), &e.getDescription());
    EXPECT_TRUE (copy.getDescription().isEquivalentTo (&e.getDescription(), false));
    FirmwareUpdateElement assigned;
    assigned = e;
    EXPECT_EQ (assigned.getImageFile(), e.getImageFile());
    EXPECT_EQ (assigned.getDescriptionLines(), e.getDescriptionLines());

    // A backslash also separates the last segment.
    auto windows = entry ("public", "1.2.00 build 140", "C:\\images\\merle.syx");
    EXPECT_EQ (FirmwareUpdateElement (*windows, folder).getImageFile(), "/data/Merle/firmware/merle.syx");
}

TEST (FirmwareUpdateElement, UnusableEntries)
{
    // An unknown status stops the reading.
    FirmwareUpdateElement unknown (*entry ("published", "1.2.00 build 140", "https://x.example/a.syx"), folder);
    EXPECT_EQ (unknown.getStatus(), 6);
    EXPECT_EQ (unknown.getReleaseDate(), 0);
    EXPECT_EQ (unknown.getVersion(), VersionNumber());

    // No link, no build, or a link that names a folder: unusable whatever the status.
    for (auto link : { "", "https://x.example/fw/", "https://x.example/fw/..", "https://x.example/fw/.", "  " })
        EXPECT_EQ (FirmwareUpdateElement (*entry ("public", "1.2.00 build 140", link), folder).getStatus(), 6) << link;
    EXPECT_EQ (FirmwareUpdateElement (*entry ("public", "1.2.00", "https://x.example/a.syx"), folder).getStatus(), 6);
    EXPECT_EQ (FirmwareUpdateElement (*entry ("beta", "b 1.2.00 build 0", "https://x.example/a.syx"), folder).getStatus(), 6);

    // Without a description the element keeps its empty one.
    FirmwareUpdateElement plain (*entry ("public", "1.2.00 build 140", "https://x.example/a.syx", false), folder);
    EXPECT_EQ (plain.getDescription().getNumChildElements(), 0);
}

TEST (FirmwareUpdateElement, UsabilityNeedsTheImageAndAUsableStatus)
{
    TempFolder temp;
    const auto dir = temp.get().getFullPathName();
    juce::MemoryBlock image;
    ASSERT_TRUE (ContentWorld::sampleContent().getChildFile ("Merle/firmware/merle_140.syx").loadFileAsData (image));
    temp.child ("a.syx").replaceWithData (image.getData(), image.getSize());

    for (auto [status, usable] : { std::pair<const char*, bool> { "public", true }, { "beta", true }, { "alpha", true },
                                   { "expired", false }, { "revoked", false } })
        EXPECT_EQ (FirmwareUpdateElement (*entry (status, "1.0.00 build 1", "https://x.example/a.syx"), dir).isUsable(), usable)
            << status;

    EXPECT_FALSE (FirmwareUpdateElement (*entry ("public", "1.0.00 build 1", "https://x.example/b.syx"), dir).isUsable());

    // A piece of a downloaded image is as good as none; the user's own file is judged when the update starts.
    temp.child ("b.syx").replaceWithData (image.getData(), image.getSize() - 100);
    EXPECT_FALSE (FirmwareUpdateElement (*entry ("public", "1.0.00 build 1", "https://x.example/b.syx"), dir).isUsable());
    EXPECT_TRUE (FirmwareUpdateElement (temp.child ("b.syx").getFullPathName(), VersionNumber (0, 1, 2, 0, 140, 0)).isUsable());

    FirmwareUpdateElement custom (temp.child ("a.syx").getFullPathName(), VersionNumber (0, 1, 2, 0, 140, 0));
    EXPECT_EQ (custom.getStatus(), FirmwareUpdateElement::statusCustom);
    EXPECT_TRUE (custom.isUsable());
    EXPECT_EQ (custom.getDescriptionLines(), (juce::StringArray { "Custom firmware update" }));
    EXPECT_EQ (custom.getReleaseDate(), temp.child ("a.syx").getCreationTime().toMilliseconds());
    EXPECT_EQ (custom.getBuild(), 140);

    FirmwareUpdateElement missing (temp.child ("missing.syx").getFullPathName(), VersionNumber (0, 1, 2, 0, 140, 0));
    EXPECT_EQ (missing.getStatus(), FirmwareUpdateElement::statusUnknown);
    EXPECT_FALSE (missing.isUsable());
    EXPECT_EQ (FirmwareUpdateElement ("relative.syx", VersionNumber()).getStatus(), FirmwareUpdateElement::statusUnknown);
}

TEST (FirmwareUpdateElement, DataVersionChangesComeFromTheProfile)
{
    ContentWorld w;
    DeviceDataFormat unit;   // a Merle on build 100: preset and setup data version 1
    unit.productId = 17;
    unit.presetVersion = 1;
    unit.setupVersion = 1;

    auto element = [] (int build)
    {
        return FirmwareUpdateElement (*entry ("public", "1.0.00 build " + juce::String (build), "https://x.example/a.syx"),
                                      "/tmp");
    };

    // Without content the outputs stay as they were.
    bool preset = true, setup = false;
    element (140).getDataVersionChanges (unit, preset, setup);
    EXPECT_TRUE (preset);
    EXPECT_FALSE (setup);

    setContentManager (newFetchedContentManager());
    ASSERT_TRUE (getContentManager()->prepareProduct (17));

    element (140).getDataVersionChanges (unit, preset, setup);
    EXPECT_TRUE (preset);
    EXPECT_TRUE (setup);

    element (120).getDataVersionChanges (unit, preset, setup);
    EXPECT_TRUE (preset);
    EXPECT_FALSE (setup);

    element (105).getDataVersionChanges (unit, preset, setup);
    EXPECT_FALSE (preset);
    EXPECT_FALSE (setup);
}
