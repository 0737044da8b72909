// Drags of presets out of the grid (with their stacked image) and drops onto it,
// from the grid itself or from the source tree, with the drop menu.

#include "ui/datapage/PresetButtonContainer.h"
#include "archive/DataSourceTree.h"
#include "core/DialogService.h"
#include "ui/ColourPalette.h"
#include "ui/datapage/SelectedSourceNodeProvider.h"

namespace
{
    juce::Array<int> filledSlots (const DeviceData& d)
    {
        return d.getPresetIndices (1, d.getNumSlots() - 1);
    }
}

juce::Image PresetButtonContainer::createDragImage (PresetButton& pressed)
{
    const int n = selection.size();
    const int m = juce::jmin (n, 5);
    const double scale = viewType == 0 ? cellScale : iconScale;

    juce::Font font (getLookAndFeel().getPopupMenuFont());
    const double textWidth = juce::roundToInt (font.getStringWidthFloat (juce::String (n)) * scale);
    const float d = (float) juce::jmax (0.4 * pressed.getHeight(), 1.1 * textWidth);

    const auto snapshot = pressed.createComponentSnapshot (pressed.getLocalBounds(), true, 1.0f);
    const float backX = 5.0f * (float) (m + 1) + d / 4.0f;
    const float backY = 3.0f * (float) (m - 1) + d / 4.0f + 10.0f;

    const int width = (int) std::ceil (backX) + pressed.getWidth() + 1;
    const int height = (int) std::ceil (juce::jmax (backY + (float) pressed.getHeight(), 10.0f + d)) + 2;
    juce::Image image (juce::Image::ARGB, width, height, true);
    juce::Graphics g (image);

    for (int i = 0; i < m; ++i)
        g.drawImageAt (snapshot, juce::roundToInt (backX - 5.0f * (float) i), juce::roundToInt (backY - 3.0f * (float) i));

    const juce::Rectangle<float> circle (10.0f, 10.0f, d, d);
    g.setColour (paletteColour046);
    g.fillEllipse (circle);
    g.setColour (paletteColour017);
    g.drawEllipse (circle, 1.1f);
    g.setColour (paletteColour074);
    g.setFont (font.withHeight (juce::jmin (font.getHeight() * (float) scale, d * 0.8f)));
    g.drawText (juce::String (n), circle, juce::Justification::centred, false);
    return image;
}

void PresetButtonContainer::mouseDrag (const juce::MouseEvent& e)
{
    if (lassoActive)
    {
        lasso.dragLasso (e.getEventRelativeTo (this));
        takeLassoSelection();
        return;
    }

    auto* container = juce::DragAndDropContainer::findParentDragContainerFor (this);
    if (container == nullptr || container->isDragAndDropActive() || e.eventComponent == this
        || ! isEnabled() || ! e.mods.isLeftButtonDown())
        return;

    auto* b = dynamic_cast<PresetButton*> (e.eventComponent);
    if (b == nullptr || ! selection.contains (b->getSlot()))
        return;

    pendingSingleSelect = false;
    const auto image = createDragImage (*b);
    dragSnapShot.set (source, selection);
    container->startDragging (b->getButtonText(), &dragSnapShot, juce::ScaledImage (image), false);
    beginDragAutoRepeat (40);
}

//==============================================================================
bool PresetButtonContainer::isInterestedInDragSource (const SourceDetails& details)
{
    auto* component = details.sourceComponent.get();

    if (dynamic_cast<DataSetDragSnapShot*> (component) == nullptr)
    {
        auto* tree = dynamic_cast<SelectedSourceNodeProvider*> (component);
        if (tree == nullptr)
            return false;
        if (tree->getSelectedSourceNode() == source)
            return false;
    }

    return ! isSourceReadOnly();
}

