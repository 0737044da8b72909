#include "model/Preset.h"
#include "model/StreamReading.h"
#include "model/SysExCodec.h"

#include <limits>

Preset::Preset (const Preset& other) : DeviceMidiData (other.format)
{
    copyFrom (other);
}

Preset& Preset::operator= (const Preset& other)
{
    copyFrom (other);
    return *this;
}

void Preset::copyFrom (const DeviceMidiData& other)
{
    if (&other == this)
        return;
    DeviceMidiData::copyFrom (other);
    if (auto* p = dynamic_cast<const Preset*> (&other))
    {
        infoSet = p->infoSet;
        info = p->info;
    }
}

void Preset::clear()
{
    DeviceMidiData::clear();
    infoSet = false;
    info = PresetInfo();
}

bool Preset::isSameData (const DeviceMidiData& other) const
{
    auto* p = dynamic_cast<const Preset*> (&other);
    return p != nullptr && infoSet && p->infoSet && info.dataVersion == p->info.dataVersion;
}

int Preset::getExpectedNumMessages() const
{
    const auto n = (juce::int64) info.stepCount * (juce::int64) packagesPerStep();
    return (int) juce::jlimit ((juce::int64) std::numeric_limits<int>::min(),
                               (juce::int64) std::numeric_limits<int>::max(), n);
}

bool Preset::isComplete() const
{
    return infoSet && packagesPerStep() > 0 && format.maxPresetSteps > 0
        && messages.size() == getExpectedNumMessages();
}

bool Preset::isConsistent() const
{
    return messages.size() == getExpectedNumMessages();
}

const juce::MidiMessage* Preset::messageAt (juce::int64 index) const
{
    return juce::isPositiveAndBelow (index, (juce::int64) messages.size()) ? &messages.getReference ((int) index) : nullptr;
}

bool Preset::acceptsMessage (const juce::MidiMessage& message) const
{
    return SysExCodec::isPresetDataPacket (message, format);
}

//==============================================================================
bool Preset::writeToStream (juce::OutputStream& out) const
{
    bool ok = out.writeInt (getExpectedNumMessages());
    ok = out.writeInt (messages.size()) && ok;
    ok = out.writeByte (modified ? 1 : 0) && ok;
    ok = out.writeInt (-1) && ok;
    ok = out.writeByte (infoSet ? 1 : 0) && ok;
    if (infoSet)
        ok = info.writeToStream (out) && ok;
    ok = out.writeInt (messages.size()) && ok;
    return writeMessages (out) && ok;
}

bool Preset::readFromStream (juce::InputStream& in)
{
    using namespace StreamReading;
    int firstCount = 0;
    if (! readInt (in, firstCount))
        return false;
    clear();

    juce::uint8 storedModified = 0, storedHasInfo = 0;
    int unused = 0;
    if (! readByte (in, storedModified) || ! readInt (in, unused) || ! readByte (in, storedHasInfo))
        return false;

    if (storedHasInfo != 0)
    {
        PresetInfo record;
        int nameLength = 0;
        if (! readInt (in, record.number) || ! readInt (in, record.dataVersion) || ! readInt (in, nameLength))
            return false;
        if (nameLength < 0 || nameLength > DeviceDataFormat::maxNameLength)
            return false;
        juce::uint8 nameBytes[DeviceDataFormat::maxNameLength];
        if (nameLength > 0 && in.read (nameBytes, nameLength) != nameLength)
            return false;
        record.setRawNameBytes (nameBytes, nameLength);
        if (! readInt (in, record.tags) || ! readInt (in, record.stepCount))
            return false;
        // Step counts travel as 7-bit numbers.
        if (record.stepCount < 0 || record.stepCount > DeviceDataFormat::maxSteps)
            return false;
        info = record;
        infoSet = true;
    }

    int secondCount = 0;
    if (! readInt (in, secondCount))
        return false;
    // Both counts must agree with the steps the record announces before anything is read.
    if (firstCount != secondCount || secondCount != getExpectedNumMessages() || secondCount < 0)
        return false;
    if (! readMessages (in, secondCount, format.getPresetPacketLength()))
        return false;

    setModified (storedModified != 0);
    return true;
}

