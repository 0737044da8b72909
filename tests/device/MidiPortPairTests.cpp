#include <gtest/gtest.h>
#include "device/MidiPortPair.h"

namespace
{
    juce::Array<MidiPortPair> pair (const juce::StringArray& in, const juce::StringArray& out)
    {
        return MidiPortPair::pairPorts (in, out);
    }
}

TEST (MidiPortPairing, EqualNamesAndShortenedNames)
{
    auto p = pair ({ "Unit In", "Merle MIDI", "Keyboard" }, { "Merle MIDI", "Unit Out", "Synth" });
    ASSERT_EQ (p.size(), 3);

    // "Unit In" finds "Unit Out" by the shortened name.
    EXPECT_EQ (p[0].displayName, "Unit");
    EXPECT_EQ (p[0].inputName, "Unit In");
    EXPECT_EQ (p[0].inputIndex, 0);
    EXPECT_EQ (p[0].outputName, "Unit Out");
    EXPECT_EQ (p[0].outputIndex, 1);

    // Equal names pair by the name.
    EXPECT_EQ (p[1].displayName, "Merle MIDI");
    EXPECT_EQ (p[1].outputIndex, 0);
    EXPECT_EQ (p[1].outputName, "Merle MIDI");

    // Neither word, no equal output, no output starting with the name.
    EXPECT_EQ (p[2].displayName, "Unknown Device");
    EXPECT_EQ (p[2].outputName, "Not found");
    EXPECT_EQ (p[2].outputIndex, -1);
    EXPECT_EQ (p[2].inputName, "Keyboard");
}

TEST (MidiPortPairing, CuttingAtTheWholeWordsInputAndIn)
{
    EXPECT_EQ (MidiPortPair::shortenedName ("Studio INPUT 2"), "Studio");
    EXPECT_EQ (MidiPortPair::shortenedName ("Piper Input"), "Piper");
    // "input" wins over an earlier "in".
    EXPECT_EQ (MidiPortPair::shortenedName ("Box in Input"), "Box in");
    EXPECT_EQ (MidiPortPair::shortenedName ("Merle in   "), "Merle");
    // Words only: "Inside" and "Main" hold the letters but not the word.
    EXPECT_EQ (MidiPortPair::shortenedName ("Inside Main"), "Inside Main");
    EXPECT_EQ (MidiPortPair::shortenedName ("Port-in-1"), "Port-");
    // A name that is nothing but the word matches no output rather than all of them.
    auto p = pair ({ "In" }, { "Anything" });
    EXPECT_EQ (p[0].outputIndex, -1);
    EXPECT_EQ (p[0].displayName, "Unknown Device");

    // The shortened name must start the output's name, case and all.
    p = pair ({ "merle in" }, { "Merle Out" });
    EXPECT_EQ (p[0].outputIndex, -1);
}

TEST (MidiPortPairing, EqualNamesAreNumberedInBothLists)
{
    EXPECT_EQ (MidiPortPair::numberEqualNames ({ "N", "A", "n", "N" }),
               (juce::StringArray { "N (1)", "A", "n (2)", "N (3)" }));

    auto p = pair ({ "N", "N" }, { "N", "N" });
    ASSERT_EQ (p.size(), 2);
    EXPECT_EQ (p[0].inputName, "N (1)");
    EXPECT_EQ (p[1].inputName, "N (2)");
    EXPECT_EQ (p[0].outputIndex, 0);
    EXPECT_EQ (p[1].outputIndex, 1);
    EXPECT_EQ (p[1].outputName, "N (2)");
}

TEST (MidiPortPairing, SharedOutputsGoOnlyToTheInputOfTheSameName)
{
    // Both reach "Unit Out" through the shortened name; neither carries its name: both lose it.
    auto p = pair ({ "Unit In", "Unit In 2" }, { "Unit Out" });
    ASSERT_EQ (p.size(), 2);
    for (auto& x : p)
    {
        EXPECT_EQ (x.outputIndex, -1);
        EXPECT_EQ (x.outputName, "Unit Out");   // the names stay
        EXPECT_EQ (x.displayName, "Unit");
    }

    // An input named like the output keeps it; the other one loses it.
    p = pair ({ "Unit In", "Unit Out" }, { "Unit Out" });
    EXPECT_EQ (p[0].outputIndex, -1);
    EXPECT_EQ (p[1].outputIndex, 0);

    p = pair ({ "Unit Out", "Unit In" }, { "Unit Out" });
    EXPECT_EQ (p[0].outputIndex, 0);
    EXPECT_EQ (p[1].outputIndex, -1);

    // Three inputs on one output, compared in pair order: the first two give it up to each
    // other; the first has no output left to compare, so the last keeps it.
    p = pair ({ "Unit In", "Unit In 2", "Unit In 3" }, { "Unit Out" });
    EXPECT_EQ (p[0].outputIndex, -1);
    EXPECT_EQ (p[1].outputIndex, -1);
    EXPECT_EQ (p[2].outputIndex, 0);
    EXPECT_EQ (p[2].outputName, "Unit Out");

    // An input named like the output keeps it against every later one.
    p = pair ({ "Unit Out", "Unit In", "Unit In 2" }, { "Unit Out" });
    EXPECT_EQ (p[0].outputIndex, 0);
    EXPECT_EQ (p[1].outputIndex, -1);
    EXPECT_EQ (p[2].outputIndex, -1);
}
