#pragma once

#include "ui/DataPageView.h"
#include "ui/DataToolbarItemFactory.h"
#include "ui/datapage/DataExchange.h"
#include "ui/datapage/DataPageEditOperations.h"
#include "ui/datapage/DataPageHost.h"
#include "ui/datapage/DataViewPanel.h"
#include "ui/datapage/DetailsPanel.h"
#include "ui/datapage/SourceDataBrowser.h"
#include "ui/dialogs/SearchResultTarget.h"

class SearchDialog;

class CloudPackList;
class DeviceManager;
class LocalArchiveManager;

// The "Presets" page: the source browser on the left, the workspace and details panels
// on the right, the data toolbar above both. It holds the connected unit's data set,
// decides whether the unit must be read before its data can be used, stores a finished
// read on disk, follows every device result that concerns data, and answers the main
// content component's questions about the selection. Message thread only.
//
// The page's layout, sources, selection, edits and keys are in DataPage.cpp; the device
// and sync state machine in DataPageDevice.cpp, the toolbar in DataPageToolbar.cpp and
// the sync and working snapshots on disk in DataPageSnapshots.cpp.
class DataPage : public juce::Component,
                 public juce::DragAndDropContainer,
                 public juce::ChangeListener,
                 public DataPageView,
                 public juce::Button::Listener,
                 public SourceBrowserListener,
                 public DataPageHost,
                 public DataPageEditOperations,
                 public SearchResultTarget,
                 private juce::FocusChangeListener
{
public:
    DataPage();
    ~DataPage() override;

    //==============================================================================
    // The main content component's questions.
    juce::Component& getPageComponent() override { return *this; }
    DataSet* getDataSet() const override { return dataSet.get(); }
    bool hasUnsentEdits() const override;
    juce::ValueTree getSelectedSource() const override;
    DeviceData* getSelectedDataSet() const override;
    juce::Array<int> getSelectedSlots() const override;
    std::shared_ptr<const DeviceData> getStagedData() const override { return stagedData; }
    LocalArchiveManager* getArchiveManager() const override { return archiveManager.get(); }
    void discardUnsentEdits() override;

    void changeInfoCallback (const ChangeInfo&) override;

    //==============================================================================
    // What the edit operations and the browser need.
    juce::UndoManager& getUndoManager() override { return undoManager; }
    void notifyPresetDataChanged (const juce::ValueTree& node, const juce::Array<int>& slots) override;
    void notifyPresetDataChanged (const juce::ValueTree& node, int slot);
    void notifyArchiveChanged (const juce::ValueTree& node) override;
    juce::ValueTree getSourcesRoot() const override { return sourcesRoot; }
    const DeviceCaps& getCaps() const override { return caps; }
    juce::String getDeviceName() const override { return deviceName; }
    void selectSlots (const juce::ValueTree& node, const juce::Array<int>& slots) override;
    void sendDataToDevice (std::unique_ptr<DeviceData> data, bool wholeImage) override;
    void syncWithWarning() override;
    bool invokeCommand (juce::CommandID commandId) override;
    // The file imports of the browser's developer menu go to the export and import work.
    void importDataFiles (const juce::ValueTree& target) override;
    void importPresetPack (const juce::ValueTree& target) override;
    void convertPresetPacks() override;

    // Toolbar items 24 and 25: SysEx export and import (the work is the exchange's).
    virtual void exportData();
    virtual void importData();
    // Toolbar item 11 and Ctrl+F: the Find Preset dialog over the current sources.
    virtual void findPreset();
    // A hit chosen in the Find Preset dialog: its node in the browser, its slot in the grid.
    void showSearchResult (const juce::ValueTree& source, int number) override;
    SearchDialog* getSearchDialog() const noexcept { return searchDialog.get(); }

    //==============================================================================
    // What the grid and the panels need.
    void addPresetDataChangeListener (PresetDataChangeListener*) override;
    void removePresetDataChangeListener (PresetDataChangeListener*) override;
    void addArchiveChangeListener (ArchiveChangeListener*) override;
    void removeArchiveChangeListener (ArchiveChangeListener*) override;

    bool deletePresets (const juce::ValueTree& node, const juce::Array<int>& slots, bool undoable, bool newTransaction) override;
    bool copyPresets (const juce::ValueTree& targetNode, const juce::Array<int>& targetSlots,
                      const juce::ValueTree& sourceNode, const juce::Array<int>& sourceSlots,
                      bool undoable, bool newTransaction) override;
    bool pastePresets (const juce::ValueTree& node, const juce::Array<int>& targetSlots,
                       const DeviceData& data, bool undoable, bool newTransaction) override;
    bool insertPresets (const juce::ValueTree& node, int atSlot, const DeviceData& source,
                        const juce::Array<int>& sourceSlots, bool undoable, bool newTransaction) override;
    bool swapPresets (const juce::ValueTree& node, int slotA, int slotB, bool undoable, bool newTransaction) override;
    bool addPresetsAsSteps (const juce::ValueTree& node, int targetSlot, const juce::Array<int>& sourceSlots,
                            bool undoable, bool newTransaction) override;
    bool renamePresets (const juce::ValueTree& node, const juce::Array<int>& slots,
                        const juce::String& name, bool undoable, bool newTransaction) override;
    bool setPresetTag (const juce::ValueTree& node, const juce::Array<int>& slots, int tagIndex, bool on,
                       bool undoable, bool newTransaction) override;
    bool insertPresetSteps (const juce::ValueTree& node, int slot, int stepPosition,
                            const juce::Array<int>& steps, bool undoable, bool newTransaction) override;
    bool setArchiveItemTitle (const juce::ValueTree& node, const juce::String& title,
                              bool undoable, bool newTransaction) override;

    bool canUndo() const override { return undoManager.canUndo(); }
    bool canRedo() const override { return undoManager.canRedo(); }
    // Without anything to undo (redo) an information box says so.
    void undo() override;
    void redo() override;

    DeviceData* getConnectedDeviceData() const override;
    const DeviceCaps* getConnectedDeviceCaps() const override;
    juce::String getConnectedDeviceName() const override { return deviceName; }
    juce::Image getConnectedProductImage() const override;

    bool selectSourceInBrowser (const juce::ValueTree& node) override;
    void deleteSourceNodes (const juce::Array<juce::ValueTree>& nodes) override;
    void beginPresetNameEdit() override;

    //==============================================================================
    // Sync screen, sources, the unit.
    void showSyncButton (bool show);
    void refreshSourceNode (const juce::String& category);
    void ensureSourceSelected();
    void showSource (const juce::String& title, const juce::ValueTree& node, int viewType,
                     const juce::ValueTree& detailsNode, int detailsType);
    void updateToolbarState (bool force);
    void deviceConnectionChanged (bool connected, bool p2);
    void attachDevice (std::unique_ptr<DeviceData> working);
    // The packs of the attached unit's product come after the unit (they never hold it): once
    // its product's synchronisation has ended, its cloud source is listed again when a pack
    // came, went or changed, and the user stays on the packs selected where they still are.
    void refreshCloudPacks (juce::uint8 productId);
    void releaseDevice (bool storeSnapshots, bool skipArchiveIndex);
    void storeSync();
    void deleteDeviceSnapshots();
    void presetTransferred (int slot, bool copy);

    bool needsSync() const noexcept { return needSync; }
    bool isBusy() const noexcept { return busy; }
    juce::String getDeviceFolder() const { return deviceFolder; }

    juce::Toolbar& getToolbar() noexcept { return toolbar; }
    juce::ToolbarItemComponent* getToolbarItem (int itemId) const;
    juce::DrawableButton& getSyncButton() noexcept { return syncButton; }
    SourceDataBrowser& getBrowser() noexcept { return browser; }
    DataViewPanel& getWorkspace() noexcept { return *workspace; }
    juce::ConcertinaPanel& getPanels() noexcept { return panels; }
    juce::StretchableLayoutResizerBar& getResizerBar() noexcept { return *resizerBar; }

    //==============================================================================
    void resized() override;
    void paint (juce::Graphics&) override;
    bool keyPressed (const juce::KeyPress&) override;
    void visibilityChanged() override;
    void enablementChanged() override;
    void focusGained (FocusChangeType) override;
    // Gives the keyboard back to the page when it went nowhere (a disabled or deleted
    // component had it, a box or menu closed), so that the page's keys work at once; the
    // window's other controls keep it. Does nothing while a modal box has the keyboard, or
    // (unless `claimWindow`) while the page's window does not have it.
    void restoreKeyboardFocus (bool claimWindow = false);
    void changeListenerCallback (juce::ChangeBroadcaster*) override;
    void buttonClicked (juce::Button*) override;
    void sourceSelectionChanged() override;
    void dragOperationStarted (const juce::DragAndDropTarget::SourceDetails&) override;
    void dragOperationEnded (const juce::DragAndDropTarget::SourceDetails&) override;

    // The fallback toolbar depth when the look and feel is not the program's own.
    static constexpr int defaultToolbarThickness = 63;

private:
    void globalFocusChanged (juce::Component*) override;
    juce::ValueTree deviceNode() const;
    void storeBrowserWidth();
    float getUiScale();

    // Device results (DataPageDevice.cpp)
    void handleDeviceEvent (const DeviceInfoMessage&);
    void handleCommandDone (const DeviceCommandMessage&);
    void handleCommandFailed (const DeviceCommandMessage&);
    // "Changes Will Be Lost" before a read replaces unsent edits; true for "Continue".
    bool confirmReadOverEdits (const juce::String& unitName);
    // Tells the preset-data listeners that every slot of the unit's working copy changed.
    void notifyEverySlotChanged();
    // The snapshot files (DataPageSnapshots.cpp)
    void storeDeviceSnapshots();
    // What became of unsent edits stored beside a read that no longer fits the unit: kept as a
    // backup (`where` is its title); when that could not be written (`whyNotKept` says why), set
    // aside in a file of a name of their own, which nothing reads over or deletes (`where` is its
    // path); when not even that worked, left where they were, and the unit is not read.
    struct StoredEdits
    {
        enum How { none, keptAsBackup, setAside, notKept } how = none;
        juce::String where, whyNotKept;
    };
    // The stored read and the working copy beside it, taken up for the unit. A stored read that
    // no longer fits the unit (its firmware build, data format or product changed) is deleted
    // with the working copy, once unsent edits in that copy are kept.
    std::unique_ptr<DeviceData> loadDeviceSnapshots (DeviceManager&, StoredEdits& edits);
    // The stored working copy as a backup of the unit's product: its title, empty (and `whyNot`
    // filled) when it could not be kept.
    juce::String keepStoredEditsAsBackup (DeviceManager&, juce::String& whyNot);
    // The stored working copy moved to a file of its own beside it; that file, or none.
    juce::File setStoredEditsAside();
    // The box that says what became of them.
    void tellOfStoredEdits (const StoredEdits& edits, const juce::String& unitName);
    // The unit's stored working copy holds edits that the data stored beside it lacks (or, when
    // that data cannot be read, may hold any).
    bool hasUnsentEditsOnDisk() const;
    // The toolbar (DataPageToolbar.cpp)
    void setItemEnabled (int itemId, bool enabled);
    bool isGridShown() const;

    juce::ValueTree sourcesRoot;
    juce::UndoManager undoManager { 30000, 30 };
    DeviceCaps caps;
    DataSet::Ptr dataSet;
    std::shared_ptr<const DeviceData> stagedData;
    std::unique_ptr<LocalArchiveManager> archiveManager;
    std::unique_ptr<CloudPackList> cloudSource;
    juce::String deviceName, deviceFolder;
    bool needSync = true;
    bool busy = false;
    int connectionChanges = 0;   // counts the unit's comings and goings, across a question's modal loop
    DataToolbarItemFactory toolbarFactory;
    juce::Toolbar toolbar;
    juce::DrawableButton syncButton { "Click To Sync", juce::DrawableButton::ImageAboveTextLabel };
    juce::StretchableLayoutManager layout;
    std::unique_ptr<juce::StretchableLayoutResizerBar> resizerBar;
    juce::ConcertinaPanel panels;
    std::unique_ptr<DataViewPanel> workspace;
    std::unique_ptr<DetailsPanel> details;
    SourceDataBrowser browser;
    juce::Array<PresetDataChangeListener*> presetListeners;
    juce::Array<ArchiveChangeListener*> archiveListeners;
    int lastViewType = 0, lastDetailsType = 0;
    DataExchange exchange { *this, this };
    // Last, so it goes first: it points at the page and at the source nodes.
    std::unique_ptr<SearchDialog> searchDialog;

    JUCE_DECLARE_NON_COPYABLE (DataPage)
};
