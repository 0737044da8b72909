#include "model/PresetInfo.h"

PresetInfo::PresetInfo (const PresetInfo& other)
{
    operator= (other);
}

PresetInfo& PresetInfo::operator= (const PresetInfo& other)
{
    if (this != &other)
    {
        number = other.number;
        dataVersion = other.dataVersion;
        tags = other.tags;
        stepCount = other.stepCount;
        if (other.name != nullptr)
            setNameBytes (other.name.get(), other.nameLength);
        else
            setNameBytes (nullptr, 0);
    }
    return *this;
}

void PresetInfo::setNameBytes (const void* bytes, int length)
{
    nameLength = juce::jmax (0, length);
    name.free();
    if (nameLength == 0)
        return;

    name.calloc ((size_t) nameLength);
    if (bytes == nullptr)
        return;

    auto* src = static_cast<const juce::uint8*> (bytes);
    for (int i = 0; i < nameLength; ++i)
    {
        if (src[i] < 1 || src[i] > 127)
            break;
        name[i] = src[i];
    }
}

void PresetInfo::setRawNameBytes (const void* bytes, int length)
{
    nameLength = juce::jmax (0, length);
    name.free();
    if (nameLength == 0)
        return;
    name.calloc ((size_t) nameLength);
    if (bytes != nullptr)
        memcpy (name.get(), bytes, (size_t) nameLength);
}

juce::String PresetInfo::getName() const
{
    juce::String result;
    if (name == nullptr)
        return result;

    // Stored names are plain ASCII; any other byte is shown as the character of its code.
    for (int i = 0; i < nameLength && name[i] != 0; ++i)
        result += juce::String::charToString ((juce::juce_wchar) name[i]);
    return result;
}

void PresetInfo::writeName (const juce::String& text)
{
    if (name == nullptr)
        return;
    juce::zeromem (name.get(), (size_t) nameLength);
    auto p = text.getCharPointer();
    for (int i = 0; i < nameLength; ++i)
    {
        const auto c = p.getAndAdvance();
        if (c == 0 || c >= 128)
            break;
        name[i] = (juce::uint8) c;
    }
}

bool PresetInfo::writeToStream (juce::OutputStream& out) const
{
    bool ok = out.writeInt (number);
    ok = out.writeInt (dataVersion) && ok;
    ok = out.writeInt (nameLength) && ok;
    if (name != nullptr && nameLength != 0)
        ok = out.write (name.get(), (size_t) nameLength) && ok;
    ok = out.writeInt (tags) && ok;
    ok = out.writeInt (stepCount) && ok;
    return ok;
}

bool PresetInfo::operator== (const PresetInfo& o) const noexcept
{
    if (number != o.number || dataVersion != o.dataVersion || tags != o.tags || stepCount != o.stepCount
        || nameLength != o.nameLength || (name == nullptr) != (o.name == nullptr))
        return false;
    return name == nullptr || memcmp (name.get(), o.name.get(), (size_t) nameLength) == 0;
}
