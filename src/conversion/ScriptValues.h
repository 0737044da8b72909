#pragma once

#include "model/Preset.h"

// Conversions between the program's values and what rule scripts see and hand back.
// Nothing here throws or has undefined results, whatever a script passes.
namespace ScriptValues
{
    // A number as an int: doubles are truncated and, like 64-bit values, clamped into
    // the int range (NaN gives 0); texts are read as numbers; anything else gives 0.
    int toInt (const juce::var& value) noexcept;

    // True for the number types a script can pass (int, 64-bit int, double).
    bool isNumber (const juce::var& value) noexcept;

    // Reads an index argument: true with the value when it is a number.
    bool readIndex (const juce::var& value, int& index) noexcept;

    juce::var toArray (const juce::Array<int>& values);
    // False when the value is not an array; else each element read with toInt.
    bool fromArray (const juce::var& value, juce::Array<int>& values);

    // The header object of a preset: "number", "version", "name", "tags", "steps".
    juce::DynamicObject::Ptr makeHeader (const PresetInfo& info);

    // Dismantles everything reachable from the given values without recursion, so that
    // releasing deeply nested arrays or objects that a script built cannot exhaust the
    // stack. Every array and object met is emptied.
    void dismantle (juce::Array<juce::var> values);
}
