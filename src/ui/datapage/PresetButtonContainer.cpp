#include "ui/datapage/PresetButtonContainer.h"
#include "archive/DataSourceTree.h"
#include "core/Settings.h"
#include "device/DeviceObject.h"

PresetButtonContainer::PresetButtonContainer (DataPageHost* owner, juce::Viewport* view)
    : page (owner), viewport (view)
{
    cellScale = juce::jlimit (minScale, maxScale, getSettingDouble (SettingsKeys::presetCellButtonScale, 1.0));
    iconScale = juce::jlimit (minScale, maxScale, getSettingDouble (SettingsKeys::presetIconButtonScale, 1.0));
    viewType = getPresetButtonViewType();
    lasso.setAlwaysOnTop (true);
    addChildComponent (lasso);
    setWantsKeyboardFocus (true);
}

PresetButtonContainer::~PresetButtonContainer()
{
    buttons.clear();
}

//==============================================================================
void PresetButtonContainer::setDeviceCaps (const DeviceCaps& newCaps)
{
    clipboard.reset();
    caps = newCaps;
    selection.clear();
    pendingSingleSelect = false;
    rebuildButtons();

    // New buttons show the data at once when a source is already shown.
    if (data != nullptr)
        refreshButtons();
}

void PresetButtonContainer::rebuildButtons()
{
    if (lassoActive)
    {
        lassoActive = false;
        lasso.endLasso();
    }
    lassoSelection.deselectAll();
    removeAllChildren();
    buttons.clear();
    addChildComponent (lasso);

    auto* zero = buttons.add (new PresetButton (0));
    zero->setEnabled (false);
    addChildComponent (zero);

    for (int slot = 1; slot < caps.getNumPresets(); ++slot)
    {
        auto* b = buttons.add (new PresetButton (slot));
        b->addListener (this);
        b->addMouseListener (this, false);
        addAndMakeVisible (b);
    }

    setViewScale (PresetButton::cellView, false, cellScale);
    setViewScale (PresetButton::iconView, false, iconScale);
    setPresetButtonsViewType (buttons, viewType);
}

//==============================================================================
bool PresetButtonContainer::updatePresetButton (int slot)
{
    if (slot < 0 || slot >= buttons.size())
        return false;

    auto* b = buttons.getUnchecked (slot);
    auto* d = data.get();
    auto* preset = d != nullptr ? d->getPreset (slot) : nullptr;
    const bool wasVisible = b->isVisible();

    bool changed = false;
    if (preset != nullptr)
        changed = d->isPresetModified (slot);
    else if (showsConnectedUnit && page != nullptr)
        if (auto* live = page->getConnectedDeviceData())
        {
            const juce::ScopedLock dl (DeviceObject::getUnitDataLock());
            changed = live->hasPreset (slot);
        }
    b->setChanged (changed);

    if (preset != nullptr)
    {
        b->setButtonText (viewType == 0 ? juce::String::formatted ("%d: ", slot) + preset->getName()
                                        : preset->getName());
        b->setEmpty (false);
        b->setEnabled (true);
        b->setVisible (slot > 0);
    }
    else
    {
        b->setToggleState (false, juce::dontSendNotification);
        selection.removeAllInstancesOf (slot);
        b->setButtonText (viewType == 0 ? juce::String::formatted ("<%d>", slot) : juce::String ("<empty>"));
        b->setEmpty (true);
        b->setEnabled (false);
        b->setVisible (slot > 0 && showEmptySlots);
    }

    b->repaint();
    return viewType == 1 && ! showEmptySlots && wasVisible != b->isVisible();
}

void PresetButtonContainer::refreshButtons()
{
    pendingSingleSelect = false;

    auto set = getSourceNodeDataSet (source);
    auto* sourceData = set != nullptr ? set->getSourceDeviceData() : nullptr;
    auto* live = page != nullptr ? page->getConnectedDeviceData() : nullptr;
    showsConnectedUnit = sourceData != nullptr && sourceData == live;

    bool needsLayout = false;
    for (int slot = 1; slot < buttons.size(); ++slot)
    {
        auto* b = buttons.getUnchecked (slot);
        b->setPreset (data, showsConnectedUnit);
        b->setToggleState (selection.contains (slot), juce::dontSendNotification);
        needsLayout = updatePresetButton (slot) || needsLayout;
    }

    if (needsLayout)
        relayout();
}

void PresetButtonContainer::presetDataChanged (const juce::ValueTree& node, const juce::Array<int>& slots)
{
    if (! node.isValid() || node != source)
        return;

    bool needsLayout = false;
    for (int slot : slots)
        needsLayout = updatePresetButton (slot) || needsLayout;

    if (needsLayout)
        relayout();
}

//==============================================================================
void PresetButtonContainer::setSource (const juce::ValueTree& node)
{
    source = node;
    selection.clear();
    data = getSourceNodeWorkingData (node);
    refreshFromSource();
    restoreSelection();
}

void PresetButtonContainer::refreshFromSource()
{
    juce::String category, subCategory;
    getSourceNodeCategory (source, category, subCategory);

    if (category == SourceCategories::cloud)
        showEmptySlots = data != nullptr && data->hasGapsBetweenPresets();
    else if (category.isNotEmpty())
        showEmptySlots = true;

    refreshButtons();
}

void PresetButtonContainer::clearSource()
{
    storeSelection();
    PanelContainerBase::clearSource();
}

bool PresetButtonContainer::isSourceReadOnly() const
{
    return isReadOnlySourceNode (source);
}

// Nothing leaves read-only data, nor the connected unit's own data when its profile
// forbids deleting presets: whichever key, menu entry or toolbar item asks.
bool PresetButtonContainer::canRemovePresets() const
{
    return ! isSourceReadOnly() && (caps.hasPresetDelete() || ! showsConnectedUnit);
}
