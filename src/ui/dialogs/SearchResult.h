#pragma once

#include <juce_data_structures/juce_data_structures.h>

// One hit of the preset search: a preset of a source node, or (number 0) the
// source node's own label. Copied by value; the node handle shares the node.
class SearchResult
{
public:
    SearchResult() = default;

    // Reads the node's ancestors for the location and its top-level node for the
    // category: call on the message thread, which owns the tree.
    SearchResult (const juce::ValueTree& source, float score, int number, const juce::String& name);

    // With location and category worked out beforehand (the search thread takes them
    // from its snapshot and never touches the tree).
    SearchResult (const juce::ValueTree& source, float score, int number, const juce::String& name,
                  const juce::String& location, const juce::String& category);

    // The node's path for a hit: its ancestors' labels below the root, outermost first,
    // then (for a preset hit, number not 0) the node's own label, joined by " - ".
    static juce::String makeLocation (const juce::ValueTree& node, int number);

    juce::ValueTree source;
    float score = 0.0f;
    int number = 0;
    juce::String name;
    juce::String location;
    // The "category" of the node's top-level source ("device", "archive", ...), which
    // orders hits of equal rank and name.
    juce::String category;
};
