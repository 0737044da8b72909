#pragma once

#include <juce_core/juce_core.h>

// Local files of downloaded content: named by the last segment of the content's address,
// always as a file inside its own folder, and the checks of what lies on disk.
namespace ContentFiles
{
    // The text after the address's last "/" or "\"; empty when that is empty, "." or "..",
    // so that no address can name a folder or step out of its folder.
    juce::String lastSegment (const juce::String& address);

    // folder + separator + lastSegment (address); empty when either part is unusable.
    juce::String fileInFolder (const juce::String& folder, const juce::String& address);

    // An absolute path to a file that holds at least one byte.
    bool isNonEmptyFile (const juce::String& path);
}
