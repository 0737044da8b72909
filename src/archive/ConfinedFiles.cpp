#include "archive/ConfinedFiles.h"

namespace ConfinedFiles
{
    juce::File resolve (const juce::String& path, const juce::File& base)
    {
        const auto text = path.trim();
        if (text.isEmpty())
            return {};
        if (juce::File::isAbsolutePath (text))
            return juce::File (text);
        if (base == juce::File())
            return {};
        return base.getChildFile (text);
    }

    bool isInside (const juce::File& file, const juce::File& folder)
    {
        if (file == juce::File() || folder == juce::File() || ! file.isAChildOf (folder))
            return false;

        // Every level between the folder and the file must be a real folder or file.
        for (auto f = file; f != folder && f.isAChildOf (folder); f = f.getParentDirectory())
            if (f.isSymbolicLink())
                return false;
        return true;
    }

    bool isReadableFile (const juce::File& file, const juce::File& folder)
    {
        return isInside (file, folder) && file.existsAsFile();
    }

    bool isWritableFile (const juce::File& file, const juce::File& folder)
    {
        if (! isInside (file, folder) || file.isDirectory())
            return false;
        return ! file.exists() || file.existsAsFile();
    }
}
