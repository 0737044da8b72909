#include <gtest/gtest.h>
#include "model/VersionNumber.h"
#include "model/DeviceDataFormat.h"

TEST (VersionNumber, TextRoundTrip)
{
    VersionNumber v (0, 1, 1, 2, 139, 0);
    EXPECT_EQ (v.toString(), "0.1.1.2.139.0");
    EXPECT_EQ (VersionNumber::parse ("0.1.1.2.139.0"), v);

    auto w = VersionNumber::parse ("1.2.3.4.139.7");
    EXPECT_EQ (w.buildType, 1);
    EXPECT_EQ (w.build, 139);
    EXPECT_EQ (w.last, 7);
}

TEST (VersionNumber, ShortAndOddTexts)
{
    auto v = VersionNumber::parse ("3.4.5");
    EXPECT_EQ (v, VersionNumber (3, 4, 5, 0, 0, 0));

    auto gap = VersionNumber::parse ("1..7.8");
    EXPECT_EQ (gap, VersionNumber (1, 0, 7, 8, 0, 0));

    auto extra = VersionNumber::parse ("1.2.3.4.5.6.7.8");
    EXPECT_EQ (extra, VersionNumber (1, 2, 3, 4, 5, 6));

    auto junk = VersionNumber::parse (" -2.x.12abc");
    EXPECT_EQ (junk, VersionNumber (-2, 0, 12, 0, 0, 0));

    VersionNumber overwritten (9, 9, 9, 9, 9, 9);
    overwritten.fromString ("1");
    EXPECT_EQ (overwritten, VersionNumber (1, 0, 0, 0, 0, 0));
    EXPECT_EQ (VersionNumber::parse (""), VersionNumber());
}

TEST (VersionNumber, DisplayTexts)
{
    EXPECT_EQ (getVersionText (getApplicationVersionNumber()), "1.1.02 build 139");
    EXPECT_EQ (getVersionText (VersionNumber (2, 3, 0, 5, 7, 0)), "3.0.05 build 7A");
    EXPECT_EQ (getVersionText (VersionNumber (1, 2, 4, 11, 250, 0)), "2.4.11 build 250B");
    EXPECT_EQ (getBuildTypeSuffix (VersionNumber (3, 0, 0, 0, 0, 0), true), "DEMO");
    EXPECT_EQ (getBuildTypeSuffix (VersionNumber (3, 0, 0, 0, 0, 0), false), "D");
    EXPECT_EQ (getBuildTypeSuffix (VersionNumber (2, 0, 0, 0, 0, 0), true), "ALPHA");
    EXPECT_EQ (getBuildTypeSuffix (VersionNumber (1, 0, 0, 0, 0, 0), true), "BETA");
    EXPECT_EQ (getBuildTypeSuffix (VersionNumber (4, 0, 0, 0, 0, 0), true), "");
    EXPECT_EQ (getBuildTypeSuffix (VersionNumber (0, 0, 0, 0, 0, 0), false), "");
}

namespace
{
    DeviceDataFormat sampleFormat()
    {
        DeviceDataFormat f;
        f.productId = 0x21;
        f.syxPackagesPerPresetStep = 2;
        f.presetStepPacketSize = 64;
        f.presetVersion = 3;
        f.syxPackagesPerSetup = 4;
        f.setupPacketSize = 96;
        f.setupVersion = 2;
        f.numPresets = 100;
        f.presetNameLength = 15;
        f.maxPresetSteps = 8;
        return f;
    }
}

TEST (DeviceDataFormat, StreamFormIs37LittleEndianBytes)
{
    juce::MemoryOutputStream out;
    sampleFormat().writeToStream (out);
    ASSERT_EQ (out.getDataSize(), 37u);
    auto* b = static_cast<const juce::uint8*> (out.getData());
    EXPECT_EQ (b[0], 0x21);
    EXPECT_EQ (b[1], 2);  EXPECT_EQ (b[2], 0); EXPECT_EQ (b[4], 0);
    EXPECT_EQ (b[5], 64);
    EXPECT_EQ (b[9], 3);
    EXPECT_EQ (b[25], 100);
    EXPECT_EQ (b[29], 15);
    EXPECT_EQ (b[33], 8);

    juce::MemoryInputStream in (out.getData(), out.getDataSize(), false);
    DeviceDataFormat back;
    ASSERT_TRUE (back.readFromStream (in));
    EXPECT_EQ (back, sampleFormat());
}

TEST (DeviceDataFormat, LegacyFormSkipsPadding)
{
    juce::MemoryOutputStream out;
    auto f = sampleFormat();
    out.writeByte ((char) f.productId);
    out.writeByte ((char) 0xAA); out.writeByte ((char) 0xBB); out.writeByte ((char) 0xCC);
    for (auto v : { 2, 64, 3, 4, 96, 2, 100, 15, 8 })
        out.writeInt (v);
    ASSERT_EQ (out.getDataSize(), 40u);

    juce::MemoryInputStream in (out.getData(), out.getDataSize(), false);
    DeviceDataFormat back;
    ASSERT_TRUE (back.readLegacyFromStream (in));
    EXPECT_EQ (back, f);
}

