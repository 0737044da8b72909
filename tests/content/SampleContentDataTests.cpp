#include <gtest/gtest.h>
#include "model/DeviceData.h"
#include "model/FirmwareImage.h"
#include "support/ContentWorld.h"
#include "support/TestEnvironment.h"

// The sample content is written apart from the program's readers: these tests read
// it with them, so that content and readers cannot drift apart unnoticed.

using namespace testing_support;

TEST (SampleContentData, EveryFirmwareImageIsWhole)
{
    int images = 0;
    for (const auto& entry : juce::RangedDirectoryIterator (ContentWorld::sampleContent(), true, "*.syx"))
    {
        juce::OwnedArray<juce::MidiMessage> messages;
        EXPECT_TRUE (FirmwareImage::read (entry.getFile(), &messages)) << entry.getFile().getFullPathName();
        EXPECT_GT (messages.size(), 2) << entry.getFile().getFileName();
        ++images;
    }
    EXPECT_GE (images, 2);
}

TEST (SampleContentData, PackDataFilesReadBackAsTheirProduct)
{
    TempFolder folder;
    int dataFiles = 0;
    for (const auto& entry : juce::RangedDirectoryIterator (ContentWorld::sampleContent(), true, "*.zip"))
    {
        juce::ZipFile zip (entry.getFile());
        ASSERT_GT (zip.getNumEntries(), 0);
        for (int i = 0; i < zip.getNumEntries(); ++i)
        {
            auto* e = zip.getEntry (i);
            if (! e->filename.endsWithIgnoreCase (".ard"))
                continue;
            std::unique_ptr<juce::InputStream> in (zip.createStreamForEntry (i));
            ASSERT_NE (in, nullptr);
            juce::MemoryBlock block;
            in->readIntoMemoryBlock (block);
            auto data = DeviceData::createFromData (block.getData(), block.getSize());
            ASSERT_NE (data, nullptr) << e->filename;
            EXPECT_TRUE (data->getFormat().isValid()) << e->filename;
            EXPECT_GT (data->countPresets(), 0) << e->filename;
            ++dataFiles;
        }
    }
    EXPECT_GE (dataFiles, 1);
}
