// The grid's views and sizes: the scale of each view's buttons, the layout of the
// tiles as cells or as icons, and zooming by keys, menu and wheel.

#include "ui/datapage/PresetButtonContainer.h"
#include "core/Settings.h"
#include "ui/LSLookAndFeel.h"

float PresetButtonContainer::getLookAndFeelScale()
{
    if (auto* laf = dynamic_cast<LSLookAndFeel*> (&getLookAndFeel()))
        return laf->getScale();
    return 1.0f;
}

// Each view keeps its own scale, in the settings too, and its own button size, at
// which the first button's helper draws that view's buttons.
void PresetButtonContainer::setViewScale (int forViewType, bool doRelayout, double scale)
{
    const bool cells = forViewType == PresetButton::cellView;
    auto& viewScale = cells ? cellScale : iconScale;
    viewScale = juce::jlimit (minScale, maxScale, scale);
    setSetting (cells ? SettingsKeys::presetCellButtonScale : SettingsKeys::presetIconButtonScale, viewScale);

    const double u = getLookAndFeelScale();
    auto& width = cells ? cellWidth : iconWidth;
    auto& height = cells ? cellHeight : iconHeight;
    width = juce::roundToInt (viewScale * (cells ? 125.0 : 152.0) * u);
    height = juce::roundToInt (viewScale * (cells ? 25.0 : 95.0) * u);

    if (auto* first = buttons.getFirst())
        first->prepareHelper (cells ? PresetButton::cellView : PresetButton::iconView, width, height);

    if (doRelayout)
        relayout();
}

juce::Rectangle<int> PresetButtonContainer::getButtonSize() const
{
    return viewType == 0 ? juce::Rectangle<int> (cellWidth, cellHeight) : juce::Rectangle<int> (iconWidth, iconHeight);
}

void PresetButtonContainer::zoomBy (double factor)
{
    setViewScale (viewType, true, (viewType == 0 ? cellScale : iconScale) * factor);
}

void PresetButtonContainer::setScale (double scale)
{
    setViewScale (viewType, true, scale);
}

void PresetButtonContainer::relayout()
{
    updateLayout (getWidth(), viewport != nullptr ? viewport->getMaximumVisibleHeight() : getHeight());
}

//==============================================================================
void PresetButtonContainer::updateLayout (int width, int height)
{
    if (viewType == 1)
        layoutIcons (width, height);
    else
        layoutCells (width, height);

    setPreferredHeight (height);
}

void PresetButtonContainer::layoutCells (int W, int H)
{
    const int w = juce::jmin (cellWidth, W), h = cellHeight;
    if (w <= 0)
        return;

    const int n = buttons.size() - 1;
    const int cols = W / w;
    const int bw = W / juce::jmax (cols, 1);
    const int rows = n > 0 ? (n + cols - 1) / juce::jmax (cols, 1) : 0;

    int x = 0, y = 0;
    for (int slot = 1; slot <= n; ++slot)
    {
        auto* b = buttons.getUnchecked (slot);
        b->setBounds (x, y, bw, h);
        x += bw - 1;

        if (x + bw >= W)
        {
            b->setBounds (b->getX(), y, W - b->getX(), h);
            x = 0;
            y += h - 1;
        }
    }

    setSize (W, juce::jmax (rows * h, H));
}

void PresetButtonContainer::layoutIcons (int W, int H)
{
    const int w = juce::jmin (iconWidth, W), h = iconHeight;
    if (w <= 0)
        return;

    juce::Array<PresetButton*> shown;
    for (int slot = 1; slot < buttons.size(); ++slot)
        if (buttons.getUnchecked (slot)->isVisible())
            shown.add (buttons.getUnchecked (slot));

    if (shown.isEmpty())
        return;

    const int perRow = juce::jmax (1, W / (w + 5));
    const int rows = (shown.size() + perRow - 1) / perRow;

    int x = 5, y = 5;
    for (auto* b : shown)
    {
        b->setBounds (x, y, w, h);
        x += w + 4;
        if (x + w >= W)
        {
            x = 5;
            y += h - 1;
        }
    }

    setSize (W, juce::jmax (rows * h, H));
}

void PresetButtonContainer::setViewType (int newViewType)
{
    viewType = newViewType;
    setPresetButtonViewType (viewType);
    refreshButtons();
    setPresetButtonsViewType (buttons, viewType);
    relayout();
}

void PresetButtonContainer::mouseWheelMove (const juce::MouseEvent& e, const juce::MouseWheelDetails& wheel)
{
    if (e.eventComponent == this && e.mods.isCommandDown())
    {
        zoomBy (wheel.deltaY < 0 ? 0.9 : 1.1);
        return;
    }

    juce::Component::mouseWheelMove (e, wheel);
}
