#include "ui/datapage/PresetButtonContainer.h"
#include "archive/DataSourceTree.h"
#include "core/DialogService.h"
#include "core/Settings.h"
#include "ui/AppCommandIds.h"
#include "ui/ColourPalette.h"
#include "ui/CommandManager.h"
#include "ui/LSLookAndFeel.h"
#include "ui/datapage/SelectedSourceNodeProvider.h"

namespace
{
    constexpr double minScale = 0.5, maxScale = 4.0;

    juce::String plural (int count) { return count > 1 ? "s" : ""; }

    juce::Array<int> filledSlots (const DeviceData& d)
    {
        return d.getPresetIndices (1, d.getNumSlots() - 1);
    }
}

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

float PresetButtonContainer::getLookAndFeelScale()
{
    if (auto* laf = dynamic_cast<LSLookAndFeel*> (&getLookAndFeel()))
        return laf->getScale();
    return 1.0f;
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

    setCellScale (false, cellScale);
    setIconScale (false, iconScale);
    setPresetButtonsViewType (buttons, viewType);
}

void PresetButtonContainer::setCellScale (bool doRelayout, double scale)
{
    cellScale = juce::jlimit (minScale, maxScale, scale);
    setSetting (SettingsKeys::presetCellButtonScale, cellScale);

    const double u = getLookAndFeelScale();
    cellWidth = juce::roundToInt (cellScale * 125.0 * u);
    cellHeight = juce::roundToInt (cellScale * 25.0 * u);

    if (auto* first = buttons.getFirst())
        first->prepareHelper (PresetButton::cellView, cellWidth, cellHeight);

    if (doRelayout)
        relayout();
}

void PresetButtonContainer::setIconScale (bool doRelayout, double scale)
{
    iconScale = juce::jlimit (minScale, maxScale, scale);
    setSetting (SettingsKeys::presetIconButtonScale, iconScale);

    const double u = getLookAndFeelScale();
    iconWidth = juce::roundToInt (iconScale * 152.0 * u);
    iconHeight = juce::roundToInt (iconScale * 95.0 * u);

    if (auto* first = buttons.getFirst())
        first->prepareHelper (PresetButton::iconView, iconWidth, iconHeight);

    if (doRelayout)
        relayout();
}

juce::Rectangle<int> PresetButtonContainer::getButtonSize() const
{
    return viewType == 0 ? juce::Rectangle<int> (cellWidth, cellHeight) : juce::Rectangle<int> (iconWidth, iconHeight);
}

void PresetButtonContainer::zoomBy (double factor)
{
    if (viewType == 0)
        setCellScale (true, cellScale * factor);
    else
        setIconScale (true, iconScale * factor);
}

