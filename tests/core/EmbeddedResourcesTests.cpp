#include <gtest/gtest.h>
#include "core/EmbeddedResources.h"
#include <juce_gui_basics/juce_gui_basics.h>

TEST (EmbeddedResources, EveryArtworkFileIsEmbeddedByName)
{
    const auto folder = juce::File (LARKSPIRE_SOURCE_DIR).getChildFile ("resources");
    int files = 0;
    for (const auto& entry : juce::RangedDirectoryIterator (folder, true, "*", juce::File::findFiles))
    {
        const auto file = entry.getFile();
        if (file.isAChildOf (folder.getChildFile ("Content")))
            continue;

        ++files;
        juce::String name;
        for (auto c : file.getFileName())
            name << (juce::CharacterFunctions::isLetterOrDigit (c) ? juce::String::charToString (c) : "_");

        int size = -1;
        const auto* data = static_cast<const char*> (getEmbeddedResource (name, size));
        ASSERT_NE (data, nullptr) << name;
        juce::MemoryBlock onDisk;
        ASSERT_TRUE (file.loadFileAsData (onDisk));
        ASSERT_EQ ((size_t) size, onDisk.getSize()) << name;
        EXPECT_EQ (std::memcmp (data, onDisk.getData(), onDisk.getSize()), 0) << name;
        EXPECT_TRUE (hasEmbeddedResource (name));
    }
    EXPECT_GE (files, 13);
    EXPECT_EQ (getEmbeddedResourceNames().size(), files);
}

TEST (EmbeddedResources, UnknownNamesGiveNothing)
{
    int size = 7;
    EXPECT_EQ (getEmbeddedResource ("no_such_resource_png", size), nullptr);
    EXPECT_EQ (size, 0);
    EXPECT_EQ (getEmbeddedResource ("tick.svg", size), nullptr);   // names use '_' for '.'
    EXPECT_FALSE (hasEmbeddedResource (""));
}

TEST (EmbeddedResources, ArtworkDecodes)
{
    for (auto name : { "app_icon_png", "window_minimize_png", "window_maximize_png", "window_close_png",
                       "avatar_default_png", "avatar_sample_1_png", "avatar_sample_2_png" })
    {
        int size = 0;
        auto* data = getEmbeddedResource (name, size);
        ASSERT_NE (data, nullptr) << name;
        EXPECT_TRUE (juce::ImageFileFormat::loadFrom (data, (size_t) size).isValid()) << name;
    }
    for (auto name : { "alert_question_svg", "alert_warning_svg", "alert_info_svg", "tick_svg",
                       "corner_resizer_svg", "wordmark_svg" })
    {
        int size = 0;
        auto* data = getEmbeddedResource (name, size);
        ASSERT_NE (data, nullptr) << name;
        EXPECT_NE (juce::Drawable::createFromImageData (data, (size_t) size), nullptr) << name;
    }
}
