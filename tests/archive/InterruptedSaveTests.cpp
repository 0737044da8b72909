#include <gtest/gtest.h>
#include "archive/BackupIndex.h"
#include "archive/DeviceDataArchive.h"
#include "core/AppPaths.h"
#include "core/Settings.h"
#include "device/DeviceProfiler.h"
#include "model/AtomicFileWriter.h"
#include "support/BackupWorld.h"
#include "support/ConversionFixtures.h"
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace testing_support;

namespace
{
    juce::File settingsFile()
    {
        return juce::File::getSpecialLocation (juce::File::userHomeDirectory)
                   .getChildFile ("Ardentis/Larkspire 2/Larkspire 2.settings");
    }

    juce::XmlElement registryWithUnits (int count)
    {
        juce::XmlElement registry ("DEVICE_MANAGER");
        for (int serial = 1; serial <= count; ++serial)
        {
            auto* e = registry.createNewChildElement ("device");
            e->setAttribute ("name", "Veloce");
            e->setAttribute ("id", (int) veloce);
            e->setAttribute ("serial", serial);
            e->setAttribute ("version", "0.1.0.0.200.0");
        }
        return registry;
    }

    // What the program saves while it runs, over and over, until the process is killed:
    // the settings (through the framework's properties file, as the program's store does),
    // the known-device registry, and a backup (data file, description and index) whose
    // data and title change with every save.
    [[noreturn]] void saveUntilKilled (const BackupWorld& w)
    {
        juce::PropertiesFile::Options options;
        options.applicationName = "Larkspire 2";
        options.filenameSuffix = "settings";
        options.folderName = "Ardentis/Larkspire 2";
        options.millisecondsBeforeSaving = -1;   // saved below, never from a timer
        options.storageFormat = juce::PropertiesFile::storeAsXML;
        juce::PropertiesFile settings (options);

        const auto registryFile = juce::File (AppPaths::getDeviceListFile());
        registryFile.getParentDirectory().createDirectory();
        DeviceProfiler profiler;

        BackupIndex index (w.newFormat, "Veloce 1");
        index.loadIndex();
        index.buildTree();
        const auto even = versionUnit (w.newFormat, { 1, 2 });
        const auto odd = versionUnit (w.newFormat, { 3 });
        // The backup of the round before, or a first one.
        auto node = index.getTree().getChild (0);
        if (! node.isValid())
        {
            node = createArchiveSourceNode (std::make_unique<DeviceDataArchive> (even.get(), "Save 0", ""));
            index.getTree().appendChild (node, nullptr);
        }
        auto* item = getSourceNodeArchive (node);

        const auto end = juce::Time::getMillisecondCounter() + 120000;   // never outlives a lost parent
        for (int i = 1; juce::Time::getMillisecondCounter() < end; ++i)
        {
            settings.setValue ("internal1", i);
            settings.save();

            AtomicFileWriter::replaceWithXml (registryFile, registryWithUnits (3), {});
            profiler.load();
            profiler.removeDevice (veloce, 1 + i % 3);

            item->setData (i % 2 == 0 ? *even : *odd);
            item->setTitle ("Save " + juce::String (i));
            index.saveIndex();
        }
        ::_exit (0);
    }

    std::vector<juce::File> allFiles (const juce::File& folder)
    {
        std::vector<juce::File> files;
        for (auto& f : folder.findChildFiles (juce::File::findFiles | juce::File::ignoreHiddenFiles, true, "*"))
            files.push_back (f);
        for (auto& f : folder.findChildFiles (juce::File::findFiles, true, ".*"))
            files.push_back (f);
        return files;
    }
}

TEST (InterruptedSaves, AKilledSaverLeavesWholeMatchingFilesAndNothingElse)
{
    BackupWorld w;
    const auto home = juce::File::getSpecialLocation (juce::File::userHomeDirectory);
    juce::Random random (1234);

    for (int round = 0; round < 6; ++round)
    {
        const auto meta = w.dataFolder().getChildFile ("Veloce_000000.xml");
        const auto saver = ::fork();
        ASSERT_GE (saver, 0);
        if (saver == 0)
            saveUntilKilled (w);

        // Killed at some moment after its saves are under way.
        ASSERT_TRUE (pumpUntil ([&] { return meta.existsAsFile() && w.indexFile().existsAsFile(); }, 60000));
        juce::Thread::sleep (random.nextInt (200));
        ::kill (saver, SIGKILL);
        int status = 0;
        ASSERT_EQ (::waitpid (saver, &status, 0), saver);
        ASSERT_TRUE (WIFSIGNALED (status));

        // The next start reads what was saved: the settings, the registry and the backups.
        configureApplicationProperties();
        DeviceProfiler profiler;
        profiler.load();
        BackupIndex index (w.newFormat, "Veloce 1");
        index.loadIndex();
        ASSERT_TRUE (index.buildTree());

        // Every file is whole, the backup's data is the one its description describes...
        EXPECT_NE (juce::parseXMLIfTagMatches (settingsFile(), "PROPERTIES"), nullptr);
        EXPECT_NE (profiler.getRegistryCopy(), nullptr);
        ASSERT_EQ (index.getTree().getNumChildren(), 1) << round;
        auto* item = getSourceNodeArchive (index.getTree().getChild (0));
        ASSERT_NE (item, nullptr);
        const auto stored = item->getMd5();
        item->computeMd5();
        EXPECT_EQ (item->getMd5(), stored) << round << " " << item->getTitle();

        // ...and nothing else was left behind.
        const std::set<juce::String> expected { settingsFile().getFullPathName(), AppPaths::getDeviceListFile(),
                                                w.indexFile().getFullPathName(), meta.getFullPathName(),
                                                meta.withFileExtension ("ard").getFullPathName() };
        for (auto& f : allFiles (home))
            EXPECT_TRUE (expected.count (f.getFullPathName()) == 1) << round << ": " << f.getFullPathName();
    }
    deleteApplicationProperties();
}
