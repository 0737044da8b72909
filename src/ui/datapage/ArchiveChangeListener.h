#pragma once

#include <juce_data_structures/juce_data_structures.h>

// Told by the data page when a property of a source node (an archive item or group) changed.
class ArchiveChangeListener
{
public:
    virtual ~ArchiveChangeListener() = default;
    virtual void archiveChanged (const juce::ValueTree& node, const juce::Identifier& property) = 0;
};
