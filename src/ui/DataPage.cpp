#include "ui/DataPage.h"
#include "archive/CloudPackList.h"
#include "archive/DataSourceTree.h"
#include "archive/LocalArchiveManager.h"
#include "content/ContentManager.h"
#include "core/EmbeddedResources.h"
#include "core/Settings.h"
#include "device/DeviceObject.h"
#include "ui/AppCommandIds.h"
#include "ui/ArchiveButton.h"
#include "ui/ColourPalette.h"
#include "ui/CommandManager.h"
#include "ui/LSLookAndFeel.h"
#include "ui/MessageBoxes.h"
#include "ui/datapage/DataSetGroupViewContainer.h"
#include "ui/dialogs/SearchDialog.h"

using namespace juce;

namespace
{
    constexpr int syncButtonSize = 250;
    const char* const syncIconName = "toolbar_data_sync_svg";

    String categoryOf (const ValueTree& node)
    {
        String category, subCategory;
        getSourceNodeCategory (node, category, subCategory);
        return category;
    }

    // The drawing of the sync button, rendered once into a 250 x 250 picture.
    std::unique_ptr<Drawable> makeSyncImage()
    {
        int size = 0;
        auto* svg = getEmbeddedResource (syncIconName, size);
        if (svg == nullptr)
            return {};
        auto drawing = Drawable::createFromImageData (svg, (size_t) size);
        if (drawing == nullptr)
            return {};

        Image image (Image::ARGB, syncButtonSize, syncButtonSize, true);
        {
            Graphics g (image);
            drawing->drawWithin (g, Rectangle<float> (0.0f, 0.0f, (float) syncButtonSize, (float) syncButtonSize),
                                 RectanglePlacement::centred, 1.0f);
        }
        auto picture = std::make_unique<DrawableImage>();
        picture->setImage (image);
        return picture;
    }
}

//==============================================================================
DataPage::DataPage()
    : sourcesRoot (createSourceNode (SourceIds::root, "Root Node"))
{
    workspace = std::make_unique<DataViewPanel> (this);
    details = std::make_unique<DetailsPanel> (this);
    workspace->setName ("Workspace");
    details->setName ("Details");
    addPresetDataChangeListener (workspace.get());
    addPresetDataChangeListener (details.get());
    addArchiveChangeListener (workspace.get());
    addArchiveChangeListener (details.get());
    workspace->addChangeListener (this);
    undoManager.addChangeListener (this);

    // Group views show backups as archive buttons.
    DataSetGroupViewContainer::setTileFactory ([] (const ValueTree& node) -> std::unique_ptr<Button>
                                               { return std::make_unique<ArchiveButton> (node); });

    toolbar.addDefaultItems (toolbarFactory);
    toolbar.setStyle (Toolbar::iconsWithText);
    for (int i = 0; i < toolbar.getNumItems(); ++i)
    {
        auto* item = toolbar.getItemComponent (i);
        const int id = toolbar.getItemId (i);
        if (item != nullptr && id >= DataToolbarItemFactory::firstItem && id <= DataToolbarItemFactory::lastItem)
        {
            item->addListener (this);
            if (id == DataToolbarItemFactory::toggleViewItem)
                item->setToggleState (getPresetButtonViewType() != 0, dontSendNotification);
        }
    }
    addAndMakeVisible (toolbar);

    browser.setName ("Browser");
    browser.addListener (this);
    addAndMakeVisible (browser);

    panels.addPanel (-1, workspace.get(), false);
    panels.addPanel (-1, details.get(), false);
    panels.expandPanelFully (workspace.get(), false);
    addAndMakeVisible (panels);

    resizerBar = std::make_unique<StretchableLayoutResizerBar> (&layout, 1, true);
    addAndMakeVisible (*resizerBar);

    const double browserSize = getSettingDouble (SettingsKeys::browserWindowSize, -0.3);
    layout.setItemLayout (0, -0.001, -0.8, browserSize);
    layout.setItemLayout (1, 8, 8, 8);
    layout.setItemLayout (2, 150, -1.0, -0.99 - browserSize);

    syncButton.setButtonText ("Click To Sync");
    if (auto picture = makeSyncImage())
        syncButton.setImages (picture.get());
    syncButton.setColour (DrawableButton::textColourId, paletteColour011);
    syncButton.setColour (DrawableButton::textColourOnId, paletteColour011);
    syncButton.setColour (DrawableButton::backgroundColourId, Colours::transparentBlack);
    syncButton.setColour (DrawableButton::backgroundOnColourId, Colours::transparentBlack);
    syncButton.setSize (syncButtonSize, syncButtonSize);
    syncButton.setCommandToTrigger (&getCommandManager(), AppCommand::downloadDeviceData, true);
    addChildComponent (syncButton);
    syncButton.setCentreRelative (0.5f, 0.5f);
    syncButton.setVisible (false);

    setWantsKeyboardFocus (true);
    showSource ({}, {}, DataViewPanel::emptyView, {}, DetailsPanel::emptyDetails);
    Desktop::getInstance().addFocusChangeListener (this);
}

