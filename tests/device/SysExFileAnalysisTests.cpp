#include <gtest/gtest.h>
#include "device/SysExFileAnalysis.h"
#include "device/SysExTemplates.h"
#include "support/DataFixtures.h"
#include "support/TestEnvironment.h"

using namespace testing_support;

namespace
{
    juce::uint32 identify (const TempFolder& folder, const Bytes& bytes, int& productId, int& number)
    {
        const auto file = folder.child ("file.syx");
        writeFile (file, bytes);
        return identifySysExFile (file, productId, number);
    }
}

TEST (SysExFileAnalysis, IdentifyFiles)
{
    TempFolder folder;
    int productId = 0, number = 0;
    const auto f = smallFormat();

    EXPECT_EQ (identify (folder, { 0xF0, 0x00, 0x7A, 0x15, 0x00 }, productId, number), 0x10000u);
    EXPECT_EQ (productId, 255);
    EXPECT_EQ (number, 0);
    EXPECT_EQ (identifySysExFile (folder.child ("missing.syx"), productId, number), 0x10000u);
    EXPECT_EQ (identify (folder, { 0x00, 0x00, 0x7A, 0x15, 0x00, 0x21, 0x13 }, productId, number), 0x10000u);
    EXPECT_EQ (identify (folder, { 0xF0, 0x00, 0x20, 0x33, 0x00, 0x21, 0x13 }, productId, number), 0x20000u);
    EXPECT_EQ (productId, 255);
    EXPECT_EQ (identify (folder, bytesOf (buildAcknowledgeMessage()), productId, number), 8u);

    // No product or version test here: the caller compares.
    auto setup = bytesOf (buildSetupMessages ({ 1, 2, 3, 4, 5, 6 }, f)[0]);
    setup[5] = 0x33;
    setup[8] = 0x09;
    EXPECT_EQ (identify (folder, setup, productId, number), 1u);
    EXPECT_EQ (productId, 0x33);
    EXPECT_EQ (number, 9);

    Bytes presetFile = bytesOf (buildPresetHeaderMessage (makeInfo (1, "A", 1, 6), 0x22));
    append (presetFile, bytesOf (buildPresetDataMessages ({ 1, 2 }, f)[0]));
    EXPECT_EQ (identify (folder, presetFile, productId, number), 2u);
    EXPECT_EQ (productId, 0x22);
    EXPECT_EQ (number, 6);

    EXPECT_EQ (identify (folder, bytesOf (buildPresetDataMessages ({ 1, 2 }, f)[0]), productId, number), 4u);
    EXPECT_EQ (number, 0);
    EXPECT_EQ (identify (folder, bytesOf (buildPresetRequestMessage (0x21, 3)), productId, number), 0x80000u);
    EXPECT_EQ (identify (folder, { 0xF0, 0x00, 0x7A, 0x15, 0x00, 0x21, 0x20, 0x00 }, productId, number), 0x80000u);
}

TEST (SysExFileAnalysis, FirmwareImageHeader)
{
    TempFolder folder;
    const auto image = folder.child ("image.syx");
    Bytes bytes = bytesOf (buildAcknowledgeMessage());
    append (bytes, firmwareBlock (40, 0x11));
    writeFile (image, bytes);
    DeviceQuery query (0x21);
    EXPECT_EQ (checkFirmwareImageHeader (query, image, smallFormat(), nullptr), 8u);

    writeFile (image, { 0xF0, 0x00, 0x7A, 0x15, 0x00 });
    EXPECT_EQ (checkFirmwareImageHeader (query, image, smallFormat(), nullptr), 0x10000u);
    writeFile (image, bytesOf (buildPresetRequestMessage (0x21, 1)));
    EXPECT_EQ (checkFirmwareImageHeader (query, image, smallFormat(), nullptr), 0x80000u);
    EXPECT_EQ (checkFirmwareImageHeader (query, folder.child ("missing"), smallFormat(), nullptr), 0x10000u);
}
