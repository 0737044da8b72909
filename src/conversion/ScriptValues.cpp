#include "conversion/ScriptValues.h"
#include <cmath>
#include <limits>

namespace ScriptValues
{
    namespace
    {
        int clampToInt (double d) noexcept
        {
            if (std::isnan (d))
                return 0;
            if (d <= (double) std::numeric_limits<int>::min())
                return std::numeric_limits<int>::min();
            if (d >= (double) std::numeric_limits<int>::max())
                return std::numeric_limits<int>::max();
            return (int) d;
        }
    }

    bool isNumber (const juce::var& value) noexcept
    {
        return value.isInt() || value.isInt64() || value.isDouble();
    }

    int toInt (const juce::var& value) noexcept
    {
        if (value.isInt())
            return (int) value;
        if (value.isInt64())
            return (int) juce::jlimit ((juce::int64) std::numeric_limits<int>::min(),
                                       (juce::int64) std::numeric_limits<int>::max(), (juce::int64) value);
        if (value.isDouble())
            return clampToInt ((double) value);
        if (value.isBool())
            return (bool) value ? 1 : 0;
        if (value.isString())
            return clampToInt (value.toString().trim().getDoubleValue());
        return 0;
    }

    bool readIndex (const juce::var& value, int& index) noexcept
    {
        if (! isNumber (value))
            return false;
        index = toInt (value);
        return true;
    }

    juce::var toArray (const juce::Array<int>& values)
    {
        juce::Array<juce::var> out;
        out.ensureStorageAllocated (values.size());
        for (auto v : values)
            out.add (v);
        return juce::var (out);
    }

    bool fromArray (const juce::var& value, juce::Array<int>& values)
    {
        auto* array = value.getArray();
        if (array == nullptr)
            return false;
        values.clearQuick();
        values.ensureStorageAllocated (array->size());
        for (auto& element : *array)
            values.add (toInt (element));
        return true;
    }

    juce::DynamicObject::Ptr makeHeader (const PresetInfo& info)
    {
        juce::DynamicObject::Ptr header (new juce::DynamicObject());
        header->setProperty ("number", (int) info.number);
        header->setProperty ("version", (int) info.dataVersion);
        header->setProperty ("name", info.getName());
        header->setProperty ("tags", (int) info.tags);
        header->setProperty ("steps", (int) info.stepCount);
        return header;
    }

    void dismantle (juce::Array<juce::var> pending)
    {
        while (! pending.isEmpty())
        {
            const auto value = pending.removeAndReturn (pending.size() - 1);
            if (auto* array = value.getArray())
            {
                juce::Array<juce::var> elements;
                elements.swapWith (*array);
                pending.addArray (elements);
            }
            else if (auto* object = value.getDynamicObject())
            {
                auto& properties = object->getProperties();
                for (int i = 0; i < properties.size(); ++i)
                    pending.add (properties.getValueAt (i));
                object->clear();
            }
        }
    }
}
