#pragma once

#include "ui/datapage/DataPageHost.h"
#include "ui/datapage/PanelContainerBase.h"

// Details of the connected unit: its product picture, how many presets it holds, how
// many differ from the factory bank, and whether its setup can be restored.
class DeviceDetailsContainer : public PanelContainerBase
{
public:
    explicit DeviceDetailsContainer (DataPageHost* page);

    void updateFromSource() override;
    void updateLayout (int width, int height) override;
    void presetDataChanged (const juce::ValueTree&, const juce::Array<int>&) override { refreshCounts(); }
    // Stays hidden while there is no unit to describe, even when a viewport shows it.
    void visibilityChanged() override;

    juce::Label& getTotalValue() noexcept { return totalValue; }
    juce::Label& getUserCaption() noexcept { return userCaption; }
    juce::Label& getUserValue() noexcept { return userValue; }
    juce::Label& getSetupCaption() noexcept { return setupCaption; }
    juce::Label& getTotalCaption() noexcept { return totalCaption; }
    juce::Label& getNotAvailable() noexcept { return notAvailable; }
    juce::DrawableButton& getRestoreButton() noexcept { return restoreButton; }
    juce::ImageComponent& getProductImage() noexcept { return productImage; }

private:
    void refreshCounts();

    DataPageHost* page;
    juce::ImageComponent productImage;
    juce::Label totalCaption, totalValue, userCaption, userValue, setupCaption, notAvailable;
    juce::DrawableButton restoreButton;
    bool unitPresent = false;
};
