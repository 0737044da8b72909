// The grid's keys: Escape, Delete, and the Ctrl shortcuts for selection, clipboard
// and zoom.

#include "ui/datapage/PresetButtonContainer.h"

bool PresetButtonContainer::keyPressed (const juce::KeyPress& key)
{
    return keyPressed (key, this);
}

bool PresetButtonContainer::keyPressed (const juce::KeyPress& key, juce::Component*)
{
    if (data == nullptr)
        return false;

    const auto mods = key.getModifiers();
    const int code = key.getKeyCode();
    const bool command = mods.isCommandDown();
    const auto lower = juce::CharacterFunctions::toLowerCase ((juce::juce_wchar) code);

    if (key == juce::KeyPress::escapeKey)
    {
        auto* dragContainer = juce::DragAndDropContainer::findParentDragContainerFor (this);
        if (selection.isEmpty() || (dragContainer != nullptr && dragContainer->isDragAndDropActive()))
            return false;
        deselectAll();
        sendChangeMessage();
        return true;
    }

    if (key.isKeyCode (juce::KeyPress::deleteKey) || key.isKeyCode (juce::KeyPress::backspaceKey))
        return deleteSelected();

    if (! command)
        return false;

    if (lower == 'a')
        return selectPresets (mods.isShiftDown());
    if (lower == 'c')
        return copySelected();
    if (lower == 'x')
        return cutSelected();

    if (lower == 'v')
    {
        if (clipboard == nullptr)
            return false;
        auto* b = dynamic_cast<PresetButton*> (juce::Desktop::getInstance().getMainMouseSource().getComponentUnderMouse());
        if (b == nullptr)
            return false;
        return pasteClipboardTo (followingSlots (b->getSlot(), clipboard->countPresets()));
    }

    if (code == '+' || code == '=')
    {
        zoomBy (1.1);
        return true;
    }
    if (code == '-')
    {
        zoomBy (0.9);
        return true;
    }
    if (code == '0')
    {
        setScale (1.0);
        return true;
    }

    return false;
}
