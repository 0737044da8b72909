#pragma once

#include "model/DeviceCaps.h"
#include "model/DeviceData.h"
#include "ui/PresetButton.h"
#include "ui/datapage/DataPageHost.h"
#include "ui/datapage/DataSetDragSnapShot.h"
#include "ui/datapage/PanelContainerBase.h"

// The preset grid of the workspace: one preset button per slot of the shown data
// set, as cells or as icons. It owns the selection, a clipboard of presets and the
// button sizes, and starts and accepts drags of presets. Every change of data goes
// through the page's edit operations, so it can be undone.
// The class's work is spread over files by job: the buttons and the source they show
// (PresetButtonContainer.cpp), views, sizes and layout (...Layout.cpp), the selection,
// clicks and lasso (...Selection.cpp), the clipboard edits (...Clipboard.cpp), the keys
// (...Keys.cpp), the context menu (...Menu.cpp) and drags and drops (...DragDrop.cpp).
class PresetButtonContainer : public PanelContainerBase,
                              public juce::LassoSource<PresetButton*>,
                              public juce::Button::Listener,
                              public juce::Slider::Listener,
                              public juce::DragAndDropTarget,
                              public juce::ChangeBroadcaster
{
public:
    // Context-menu and drop-menu item ids.
    enum MenuIds
    {
        selectAllId = 100, selectUserId, cutId, copyId, insertId, pasteId, pasteToSelectedId,
        pasteToOriginalId = 108, pasteToEmptyId, deleteId, undoId, redoId, scaleSliderId, resetScaleId,
        toggleEmptySlotsId, toggleViewId, sendAllChangesId, sendSelectedId, sendSetupId,

        dropMoveId = 200, dropPasteId, dropInsertId, dropSwapId, dropStepsId
    };

    PresetButtonContainer (DataPageHost* page, juce::Viewport* viewport);
    ~PresetButtonContainer() override;

    void setDeviceCaps (const DeviceCaps& caps);
    const DeviceCaps& getDeviceCaps() const noexcept { return caps; }

    // PanelContainerBase
    void setSource (const juce::ValueTree& node) override;
    void clearSource() override;
    void updateLayout (int width, int height) override;
    void presetDataChanged (const juce::ValueTree& node, const juce::Array<int>& slots) override;

    // Selection (PresetButtonContainerSelection.cpp).
    void selectSlots (const juce::Array<int>& slots);
    const juce::Array<int>& getSelection() const noexcept { return selection; }
    bool selectPresets (bool userOnly);
    void pruneSelection();

    DeviceData* getWorkingData() const { return data.get(); }
    bool isShowingConnectedUnit() const noexcept { return showsConnectedUnit; }

    // Clipboard and edits (PresetButtonContainerClipboard.cpp).
    bool deleteSelected();
    bool copySelected();
    bool cutSelected();
    bool insertClipboardAt (int slot);
    bool pasteClipboardTo (const juce::Array<int>& slots);
    const DeviceData* getClipboard() const noexcept { return clipboard.get(); }
    int countPendingChanges() const;

    // Views and sizes (PresetButtonContainerLayout.cpp).
    void setViewType (int viewType);
    int getViewType() const noexcept { return viewType; }
    void zoomBy (double factor);
    void setScale (double scale);
    double getCellScale() const noexcept { return cellScale; }
    double getIconScale() const noexcept { return iconScale; }
    juce::Rectangle<int> getButtonSize() const;
    bool getShowEmptySlots() const noexcept { return showEmptySlots; }

    int getNumButtons() const noexcept { return buttons.size(); }
    PresetButton* getButton (int slot) const { return buttons[slot]; }

    // Menus (PresetButtonContainerMenu.cpp).
    juce::PopupMenu createContextMenu();
    // Shows the context menu for a press and carries out the item chosen once it closes.
    void showContextMenu (const juce::MouseEvent& e);
    // `clickedSlot`: the slot the menu was opened on (1 on the grid's free space); noClick
    // for a command that comes without one (insert and paste then do nothing).
    static constexpr int noClick = -1;
    void performMenuCommand (int id, int clickedSlot = noClick);

    // The image dragged for the current selection when a drag starts on `pressed`.
    juce::Image createDragImage (PresetButton& pressed);

    // juce::LassoSource
    void findLassoItemsInArea (juce::Array<PresetButton*>& results, const juce::Rectangle<int>& area) override;
    juce::SelectedItemSet<PresetButton*>& getLassoSelection() override { return lassoSelection; }

    // Callbacks.
    void buttonClicked (juce::Button*) override;
    void sliderValueChanged (juce::Slider*) override;
    void mouseDown (const juce::MouseEvent&) override;
    void mouseDrag (const juce::MouseEvent&) override;
    void mouseUp (const juce::MouseEvent&) override;
    void mouseDoubleClick (const juce::MouseEvent&) override;
    void mouseWheelMove (const juce::MouseEvent&, const juce::MouseWheelDetails&) override;
    bool keyPressed (const juce::KeyPress&) override;
    bool keyPressed (const juce::KeyPress&, juce::Component*) override;
    bool isInterestedInDragSource (const SourceDetails&) override;
    void itemDropped (const SourceDetails&) override;

private:
    static constexpr double minScale = 0.5, maxScale = 4.0;

    void rebuildButtons();
    void setViewScale (int forViewType, bool relayout, double scale);
    void relayout();
    void layoutCells (int width, int height);
    void layoutIcons (int width, int height);
    bool updatePresetButton (int slot);
    void refreshButtons();
    void refreshFromSource();
    void restoreSelection();
    void storeSelection();
    void addToSelection (int slot);
    void selectSingle (PresetButton* button);
    void takeLassoSelection();
    void deselectAll();
    bool isSourceReadOnly() const;
    bool canRemovePresets() const;
    float getLookAndFeelScale();
    juce::Array<int> followingSlots (int first, int count) const;

    DataPageHost* page;
    juce::Viewport* viewport;
    DeviceCaps caps;
    juce::WeakReference<DeviceData> data;
    juce::OwnedArray<PresetButton> buttons;
    double cellScale = 1.0, iconScale = 1.0;
    DataSetDragSnapShot dragSnapShot;
    juce::LassoComponent<PresetButton*> lasso;
    juce::SelectedItemSet<PresetButton*> lassoSelection;
    bool showEmptySlots = true;
    int viewType = 0;
    int cellWidth = 125, cellHeight = 25, iconWidth = 152, iconHeight = 95;
    bool showsConnectedUnit = false;
    juce::Array<int> selection;
    bool pendingSingleSelect = false;
    bool lassoActive = false;
    std::unique_ptr<DeviceData> clipboard;
    std::unique_ptr<juce::Slider> scaleSlider;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PresetButtonContainer)
};