bool Preset::writeSysExToStream (juce::OutputStream& out) const
{
    if (! infoSet)
        return false;
    const auto header = buildPresetHeaderMessage (info, format.productId);
    if (! out.write (header.getRawData(), (size_t) header.getRawDataSize()))
        return false;
    for (auto& m : messages)
        if (! out.write (m.getRawData(), (size_t) m.getRawDataSize()))
            return false;
    out.flush();
    return true;
}

void Preset::calculateMd5() const
{
    juce::MemoryBlock extra;
    if (infoSet)
    {
        juce::MemoryOutputStream record;
        info.writeToStream (record);
        const juce::MD5 md5 (record.getData(), record.getDataSize());
        extra.append (md5.getChecksumDataArray(), 16);
    }
    storeDigestOf (extra);
}

//==============================================================================
bool Preset::setInfo (const PresetInfo& newInfo)
{
    info = newInfo;
    infoSet = true;
    setModified (true);
    return true;
}

bool Preset::setNumber (int number)
{
    if (! infoSet)
        return false;
    info.number = number;
    setModified (true);
    return true;
}

bool Preset::setName (const juce::String& text)
{
    if (! infoSet)
        return false;
    if (text != info.getName())
    {
        info.writeName (text);
        setModified (true);
    }
    return true;
}

void Preset::renumberMessages()
{
    for (int i = 0; i < messages.size(); ++i)
    {
        auto& m = messages.getReference (i);
        const auto index = (juce::uint8) (i & 0x7F);
        if (m.getRawDataSize() > 7 && m.getRawData()[7] != index)
        {
            juce::HeapBlock<juce::uint8> bytes ((size_t) m.getRawDataSize());
            memcpy (bytes.get(), m.getRawData(), (size_t) m.getRawDataSize());
            bytes[7] = index;
            // Copy-assigned from a named message: JUCE's move assignment would leak
            // the heap bytes of the message it replaces.
            const juce::MidiMessage renumbered (bytes.get(), m.getRawDataSize(), 0.0);
            m = renumbered;
        }
    }
    setModified (true);
}

int Preset::getStepCapacity() const noexcept
{
    if (format.presetStepPacketSize < 4 || packagesPerStep() < 1)
        return 0;
    return (format.presetStepPacketSize / 4) * packagesPerStep();
}

//==============================================================================
juce::Array<int> Preset::wholeChosenSteps (const Preset& other, const juce::SparseSet<int>& steps, int limit) const
{
    juce::Array<int> chosen;
    const int p = packagesPerStep();
    const int otherP = other.packagesPerStep();
    if (p < 1 || otherP < 0 || limit < 1)
        return chosen;

    for (int r = 0; r < steps.getNumRanges() && chosen.size() < limit; ++r)
    {
        // A step cannot be whole beyond the messages the other preset holds.
        const int existing = juce::jmin (other.info.stepCount, other.getNumMessages());
        const auto range = steps.getRange (r).getIntersectionWith ({ 0, juce::jmax (0, existing) });
        for (int s = range.getStart(); s < range.getEnd() && chosen.size() < limit; ++s)
        {
            bool whole = true;
            for (int i = 0; i < p && whole; ++i)
            {
                auto* m = other.messageAt ((juce::int64) s * otherP + i);
                whole = m != nullptr && acceptsMessage (*m);
            }
            if (whole)
                chosen.add (s);
        }
    }
    return chosen;
}

void Preset::appendStepOf (const Preset& other, int step)
{
    const int p = packagesPerStep();
    for (int i = 0; i < p; ++i)
        appendVetted (*other.getMessage (step * other.packagesPerStep() + i));
}

int Preset::appendSteps (const Preset& other, const juce::SparseSet<int>& steps)
{
    if (! isSamePreset (other) || ! isConsistent())
        return 0;
    const int room = format.maxPresetSteps - info.stepCount;
    const auto chosen = wholeChosenSteps (other, steps, room);
    if (chosen.isEmpty())
        return 0;

    info.stepCount += chosen.size();
    for (auto s : chosen)
        appendStepOf (other, s);
    renumberMessages();
    return chosen.size();
}

int Preset::appendStepsFrom (const Preset& other)
{
    if (! infoSet || ! other.infoSet || other.info.stepCount < 1)
        return 0;
    juce::SparseSet<int> all;
    all.addRange ({ 0, other.info.stepCount });
    return appendSteps (other, all);
}

