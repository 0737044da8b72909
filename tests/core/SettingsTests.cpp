#include <gtest/gtest.h>
#include "core/Settings.h"
#include "support/TestEnvironment.h"

using testing_support::TempHome;

namespace
{
    struct SettingsTest : ::testing::Test
    {
        TempHome home;
        void SetUp() override    { configureApplicationProperties(); }
        void TearDown() override { deleteApplicationProperties(); }
    };
}

TEST_F (SettingsTest, StoreLivesInItsFolderAsXml)
{
    setSetting (SettingsKeys::runCounter, 3);
    getApplicationProperties().saveIfNeeded();

    auto file = home.getSettingsFile();
    ASSERT_TRUE (file.existsAsFile()) << file.getFullPathName();
    auto xml = juce::parseXML (file);
    ASSERT_NE (xml, nullptr);
    EXPECT_EQ (xml->getTagName(), "PROPERTIES");
    auto* value = xml->getChildByAttribute ("name", "internal1");
    ASSERT_NE (value, nullptr);
    EXPECT_EQ (value->getStringAttribute ("val"), "3");
}

TEST_F (SettingsTest, MissingBooleansReadTrueAndStoredOnesAsWritten)
{
    EXPECT_TRUE (getSettingBool (SettingsKeys::onlyShowArdDevices));
    EXPECT_TRUE (getSettingBool (SettingsKeys::autoConnectAtStartup));
    EXPECT_TRUE (getSettingBool (SettingsKeys::dataTrackingOptIn));

    setSetting (SettingsKeys::onlyShowArdDevices, false);
    EXPECT_FALSE (getSettingBool (SettingsKeys::onlyShowArdDevices));
    EXPECT_EQ (getSettingText (SettingsKeys::onlyShowArdDevices), "0");
    setSetting (SettingsKeys::onlyShowArdDevices, true);
    EXPECT_EQ (getSettingText (SettingsKeys::onlyShowArdDevices), "1");
}

TEST_F (SettingsTest, DataSyncMethodMapping)
{
    EXPECT_EQ (getDataSyncMethod(), 0);
    setSetting (SettingsKeys::dataSyncMethod, "manual");   EXPECT_EQ (getDataSyncMethod(), 1);
    setSetting (SettingsKeys::dataSyncMethod, "previous"); EXPECT_EQ (getDataSyncMethod(), 2);
    setSetting (SettingsKeys::dataSyncMethod, "Auto");     EXPECT_EQ (getDataSyncMethod(), 0);
    setSetting (SettingsKeys::dataSyncMethod, "Manual");   EXPECT_EQ (getDataSyncMethod(), 0);

    setDataSyncMethod (1);
    EXPECT_EQ (getSettingText (SettingsKeys::dataSyncMethod), "manual");
    setDataSyncMethod (7);
    EXPECT_EQ (getSettingText (SettingsKeys::dataSyncMethod), "manual");
    setDataSyncMethod (2);
    EXPECT_EQ (getSettingText (SettingsKeys::dataSyncMethod), "previous");
}

TEST_F (SettingsTest, PresetViewTypeMapping)
{
    EXPECT_EQ (getPresetButtonViewType(), 1);
    setPresetButtonViewType (0);
    EXPECT_EQ (getSettingText (SettingsKeys::presetButtonViewType), "cell");
    EXPECT_EQ (getPresetButtonViewType(), 0);
    setPresetButtonViewType (5);
    EXPECT_EQ (getSettingText (SettingsKeys::presetButtonViewType), "cell");
    setSetting (SettingsKeys::presetButtonViewType, "grid");
    EXPECT_EQ (getPresetButtonViewType(), 1);
}

TEST_F (SettingsTest, UiScaleIsClampedAndTimeoutDefaults)
{
    EXPECT_FLOAT_EQ (getUiScalingFactor(), 1.0f);
    setSetting (SettingsKeys::uiScalingFactor, 3);    EXPECT_FLOAT_EQ (getUiScalingFactor(), 2.5f);
    setSetting (SettingsKeys::uiScalingFactor, 0.5);  EXPECT_FLOAT_EQ (getUiScalingFactor(), 0.75f);
    setSetting (SettingsKeys::uiScalingFactor, 1.25); EXPECT_FLOAT_EQ (getUiScalingFactor(), 1.25f);

    EXPECT_FLOAT_EQ (getDownloadTimeout(), 600.0f);
    setSetting (SettingsKeys::downloadTimeout, 12.5);
    EXPECT_FLOAT_EQ (getDownloadTimeout(), 12.5f);
}

TEST_F (SettingsTest, KeyTableHoldsTheTwentyFourKeysOnce)
{
    const auto& keys = SettingsKeys::all();
    EXPECT_EQ (keys.size(), 24);
    juce::StringArray unique (keys);
    unique.removeDuplicates (false);
    EXPECT_EQ (unique.size(), 24);
    EXPECT_TRUE (keys.contains ("lastConnectedDevice"));
    EXPECT_TRUE (keys.contains ("developerLastARDImportFile"));
}

TEST_F (SettingsTest, ValuesSurviveAReload)
{
    setSetting (SettingsKeys::exportFolder, "/some where/else");
    setSetting (SettingsKeys::lastConnectedDevice, 123456);
    deleteApplicationProperties();  // saves

    configureApplicationProperties();
    EXPECT_EQ (getSettingText (SettingsKeys::exportFolder), "/some where/else");
    EXPECT_EQ (getSettingInt (SettingsKeys::lastConnectedDevice, 0), 123456);
}