DataPage::~DataPage()
{
    Desktop::getInstance().removeFocusChangeListener (this);
    undoManager.removeChangeListener (this);
    workspace->removeChangeListener (this);
    browser.removeListener (this);
    browser.setRoot (nullptr, {});
    panels.removePanel (details.get());
    panels.removePanel (workspace.get());
    presetListeners.clear();
    archiveListeners.clear();
    undoManager.clearUndoHistory();
    DataSetGroupViewContainer::setTileFactory ({});
}

//==============================================================================
ValueTree DataPage::getSelectedSource() const
{
    if (workspace->getViewType() == DataViewPanel::gridView)
        return workspace->getGrid().getSource();
    static const ValueTree none;
    return none;
}

DeviceData* DataPage::getSelectedDataSet() const
{
    const auto selected = browser.getSelectedNodes();
    if (selected.isEmpty())
        return nullptr;
    return getSourceNodeWorkingData (selected.getFirst());
}

Array<int> DataPage::getSelectedSlots() const
{
    auto* grid = &workspace->getGrid();
    auto* selected = getSelectedDataSet();
    if (selected != nullptr && grid->getWorkingData() == selected)
        return grid->getSelection();
    return {};
}

void DataPage::selectSlots (const ValueTree& node, const Array<int>& slots)
{
    auto& grid = workspace->getGrid();
    if (node.isValid() && node == grid.getSource() && workspace->getViewType() == DataViewPanel::gridView)
    {
        grid.selectSlots (slots);
        return;
    }

    Array<var> list;
    for (auto slot : slots)
        list.add (slot);
    ValueTree (node).setProperty (SourceIds::selectionList, list, nullptr);
}

bool DataPage::invokeCommand (CommandID commandId)
{
    return getCommandManager().invokeDirectly (commandId, false);
}

void DataPage::convertPresetPacks() { CloudPackList::convertPresetPackFolder(); }

// The export and import work and the Find Preset dialog are separate parts of the
// program; until they are joined here these actions say so rather than doing nothing.
void DataPage::importDataFiles (const ValueTree& target)  { exchange.importDataFiles (target); }
void DataPage::importPresetPack (const ValueTree& target) { exchange.importPresetPack (target); }
void DataPage::exportData()                               { exchange.exportData (getSelectedSource()); }
void DataPage::importData()                               { exchange.importData(); }

//==============================================================================
void DataPage::addPresetDataChangeListener (PresetDataChangeListener* l)
{
    if (l != nullptr)
        presetListeners.add (l);
}

void DataPage::removePresetDataChangeListener (PresetDataChangeListener* l)
{
    presetListeners.removeFirstMatchingValue (l);
}

void DataPage::addArchiveChangeListener (ArchiveChangeListener* l)
{
    if (l != nullptr)
        archiveListeners.add (l);
}

void DataPage::removeArchiveChangeListener (ArchiveChangeListener* l)
{
    archiveListeners.removeFirstMatchingValue (l);
}

void DataPage::notifyPresetDataChanged (const ValueTree& node, const Array<int>& slots)
{
    Component::BailOutChecker checker (this);
    for (int i = presetListeners.size(); --i >= 0;)
    {
        i = jmin (i, presetListeners.size() - 1);
        if (i < 0)
            break;
        presetListeners.getUnchecked (i)->presetDataChanged (node, slots);
        if (checker.shouldBailOut())
            return;
    }
}

void DataPage::notifyPresetDataChanged (const ValueTree& node, int slot)
{
    notifyPresetDataChanged (node, Array<int> { slot });
}

void DataPage::notifyArchiveChanged (const ValueTree& node)
{
    Component::BailOutChecker checker (this);
    for (int i = archiveListeners.size(); --i >= 0;)
    {
        i = jmin (i, archiveListeners.size() - 1);
        if (i < 0)
            break;
        archiveListeners.getUnchecked (i)->archiveChanged (node, SourceIds::label);
        if (checker.shouldBailOut())
            return;
    }
}

