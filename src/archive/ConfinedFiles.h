#pragma once

#include <juce_core/juce_core.h>

// Paths that come from files on disk (archive descriptions, downloaded packs, the
// backup index) may only reach plain files inside the folder they belong to. A
// symbolic link anywhere below that folder, a folder where a file is expected, or a
// path that climbs out of the folder is refused.
namespace ConfinedFiles
{
    // A path text as a file: absolute texts as they are, relative ones below `base`.
    juce::File resolve (const juce::String& path, const juce::File& base);

    // The file lies below `folder` and no part of the path below the folder is a link.
    bool isInside (const juce::File& file, const juce::File& folder);

    // An existing plain file inside the folder.
    bool isReadableFile (const juce::File& file, const juce::File& folder);

    // A file inside the folder that is either missing or a plain file, in a folder
    // that is not a link: something that may be created or replaced.
    bool isWritableFile (const juce::File& file, const juce::File& folder);
}
