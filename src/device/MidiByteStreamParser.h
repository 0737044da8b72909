#pragma once

#include <juce_audio_basics/juce_audio_basics.h>
#include <functional>
#include <vector>

// Turns a raw MIDI byte stream, fed in pieces of any size, into whole messages: SysEx from
// F0 to F7, channel messages (with running status), system common and real-time messages.
// A real-time byte inside a SysEx is passed on at once and leaves the SysEx going, as on a
// MIDI cable. Data bytes without a status before them are dropped, and so is a SysEx that
// grows past the size limit or that another status byte cuts short.
class MidiByteStreamParser
{
public:
    using Output = std::function<void (const juce::MidiMessage&)>;

    // The limit counts the whole SysEx, F0 and F7 included.
    explicit MidiByteStreamParser (size_t maxSysExBytes = 65536);

    // Calls `output` for every message these bytes complete, in stream order, each with the
    // given time stamp.
    void feed (const juce::uint8* data, size_t size, double timeStamp, const Output& output);

    // Forgets a message that is under way and the running status.
    void reset();

    size_t getMaxSysExBytes() const noexcept  { return maxSysEx; }
    juce::int64 getDroppedSysExCount() const noexcept { return droppedSysEx; }
    juce::int64 getStrayByteCount() const noexcept    { return strayBytes; }

private:
    void startStatus (juce::uint8 status, double timeStamp, const Output& output);
    void endSysEx (bool complete);

    const size_t maxSysEx;

    bool inSysEx = false;
    bool sysExTooLong = false;
    std::vector<juce::uint8> sysEx;

    juce::uint8 status = 0;       // of the message being gathered; 0 = none
    bool statusRuns = false;      // channel messages keep their status for the next one
    int needed = 0, gathered = 0;
    juce::uint8 dataBytes[2] {};

    juce::int64 droppedSysEx = 0, strayBytes = 0;
};
