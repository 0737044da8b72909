#include "content/ContentFiles.h"
#include "core/WebAddress.h"

namespace ContentFiles
{
    juce::String lastSegment (const juce::String& address)
    {
        const auto segment = lastPathSegment (address.trim());

        if (segment.isEmpty() || segment == "." || segment == ".." || segment.containsChar (0)
            || segment.trim().isEmpty())
            return {};
        return segment;
    }

    juce::String fileInFolder (const juce::String& folder, const juce::String& address)
    {
        const auto segment = lastSegment (address);
        if (folder.isEmpty() || segment.isEmpty())
            return {};
        return folder + juce::File::getSeparatorString() + segment;
    }

    bool isNonEmptyFile (const juce::String& path)
    {
        if (path.isEmpty() || ! juce::File::isAbsolutePath (path))
            return false;
        const juce::File f (path);
        return f.existsAsFile() && f.getSize() > 0;
    }
}
