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

juce::StringArray getEmbeddedResourceNames()
{
    juce::StringArray names;
    for (int i = 0; i < embeddedResourceCount; ++i)
        names.add (embeddedResourceTable[i].name);
    return names;
}
