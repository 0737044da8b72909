// The grid's selection: clicks with Ctrl and Shift, the lasso, and the selection kept
// with the source node while another source is shown.

#include "ui/datapage/PresetButtonContainer.h"
#include "archive/DataSourceTree.h"

void PresetButtonContainer::restoreSelection()
{
    if (auto* list = source[SourceIds::selectionList].getArray())
    {
        for (auto& v : *list)
            addToSelection ((int) v);
    }
}

void PresetButtonContainer::storeSelection()
{
    if (! source.isValid())
        return;

    if (selection.isEmpty())
    {
        source.removeProperty (SourceIds::selectionList, nullptr);
        return;
    }

    juce::Array<juce::var> list;
    for (int slot : selection)
        list.add (slot);
    source.setProperty (SourceIds::selectionList, list, nullptr);
}

//==============================================================================
// Only a shown preset joins the selection, and its button shows it.
void PresetButtonContainer::addToSelection (int slot)
{
    auto* b = buttons[slot];
    if (slot > 0 && b != nullptr && ! b->isEmpty() && ! selection.contains (slot))
    {
        selection.addUsingDefaultSort (slot);
        b->setToggleState (true, juce::dontSendNotification);
    }
}

void PresetButtonContainer::deselectAll()
{
    for (int slot : selection)
        if (auto* b = buttons[slot])
            b->setToggleState (false, juce::dontSendNotification);
    selection.clear();
}

void PresetButtonContainer::selectSlots (const juce::Array<int>& slots)
{
    deselectAll();

    for (int slot : slots)
        addToSelection (slot);

    sendChangeMessage();
}

bool PresetButtonContainer::selectPresets (bool userOnly)
{
    juce::Array<int> slots;
    if (auto* d = data.get())
        for (int slot = 1; slot < d->getNumSlots(); ++slot)
            if (d->hasPreset (slot) && (! userOnly || d->differsFromFactoryPreset (slot) || d->isPresetModified (slot)))
                slots.add (slot);

    selectSlots (slots);
    return true;
}

void PresetButtonContainer::selectSingle (PresetButton* button)
{
    const bool on = button->getToggleState();
    deselectAll();
    button->setToggleState (on, juce::dontSendNotification);

    if (on)
        selection.add (button->getSlot());

    pendingSingleSelect = false;
    sendChangeMessage();
}

void PresetButtonContainer::pruneSelection()
{
    auto* d = data.get();
    bool any = false;

    for (int i = selection.size(); --i >= 0;)
    {
        const int slot = selection.getUnchecked (i);
        if (d == nullptr || ! d->hasPreset (slot))
        {
            selection.remove (i);
            if (auto* b = buttons[slot])
                b->setToggleState (false, juce::dontSendNotification);
            any = true;
        }
    }

    if (any)
        sendChangeMessage();
}

void PresetButtonContainer::findLassoItemsInArea (juce::Array<PresetButton*>& results, const juce::Rectangle<int>& area)
{
    for (int slot = 1; slot < buttons.size(); ++slot)
    {
        auto* b = buttons.getUnchecked (slot);
        if (! b->isEmpty() && b->getBounds().intersects (area))
            results.add (b);
    }
}

void PresetButtonContainer::buttonClicked (juce::Button* button)
{
    auto* b = dynamic_cast<PresetButton*> (button);
    if (b == nullptr)
        return;

    // Only a click of the left button counts (a key that triggers the button does not).
    const auto mods = b->getClickModifiers();
    if (! mods.isLeftButtonDown() || mods.isRightButtonDown())
        return;

    const int slot = b->getSlot();
    b->setToggleState (! b->getToggleState(), juce::dontSendNotification);
    const bool on = b->getToggleState();

    if (mods.isCommandDown())
    {
        if (on && ! selection.contains (slot))
            selection.addUsingDefaultSort (slot);
        else if (! on && selection.contains (slot))
            selection.removeAllInstancesOf (slot);
    }
    else if (mods.isShiftDown())
    {
        const int anchor = selection.isEmpty() ? 1 : selection.getLast();
        for (int s = juce::jmin (anchor, slot); s <= juce::jmax (anchor, slot); ++s)
            addToSelection (s);

        // A shift-click never unselects: the clicked button shows what the selection holds.
        b->setToggleState (selection.contains (slot), juce::dontSendNotification);
    }
    else if (selection.contains (slot))
    {
        b->setToggleState (true, juce::dontSendNotification);
        pendingSingleSelect = true;
    }
    else
    {
        selectSingle (b);
        return;   // selectSingle sent the change message
    }

    sendChangeMessage();
}

void PresetButtonContainer::mouseUp (const juce::MouseEvent& e)
{
    if (lassoActive)
    {
        lassoActive = false;
        lasso.endLasso();
        return;
    }

    if (pendingSingleSelect)
        if (auto* b = dynamic_cast<PresetButton*> (e.eventComponent))
            selectSingle (b);
}

void PresetButtonContainer::mouseDown (const juce::MouseEvent& e)
{
    if (e.mods.isRightButtonDown() && isEnabled())
    {
        showContextMenu (e);
        return;
    }

    // A left drag that starts beside the presets (the grid's own space or an empty
    // slot) draws a lasso; Shift adds to the selection, Ctrl toggles.
    auto* pressed = dynamic_cast<PresetButton*> (e.eventComponent);
    if (e.mods.isLeftButtonDown() && isEnabled() && data != nullptr && ! lassoActive
        && (e.eventComponent == this || (pressed != nullptr && pressed->isEmpty())))
    {
        lassoSelection.deselectAll();
        for (int slot : selection)
            if (auto* b = buttons[slot])
                lassoSelection.addToSelection (b);

        lassoActive = true;
        lasso.beginLasso (e.getEventRelativeTo (this), this);
    }
}

void PresetButtonContainer::takeLassoSelection()
{
    juce::Array<int> slots;
    for (auto* b : lassoSelection)
        if (buttons.contains (b))
            slots.add (b->getSlot());
    slots.sort();
    if (slots != selection)
        selectSlots (slots);
}

void PresetButtonContainer::mouseDoubleClick (const juce::MouseEvent&)
{
    if (page != nullptr)
        page->beginPresetNameEdit();
}