//==============================================================================
// The grid's and the panels' edits go to the one set of edit operations.
bool DataPage::deletePresets (const ValueTree& node, const Array<int>& slots, bool undoable, bool newTransaction)
{
    auto* data = getSourceNodeWorkingData (node);
    if (data == nullptr || slots.isEmpty())
        return false;
    DataPageEditOperations::deletePresets (node, slots, undoable, newTransaction);
    return true;
}

bool DataPage::copyPresets (const ValueTree& target, const Array<int>& targetSlots, const ValueTree& source,
                            const Array<int>& sourceSlots, bool undoable, bool newTransaction)
{
    if (getSourceNodeWorkingData (target) == nullptr || getSourceNodeWorkingData (source) == nullptr
        || targetSlots.isEmpty() || sourceSlots.isEmpty())
        return false;
    DataPageEditOperations::copyPresets (target, targetSlots, source, sourceSlots, undoable, newTransaction);
    return true;
}

bool DataPage::pastePresets (const ValueTree& node, const Array<int>& targetSlots, const DeviceData& data,
                             bool undoable, bool newTransaction)
{
    if (getSourceNodeWorkingData (node) == nullptr || targetSlots.isEmpty())
        return false;
    DataPageEditOperations::pastePresets (node, targetSlots, data, undoable, newTransaction);
    return true;
}

bool DataPage::insertPresets (const ValueTree& node, int atSlot, const DeviceData& source,
                              const Array<int>& sourceSlots, bool undoable, bool newTransaction)
{
    return DataPageEditOperations::insertPresets (node, atSlot, source, sourceSlots, undoable, newTransaction);
}

bool DataPage::swapPresets (const ValueTree& node, int slotA, int slotB, bool undoable, bool newTransaction)
{
    if (getSourceNodeWorkingData (node) == nullptr || slotA == slotB)
        return false;
    DataPageEditOperations::swapPresets (node, slotA, slotB, undoable, newTransaction);
    return true;
}

bool DataPage::addPresetsAsSteps (const ValueTree& node, int targetSlot, const Array<int>& sourceSlots,
                                  bool undoable, bool newTransaction)
{
    if (getSourceNodeWorkingData (node) == nullptr || sourceSlots.isEmpty())
        return false;
    DataPageEditOperations::addPresetsAsSteps (node, targetSlot, sourceSlots, undoable, newTransaction);
    return true;
}

bool DataPage::renamePresets (const ValueTree& node, const Array<int>& slots, const String& name,
                              bool undoable, bool newTransaction)
{
    if (getSourceNodeWorkingData (node) == nullptr || slots.isEmpty())
        return false;
    DataPageEditOperations::renamePresets (node, slots, name, undoable, newTransaction);
    return true;
}

bool DataPage::setPresetTag (const ValueTree& node, const Array<int>& slots, int tagIndex, bool on,
                             bool undoable, bool newTransaction)
{
    if (getSourceNodeWorkingData (node) == nullptr || slots.isEmpty())
        return false;
    DataPageEditOperations::setPresetTag (node, slots, tagIndex, on, undoable, newTransaction);
    return true;
}

bool DataPage::insertPresetSteps (const ValueTree& node, int slot, int stepPosition, const Array<int>& steps,
                                  bool undoable, bool newTransaction)
{
    auto* data = getSourceNodeWorkingData (node);
    auto* preset = data != nullptr ? data->getPreset (slot) : nullptr;
    if (preset == nullptr || steps.isEmpty())
        return false;

    // The steps move within their own preset: the action works from a copy of it.
    const Preset source (*preset);
    SparseSet<int> stepSet;
    for (auto step : steps)
        stepSet.addRange ({ step, step + 1 });
    DataPageEditOperations::insertPresetSteps (node, slot, stepPosition, source, stepSet, undoable, newTransaction);
    return true;
}

bool DataPage::setArchiveItemTitle (const ValueTree& node, const String& title, bool undoable, bool newTransaction)
{
    if (! node.isValid())
        return false;
    DataPageEditOperations::setArchiveItemTitle (node, title, undoable, newTransaction);
    return true;
}

void DataPage::undo()
{
    if (! undoManager.canUndo())
    {
        showInfoBox (this, "Undo", "Nothing to undo");
        return;
    }
    // The backups the step changed are saved after it, and a failure is told then.
    undoStep (this);
    updateToolbarState (false);
}

