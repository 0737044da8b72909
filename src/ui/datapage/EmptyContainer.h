#pragma once

#include "ui/datapage/PanelContainerBase.h"

// Shown when there is nothing to show, or, in its sync mode, for the connected unit
// while its data has not been read: then it offers a large button that reads it.
class EmptyContainer : public PanelContainerBase,
                       public juce::Button::Listener
{
public:
    EmptyContainer();

    void setSyncMode (bool shouldOfferSync);

    void updateLayout (int width, int height) override;
    void resized() override;
    void buttonClicked (juce::Button*) override;

    juce::Label& getLabel() noexcept { return label; }
    juce::ImageButton& getSyncButton() noexcept { return syncButton; }

private:
    juce::Label label;
    juce::ImageButton syncButton;
    bool syncMode = false;
    int laidOutWidth = -1;
};