int Preset::insertStepsFrom (const Preset& other, int position, const juce::SparseSet<int>& steps)
{
    if (! isSamePreset (other) || ! isConsistent())
        return 0;
    const int count = info.stepCount;
    if (position < 0 || position > count)
        position = count;

    const int maxSteps = format.maxPresetSteps;
    const auto chosen = wholeChosenSteps (other, steps, maxSteps - position);
    const int m = chosen.size();
    if (m < 1)
        return 0;
    const int k = juce::jmax (0, juce::jmin (count - position, maxSteps - m - position));

    const int p = packagesPerStep();
    auto old = messages;
    removeAllMessages();
    for (int i = 0; i < position * p; ++i)
        appendVetted (old.getReference (i));
    for (auto s : chosen)
        appendStepOf (other, s);
    for (int i = position * p; i < (position + k) * p; ++i)
        appendVetted (old.getReference (i));

    info.stepCount = position + m + k;
    renumberMessages();
    return m;
}

bool Preset::replaceStep (const Preset& other, int targetStep)
{
    if (! isSamePreset (other) || other.info.stepCount < 1 || ! juce::isPositiveAndBelow (targetStep, info.stepCount))
        return false;

    // Everything is checked first, so that a refused replacement changes nothing.
    const int p = packagesPerStep();
    if (p < 1)
        return false;
    for (int i = 0; i < p; ++i)
    {
        auto* source = other.getMessage (i);
        if (messageAt ((juce::int64) targetStep * p + i) == nullptr || source == nullptr || ! acceptsMessage (*source))
            return false;
    }

    for (int i = 0; i < p; ++i)
    {
        messages.getReference (targetStep * p + i) = *other.getMessage (i);
        messages.getReference (targetStep * p + i).setTimeStamp (0.0);
    }
    renumberMessages();
    return true;
}

juce::Array<int> Preset::removeSteps (const juce::SparseSet<int>& steps)
{
    const int count = info.stepCount;
    juce::Array<int> remaining;
    juce::SparseSet<int> removed;
    for (int r = 0; r < steps.getNumRanges(); ++r)
    {
        const auto range = steps.getRange (r).getIntersectionWith ({ 0, juce::jmax (0, count) });
        if (! range.isEmpty())
            removed.addRange (range);
    }

    for (int s = 0; s < count; ++s)
        if (! removed.contains (s))
            remaining.add (s);

    if (removed.isEmpty())
        return remaining;

    const int p = packagesPerStep();
    if (p > 0)
    {
        auto old = messages;
        removeAllMessages();
        for (int i = 0; i < old.size(); ++i)
            if (! removed.contains (i / p))
                appendVetted (old.getReference (i));
    }
    info.stepCount = count - removed.size();
    renumberMessages();
    return remaining;
}

juce::Array<int> Preset::getStepData (int step) const
{
    juce::Array<int> values;
    const int p = packagesPerStep();
    if (messages.isEmpty() || p < 1 || ! juce::isPositiveAndBelow (step, info.stepCount))
        return values;
    for (int i = 0; i < p; ++i)
        if (messageAt ((juce::int64) step * p + i) == nullptr)
            return {};
    for (int i = 0; i < p; ++i)
        values.addArray (parseSysExValues (*messageAt ((juce::int64) step * p + i)));
    return values;
}

bool Preset::setStepData (int step, const juce::Array<int>& values)
{
    const int capacity = getStepCapacity();
    if (! infoSet || step < 0 || step > info.stepCount || values.isEmpty() || values.size() > capacity)
        return false;

    // A step is always whole: values short of a full step are followed by zeros,
    // just as a packet's unused value positions are.
    auto padded = values;
    while (padded.size() < capacity)
        padded.add (0);

    const auto packets = buildPresetDataMessages (padded, format);
    if (packets.size() != packagesPerStep())
        return false;

    Preset single (format);
    auto singleInfo = info;
    singleInfo.stepCount = 1;
    single.setInfo (singleInfo);
    for (auto& m : packets)
        if (! single.addMessage (m))
            return false;

    if (step == info.stepCount)
        return appendStepsFrom (single) > 0;
    return replaceStep (single, step);
}