void PresetButtonContainer::setScale (double scale)
{
    if (viewType == 0)
        setCellScale (true, scale);
    else
        setIconScale (true, scale);
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
            changed = live->hasPreset (slot);
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

void PresetButtonContainer::restoreSelection()
{
    if (auto* list = source[SourceIds::selectionList].getArray())
    {
        for (auto& v : *list)
        {
            const int slot = (int) v;
            auto* b = buttons[slot];
            if (slot > 0 && b != nullptr && ! b->isEmpty() && ! selection.contains (slot))
            {
                selection.addUsingDefaultSort (slot);
                b->setToggleState (true, juce::dontSendNotification);
            }
        }
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

//==============================================================================
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
    {
        auto* b = buttons[slot];
        if (slot > 0 && b != nullptr && ! b->isEmpty() && ! selection.contains (slot))
        {
            selection.addUsingDefaultSort (slot);
            b->setToggleState (true, juce::dontSendNotification);
        }
    }

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
        {
            auto* other = buttons[s];
            if (other != nullptr && ! other->isEmpty() && ! selection.contains (s))
            {
                selection.addUsingDefaultSort (s);
                other->setToggleState (true, juce::dontSendNotification);
            }
        }

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
        const int result = showContextMenu (e);
        if (result != 0)
            performMenuCommand (result, &e);
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

void PresetButtonContainer::mouseWheelMove (const juce::MouseEvent& e, const juce::MouseWheelDetails& wheel)
{
    if (e.eventComponent == this && e.mods.isCommandDown())
    {
        zoomBy (wheel.deltaY < 0 ? 0.9 : 1.1);
        return;
    }

    juce::Component::mouseWheelMove (e, wheel);
}

//==============================================================================
juce::Array<int> PresetButtonContainer::followingSlots (int first, int count) const
{
    juce::Array<int> slots;
    for (int slot = first; slot < caps.getNumPresets() && slots.size() < count; ++slot)
        slots.add (slot);
    return slots;
}

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

//==============================================================================
bool PresetButtonContainer::copySelected()
{
    auto* d = data.get();
    if (d == nullptr || selection.isEmpty())
        return false;

    clipboard = d->createCopy (selection, false, false);
    return clipboard != nullptr;
}

bool PresetButtonContainer::cutSelected()
{
    if (! canRemovePresets() || ! copySelected())
        return false;
    return deleteSelected();
}

bool PresetButtonContainer::deleteSelected()
{
    if (data == nullptr || selection.isEmpty() || page == nullptr || ! canRemovePresets())
        return false;

    for (int slot : selection)
        if (auto* b = buttons[slot])
            b->setToggleState (false, juce::dontSendNotification);

    const auto slots = selection;
    selection.clear();
    page->deletePresets (source, slots, true, true);
    sendChangeMessage();
    return true;
}

bool PresetButtonContainer::insertClipboardAt (int slot)
{
    if (data == nullptr || clipboard == nullptr || page == nullptr || isSourceReadOnly())
        return false;

    const auto sourceSlots = clipboard->getPresetIndices();
    if (! page->insertPresets (source, slot, *clipboard, sourceSlots, true, true))
        return false;

    juce::Array<int> inserted;
    for (int i = 0; i < sourceSlots.size(); ++i)
        inserted.add (slot + i);
    selectSlots (inserted);
    return true;
}

bool PresetButtonContainer::pasteClipboardTo (const juce::Array<int>& slots)
{
    if (data == nullptr || clipboard == nullptr || page == nullptr || slots.isEmpty() || isSourceReadOnly())
        return false;

    if (! page->pastePresets (source, slots, *clipboard, true, true))
        return false;

    selectSlots (slots);
    return true;
}

int PresetButtonContainer::countPendingChanges() const
{
    auto set = getSourceNodeDataSet (source);
    auto* sourceData = set != nullptr ? set->getSourceDeviceData() : nullptr;
    auto* d = data.get();
    if (sourceData == nullptr || d == nullptr)
        return 0;

    juce::Array<int> missing, modified;
    d->collectPresetChanges (*sourceData, missing, modified);
    return missing.size() + modified.size();
}

//==============================================================================
void PresetButtonContainer::setViewType (int newViewType)
{
    viewType = newViewType;
    setPresetButtonViewType (viewType);
    refreshButtons();
    setPresetButtonsViewType (buttons, viewType);
    relayout();
}

juce::PopupMenu PresetButtonContainer::createContextMenu()
{
    const int s = selection.size();
    const int k = clipboard != nullptr ? clipboard->countPresets() : 0;
    const bool readOnly = isSourceReadOnly();
    const bool canPaste = clipboard != nullptr && ! readOnly;
    const bool canEdit = caps.hasPresetDelete() && ! readOnly;

    juce::PopupMenu menu;
    menu.addItem (selectAllId, "Select All Presets");
    menu.addItem (selectUserId, "Select User Presets");
    menu.addSeparator();
    menu.addItem (cutId, "Cut", s > 0 && canEdit);
    menu.addItem (copyId, "Copy", s > 0);
    menu.addItem (insertId, "Insert", canPaste);
    menu.addItem (pasteId, "Paste", canPaste);

    juce::PopupMenu pasteSpecial;
    pasteSpecial.addItem (pasteToSelectedId, "Paste to Selected", s > 0);
    pasteSpecial.addItem (pasteToOriginalId, "Paste to Original Location" + plural (k), canPaste);
    pasteSpecial.addItem (pasteToEmptyId, "Paste to Empty Location" + plural (k), canPaste);
    menu.addSubMenu ("Paste Special", pasteSpecial, canPaste);

    menu.addItem (deleteId, "Delete Selected Preset" + plural (s), s > 0 && canEdit);
    menu.addSeparator();
    menu.addItem (undoId, "Undo", page != nullptr && page->canUndo());
    menu.addItem (redoId, "Redo", page != nullptr && page->canRedo());
    menu.addSeparator();

    auto* laf = dynamic_cast<LSLookAndFeel*> (&getLookAndFeel());
    const int itemHeight = laf != nullptr ? juce::roundToInt (laf->getFontHeightA() * 1.25f) : 14;
    scaleSlider = std::make_unique<juce::Slider> (juce::Slider::LinearHorizontal, juce::Slider::NoTextBox);
    scaleSlider->setRange (minScale, maxScale, 0.05);
    scaleSlider->setValue (viewType == 0 ? cellScale : iconScale, juce::dontSendNotification);
    scaleSlider->addListener (this);

    juce::PopupMenu buttonSize;
    buttonSize.addCustomItem (scaleSliderId, *scaleSlider, 150, itemHeight, false, nullptr, "Button Size");
    buttonSize.addSeparator();
    buttonSize.addItem (resetScaleId, "Reset to Default");
    menu.addSubMenu ("Button Size", buttonSize);

    auto* d = data.get();
    juce::PopupMenu send;
    if (showsConnectedUnit)
        send.addItem (sendAllChangesId, "All Changes", countPendingChanges() > 0);
    send.addItem (sendSelectedId, "Selected Preset" + plural (s), s > 0);
    send.addItem (sendSetupId, "Setup", d != nullptr && d->getSetup().isComplete());
    menu.addSubMenu ("Send to " + (page != nullptr ? page->getConnectedDeviceName() : juce::String()), send);

    return menu;
}

int PresetButtonContainer::showContextMenu (const juce::MouseEvent&)
{
    const auto menu = createContextMenu();
    return getDialogService().showPopupMenuAtPointer (menu, this);
}

void PresetButtonContainer::sliderValueChanged (juce::Slider* slider)
{
    if (slider == scaleSlider.get())
        setScale (slider->getValue());
}

void PresetButtonContainer::performMenuCommand (int id, const juce::MouseEvent* e)
{
    auto* clicked = e != nullptr ? dynamic_cast<PresetButton*> (e->eventComponent) : nullptr;
    const int clickedSlot = clicked != nullptr ? clicked->getSlot() : 1;

    switch (id)
    {
        case selectAllId:  selectPresets (false); break;
        case selectUserId: selectPresets (true); break;
        case cutId:        cutSelected(); break;
        case copyId:       copySelected(); break;

        case insertId:
            if (clipboard != nullptr && e != nullptr)
                insertClipboardAt (clickedSlot);
            break;

        case pasteId:
            if (clipboard != nullptr && e != nullptr)
                pasteClipboardTo (followingSlots (clickedSlot, clipboard->countPresets()));
            break;

        case pasteToSelectedId:
            pasteClipboardTo (selection);
            break;

        case pasteToOriginalId:
            if (clipboard != nullptr)
                pasteClipboardTo (clipboard->getPresetIndices());
            break;

        case pasteToEmptyId:
            if (clipboard != nullptr && data != nullptr)
            {
                auto empty = data->getEmptySlots (data->getNumSlots() - 1);
                empty.removeAllInstancesOf (0);
                const int k = clipboard->countPresets();
                if (empty.size() > k)
                    empty.removeRange (k, empty.size() - k);
                pasteClipboardTo (empty);
            }
            break;

        case deleteId:  deleteSelected(); break;
        case undoId:    if (page != nullptr) page->undo(); break;
        case redoId:    if (page != nullptr) page->redo(); break;
        case resetScaleId: setScale (1.0); break;

        case toggleEmptySlotsId:
            showEmptySlots = ! showEmptySlots;
            setViewType (viewType);
            break;

        case toggleViewId:
            setViewType (viewType == 0 ? 1 : 0);
            break;

        case sendAllChangesId:
        case sendSelectedId:
        case sendSetupId:
        {
            const int command = id == sendAllChangesId ? (int) AppCommand::applyChanges
                              : id == sendSelectedId   ? (int) AppCommand::sendDirectToDevice
                                                       : (int) AppCommand::restoreSetup;
            getCommandManager().invokeDirectly (command, false);
            break;
        }

        default:
            break;
    }
}

//==============================================================================
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