void DataPage::redo()
{
    if (! undoManager.canRedo())
    {
        showInfoBox (this, "Redo", "Nothing to redo");
        return;
    }
    redoStep (this);
    updateToolbarState (false);
}

bool DataPage::hasUnsentEdits() const
{
    if (dataSet == nullptr)
        return false;
    if (! busy)
    {
        const ScopedLock dl (DeviceObject::getUnitDataLock());
        return dataSet->hasUnsavedChanges();
    }

    // While the unit is read, the read fills its data and the working copy slot by slot: a slot
    // that one holds and the other not yet is no edit, nor is the copy's own mark of what the read
    // put in. A preset or setup the user changed still counts.
    auto* working = dataSet->getWorking();
    if (working == nullptr)
        return false;
    for (int slot = 1; slot < working->getNumSlots(); ++slot)
        if (working->isPresetModified (slot))
            return true;
    return working->getSetup().isComplete() && working->getSetup().isModified();
}

DeviceData* DataPage::getConnectedDeviceData() const
{
    return dataSet != nullptr ? dataSet->getDevice() : nullptr;
}

const DeviceCaps* DataPage::getConnectedDeviceCaps() const
{
    return dataSet != nullptr ? &caps : nullptr;
}

Image DataPage::getConnectedProductImage() const
{
    auto* live = getConnectedDeviceData();
    auto* content = getContentManager();
    if (live == nullptr || content == nullptr)
        return {};
    return content->getProductImage (live->getProductId(), {});
}

bool DataPage::selectSourceInBrowser (const ValueTree& node)
{
    return browser.selectSource (node);
}

void DataPage::deleteSourceNodes (const Array<ValueTree>& nodes)
{
    browser.deleteNodes (nodes);
}

void DataPage::beginPresetNameEdit()
{
    if (details->getDetailsType() == DetailsPanel::presetDetails)
        details->getPresetDetails().beginNameEdit();
}

//==============================================================================
void DataPage::showSyncButton (bool show)
{
    resizerBar->setVisible (! show);
    panels.setVisible (! show);
    browser.setVisible (! show);
    toolbar.setVisible (! show);
    syncButton.setButtonText ("Click To Sync With " + deviceName);
    syncButton.setVisible (show);
}

ValueTree DataPage::deviceNode() const
{
    return sourcesRoot.getChildWithProperty (SourceIds::category, SourceCategories::device);
}

void DataPage::refreshSourceNode (const String& category)
{
    auto old = sourcesRoot.getChildWithProperty (SourceIds::category, category);
    if (old.isValid())
        sourcesRoot.removeChild (old, nullptr);

    if (category == SourceCategories::device)
    {
        if (dataSet == nullptr)
            return;
        if (dataSet->getSourceDeviceData() != nullptr)
        {
            auto node = createSourceNode (SourceIds::category, deviceName);
            node.setProperty (SourceIds::category, SourceCategories::device, nullptr);
            node.setProperty (SourceIds::data, var (dataSet.get()), nullptr);
            sourcesRoot.addChild (node, 0, nullptr);
        }
    }
    else if (category == SourceCategories::archive)
    {
        if (archiveManager != nullptr)
            sourcesRoot.addChild (archiveManager->getTree(), jmin (1, sourcesRoot.getNumChildren()), nullptr);
    }
    else if (category == SourceCategories::cloud)
    {
        if (cloudSource != nullptr)
            sourcesRoot.addChild (cloudSource->getNode(), jmin (2, sourcesRoot.getNumChildren()), nullptr);
    }

    ensureSourceSelected();
}

void DataPage::ensureSourceSelected()
{
    if (browser.getSelectedNodes().isEmpty())
    {
        auto node = deviceNode();
        if (node.isValid())
            browser.selectSource (node);
    }
}