TEST (DeviceDataFormat, ShortStreamsFail)
{
    juce::MemoryOutputStream out;
    sampleFormat().writeToStream (out);
    for (size_t len : { 0u, 1u, 20u, 36u })
    {
        juce::MemoryInputStream in (out.getData(), len, false);
        DeviceDataFormat back;
        EXPECT_FALSE (back.readFromStream (in)) << len;
        juce::MemoryInputStream in2 (out.getData(), len, false);
        EXPECT_FALSE (back.readLegacyFromStream (in2)) << len;
    }
}

TEST (DeviceDataFormat, Validity)
{
    auto f = sampleFormat();
    EXPECT_TRUE (f.isValid());

    auto noProduct = f;    noProduct.productId = 0;       EXPECT_FALSE (noProduct.isValid());
    auto noPreset = f;     noPreset.presetVersion = 0;    EXPECT_FALSE (noPreset.isValid());
    auto noSetup = f;      noSetup.setupVersion = 0;      EXPECT_FALSE (noSetup.isValid());
    auto badSetup = f;     badSetup.setupPacketSize = -1; EXPECT_FALSE (badSetup.isValid());
    auto badPkgs = f;      badPkgs.syxPackagesPerSetup = -1; EXPECT_FALSE (badPkgs.isValid());
    auto badStep = f;      badStep.presetStepPacketSize = -1; EXPECT_FALSE (badStep.isValid());

    auto setupOnly = f;
    setupOnly.numPresets = 0;
    setupOnly.presetStepPacketSize = -5;
    setupOnly.syxPackagesPerPresetStep = -1;
    EXPECT_TRUE (setupOnly.isValid());
}

TEST (DeviceDataFormat, EqualityAndVersions)
{
    auto a = sampleFormat();
    auto b = a;
    EXPECT_EQ (a, b);
    b.presetNameLength = 12;
    EXPECT_NE (a, b);
    EXPECT_TRUE (a.hasSameVersions (b));
    b.setupVersion = 9;
    EXPECT_FALSE (a.hasSameVersions (b));
}

TEST (VersionNumber, NumbersOfAnySizeKeepTheirLow16Bits)
{
    // 70000 = 0x11170: 0x1170 kept; the most negative int has no low bits set;
    // 99999999999999999999 ends in the bits 0xFFFF.
    EXPECT_EQ (VersionNumber::parse ("+5.-2147483648.70000.99999999999999999999.-1"),
               VersionNumber (5, 0, 0x1170, -1, -1, 0));
    EXPECT_EQ (VersionNumber::parse ("\t 7.  8"), VersionNumber (7, 8, 0, 0, 0, 0));
    EXPECT_EQ (VersionNumber::parse ("- 3.+-4"), VersionNumber());
}

TEST (DeviceDataFormat, Limits)
{
    auto f = sampleFormat();
    EXPECT_TRUE (f.isWithinLimits());
    auto check = [&f] (auto change, bool expected) {
        auto g = f;
        change (g);
        EXPECT_EQ (g.isWithinLimits(), expected);
    };
    check ([] (DeviceDataFormat& g) { g.numPresets = 16384; }, true);
    check ([] (DeviceDataFormat& g) { g.numPresets = 16385; }, false);
    check ([] (DeviceDataFormat& g) { g.presetNameLength = 15; }, true);
    check ([] (DeviceDataFormat& g) { g.presetNameLength = 16; }, false);
    check ([] (DeviceDataFormat& g) { g.maxPresetSteps = 127; }, true);
    check ([] (DeviceDataFormat& g) { g.maxPresetSteps = 128; }, false);
    check ([] (DeviceDataFormat& g) { g.productId = 0x80; }, false);
    check ([] (DeviceDataFormat& g) { g.presetStepPacketSize = 16384; }, false);
    check ([] (DeviceDataFormat& g) { g.setupPacketSize = -1; }, false);
    check ([] (DeviceDataFormat& g) { g.syxPackagesPerSetup = 5000; }, false);
    check ([] (DeviceDataFormat& g) { g.presetVersion = 9000; }, false);
    // Without presets the preset packet values are not looked at.
    check ([] (DeviceDataFormat& g) { g.numPresets = 0; g.presetStepPacketSize = -7; }, true);

    // The first value out of bounds, by its profile key.
    EXPECT_EQ (f.describeLimitViolation(), "");
    auto g = f;
    g.numPresets = 16385;
    g.setupPacketSize = -1;
    EXPECT_EQ (g.describeLimitViolation(), "numPresets is 16385, above the limit of 16384");
    g.numPresets = 10;
    EXPECT_EQ (g.describeLimitViolation(), "setupPacketSize is -1, below the limit of 0");
}
