#include "model/DeviceData.h"
#include "core/AppPaths.h"

DeviceData::DeviceData (const VersionNumber& v, const DeviceDataFormat& f, const FactoryBank* bank)
    : productName (AppPaths::getProductName (f.productId)), version (v), format (f), setup (f)
{
    initialiseSlots();
    if (bank != nullptr)
        factoryBank = std::make_unique<FactoryBank> (*bank);
    else
        factoryBank = FactoryBank::lookUp (f.productId, v.build);
}

DeviceData::DeviceData (const VersionNumber& v, const DeviceDataFormat& f, const FactoryBank* bank, NoBankLookup)
    : version (v), format (f), setup (f)
{
    initialiseSlots();
    if (bank != nullptr)
        factoryBank = std::make_unique<FactoryBank> (*bank);
}

DeviceData::~DeviceData() = default;

void DeviceData::initialiseSlots()
{
    // A format never makes more slots than a preset number can address.
    const int n = juce::jlimit (0, DeviceDataFormat::maxSlots, format.numPresets);
    presets.ensureStorageAllocated (n);
    for (int i = 0; i < n; ++i)
        presets.add (nullptr);
}

std::unique_ptr<Preset> DeviceData::copyOfPreset (const Preset& p) const
{
    return std::make_unique<Preset> (p);
}

//==============================================================================
bool DeviceData::hasPreset (int index) const
{
    return getPreset (index) != nullptr;
}

Preset* DeviceData::getPreset (int index) const
{
    return juce::isPositiveAndBelow (index, presets.size()) ? presets.getUnchecked (index) : nullptr;
}

Preset* DeviceData::createPreset (int index)
{
    if (! juce::isPositiveAndBelow (index, presets.size()))
        return nullptr;
    auto* p = new Preset (format);
    presets.set (index, p, true);
    modified = true;
    return p;
}

bool DeviceData::setPreset (int index, std::unique_ptr<Preset> preset)
{
    if (! juce::isPositiveAndBelow (index, presets.size()) || preset == nullptr)
        return false;
    presets.set (index, preset.release(), true);
    modified = true;
    return true;
}

void DeviceData::removePreset (int index)
{
    if (hasPreset (index))
    {
        presets.set (index, nullptr, true);
        modified = true;
    }
}

void DeviceData::removePresets (const juce::Array<int>& indices)
{
    for (auto i : indices)
        removePreset (i);
}

void DeviceData::removeAllPresets()
{
    for (int i = 0; i < presets.size(); ++i)
        removePreset (i);
}

void DeviceData::clear()
{
    removeAllPresets();
    clearSetup();
}

int DeviceData::countPresets() const
{
    int n = 0;
    for (auto* p : presets)
        if (p != nullptr)
            ++n;
    return n;
}

juce::Array<int> DeviceData::getPresetIndices() const
{
    return getPresetIndices (0, presets.size() - 1);
}

juce::Array<int> DeviceData::getPresetIndices (int first, int last) const
{
    juce::Array<int> result;
    for (int i = juce::jmax (0, first); i <= juce::jmin (last, presets.size() - 1); ++i)
        if (presets.getUnchecked (i) != nullptr)
            result.add (i);
    return result;
}

juce::Array<int> DeviceData::getEmptySlots (int last) const
{
    juce::Array<int> result;
    for (int i = 1; i <= juce::jmin (last, presets.size() - 1); ++i)
        if (presets.getUnchecked (i) == nullptr)
            result.add (i);
    return result;
}

juce::StringArray DeviceData::getPresetNames (const juce::Array<int>& indices) const
{
    juce::StringArray names;
    for (auto i : indices)
    {
        auto* p = getPreset (i);
        names.add (p != nullptr ? p->getName() : juce::String());
    }
    return names;
}

bool DeviceData::isPresetModified (int index) const
{
    auto* p = getPreset (index);
    return p != nullptr && p->isModified();
}

void DeviceData::setPresetModified (int index, bool shouldBeModified)
{
    if (! juce::isPositiveAndBelow (index, presets.size()))
        return;
    if (auto* p = getPreset (index))
        p->setModified (shouldBeModified);
    if (shouldBeModified)
        modified = true;
}

bool DeviceData::isModified() const
{
    if (modified)
        return true;
    for (int i = 1; i < presets.size(); ++i)
        if (auto* p = presets.getUnchecked (i))
            if (p->isModified())
                return true;
    return setup.isComplete() && setup.isModified();
}

