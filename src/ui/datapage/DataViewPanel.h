#pragma once

#include "ui/datapage/DataPageHost.h"
#include "ui/datapage/DataSetGroupViewContainer.h"
#include "ui/datapage/EmptyContainer.h"
#include "ui/datapage/PresetButtonContainer.h"

// The "Workspace" panel: the selected source as a preset grid (view 3), a group
// view (view 4) or an empty screen (1, or 2 offering a sync). It relays every change
// message of the grid and the group view as its own.
class DataViewPanel : public juce::Component,
                      public juce::ChangeBroadcaster,
                      public juce::ChangeListener,
                      public PresetDataChangeListener,
                      public ArchiveChangeListener
{
public:
    enum ViewTypes { emptyView = 1, syncView = 2, gridView = 3, groupView = 4 };

    explicit DataViewPanel (DataPageHost* page);
    ~DataViewPanel() override;

    void showView (int viewType, const juce::ValueTree& node);
    PanelContainerBase* getContainer (int viewType);
    PanelContainerBase* getShownContainer() const noexcept { return shown; }
    int getViewType() const noexcept { return viewType; }

    PresetButtonContainer& getGrid() noexcept { return grid; }
    DataSetGroupViewContainer& getGroupView() noexcept { return groupViewContainer; }
    EmptyContainer& getEmptyContainer() noexcept { return empty; }
    juce::Viewport& getViewport() noexcept { return viewport; }

    void scrollToPresetSlot (int slot);

    void resized() override;
    void mouseDrag (const juce::MouseEvent&) override;
    void changeListenerCallback (juce::ChangeBroadcaster*) override;
    // The shown container is told directly; the panel itself has nothing to update.
    void presetDataChanged (const juce::ValueTree&, const juce::Array<int>&) override {}
    void archiveChanged (const juce::ValueTree&, const juce::Identifier&) override {}

private:
    void detach (PanelContainerBase& container);

    DataPageHost* page;
    juce::Viewport viewport;
    int viewType = 0;
    EmptyContainer empty;
    PresetButtonContainer grid;
    DataSetGroupViewContainer groupViewContainer;
    PanelContainerBase* shown = nullptr;
};

// Lays the shown container out in the viewport: once, and once more when a scroll bar
// came or went and changed the visible width. Shared by both panels.
void layoutPanelContainer (juce::Viewport& viewport, PanelContainerBase& container, bool reserveScrollBar);