void DataPage::sourceSelectionChanged()
{
    const auto selected = browser.getSelectedNodes();
    const auto node = selected.isEmpty() ? ValueTree() : selected.getFirst();
    const auto category = node.isValid() ? categoryOf (node) : String();

    auto* focused = Component::getCurrentlyFocusedComponent();
    const bool browserHasFocus = focused != nullptr && (focused == &browser || browser.isParentOf (focused));

    if (category.isEmpty())
    {
        showSource ({}, {}, DataViewPanel::emptyView, {}, DetailsPanel::emptyDetails);
        return;
    }

    if (category == SourceCategories::device)
    {
        if ((needSync && ! busy) || dataSet == nullptr)
        {
            showSource ("Workspace", node, DataViewPanel::syncView, {}, DetailsPanel::emptyDetails);
            return;
        }

        auto nodeSet = getSourceNodeDataSet (node);
        const bool own = node == deviceNode()
                      || (nodeSet != nullptr && nodeSet->getSourceDeviceData() == dataSet->getDevice());
        showSource ("Workspace", node, DataViewPanel::gridView,
                    own ? node : ValueTree(), own ? DetailsPanel::presetDetails : DetailsPanel::emptyDetails);
        return;
    }

    const auto title = category == SourceCategories::cloud ? makeSourceNodeTitle (node) : String();

    if (getSourceNodeDataSet (node) != nullptr)
    {
        // The grid's selection is only known once the grid shows the node.
        showSource (title, node, DataViewPanel::gridView, node, DetailsPanel::dataSetDetails);
        if (! browserHasFocus && ! workspace->getGrid().getSelection().isEmpty())
            showSource (title, node, DataViewPanel::gridView, node, DetailsPanel::presetDetails);
        return;
    }

    showSource (title, node, DataViewPanel::groupView, node, DetailsPanel::groupDetails);
    const auto tile = workspace->getGroupView().getSelectedTileNode();
    if (! browserHasFocus && tile.isValid() && tile.hasType (SourceIds::node))
        showSource (title, node, DataViewPanel::groupView, tile, DetailsPanel::dataSetDetails);
}

void DataPage::showSource (const String& title, const ValueTree& node, int viewType,
                           const ValueTree& detailsNode, int detailsType)
{
    workspace->setName (title);
    workspace->showView (viewType, node);
    details->showDetails (detailsType, detailsNode);

    if (detailsType == DetailsPanel::presetDetails)
        details->getPresetDetails().setSlots (workspace->getGrid().getSelection());

    const int preferred = details->getPreferredHeight();
    if (preferred >= 0)
        panels.setMaximumPanelSize (details.get(), preferred);

    if (viewType != lastViewType || detailsType != lastDetailsType)
    {
        if (preferred >= 0 && panels.getNumPanels() > 1)
            panels.setPanelSize (details.get(), preferred, true);
        lastViewType = viewType;
        lastDetailsType = detailsType;
    }

    static_cast<Component&> (panels).resized();
    panels.repaint();
    updateToolbarState (true);
}

//==============================================================================
void DataPage::changeListenerCallback (ChangeBroadcaster* source)
{
    if (source == workspace.get())
    {
        if (details->getDetailsType() != DetailsPanel::presetDetails)
            sourceSelectionChanged();
        else
            details->getPresetDetails().setSlots (workspace->getGrid().getSelection());
    }
    else if (source != &undoManager)
    {
        return;
    }
    updateToolbarState (false);
}

void DataPage::storeBrowserWidth()
{
    const auto total = (double) getWidth();
    double size = 0.0;
    if (total > 0.0 && layout.getItemCurrentAbsoluteSize (0) >= 0)
        size = -(double) layout.getItemCurrentAbsoluteSize (0) / total;
    if (size < 0.0)
        setSetting (SettingsKeys::browserWindowSize, size);
}

//==============================================================================
float DataPage::getUiScale()
{
    if (auto* lf = dynamic_cast<LSLookAndFeel*> (&getLookAndFeel()))
        return lf->getScale();
    return 1.0f;
}

void DataPage::resized()
{
    auto* lf = dynamic_cast<LSLookAndFeel*> (&getLookAndFeel());
    const int thickness = lf != nullptr ? roundToInt (defaultToolbarThickness * lf->getScale()) : defaultToolbarThickness;
    auto area = getLocalBounds();
    toolbar.setBounds (area.removeFromTop (jmin (getHeight(), thickness)));

    const int header = roundToInt (20.0f * getUiScale());
    panels.setPanelHeaderSize (workspace.get(), header);
    panels.setPanelHeaderSize (details.get(), header);

    if (area.getHeight() >= 1)
        area.removeFromTop (1);

    const int before = details->getHeight();
    const int preferredBefore = details->getPreferredHeight();

    Component* items[] = { &browser, resizerBar.get(), &panels };
    layout.layOutComponents (items, 3, area.getX(), area.getY(), area.getWidth(), area.getHeight(), false, true);

    const int preferred = details->getPreferredHeight();
    if (preferred >= 0 && panels.getNumPanels() > 1)
    {
        panels.setMaximumPanelSize (details.get(), preferred);
        if ((preferred == preferredBefore || before != preferredBefore) && details->getHeight() < before)
            panels.setPanelSize (details.get(), before, false);
        else if (preferred != preferredBefore && before == preferredBefore)
            panels.setPanelSize (details.get(), preferred, false);
    }

    syncButton.setCentreRelative (0.5f, 0.5f);
}