void DeviceData::clearModifiedFlags (bool onlyIfNothingPending)
{
    if (onlyIfNothingPending)
    {
        const bool saved = modified;
        modified = false;
        if (isModified())
        {
            modified = saved;
            return;
        }
    }
    modified = false;
    for (auto* p : presets)
        if (p != nullptr)
            p->setModified (false);
    if (setup.isComplete())
        setup.setModified (false);
}

bool DeviceData::differsFromFactoryPreset (int index) const
{
    auto* p = getPreset (index);
    if (p == nullptr)
        return false;
    return factoryBank == nullptr || ! factoryBank->isFactoryPreset (index, p->getMd5());
}

int DeviceData::countNonFactoryPresets() const
{
    return getNonFactoryPresetIndices().size();
}

juce::Array<int> DeviceData::getNonFactoryPresetIndices() const
{
    juce::Array<int> result;
    for (int i = 0; i < presets.size(); ++i)
        if (differsFromFactoryPreset (i))
            result.add (i);
    return result;
}

void DeviceData::collectPresetChanges (const DeviceData& reference, juce::Array<int>& outMissing,
                                       juce::Array<int>& outModified) const
{
    for (int i = 1; i < presets.size(); ++i)
    {
        auto* p = presets.getUnchecked (i);
        if (p != nullptr && p->isModified())
            outModified.add (i);
        if (p == nullptr && reference.hasPreset (i))
            outMissing.add (i);
    }
}

bool DeviceData::setSetup (const SetupData& newSetup, bool markModified)
{
    if (setup.isComplete() && ! setup.isSameSetup (newSetup))
        return false;
    if (newSetup.getSetupDataVersion() != format.setupVersion)
        return false;
    if (&newSetup != &setup)
        setup = newSetup;
    if (markModified)
    {
        setup.setModified (true);
        modified = true;
    }
    return true;
}

void DeviceData::clearSetup()
{
    setup.clear();
    modified = true;
}

bool DeviceData::hasSameFormat (const DeviceDataFormat& other) const noexcept
{
    return format.hasSameVersions (other);
}

bool DeviceData::hasGapsBetweenPresets() const
{
    bool gap = false;
    for (int i = 1; i < presets.size(); ++i)
    {
        if (presets.getUnchecked (i) == nullptr)
            gap = true;
        else if (gap)
            return true;
    }
    return false;
}

void DeviceData::compactPresets (int last)
{
    const int slots = presets.size();
    const int limit = juce::jmin (last, slots - 1);
    bool moved = false;

    for (int s = 1; s < limit; ++s)
    {
        if (presets.getUnchecked (s) != nullptr)
            continue;
        int next = s + 1;
        while (next < slots && presets.getUnchecked (next) == nullptr)
            ++next;
        if (next >= slots || next > limit)
            break;

        // The run of filled slots from `next` moves down to start at `s`; going up
        // from its first preset, every target is empty or already vacated.
        for (int r = 0; next + r < slots && presets.getUnchecked (next + r) != nullptr; ++r)
        {
            presets.swap (s + r, next + r);
            presets.getUnchecked (s + r)->setNumber (s + r);
        }
        moved = true;
    }

    if (moved)
        modified = true;
}

void DeviceData::copyPresetFrom (int index, const DeviceData& source)
{
    if (&source == this || ! source.hasPreset (index) || ! juce::isPositiveAndBelow (index, presets.size()))
        return;
    auto copy = copyOfPreset (*source.getPreset (index));
    copy->setModified (true);
    presets.set (index, copy.release(), true);
    modified = true;
}

void DeviceData::copyPresetTo (int target, int sourceIndex, const DeviceData& source)
{
    if ((&source == this && target == sourceIndex) || ! source.hasPreset (sourceIndex)
        || ! juce::isPositiveAndBelow (target, presets.size()))
        return;
    auto copy = copyOfPreset (*source.getPreset (sourceIndex));
    copy->setNumber (target);
    presets.set (target, copy.release(), true);
    modified = true;
}

