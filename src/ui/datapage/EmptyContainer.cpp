#include "ui/datapage/EmptyContainer.h"
#include "ui/AppCommandIds.h"
#include "ui/ColourPalette.h"
#include "ui/CommandManager.h"
#include "ui/LSLookAndFeel.h"

namespace
{
    juce::Image renderSyncPicture()
    {
        auto drawable = LSLookAndFeel::createEmbeddedDrawable ("sync_large_svg");
        juce::Image image (juce::Image::ARGB, 128, 128, true);
        if (drawable != nullptr)
        {
            juce::Graphics g (image);
            drawable->drawWithin (g, image.getBounds().toFloat(), juce::RectanglePlacement::centred, 1.0f);
        }
        return image;
    }
}

EmptyContainer::EmptyContainer()
    : label ({}, "No Details Availalbe"),
      syncButton ("Big Sync Button")
{
    label.setJustificationType (juce::Justification::centred);
    addAndMakeVisible (label);

    const auto picture = renderSyncPicture();
    syncButton.setImages (false, true, true,
                          picture, 1.0f, juce::Colours::transparentBlack,
                          picture, 1.0f, paletteColour104,
                          picture, 1.0f, paletteColour105);
    syncButton.addListener (this);
    addChildComponent (syncButton);
}

void EmptyContainer::setSyncMode (bool shouldOfferSync)
{
    syncMode = shouldOfferSync;
    syncButton.setEnabled (syncMode);
    syncButton.setVisible (syncMode);
    laidOutWidth = -1;
}

void EmptyContainer::updateLayout (int width, int height)
{
    setPreferredHeight (height);

    if (width == laidOutWidth)
        return;
    laidOutWidth = width;

    const int t = scrollBarThickness;
    auto* parent = getParentComponent();
    const int parentHeight = parent != nullptr ? parent->getHeight() : height;

    if (syncMode)
        setSize (width - t - 2, parentHeight - t - 2);
    else
        setSize (width - t - 2, 0);
}

void EmptyContainer::resized()
{
    label.setBounds (getLocalBounds().removeFromTop (juce::jmax (24, getHeight() / 4)));
    const int side = juce::jmin (128, getWidth(), getHeight());
    syncButton.setBounds (getLocalBounds().withSizeKeepingCentre (side, side));
}

void EmptyContainer::buttonClicked (juce::Button* b)
{
    if (b == &syncButton)
        getCommandManager().invokeDirectly (AppCommand::downloadDeviceData, false);
}
