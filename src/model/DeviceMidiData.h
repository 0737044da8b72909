#pragma once

#include <juce_audio_basics/juce_audio_basics.h>
#include <juce_cryptography/juce_cryptography.h>
#include "model/DeviceDataFormat.h"

// The common base of the two kinds of SysEx-holding item: the item's messages,
// the format they follow, a modified flag and an MD5 digest computed on demand.
// Only messages that are well-framed packets of the item's kind are ever stored.
class DeviceMidiData
{
public:
    explicit DeviceMidiData (const DeviceDataFormat& f) : format (f) {}
    virtual ~DeviceMidiData() = default;

    // Copies flag, format, messages and digest (nothing when given itself).
    virtual void copyFrom (const DeviceMidiData& other);

    virtual int getDataType() const = 0;  // 1 preset, 2 setup

    // Sets the flag; every edit also drops the digest.
    virtual void setModified (bool shouldBeModified);
    virtual bool isModified() const { return modified; }

    // Empties the messages; flag false, digest dropped.
    virtual void clear();

    virtual const DeviceDataFormat& getFormat() const { return format; }
    // Replaces the format; flag and digest stay as they are.
    virtual void setFormat (const DeviceDataFormat& f) { format = f; }

    // Stores a copy (time stamp 0) when it is a well-framed packet of this item's
    // kind for its format, marks the item modified and drops the digest. A message
    // of any other shape is refused (false) and nothing changes.
    virtual bool addMessage (const juce::MidiMessage& message);

    virtual int getNumMessages() const { return messages.size(); }
    // Null outside 0 .. n-1.
    virtual const juce::MidiMessage* getMessage (int index) const;

    // Callers pass only an item of the same kind.
    virtual bool isSameData (const DeviceMidiData& other) const = 0;
    virtual bool isComplete() const = 0;
    virtual int getExpectedNumMessages() const = 0;
    virtual int getDataVersion() const = 0;

    virtual bool writeToStream (juce::OutputStream& out) const = 0;
    virtual bool writeSysExToStream (juce::OutputStream& out) const = 0;
    virtual bool readFromStream (juce::InputStream& in) = 0;

    // Computes and stores the digest (MD5 of the concatenated MD5s of the parts).
    virtual void calculateMd5() const = 0;

    // The digest, computed first when none is stored.
    juce::MD5 getMd5() const;

protected:
    DeviceMidiData (const DeviceMidiData&) = default;
    DeviceMidiData& operator= (const DeviceMidiData&) = default;

    // Whether a message has the shape of this item's packets.
    virtual bool acceptsMessage (const juce::MidiMessage& message) const = 0;

    // MD5 over the MD5 of each message's raw bytes and then the extra parts given.
    void storeDigestOf (const juce::MemoryBlock& extraDigests) const;

    // Appends without the shape check (for messages this class already vetted).
    void appendVetted (const juce::MidiMessage& message);
    void removeAllMessages();

    // Reads `count` messages of `expectedLength` bytes each (an int length, then the
    // bytes); any other length, a short read or a refused message fails.
    bool readMessages (juce::InputStream& in, int count, int expectedLength);
    bool writeMessages (juce::OutputStream& out) const;

    bool modified = false;
    DeviceDataFormat format;
    juce::Array<juce::MidiMessage> messages;
    mutable juce::MD5 digest;  // all zero = not computed
};
