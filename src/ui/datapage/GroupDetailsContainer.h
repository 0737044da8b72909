#pragma once

#include "ui/datapage/PanelContainerBase.h"

// Details of a group of backups: its icon and how many items and sub-groups lie under it.
class GroupDetailsContainer : public PanelContainerBase
{
public:
    GroupDetailsContainer();

    void updateFromSource() override;
    void updateLayout (int width, int height) override;

    juce::Label& getItemsValue() noexcept { return itemsValue; }
    juce::Label& getGroupsValue() noexcept { return groupsValue; }
    juce::Label& getItemsCaption() noexcept { return itemsCaption; }
    juce::Rectangle<float> getIconArea() const noexcept { return iconArea; }

    void paintOverChildren (juce::Graphics&) override;

private:
    std::unique_ptr<juce::Drawable> icon;
    juce::Rectangle<float> iconArea;
    juce::Label itemsCaption, itemsValue, groupsCaption, groupsValue;
};
