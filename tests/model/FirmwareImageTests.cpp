#include <gtest/gtest.h>
#include "device/SysExTemplates.h"
#include "model/FirmwareImage.h"
#include "support/DataFixtures.h"
#include "support/TestEnvironment.h"

using namespace testing_support;

TEST (FirmwareImage, OnlyAWholeImageReads)
{
    TempFolder folder;
    const auto image = folder.child ("image.syx");
    juce::OwnedArray<juce::MidiMessage> messages;

    Bytes bytes = bytesOf (buildAcknowledgeMessage());
    const auto first = firmwareBlock (300, 0x21), second = firmwareBlock (16383, 0x42);
    append (bytes, first);
    append (bytes, second);
    writeFile (image, bytes);
    ASSERT_TRUE (FirmwareImage::read (image, &messages));
    ASSERT_EQ (messages.size(), 3);
    EXPECT_EQ (bytesOf (*messages[0]), bytesOf (buildAcknowledgeMessage()));
    EXPECT_EQ (bytesOf (*messages[1]), first);
    EXPECT_EQ (bytesOf (*messages[2]), second);
    EXPECT_TRUE (FirmwareImage::isWhole (image));

    // Many times the reader's buffer: whole, and cut anywhere inside a block.
    Bytes large = bytesOf (buildAcknowledgeMessage());
    for (int i = 0; i < 40; ++i)
        append (large, firmwareBlock (9000 + i * 150, (juce::uint8) (i + 1)));
    writeFile (image, large);
    ASSERT_TRUE (FirmwareImage::read (image, &messages));
    EXPECT_EQ (messages.size(), 41);
    EXPECT_EQ (bytesOf (*messages[40]), firmwareBlock (9000 + 39 * 150, 40));
    EXPECT_TRUE (FirmwareImage::isWhole (image));
    writeFile (image, Bytes (large.begin(), large.begin() + (long) large.size() / 2));
    EXPECT_FALSE (FirmwareImage::read (image, &messages));
    EXPECT_EQ (messages.size(), 0);
    EXPECT_FALSE (FirmwareImage::isWhole (image));

    // Nothing, the opening message alone, or blocks without it are not an image.
    writeFile (image, {});
    EXPECT_FALSE (FirmwareImage::read (image, &messages));
    writeFile (image, bytesOf (buildAcknowledgeMessage()));
    EXPECT_FALSE (FirmwareImage::read (image, &messages));
    writeFile (image, Bytes (bytes.begin() + 9, bytes.end()));
    EXPECT_FALSE (FirmwareImage::read (image, &messages));

    // A block longer than its 14-bit length can say is refused, as is anything unframed.
    auto tooLong = bytesOf (buildAcknowledgeMessage());
    append (tooLong, firmwareBlock (16384, 0x42));
    writeFile (image, tooLong);
    EXPECT_FALSE (FirmwareImage::read (image, &messages));

    auto trailing = bytes;
    trailing.push_back (0x00);
    writeFile (image, trailing);
    EXPECT_FALSE (FirmwareImage::read (image, &messages));

    auto unterminated = bytes;
    unterminated.pop_back();
    writeFile (image, unterminated);
    EXPECT_FALSE (FirmwareImage::read (image, &messages));

    auto statusInside = bytes;
    statusInside[20] = 0x90;
    writeFile (image, statusInside);
    EXPECT_FALSE (FirmwareImage::read (image, &messages));

    EXPECT_FALSE (FirmwareImage::read (folder.child ("missing"), &messages));
    EXPECT_FALSE (FirmwareImage::isWhole (folder.child ("missing")));
}
