#include <gtest/gtest.h>
#include "core/AppPaths.h"
#include "support/TestEnvironment.h"

using testing_support::TempHome;

namespace
{
    struct AppPathsTest : ::testing::Test
    {
        TempHome home;
        std::map<int, juce::String> names { { 0x21, "Veloce" }, { 0x22, "" }, { 0x23, ".." },
                                            { 0x24, "a/b" }, { 0x25, "." }, { 0x26, "back\\slash" } };
        void SetUp() override
        {
            AppPaths::setProductNameLookup ([this] (juce::uint8 id) {
                auto it = names.find (id);
                return it != names.end() ? it->second : juce::String();
            });
        }
        void TearDown() override { AppPaths::setProductNameLookup (nullptr); }
    };
}

TEST_F (AppPathsTest, ApplicationFolderUsesForwardSlashes)
{
    auto app = AppPaths::getApplicationDataFolder();
    EXPECT_TRUE (app.endsWith ("/Ardentis/Larkspire 2"));
    EXPECT_TRUE (app.startsWith (home.getFolder().getFullPathName()));
    EXPECT_EQ (AppPaths::getDeviceListFile(), app + "/deviceList.xml");
}

TEST_F (AppPathsTest, ProductFoldersAndFiles)
{
    auto app = AppPaths::getApplicationDataFolder();
    EXPECT_EQ (AppPaths::getProductFolder (0x21), app + "/Veloce");
    EXPECT_EQ (AppPaths::getFirmwareFolder (0x21), app + "/Veloce/firmware");
    EXPECT_EQ (AppPaths::getScriptFolder (0x21), app + "/Veloce/js");
    EXPECT_EQ (AppPaths::getPacksFolder (0x21), app + "/Veloce/packs");
    EXPECT_EQ (AppPaths::getDataFolder (0x21), app + "/Veloce/data");
    EXPECT_EQ (AppPaths::getBackupIndexFile (0x21), app + "/Veloce/data/Veloce_backup.xml");
}

TEST_F (AppPathsTest, UnusableProductNamesGiveNoPath)
{
    for (int id : { 0x22, 0x23, 0x24, 0x25, 0x26, 0x7F })
    {
        EXPECT_TRUE (AppPaths::getProductFolder ((juce::uint8) id).isEmpty()) << id;
        EXPECT_TRUE (AppPaths::getDataFolder ((juce::uint8) id).isEmpty()) << id;
        EXPECT_TRUE (AppPaths::getBackupIndexFile ((juce::uint8) id).isEmpty()) << id;
    }
}

TEST_F (AppPathsTest, SnapshotNames)
{
    EXPECT_TRUE (AppPaths::getWorkingFile ("/u", true).endsWith ("working_.ard"));
    EXPECT_TRUE (AppPaths::getWorkingFile ("/u", false).endsWith ("/working.ard"));
    EXPECT_TRUE (AppPaths::getSyncFile ("/u", false).endsWith ("/sync.ard"));
    EXPECT_TRUE (AppPaths::getSyncFile ("/u", true).endsWith ("sync_.ard"));
    EXPECT_TRUE (AppPaths::getUserGuideFile().endsWith ("/Ardentis/Larkspire 2/Larkspire2 User Guide.pdf"));
}

TEST_F (AppPathsTest, BuildersCreateNothing)
{
    AppPaths::getBackupIndexFile (0x21);
    AppPaths::getSyncFile (AppPaths::getDataFolder (0x21), true);
    EXPECT_FALSE (juce::File (AppPaths::getApplicationDataFolder()).exists());
    EXPECT_EQ (home.getFolder().getNumberOfChildFiles (juce::File::findFilesAndDirectories), 0);
}
