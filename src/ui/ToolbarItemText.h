#pragma once

#include <juce_core/juce_core.h>

// One entry of a toolbar's fixed item table: the item's id, label, tooltip and the
// name of its embedded icon.
struct ToolbarItemText
{
    int id;
    const char* label;
    const char* tooltip;
    const char* icon;

    // The entry for `id` in a table; null when the table has none.
    template <size_t N>
    static const ToolbarItemText* find (const ToolbarItemText (&items)[N], int id)
    {
        for (auto& item : items)
            if (item.id == id)
                return &item;
        return nullptr;
    }

    // One text of an entry; empty for a missing entry.
    static juce::String textOf (const ToolbarItemText* item, const char* ToolbarItemText::* field)
    {
        return item != nullptr ? juce::String (item->*field) : juce::String();
    }
};
