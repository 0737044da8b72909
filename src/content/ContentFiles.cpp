#include "content/ContentFiles.h"

namespace ContentFiles
{
    juce::String lastSegment (const juce::String& address)
    {
        const auto trimmed = address.trim();
        const int cut = trimmed.lastIndexOfAnyOf ("/\\");
        const auto segment = cut >= 0 ? trimmed.substring (cut + 1) : trimmed;

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
}