void PresetButtonContainer::itemDropped (const SourceDetails& details)
{
    auto* d = data.get();
    auto* component = details.sourceComponent.get();
    auto* snapshot = dynamic_cast<DataSetDragSnapShot*> (component);
    auto* tree = dynamic_cast<SelectedSourceNodeProvider*> (component);
    if (d == nullptr || page == nullptr || (snapshot == nullptr && tree == nullptr) || buttons.size() < 2)
        return;

    auto* exact = dynamic_cast<PresetButton*> (getComponentAt (details.localPosition));
    if (exact != nullptr && (exact->getSlot() == 0 || ! exact->isVisible()))
        exact = nullptr;
    if (findNearestPresetButton (buttons, details.localPosition) == nullptr)
        return;

    juce::ValueTree sourceNode;
    juce::Array<int> sourceSlots;
    if (snapshot != nullptr)
    {
        sourceNode = snapshot->node;
        sourceSlots = snapshot->slots;
    }
    else
    {
        sourceNode = tree->getSelectedSourceNode();
        if (auto* sourceData = getSourceNodeWorkingData (sourceNode))
            sourceSlots = filledSlots (*sourceData);
    }

    auto* sourceData = getSourceNodeWorkingData (sourceNode);
    if (sourceData == nullptr || sourceSlots.isEmpty())
        return;

    const int n = sourceSlots.size();
    const bool same = sourceNode == source;

    juce::Array<int> targets;
    if (exact == nullptr)
    {
        if (same)
            return;
        for (int slot : d->getEmptySlots (d->getNumSlots() - 1))
            if (slot > 0 && targets.size() < n)
                targets.add (slot);
    }
    else
    {
        for (int slot = exact->getSlot(); slot < d->getNumSlots() && targets.size() < n; ++slot)
            targets.add (slot);
        if (same && sourceSlots.getFirst() == targets.getFirst())
            return;
    }

    const bool full = targets.size() == n;

    juce::PopupMenu menu;
    if (caps.hasPresetDelete() && same)
        menu.addItem (dropMoveId, full ? "Move" : "Move (partial)", ! targets.isEmpty());
    menu.addItem (dropPasteId, full ? "Paste" : "Paste (partial)", ! targets.isEmpty());
    if (exact != nullptr)
        menu.addItem (dropInsertId, full ? "Insert" : "Insert (partial)");
    if (n == 1 && exact != nullptr && ! exact->isEmpty() && same)
        menu.addItem (dropSwapId, "Swap");
    if (d->getFormat().maxPresetSteps > 1 && same && exact != nullptr)
        menu.addItem (dropStepsId, n < 2 ? "Add as Step" : "Merge as Steps");

    const int result = getDialogService().showPopupMenuAtPointer (menu, this);

    switch (result)
    {
        case dropMoveId:
        case dropPasteId:
        {
            // Only as many sources as there are targets take part.
            auto used = sourceSlots;
            if (used.size() > targets.size())
                used.removeRange (targets.size(), used.size() - targets.size());

            page->copyPresets (source, targets, sourceNode, used, true, true);

            if (result == dropMoveId)
            {
                auto remaining = used;
                for (int t : targets)
                    remaining.removeAllInstancesOf (t);
                if (! remaining.isEmpty())
                    page->deletePresets (sourceNode, remaining, true, false);
                pruneSelection();
            }
            else if (! same)
            {
                selectSlots (targets);
            }
            break;
        }

        case dropInsertId:
            if (page->insertPresets (source, exact->getSlot(), *sourceData, sourceSlots, true, true))
            {
                juce::Array<int> inserted;
                for (int i = 0; i < n && exact->getSlot() + i < d->getNumSlots(); ++i)
                    inserted.add (exact->getSlot() + i);
                selectSlots (inserted);
            }
            break;

        case dropSwapId:
            page->swapPresets (source, exact->getSlot(), sourceSlots.getFirst(), true, true);
            break;

        case dropStepsId:
            page->addPresetsAsSteps (source, exact->getSlot(), sourceSlots, true, true);
            break;

        default:
            break;
    }
}
