#pragma once

#include "ui/datapage/DataSetDetailsContainer.h"
#include "ui/datapage/DeviceDetailsContainer.h"
#include "ui/datapage/EmptyContainer.h"
#include "ui/datapage/GroupDetailsContainer.h"
#include "ui/datapage/PresetDetailsContainer.h"

// The "Details" panel: details of the unit (2), a group (3), a data set (4) or the
// selected presets (5); anything else shows the empty container.
class DetailsPanel : public juce::Component,
                     public PresetDataChangeListener,
                     public ArchiveChangeListener
{
public:
    enum DetailsTypes { emptyDetails = 1, deviceDetails = 2, groupDetails = 3, dataSetDetails = 4, presetDetails = 5 };

    explicit DetailsPanel (DataPageHost* page);
    ~DetailsPanel() override;

    void showDetails (int detailsType, const juce::ValueTree& node);
    PanelContainerBase* getContainer (int detailsType);
    PanelContainerBase* getShownContainer() const noexcept { return shown; }
    int getDetailsType() const noexcept { return detailsType; }
    // The height the shown container wants (-1 when none is shown).
    int getPreferredHeight() const;

    juce::Viewport& getViewport() noexcept { return viewport; }
    DeviceDetailsContainer& getDeviceDetails() noexcept { return device; }
    GroupDetailsContainer& getGroupDetails() noexcept { return group; }
    DataSetDetailsContainer& getDataSetDetails() noexcept { return dataSet; }
    PresetDetailsContainer& getPresetDetails() noexcept { return presets; }

    void resized() override;
    void presetDataChanged (const juce::ValueTree&, const juce::Array<int>&) override {}
    void archiveChanged (const juce::ValueTree&, const juce::Identifier&) override {}

private:
    void detach (PanelContainerBase& container);

    DataPageHost* page;
    juce::Viewport viewport;
    int detailsType = 0;
    EmptyContainer empty;
    DeviceDetailsContainer device;
    GroupDetailsContainer group;
    DataSetDetailsContainer dataSet;
    PresetDetailsContainer presets;
    PanelContainerBase* shown = nullptr;
};
