#include "model/DeviceData.h"
#include "model/AtomicFileWriter.h"
#include "model/DataLocation.h"
#include "model/SysExReader.h"

// The unit's own file form: presets and setup as the SysEx messages the unit sends and takes,
// written out and read in, and the factory-bank file made from the presets.

bool DeviceData::exportPresetSysEx (const juce::File& file, int index, bool append) const
{
    auto* p = getPreset (index);
    if (p == nullptr || ! p->isComplete() || file.isDirectory())
        return false;

    AtomicFileWriter writer (file);
    auto* out = writer.getStream();
    if (out == nullptr)
        return false;
    if (append && file.existsAsFile())
    {
        juce::FileInputStream existing (file);
        if (! existing.openedOk() || out->writeFromInputStream (existing, -1) != existing.getTotalLength())
            return false;
    }
    return p->writeSysExToStream (*out) && writer.commit();
}

bool DeviceData::exportPresetsSysEx (const juce::File& file, const juce::Array<int>& indices) const
{
    if (indices.isEmpty())
        return true;
    if (file.isDirectory())
        return false;

    // The file starts afresh and is replaced only when every preset was written.
    AtomicFileWriter writer (file);
    auto* out = writer.getStream();
    if (out == nullptr)
        return false;
    for (auto i : indices)
    {
        auto* p = getPreset (i);
        if (p == nullptr || ! p->isComplete() || ! p->writeSysExToStream (*out))
            return false;
    }
    return writer.commit();
}

bool DeviceData::exportSetupSysEx (const juce::File& file) const
{
    if (! setup.isComplete() || file.isDirectory())
        return false;
    AtomicFileWriter writer (file);
    auto* out = writer.getStream();
    return out != nullptr && setup.writeSysExToStream (*out) && writer.commit();
}

juce::uint32 DeviceData::importSysEx (const juce::String& location, juce::Array<int>& usedSlots, int firstSlot)
{
    juce::MemoryBlock data;
    switch (DataLocation::readAll (location, data, maxFileSize))
    {
        case DataLocation::ReadResult::ok:         break;
        case DataLocation::ReadResult::tooLarge:   return SysExFlags::overflow;
        case DataLocation::ReadResult::cannotOpen:
        case DataLocation::ReadResult::failed:     return SysExFlags::cannotOpen;
    }
    return importSysExData (data.getData(), data.getSize(), usedSlots, firstSlot);
}

juce::uint32 DeviceData::importSysExData (const void* bytes, size_t size, juce::Array<int>& usedSlots, int firstSlot)
{
    if (bytes == nullptr || size == 0)
        return SysExFlags::noMessage;
    if (size > maxFileSize)
        return SysExFlags::overflow;

    auto* data = static_cast<const juce::uint8*> (bytes);
    const int total = (int) size;
    int pos = 0;
    juce::uint32 result = 0;

    while (pos < total && (result & SysExFlags::failureMask) == 0)
    {
        int productId = 255, number = -1;
        result = classifySysExMessage (data + pos, total - pos, format.productId, format, nullptr, productId, number);

        if ((result & (SysExFlags::notSysEx | SysExFlags::otherMaker | SysExFlags::otherProduct)) != 0)
            break;
        if (result == SysExFlags::presetData)
        {
            // A data packet without its header.
            result |= SysExFlags::indexMismatch;
            break;
        }

        int used = 0;
        juce::uint32 flags = 0;
        if (result == SysExFlags::setupPacket)
        {
            auto read = parseSetupMessages (data + pos, total - pos, used, flags, format);
            result = flags;
            if (read == nullptr || used <= 0)
                break;
            if (! setSetup (*read, true))
                result |= SysExFlags::otherVersion;
            pos += used;
        }
        else if (result == SysExFlags::presetHeader)
        {
            auto read = parsePresetMessages (data + pos, total - pos, used, flags, format);
            result = flags;
            if (read == nullptr || used <= 0)
                break;
            if (firstSlot >= 0)
            {
                if (firstSlot >= presets.size())
                {
                    result |= SysExFlags::noFreeSlot;
                    break;
                }
                read->setNumber (firstSlot++);
            }
            const int slot = read->getNumber();
            read->setModified (true);
            if (! setPreset (slot, std::move (read)))
            {
                result = SysExFlags::slotOutOfRange;
                break;
            }
            if (! usedSlots.contains (slot))
                usedSlots.addUsingDefaultSort (slot);
            pos += used;
        }
        else
        {
            // Skip this message; a result with failure bits ends the walk on the next test.
            int end = pos + 1;
            while (end < total && data[end] != 0xF7)
                ++end;
            pos = end + 1;
        }
    }
    return result;
}

std::unique_ptr<juce::XmlElement> DeviceData::createFactoryBank() const
{
    auto root = std::make_unique<juce::XmlElement> ("factoryBank");
    for (int i = 1; i < presets.size(); ++i)
    {
        auto* p = presets.getUnchecked (i);
        if (p == nullptr || ! p->isComplete())
            continue;
        auto* e = root->createNewChildElement ("preset");
        e->setAttribute ("number", i);
        e->setAttribute ("md5", p->getMd5().toHexString());
    }
    return root;
}
