#pragma once

#include <juce_core/juce_core.h>

// The preset header record: what a preset header message carries.
class PresetInfo
{
public:
    PresetInfo() = default;
    PresetInfo (const PresetInfo& other);
    PresetInfo& operator= (const PresetInfo& other);

    juce::int32 number = 0;
    juce::int32 dataVersion = 0;
    juce::int32 tags = 0;
    juce::int32 stepCount = 0;

    // The name length becomes `length` (negative counts as 0). The buffer is made
    // zeroed and filled from `bytes` up to the first byte outside 1..127. Without
    // bytes the buffer stays zeroed, so a name length above 0 always has its buffer.
    void setNameBytes (const void* bytes, int length);

    // Takes the bytes exactly as given (used when a stored record is read back).
    void setRawNameBytes (const void* bytes, int length);

    int getNameLength() const noexcept { return nameLength; }
    const juce::uint8* getNameData() const noexcept { return name.get(); }
    bool hasNameBuffer() const noexcept { return name != nullptr; }

    // The name bytes up to the first zero byte; empty without a buffer.
    juce::String getName() const;

    // Zeroes the buffer and copies characters while they fit and are below 128.
    void writeName (const juce::String& text);

    // The record's stored form: number, data version, name length, the name bytes
    // (only with a buffer and a length), tags, step count; integers little-endian.
    bool writeToStream (juce::OutputStream& out) const;

    bool operator== (const PresetInfo& o) const noexcept;
    bool operator!= (const PresetInfo& o) const noexcept { return ! operator== (o); }

private:
    juce::int32 nameLength = 0;
    juce::HeapBlock<juce::uint8> name;
};
