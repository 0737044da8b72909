#pragma once

#include <juce_core/juce_core.h>

// Artwork compiled into the program (the files under resources/), looked up by
// name: the file name with every character that is not a letter or a digit
// replaced by '_' ("tick.svg" -> "tick_svg"; a leading digit gets a '_' in front).
struct EmbeddedResource
{
    const char* name;
    const unsigned char* data;
    int size;
};

// The resource's bytes and size, or null (size 0) when there is none of that name.
const void* getEmbeddedResource (const juce::String& name, int& size);

// True when a resource of that name exists.
bool hasEmbeddedResource (const juce::String& name);

// The name a file of the artwork folder is embedded under ("tick.svg" -> "tick_svg").
juce::String getEmbeddedResourceKey (const juce::String& fileName);

// Every resource name, in name order.
juce::StringArray getEmbeddedResourceNames();

// The generated table (EmbeddedResourceData.cpp).
extern const EmbeddedResource embeddedResourceTable[];
extern const int embeddedResourceCount;