void DataPage::paint (Graphics& g)
{
    g.fillAll (Colour (0xFFDAE1E6));
    g.setColour (Colour (0xFF797D80));
    g.drawHorizontalLine (toolbar.getBottom(), 0.0f, (float) getWidth());
}

bool DataPage::keyPressed (const KeyPress& key)
{
    if (key == KeyPress ('z', ModifierKeys::commandModifier, 0))
    {
        undo();
        return true;
    }
    if (key == KeyPress ('y', ModifierKeys::commandModifier, 0))
    {
        redo();
        return true;
    }
    if (key == KeyPress ('f', ModifierKeys::commandModifier, 0))
    {
        findPreset();
        return true;
    }
    return false;
}

void DataPage::visibilityChanged()
{
    auto& grid = workspace->getGrid();
    if (isShowing() && grid.isShowing())
        grid.grabKeyboardFocus();
}

void DataPage::enablementChanged()
{
    if (isEnabled())
        restoreKeyboardFocus();
}

void DataPage::focusGained (FocusChangeType)
{
    // The page hands the keyboard on to its grid, whose keys are the page's main ones.
    auto& grid = workspace->getGrid();
    if (grid.isShowing() && grid.isEnabled())
        grid.grabKeyboardFocus();
}

void DataPage::globalFocusChanged (Component*)
{
    restoreKeyboardFocus();
}

void DataPage::restoreKeyboardFocus (bool claimWindow)
{
    if (! isShowing() || ! isEnabled() || ModalComponentManager::getInstance()->getNumModalComponents() > 0)
        return;
    auto* peer = getPeer();
    if (peer == nullptr || (! claimWindow && ! peer->isFocused()))
        return;

    // The keyboard stays where the user can have it: in the page, in another window, or
    // with another control of this window that takes it (the header's buttons, reached by
    // Tab). A component that is not on the screen (in a window that has just closed) or is
    // disabled holds it for no one, nor does the window itself.
    auto* focused = getCurrentlyFocusedComponent();
    auto* window = getTopLevelComponent();
    if (focused != nullptr && focused->isShowing() && focused->isEnabled()
        && (isParentOf (focused) || focused->getTopLevelComponent() != window
            || (focused != window && focused->getWantsKeyboardFocus())))
        return;

    auto& grid = workspace->getGrid();
    if (grid.isShowing() && grid.isEnabled())
        grid.grabKeyboardFocus();
    else
        grabKeyboardFocus();
}

void DataPage::dragOperationStarted (const DragAndDropTarget::SourceDetails&)
{
    browser.getTreeView().dragStarted();
}

void DataPage::dragOperationEnded (const DragAndDropTarget::SourceDetails&)
{
    browser.getTreeView().dragEnded();
}

void DataPage::findPreset()
{
    Array<ValueTree> deviceSources, backupSources, cloudSources;
    if (auto node = deviceNode(); node.isValid())
        deviceSources.add (node);
    collectSourceDataNodes (sourcesRoot.getChildWithProperty (SourceIds::category, SourceCategories::archive), backupSources);
    collectSourceDataNodes (sourcesRoot.getChildWithProperty (SourceIds::category, SourceCategories::cloud), cloudSources);

    // A dialog still open searched the sources of its time: the new one replaces it.
    searchDialog.reset();
    searchDialog = std::make_unique<SearchDialog> (deviceSources, backupSources, cloudSources, caps.getProductId(),
                                                   caps.getPresetTagLabels(), *this);
    auto* opened = searchDialog.get();
    searchDialog->onClosed = [this, opened]
    {
        if (searchDialog.get() == opened)
            searchDialog.reset();
        // The keyboard comes back to the page, whose window may not be the active one.
        if (isShowing())
        {
            if (auto* window = getTopLevelComponent())
                window->toFront (true);
            restoreKeyboardFocus (true);
        }
    };
    searchDialog->open();
}

void DataPage::showSearchResult (const ValueTree& source, int number)
{
    if (! source.isValid() || ! browser.selectSource (source))
        return;
    if (number != 0)
        selectSlots (source, { number });
}