juce::Array<int> DeviceData::getInsertSlots (int position, const juce::Array<int>& sourceSlots) const
{
    juce::Array<int> touched;
    const int slots = presets.size();
    if (! juce::isPositiveAndBelow (position, slots))
        return touched;
    const int n = juce::jmin (sourceSlots.size(), slots - position);
    if (n < 1)
        return touched;

    int empty = 0;
    for (int i = 0; i < n; ++i)
    {
        touched.add (position + i);
        if (presets.getUnchecked (position + i) == nullptr)
            ++empty;
    }
    for (int s = position + n; s < slots && empty < n; ++s)
    {
        touched.add (s);
        if (presets.getUnchecked (s) == nullptr)
            ++empty;
    }
    return touched;
}

bool DeviceData::insertionFits (int position, const juce::Array<int>& sourceSlots) const
{
    const auto touched = getInsertSlots (position, sourceSlots);
    if (touched.isEmpty())
        return false;
    const int n = juce::jmin (sourceSlots.size(), presets.size() - position);
    int empty = 0;
    for (auto s : touched)
        if (presets.getUnchecked (s) == nullptr)
            ++empty;
    return empty >= n;
}

bool DeviceData::insertPresets (int position, const juce::Array<int>& sourceSlots, const DeviceData& source)
{
    // An insertion without room for every shifted preset would drop presets: refused.
    if (! insertionFits (position, sourceSlots))
        return false;
    const int n = juce::jmin (sourceSlots.size(), presets.size() - position);
    const auto touched = getInsertSlots (position, sourceSlots);

    // Copies of the incoming presets first: the source may be this very data.
    juce::OwnedArray<Preset> incoming;
    for (int i = 0; i < n; ++i)
    {
        auto* p = source.getPreset (sourceSlots.getUnchecked (i));
        incoming.add (p != nullptr ? copyOfPreset (*p).release() : nullptr);
    }

    juce::Array<Preset*> shifted;
    for (auto s : touched)
        if (auto* p = presets.getUnchecked (s))
        {
            shifted.add (p);
            presets.set (s, nullptr, false);
        }

    for (int i = 0; i < n; ++i)
    {
        auto* p = incoming.removeAndReturn (0);
        presets.set (position + i, p, true);
        if (p != nullptr)
            p->setNumber (position + i);
    }
    for (int k = 0; k < shifted.size(); ++k)
    {
        presets.set (position + n + k, shifted.getUnchecked (k), true);
        shifted.getUnchecked (k)->setNumber (position + n + k);
    }
    modified = true;
    return true;
}

void DeviceData::swapPresets (int a, int b, DeviceData& other)
{
    if (! hasPreset (a) || ! other.hasPreset (b))
        return;
    auto* pa = presets.getUnchecked (a);
    auto* pb = other.presets.getUnchecked (b);
    presets.set (a, pb, false);
    other.presets.set (b, pa, false);
    pb->setNumber (a);
    pa->setNumber (b);
    modified = true;
    other.modified = true;
}

std::unique_ptr<DeviceData> DeviceData::createCopy (const juce::Array<int>& indices, bool withSetup, bool clearFlags) const
{
    std::unique_ptr<DeviceData> copy (new DeviceData (version, format, factoryBank.get(), NoBankLookup()));
    copy->productName = productName;
    for (auto i : indices)
        if (auto* p = getPreset (i))
            if (juce::isPositiveAndBelow (i, copy->presets.size()))
                copy->presets.set (i, copyOfPreset (*p).release(), true);
    if (withSetup)
        copy->setup = setup;

    if (clearFlags)
    {
        copy->modified = false;
        for (auto* p : copy->presets)
            if (p != nullptr)
                p->setModified (false);
        copy->setup.setModified (false);
    }
    else
    {
        copy->modified = modified;
    }
    return copy;
}

std::unique_ptr<DeviceData> DeviceData::createFullCopy (bool clearFlags) const
{
    return createCopy (getPresetIndices(), true, clearFlags);
}

void DeviceData::mergeFrom (const DeviceData& other)
{
    if (&other == this || ! hasSameFormat (other.format))
        return;
    for (int i = 0; i < juce::jmin (presets.size(), other.presets.size()); ++i)
    {
        auto* theirs = other.presets.getUnchecked (i);
        auto* mine = presets.getUnchecked (i);
        if (theirs == nullptr || theirs == mine)
            continue;
        if (mine != nullptr)
            *mine = *theirs;
        else
            presets.set (i, mine = copyOfPreset (*theirs).release(), true);
        mine->setModified (true);
        modified = true;
    }
    if (other.setup.isComplete())
    {
        setup = other.setup;
        modified = true;
    }
}
