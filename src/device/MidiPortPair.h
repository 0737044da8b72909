#pragma once

#include "device/MidiPortLayer.h"
#include <memory>

class DeviceObject;

// One MIDI input port and the output port it was paired with, and the device object that
// stands for the unit behind them.
struct MidiPortPair
{
    juce::String displayName;   // the input name, the shortened name that found the output, or "Unknown Device"
    juce::String inputName;     // after numbering of equal names
    int inputIndex = -1;
    juce::String outputName;    // the paired output's name, or "Not found"
    int outputIndex = -1;       // -1: none, also when a shared output was taken away
    // The ports as listed when the pair was made, which its device object opens (empty: none).
    MidiPortId inputPort, outputPort;
    std::shared_ptr<DeviceObject> device;

    // Pairs every input with an output (a pure function of the two name lists, in port
    // order):
    // - equal names (case ignored) are numbered "Name (1)", "Name (2)", ... in both lists;
    // - an input pairs with the output of exactly its name; else its name is cut before the
    //   whole word "input", or else "in" (case ignored), trailing blanks removed, and the
    //   first output that starts with that shortened name is taken;
    // - shared outputs, in pair order: each pair is compared with the later ones while it
    //   still has its output; when two reach the same output, each whose name differs from
    //   that output's name loses it (its names stay as they were).
    static juce::Array<MidiPortPair> pairPorts (const juce::StringArray& inputNames,
                                                const juce::StringArray& outputNames);
    // The same for the listed ports, giving each pair its ports.
    static juce::Array<MidiPortPair> pairPorts (const MidiPortList& inputs, const MidiPortList& outputs);

    // Names that occur more than once (case ignored) get " (n)" appended, counting from 1.
    static juce::StringArray numberEqualNames (const juce::StringArray& names);

    // The name cut before the whole word "input", or else "in", with trailing blanks removed;
    // the name itself when it has neither word.
    static juce::String shortenedName (const juce::String& inputName);
};
