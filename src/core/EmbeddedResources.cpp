#include "core/EmbeddedResources.h"

const void* getEmbeddedResource (const juce::String& name, int& size)
{
    for (int i = 0; i < embeddedResourceCount; ++i)
    {
        const auto& r = embeddedResourceTable[i];
        if (name == r.name)
        {
            size = r.size;
            return r.data;
        }
    }
    size = 0;
    return nullptr;
}

bool hasEmbeddedResource (const juce::String& name)
{
    int size = 0;
    return getEmbeddedResource (name, size) != nullptr;
}

juce::String getEmbeddedResourceKey (const juce::String& fileName)
{
    juce::String key;
    for (auto c : fileName)
        key << (juce::CharacterFunctions::isLetterOrDigit (c) && c < 128 ? juce::String::charToString (c) : juce::String ("_"));
    if (key.isNotEmpty() && juce::CharacterFunctions::isDigit (key[0]))
        key = "_" + key;
    return key;
}

juce::StringArray getEmbeddedResourceNames()
{
    juce::StringArray names;
    for (int i = 0; i < embeddedResourceCount; ++i)
        names.add (embeddedResourceTable[i].name);
    return names;
}
