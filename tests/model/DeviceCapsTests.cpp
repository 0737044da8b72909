#include <gtest/gtest.h>
#include "model/DeviceCaps.h"

namespace
{
    std::unique_ptr<juce::XmlElement> xml (const char* text) { return juce::parseXML (juce::String (text)); }
}

TEST (DeviceCaps, BuiltInDefaults)
{
    DeviceCaps caps (nullptr, nullptr, 0x21, 10, 20);
    EXPECT_TRUE (caps.isBuildValid());
    EXPECT_EQ (caps.getProductId(), 0x21);
    EXPECT_EQ (caps.getNumPresets(), 15);
    EXPECT_EQ (caps.getMaxPresetSteps(), 1);
    EXPECT_EQ (caps.getNumSyxPackagesPerPresetStep(), 1);
    EXPECT_EQ (caps.getNumSyxPackagesPerSetup(), 1);
    EXPECT_EQ (caps.getPresetStepPacketSize(), 100);
    EXPECT_EQ (caps.getSetupPacketSize(), 100);
    EXPECT_EQ (caps.getPresetVersion(), 15);
    EXPECT_EQ (caps.getPresetNameLength(), 15);
    EXPECT_EQ (caps.getPresetTagCount(), 15);
    EXPECT_FLOAT_EQ (caps.getBootTime(), 10.0f);
    EXPECT_FLOAT_EQ (caps.getProgramTime(), 10.0f);
    EXPECT_FLOAT_EQ (caps.getDelayTimeAfterPresetDelete(), 0.05f);
    EXPECT_FLOAT_EQ (caps.getBankSwapTime(), 2.0f);
    EXPECT_FALSE (caps.hasPresetCRC());
    EXPECT_TRUE (caps.getPresetCompatibilityList().isEmpty());
    // 15 tags, none named: padded with "Undefined".
    EXPECT_EQ (caps.getPresetTagLabels().size(), 15);
    EXPECT_EQ (caps.getPresetTagLabels()[0], "Undefined");
}

TEST (DeviceCaps, EmptyProfileIsAllZero)
{
    DeviceCaps caps;
    EXPECT_FALSE (caps.isBuildValid());
    EXPECT_EQ (caps.getNumPresets(), 0);
    EXPECT_EQ (caps.getProductId(), 0);
    EXPECT_FLOAT_EQ (caps.getBootTime(), 0.0f);
}

TEST (DeviceCaps, BuildProfileWinsOverBase)
{
    auto base = xml ("<features numPresets='200' presetCRC='yes' bootTime='4' presetVersion='3' setupVersion='2'/>");
    auto build = xml ("<features presetCRC='no' bootTime='2.5' maxPresetSteps='8'/>");
    DeviceCaps caps (base.get(), build.get(), 0x22, 100, 120);
    EXPECT_EQ (caps.getNumPresets(), 200);
    EXPECT_FALSE (caps.hasPresetCRC());
    EXPECT_FLOAT_EQ (caps.getBootTime(), 2.5f);
    EXPECT_EQ (caps.getMaxPresetSteps(), 8);
    EXPECT_EQ (caps.getFormat().presetVersion, 3);
    EXPECT_EQ (caps.getFormat().setupVersion, 2);
    EXPECT_TRUE (caps.containsBuild (100));
    EXPECT_TRUE (caps.containsBuild (120));
    EXPECT_FALSE (caps.containsBuild (121));
}

TEST (DeviceCaps, BooleanTexts)
{
    for (auto [text, expected] : std::vector<std::pair<const char*, bool>> {
             { "1", true }, { "true", true }, { " True", true }, { "yes", true }, { "Y", true },
             { "0", false }, { "no", false }, { "false", false }, { "", false }, { "x", false } })
    {
        auto e = std::make_unique<juce::XmlElement> ("features");
        e->setAttribute ("presetDelete", text);
        DeviceCaps caps (nullptr, e.get(), 1, 0, 0);
        EXPECT_EQ (caps.hasPresetDelete(), expected) << "'" << text << "'";
    }
    auto invalid = xml ("<f isBuildValid='0'/>");
    EXPECT_FALSE (DeviceCaps (invalid.get(), nullptr, 1, 0, 0).isBuildValid());
}

TEST (DeviceCaps, CompatibilityLists)
{
    auto e = xml ("<f presetCompatibilityList=' 3 , 4 ,, 5 ' setupCompatibilityList='7'/>");
    DeviceCaps caps (nullptr, e.get(), 1, 0, 0);
    EXPECT_EQ (caps.getPresetCompatibilityList(), juce::Array<int> ({ 3, 4, 5 }));
    EXPECT_EQ (caps.getSetupCompatibilityList(), juce::Array<int> ({ 7 }));
}

TEST (DeviceCaps, TagLabels)
{
    auto two = xml ("<f presetTagLabels='Live,Studio' presetTagCount='4'/>");
    EXPECT_EQ (DeviceCaps (nullptr, two.get(), 1, 0, 0).getPresetTagLabels(),
               juce::StringArray ({ "Live", "Studio", "Undefined", "Undefined" }));

    auto many = xml ("<f presetTagLabels='Live,Studio' presetTagCount='40'/>");
    EXPECT_EQ (DeviceCaps (nullptr, many.get(), 1, 0, 0).getPresetTagLabels(), juce::StringArray ({ "Live", "Studio" }));

    auto emptyThree = xml ("<f presetTagLabels='' presetTagCount='3'/>");
    EXPECT_EQ (DeviceCaps (nullptr, emptyThree.get(), 1, 0, 0).getPresetTagLabels(),
               juce::StringArray ({ "Undefined", "Undefined", "Undefined" }));

    auto empty28 = xml ("<f presetTagLabels='' presetTagCount='28'/>");
    EXPECT_TRUE (DeviceCaps (nullptr, empty28.get(), 1, 0, 0).getPresetTagLabels().isEmpty());

    auto blanks = xml ("<f presetTagLabels=' A ,,B' presetTagCount='1'/>");
    EXPECT_EQ (DeviceCaps (nullptr, blanks.get(), 1, 0, 0).getPresetTagLabels(), juce::StringArray ({ " A ", "", "B" }));
}

TEST (DeviceCaps, BuildRangeNeverInverted)
{
    DeviceCaps caps (nullptr, nullptr, 1, 120, 100);
    EXPECT_EQ (caps.getFirstBuild(), 120);
    EXPECT_EQ (caps.getLastBuild(), 120);
    EXPECT_EQ (DeviceCaps::getKeys().size(), 29);
}

TEST (DeviceCaps, ExtremeNumbersAreReadSafely)
{
    auto e = xml ("<f numPresets='-2147483648' bootTime='1e300' programTime='-1e300' presetTagCount='+3'"
                  " presetCompatibilityList='99999999999, -2147483648'/>");
    DeviceCaps caps (nullptr, e.get(), 1, 0, 0);
    EXPECT_EQ (caps.getNumPresets(), std::numeric_limits<int>::min());
    EXPECT_FLOAT_EQ (caps.getBootTime(), std::numeric_limits<float>::max());
    EXPECT_FLOAT_EQ (caps.getProgramTime(), -std::numeric_limits<float>::max());
    EXPECT_EQ (caps.getPresetTagCount(), 3);
    EXPECT_EQ (caps.getPresetCompatibilityList().size(), 2);
    EXPECT_EQ (caps.getPresetCompatibilityList()[1], std::numeric_limits<int>::min());
}
