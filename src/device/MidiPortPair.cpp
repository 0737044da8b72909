#include "device/MidiPortPair.h"
#include "device/DeviceObject.h"

juce::StringArray MidiPortPair::numberEqualNames (const juce::StringArray& names)
{
    juce::StringArray numbered;
    for (int i = 0; i < names.size(); ++i)
    {
        int total = 0, position = 0;
        for (int j = 0; j < names.size(); ++j)
        {
            if (names[j].equalsIgnoreCase (names[i]))
            {
                ++total;
                if (j <= i)
                    ++position;
            }
        }
        numbered.add (total > 1 ? names[i] + " (" + juce::String (position) + ")" : names[i]);
    }
    return numbered;
}

juce::String MidiPortPair::shortenedName (const juce::String& name)
{
    int cut = name.indexOfWholeWordIgnoreCase ("input");
    if (cut < 0)
        cut = name.indexOfWholeWordIgnoreCase ("in");
    if (cut < 0)
        return name;

    auto shortened = name.substring (0, cut);
    while (shortened.endsWithChar (' '))
        shortened = shortened.dropLastCharacters (1);
    return shortened;
}

juce::Array<MidiPortPair> MidiPortPair::pairPorts (const juce::StringArray& inputNames,
                                                   const juce::StringArray& outputNames)
{
    const auto inputs = numberEqualNames (inputNames);
    const auto outputs = numberEqualNames (outputNames);
    juce::Array<MidiPortPair> pairs;

    for (int i = 0; i < inputs.size(); ++i)
    {
        MidiPortPair pair;
        pair.displayName = inputs[i];
        pair.inputName = inputs[i];
        pair.inputIndex = i;
        pair.outputIndex = outputs.indexOf (inputs[i]);

        if (pair.outputIndex < 0)
        {
            const auto shortened = shortenedName (inputs[i]);
            // An empty shortened name would match every output.
            if (shortened.isNotEmpty())
            {
                for (int o = 0; o < outputs.size(); ++o)
                {
                    if (outputs[o].startsWith (shortened))
                    {
                        pair.outputIndex = o;
                        pair.displayName = shortened;
                        break;
                    }
                }
            }
        }

        if (pair.outputIndex < 0)
        {
            pair.displayName = "Unknown Device";
            pair.outputName = "Not found";
        }
        else
        {
            pair.outputName = outputs[pair.outputIndex];
        }
        pairs.add (pair);
    }

    // Shared outputs, in pair order: a pair is compared with the later pairs only while it
    // still has its output; of two pairs that share one, each whose input name differs
    // from the output's name loses it. So an output given up by two earlier pairs can stay
    // with a later one.
    for (int i = 0; i < pairs.size(); ++i)
    {
        auto& first = pairs.getReference (i);
        for (int j = i + 1; j < pairs.size() && first.outputIndex >= 0; ++j)
        {
            auto& second = pairs.getReference (j);
            if (second.outputIndex != first.outputIndex)
                continue;
            for (auto* p : { &first, &second })
                if (p->inputName != p->outputName)
                    p->outputIndex = -1;
        }
    }
    return pairs;
}

juce::Array<MidiPortPair> MidiPortPair::pairPorts (const MidiPortList& inputs, const MidiPortList& outputs)
{
    auto pairs = pairPorts (MidiPortId::namesOf (inputs), MidiPortId::namesOf (outputs));
    for (auto& p : pairs)
    {
        p.inputPort = inputs[p.inputIndex];
        p.outputPort = outputs[p.outputIndex];   // empty for -1
    }
    return pairs;
}
