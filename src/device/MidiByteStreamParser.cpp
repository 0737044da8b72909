#include "device/MidiByteStreamParser.h"

MidiByteStreamParser::MidiByteStreamParser (size_t maxSysExBytes)
    : maxSysEx (juce::jmax ((size_t) 2, maxSysExBytes))
{
}

void MidiByteStreamParser::reset()
{
    inSysEx = false;
    sysExTooLong = false;
    sysEx.clear();
    status = 0;
    statusRuns = false;
    needed = gathered = 0;
}

void MidiByteStreamParser::endSysEx (bool complete)
{
    if (! complete || sysExTooLong)
        ++droppedSysEx;
    inSysEx = false;
    sysExTooLong = false;
    sysEx.clear();
}

void MidiByteStreamParser::startStatus (juce::uint8 b, double timeStamp, const Output& output)
{
    gathered = 0;

    if (b < 0xF0)
    {
        status = b;
        statusRuns = true;
        needed = (b & 0xE0) == 0xC0 ? 1 : 2;   // program change and channel pressure take one
        return;
    }

    // System common messages end any running status.
    switch (b)
    {
        case 0xF1: case 0xF3: needed = 1; break;
        case 0xF2:            needed = 2; break;
        default:              needed = 0; break;   // F6 and the undefined F4, F5
    }

    if (needed == 0)
    {
        status = 0;
        output (juce::MidiMessage (&b, 1, timeStamp));
        return;
    }
    status = b;
    statusRuns = false;
}

void MidiByteStreamParser::feed (const juce::uint8* data, size_t size, double timeStamp, const Output& output)
{
    for (size_t i = 0; i < size; ++i)
    {
        const juce::uint8 b = data[i];

        if (b >= 0xF8)
        {
            output (juce::MidiMessage (&b, 1, timeStamp));
            continue;
        }

        if (inSysEx)
        {
            if (b == 0xF7)
            {
                if (! sysExTooLong)
                {
                    sysEx.push_back (b);
                    const juce::MidiMessage m (sysEx.data(), (int) sysEx.size(), timeStamp);
                    endSysEx (true);
                    output (m);
                }
                else
                {
                    endSysEx (true);
                }
                continue;
            }

            if (b < 0x80)
            {
                if (! sysExTooLong)
                {
                    // Room is kept for the F7 that ends it.
                    if (sysEx.size() + 2 > maxSysEx)
                    {
                        sysExTooLong = true;
                        sysEx.clear();
                        sysEx.shrink_to_fit();
                    }
                    else
                    {
                        sysEx.push_back (b);
                    }
                }
                continue;
            }

            // Another status byte cuts the SysEx short; that byte starts its own message.
            endSysEx (false);
        }

        if (b == 0xF0)
        {
            strayBytes += gathered;   // a message cut short
            status = 0;
            statusRuns = false;
            gathered = 0;
            inSysEx = true;
            sysExTooLong = false;
            sysEx.clear();
            sysEx.push_back (b);
            continue;
        }

        if (b == 0xF7)
        {
            ++strayBytes;   // an end without a start
            continue;
        }

        if (b >= 0x80)
        {
            strayBytes += gathered;   // the message before it was cut short
            startStatus (b, timeStamp, output);
            continue;
        }

        if (status == 0)
        {
            ++strayBytes;
            continue;
        }

        dataBytes[gathered++] = b;
        if (gathered == needed)
        {
            const juce::uint8 bytes[3] = { status, dataBytes[0], dataBytes[1] };
            gathered = 0;
            if (! statusRuns)
                status = 0;
            output (juce::MidiMessage (bytes, needed + 1, timeStamp));
        }
    }
}
