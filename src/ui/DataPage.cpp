#include "ui/DataPage.h"
#include "archive/CloudPackList.h"
#include "archive/DataSourceTree.h"
#include "archive/LocalArchiveManager.h"
#include "content/ContentManager.h"
#include "core/AppHost.h"
#include "core/AppPaths.h"
#include "core/EmbeddedResources.h"
#include "core/InfoCodes.h"
#include "core/Settings.h"
#include "device/DeviceErrors.h"
#include "device/DeviceManager.h"
#include "device/DeviceObject.h"
#include "ui/AppCommandIds.h"
#include "ui/ArchiveButton.h"
#include "ui/ColourPalette.h"
#include "ui/CommandManager.h"
#include "ui/LSLookAndFeel.h"
#include "ui/MessageBoxes.h"
#include "ui/ToolbarButtonEx.h"
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

    bool isEditableCategory (const ValueTree& node)
    {
        return ! isReadOnlySourceNode (node);
    }

    // An empty slot with a filled one somewhere after it.
    bool hasGapBeforeAPreset (const DeviceData& data)
    {
        bool sawEmpty = false;
        for (int slot = 1; slot < data.getNumSlots(); ++slot)
        {
            if (! data.hasPreset (slot))
                sawEmpty = true;
            else if (sawEmpty)
                return true;
        }
        return false;
    }

    DeviceManager* devices() { return getDeviceManager(); }

    void showFileError (Component* page)
    {
        showWarningBox (page, "File Error",
                        "Larkspire was unable to save the device's data to disk. Please make sure the drive is not full.");
    }

    // Whether the working copy holds in this slot the very preset that the unit's live data holds.
    bool holdsTheUnitsPreset (const DeviceData& working, const DeviceData* live, int slot)
    {
        auto* mine = working.getPreset (slot);
        auto* units = live != nullptr ? live->getPreset (slot) : nullptr;
        return mine != nullptr && units != nullptr && mine->getMd5() == units->getMd5();
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

void DataPage::sendDataToDevice (std::unique_ptr<DeviceData> data, bool wholeImage)
{
    stagedData = std::move (data);
    if (stagedData != nullptr && dataSet != nullptr && dataSet->getWorking() != nullptr)
        invokeCommand (wholeImage ? AppCommand::restoreToDevice : AppCommand::sendDirectToDevice);
}

bool DataPage::invokeCommand (CommandID commandId)
{
    return getCommandManager().invokeDirectly (commandId, false);
}

void DataPage::syncWithWarning()
{
    if (dataSet != nullptr && dataSet->hasUnsavedChanges())
    {
        const auto text = "Your preset edits have not been transferred to " + deviceName
                        + " yet. If you synchronize now, these changes will be discarded. To avoid losing your"
                          " changes use the 'Apply' or 'Backup' functions on the toolbar.";
        if (! askOkCancel (MessageBoxIconType::WarningIcon, this, "Changes Will Be Lost", text, false,
                           "Continue", "Cancel"))
            return;
    }
    invokeCommand (AppCommand::downloadDeviceData);
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
    undoManager.undo();
    updateToolbarState (false);
}

void DataPage::redo()
{
    if (! undoManager.canRedo())
    {
        showInfoBox (this, "Redo", "Nothing to redo");
        return;
    }
    undoManager.redo();
    updateToolbarState (false);
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
ToolbarItemComponent* DataPage::getToolbarItem (int itemId) const
{
    for (int i = 0; i < toolbar.getNumItems(); ++i)
        if (toolbar.getItemId (i) == itemId)
            return toolbar.getItemComponent (i);
    return nullptr;
}

void DataPage::setItemEnabled (int itemId, bool enabled)
{
    if (auto* item = getToolbarItem (itemId))
        item->setEnabled (enabled);
}

bool DataPage::isGridShown() const
{
    return workspace->getViewType() == DataViewPanel::gridView;
}

void DataPage::updateToolbarState (bool force)
{
    if (! toolbar.isVisible() && ! force)
        return;

    const auto source = getSelectedSource();
    auto* selected = getSourceNodeWorkingData (source);
    auto* unitWorking = dataSet != nullptr ? dataSet->getWorking() : nullptr;
    const bool gridHasSelection = ! workspace->getGrid().getSelection().isEmpty();

    setItemEnabled (DataToolbarItemFactory::applyChangesItem, dataSet != nullptr && dataSet->hasUnsavedChanges());
    setItemEnabled (DataToolbarItemFactory::sendSetupItem, selected != nullptr && selected->getSetup().isComplete());
    setItemEnabled (DataToolbarItemFactory::sendSelectedItem, selected != nullptr && gridHasSelection);
    setItemEnabled (DataToolbarItemFactory::backupAllItem, unitWorking != nullptr);
    setItemEnabled (DataToolbarItemFactory::backupUserItem, unitWorking != nullptr && unitWorking->countNonFactoryPresets() > 0);
    setItemEnabled (DataToolbarItemFactory::backupSelectedItem,
                    selected != nullptr && selected == unitWorking && gridHasSelection);
    setItemEnabled (DataToolbarItemFactory::optimizeSpaceItem,
                    selected != nullptr && hasGapBeforeAPreset (*selected) && isEditableCategory (source));
    setItemEnabled (DataToolbarItemFactory::toggleViewItem, selected != nullptr);
    setItemEnabled (DataToolbarItemFactory::exportItem, selected != nullptr);
    setItemEnabled (DataToolbarItemFactory::importItem, selected != nullptr);
    setItemEnabled (DataToolbarItemFactory::selectUserItem, selected != nullptr && selected->countNonFactoryPresets() > 0);
    setItemEnabled (DataToolbarItemFactory::undoItem, undoManager.canUndo());
    setItemEnabled (DataToolbarItemFactory::redoItem, undoManager.canRedo());
}

void DataPage::buttonClicked (Button* button)
{
    auto* item = dynamic_cast<ToolbarItemComponent*> (button);
    if (item == nullptr)
        return;

    const int id = item->getItemId();
    auto& grid = workspace->getGrid();

    switch (id)
    {
        case DataToolbarItemFactory::getDataItem:        syncWithWarning(); break;
        case DataToolbarItemFactory::applyChangesItem:   invokeCommand (AppCommand::applyChanges); break;
        case DataToolbarItemFactory::sendSetupItem:      invokeCommand (AppCommand::restoreSetup); break;
        case DataToolbarItemFactory::sendSelectedItem:   invokeCommand (AppCommand::sendDirectToDevice); break;
        case DataToolbarItemFactory::deleteBackupItem:   browser.deleteSelected(); break;
        case DataToolbarItemFactory::backupAllItem:      browser.backup (true, true, true); break;
        case DataToolbarItemFactory::backupUserItem:     browser.backup (false, false, true); break;
        case DataToolbarItemFactory::backupSelectedItem: browser.backup (false, true, false); break;
        case DataToolbarItemFactory::optimizeSpaceItem:
        {
            const auto source = getSelectedSource();
            if (isGridShown() && isEditableCategory (source))
                defragment (source, true, true);
            break;
        }
        case DataToolbarItemFactory::findPresetItem:     findPreset(); break;
        case DataToolbarItemFactory::toggleViewItem:
            item->setToggleState (! item->getToggleState(), dontSendNotification);
            grid.setViewType (item->getToggleState() ? 1 : 0);
            break;
        case DataToolbarItemFactory::deleteSetupItem:
        case DataToolbarItemFactory::downloadAccountItem:
        case DataToolbarItemFactory::uploadAccountItem:
            showWarningBox (this, "Feature", "Not Implemented Yet!");
            break;
        case DataToolbarItemFactory::newGroupItem:          browser.createGroup(); break;
        case DataToolbarItemFactory::groupSelectedItem:     browser.groupSelected(); break;
        case DataToolbarItemFactory::duplicateSelectedItem: browser.duplicateSelected(); break;
        case DataToolbarItemFactory::selectUserItem:        if (isGridShown()) grid.selectPresets (true); break;
        case DataToolbarItemFactory::deletePresetsItem:     if (isGridShown()) grid.deleteSelected(); break;
        case DataToolbarItemFactory::cutItem:               if (isGridShown()) grid.performMenuCommand (102, nullptr); break;
        case DataToolbarItemFactory::copyItem:              if (isGridShown()) grid.performMenuCommand (103, nullptr); break;
        case DataToolbarItemFactory::pasteItem:             if (isGridShown()) grid.performMenuCommand (105, nullptr); break;
        case DataToolbarItemFactory::undoItem:              undo(); break;
        case DataToolbarItemFactory::redoItem:              redo(); break;
        case DataToolbarItemFactory::exportItem:            exportData(); break;
        case DataToolbarItemFactory::importItem:            importData(); break;
        default: break;
    }
}

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

//==============================================================================
void DataPage::changeInfoCallback (const ChangeInfo& info)
{
    if (info.kind == ChangeInfo::applicationStateChange)
    {
        if (info.newValue == 4 && dataSet != nullptr)
        {
            deleteDeviceSnapshots();
            releaseDevice (false, false);
        }
        return;
    }

    if (info.kind == ChangeInfo::commandPerformed)
    {
        if (info.commandId != AppCommand::downloadDeviceData || dataSet == nullptr)
            return;
        auto* working = dataSet->getWorking();
        if (working != nullptr)
        {
            working->removeAllPresets();
            working->clearSetup();
        }
        // The read replaces the working copy: no earlier edit may be undone or redone into it.
        undoManager.clearUndoHistory();
        needSync = true;
        busy = true;
        showSyncButton (false);
        ensureSourceSelected();
        sourceSelectionChanged();
        if (working != nullptr)
        {
            Array<int> slots;
            for (int slot = 1; slot < working->getNumSlots(); ++slot)
                slots.add (slot);
            notifyPresetDataChanged (deviceNode(), slots);
        }
        return;
    }

    if (info.kind == ChangeInfo::deviceEvent)
        handleDeviceEvent (info.event);
}

void DataPage::handleDeviceEvent (const DeviceInfoMessage& e)
{
    switch (e.code)
    {
        case InfoCode::unitConnection:
            deviceConnectionChanged (e.p1 != 0, e.p2 != 0);
            return;
        case InfoCode::quitAccepted:
            releaseDevice (appState() != 5, appState() == 5);
            return;
        case InfoCode::backupConversionFinished:
            refreshSourceNode (SourceCategories::archive);
            browser.setRoot (this, sourcesRoot);
            ensureSourceSelected();
            return;
        default:
            break;
    }

    if (dataSet == nullptr)
        return;

    switch (e.code)
    {
        case InfoCode::presetRead:
        case InfoCode::presetEmpty:
            presetTransferred (e.p1, true);
            break;
        case InfoCode::presetWritten:
            presetTransferred (e.p1, false);
            break;
        case InfoCode::presetDeleteSent:
            if (auto* working = dataSet->getWorking())
            {
                working->removePreset (e.p1);
                notifyPresetDataChanged (deviceNode(), e.p1);
            }
            break;
        case InfoCode::commandDone:
            handleCommandDone (e.command);
            break;
        case InfoCode::commandFailed:
            handleCommandFailed (e.command);
            break;
        default:
            break;
    }
}

void DataPage::presetTransferred (int slot, bool copy)
{
    auto* working = dataSet != nullptr ? dataSet->getWorking() : nullptr;
    auto* live = dataSet != nullptr ? dataSet->getDevice() : nullptr;
    if (working == nullptr || slot < 0 || slot >= working->getNumSlots())
        return;

    if (copy)
    {
        if (live != nullptr && slot < live->getNumSlots())
            working->copyPresetFrom (slot, *live);
    }
    else if (! holdsTheUnitsPreset (*working, live, slot))
    {
        // Written from another source (or before the live data learnt of it): the edit
        // here is not what the unit got; the command's end brings in what it holds.
        return;
    }
    working->setPresetModified (slot, false);
    notifyPresetDataChanged (deviceNode(), slot);
}

void DataPage::handleCommandDone (const DeviceCommandMessage& command)
{
    auto* working = dataSet->getWorking();
    auto* live = dataSet->getDevice();

    switch (command.code)
    {
        case DeviceCommand::readAll:
            storeSync();
            break;
        case DeviceCommand::writePresets:
        case DeviceCommand::readPresets:
            // Each slot lost its mark as it went out or came back; unsent edits keep theirs.
            if (working != nullptr)
                working->clearModifiedFlags (true);
            break;
        case DeviceCommand::writePresetsFrom:
        case DeviceCommand::writeWholeData:
        case DeviceCommand::writeSetup:
        case DeviceCommand::writeSetupFrom:
        {
            auto* payload = command.data;
            if (payload == nullptr || working == nullptr || live == nullptr)
                break;

            auto slots = command.presetIndices;
            if (command.code == DeviceCommand::writeWholeData)
                slots = payload->getPresetIndices();

            for (auto slot : slots)
            {
                if (slot < 0 || slot >= payload->getNumSlots() || slot >= live->getNumSlots())
                    continue;
                live->copyPresetFrom (slot, *payload);
                presetTransferred (slot, true);
            }

            if (command.code != DeviceCommand::writePresetsFrom && payload->getSetup().isComplete())
            {
                const SetupData setup (payload->getSetup());
                live->setSetup (setup, false);
                if (working->setSetup (setup, false))
                    working->getSetup().setModified (false);
            }
            // Only what was written loses its mark: every other unsent edit keeps it.
            working->clearModifiedFlags (true);
            if (payload == stagedData.get())
                stagedData.reset();
            break;
        }
        default:
            break;
    }
    updateToolbarState (true);
}

void DataPage::handleCommandFailed (const DeviceCommandMessage& command)
{
    auto* manager = devices();
    if (manager == nullptr || manager->getCurrentIndex() < 0)
        return;

    auto device = manager->getDeviceObject();
    const int code = device != nullptr && device->getErrorCode() != 0 ? device->getErrorCode()
                                                                      : (int) DeviceError::internalError;
    const auto text = getDeviceErrorText (code, deviceName);

    if (command.code == DeviceCommand::readAll || command.code == DeviceCommand::readPresets
        || command.code == DeviceCommand::readSetup)
    {
        for (auto* data : { dataSet->getWorking(), dataSet->getDevice() })
            if (data != nullptr)
            {
                data->removeAllPresets();
                data->clearSetup();
            }
        undoManager.clearUndoHistory();
        needSync = true;
        busy = false;
        refreshSourceNode (SourceCategories::device);
        browser.setRoot (this, sourcesRoot);
        ensureSourceSelected();
        sourceSelectionChanged();
        showSyncButton (true);
    }

    String title = "Device Error";
    if (code == DeviceError::internalError)        title = "Internal Error";
    else if (code == DeviceError::memoryFull)      title = "Memory Full";
    else if (code == DeviceError::versionConflict) title = "Incompatible Data";
    showWarningBox (this, title, text);
}

//==============================================================================
void DataPage::deviceConnectionChanged (bool connected, bool p2)
{
    if (! connected)
    {
        releaseDevice (true, false);
        return;
    }

    const int state = appState();
    if (state != 0 && state != 2)
        return;

    auto* manager = devices();
    auto* unitCaps = manager != nullptr ? manager->getDeviceCaps() : nullptr;
    if (! p2 && unitCaps != nullptr && unitCaps->isBuildValid() && unitCaps->getNumPresets() >= 1)
    {
        needSync = true;
        deviceFolder = manager->getDeviceDataFolder();
        const int method = getDataSyncMethod();

        std::unique_ptr<DeviceData> working;
        if (method == 2)
        {
            if (manager->loadSyncSnapshot())
                working = DeviceData::createFromFile (AppPaths::getWorkingFile (deviceFolder, false));
            else
                deleteDeviceSnapshots();
            if (working != nullptr)
                needSync = false;
        }

        attachDevice (std::move (working));

        if (method == 0)
            getCommandManager().invoke (ApplicationCommandTarget::InvocationInfo (AppCommand::downloadDeviceData), true);
    }

    showSyncButton (needSync);
}

void DataPage::attachDevice (std::unique_ptr<DeviceData> working)
{
    auto* manager = devices();
    if (manager == nullptr)
        return;

    if (auto* unitCaps = manager->getDeviceCaps())
        caps = *unitCaps;
    auto* live = manager->getDeviceData();
    dataSet = new DataSet (live, std::move (working));
    deviceFolder = manager->getDeviceDataFolder();
    deviceName = manager->getDeviceDisplayName();

    if (live != nullptr)
    {
        archiveManager = std::make_unique<LocalArchiveManager> (live->getFormat(), deviceName);
        archiveManager->buildTree();
        String question;
        if (archiveManager->getConversionQuestion (question) && question.isNotEmpty())
            if (auto* host = getAppHost())
                if (auto* hub = host->getHubListener())
                    hub->postMessage (new DeviceInfoMessage (InfoCode::mismatchedBackupData, 0, 0, question));

        cloudSource = std::make_unique<CloudPackList> (live->getProductId(), live->getFormat(), live->getVersion());
    }
    else
    {
        archiveManager.reset();
        cloudSource.reset();
    }

    workspace->getGrid().setDeviceCaps (caps);
    details->getPresetDetails().setDeviceCaps (caps);
    workspace->resized();
    details->resized();
    undoManager.clearUndoHistory();
    refreshSourceNode (SourceCategories::device);
    refreshSourceNode (SourceCategories::archive);
    refreshSourceNode (SourceCategories::cloud);
    browser.setRoot (this, sourcesRoot);
    ensureSourceSelected();
    sourceSelectionChanged();
    resized();
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

void DataPage::releaseDevice (bool storeSnapshots, bool skipArchiveIndex)
{
    if (! skipArchiveIndex && archiveManager != nullptr)
        archiveManager->saveIndex();

    if (storeSnapshots && dataSet != nullptr && deviceFolder.isNotEmpty() && ! needSync)
    {
        // Each snapshot replaces its old file only once written whole; a failure keeps the old one.
        const File folder (deviceFolder);
        bool stored = true;
        if (auto* working = dataSet->getWorking())
            stored = working->saveDataFile (folder, true) == 0;
        if (auto* source = dataSet->getSourceDeviceData())
            stored = source->saveDataFile (folder, false) == 0 && stored;
        if (! stored)
            showFileError (this);
    }

    storeBrowserWidth();
    deviceFolder = {};
    deviceName = {};
    browser.setRoot (nullptr, {});
    showSource ({}, {}, DataViewPanel::emptyView, {}, DetailsPanel::emptyDetails);
    sourcesRoot.removeAllChildren (nullptr);
    dataSet = nullptr;
    stagedData.reset();
    undoManager.clearUndoHistory();
    browser.setRoot (this, sourcesRoot);
    archiveManager.reset();
    cloudSource.reset();
    caps = DeviceCaps();
    needSync = true;
    busy = false;
    updateToolbarState (true);
}

void DataPage::deleteDeviceSnapshots()
{
    if (deviceFolder.isEmpty())
        return;
    File (AppPaths::getSyncFile (deviceFolder, false)).deleteFile();
    File (AppPaths::getWorkingFile (deviceFolder, false)).deleteFile();
}

void DataPage::storeSync()
{
    auto* manager = devices();
    auto* live = manager != nullptr ? manager->getDeviceData() : nullptr;
    if (live != nullptr)
    {
        busy = false;
        const int result = live->saveDataFile (File (deviceFolder), false);
        if (result == 0)
        {
            if (auto* working = dataSet->getWorking())
            {
                working->setSetup (live->getSetup(), false);
                working->clearModifiedFlags (false);
            }
            needSync = false;
            refreshSourceNode (SourceCategories::device);
            browser.setRoot (this, sourcesRoot);
            ensureSourceSelected();
            sourceSelectionChanged();
        }
        else if (result == 2)
        {
            showFileError (this);
        }
        else
        {
            showWarningBox (this, "Data Integrity Failure",
                            "Larkspire has detected data corruption in the data downloaded from your device. This could be"
                            " caused by a MIDI transmission error. Please try downloading again. If the error persists,"
                            " please contact Ardo Support.");
            auto node = deviceNode();
            if (node.isValid())
                sourcesRoot.removeChild (node, nullptr);
            needSync = true;
        }
    }
    showSyncButton (needSync);
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

    // A component that is not on the screen (in a window that has just closed) holds
    // the keyboard for no one.
    auto* focused = getCurrentlyFocusedComponent();
    if (focused != nullptr && focused->isShowing()
        && (isParentOf (focused) || dynamic_cast<TextEditor*> (focused) != nullptr
            || focused->getTopLevelComponent() != getTopLevelComponent()))
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
