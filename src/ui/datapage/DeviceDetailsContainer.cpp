#include "ui/datapage/DeviceDetailsContainer.h"
#include "device/DeviceObject.h"
#include "ui/AppCommandIds.h"
#include "ui/CommandManager.h"
#include "ui/LSLookAndFeel.h"

namespace
{
    float fontHeightFor (juce::Component& c)
    {
        if (auto* laf = dynamic_cast<LSLookAndFeel*> (&c.getLookAndFeel()))
            return laf->getFontHeightA();
        return 14.0f;
    }
}

DeviceDetailsContainer::DeviceDetailsContainer (DataPageHost* owner)
    : page (owner),
      totalCaption ({}, "Total Presets: "), totalValue ({}, "---"),
      userCaption ({}, "User Presets: "), userValue ({}, "---"),
      setupCaption ({}, "Setup: "), notAvailable ({}, "not available"),
      restoreButton ("Restore Setup", juce::DrawableButton::ImageFitted)
{
    if (auto icon = LSLookAndFeel::createEmbeddedDrawable ("restore_setup_svg"))
        restoreButton.setImages (icon.get());
    restoreButton.setCommandToTrigger (&getCommandManager(), AppCommand::restoreSetup, true);

    addAndMakeVisible (productImage);
    for (auto* l : { &totalCaption, &totalValue, &userCaption, &userValue, &setupCaption, &notAvailable })
        addAndMakeVisible (l);
    addChildComponent (restoreButton);
}

void DeviceDetailsContainer::updateFromSource()
{
    auto* data = page != nullptr ? page->getConnectedDeviceData() : nullptr;
    auto* caps = page != nullptr ? page->getConnectedDeviceCaps() : nullptr;
    unitPresent = data != nullptr && caps != nullptr;
    setVisible (unitPresent);

    productImage.setImage (page != nullptr ? page->getConnectedProductImage() : juce::Image());
    refreshCounts();
}

void DeviceDetailsContainer::visibilityChanged()
{
    if (isVisible() && ! unitPresent)
        setVisible (false);
}

void DeviceDetailsContainer::refreshCounts()
{
    auto* data = page != nullptr ? page->getConnectedDeviceData() : nullptr;
    auto* caps = page != nullptr ? page->getConnectedDeviceCaps() : nullptr;
    if (data == nullptr || caps == nullptr)
        return;

    const int slots = caps->getNumPresets() - 1;
    const bool none = slots <= 0;
    int filled = 0, user = 0;
    bool canRestore = false;
    {
        const juce::ScopedLock dl (DeviceObject::getUnitDataLock());
        filled = data->getPresetIndices (1, slots).size();
        user = data->countNonFactoryPresets();
        canRestore = data->getSetup().isComplete();
    }

    totalValue.setText (none ? juce::String ("none") : juce::String::formatted ("%d/%d", filled, slots),
                        juce::dontSendNotification);
    userValue.setText (juce::String (user), juce::dontSendNotification);
    userCaption.setVisible (! none);
    userValue.setVisible (! none);

    setupCaption.setText (canRestore ? "Restore Setup: " : "Setup: ", juce::dontSendNotification);
    restoreButton.setVisible (canRestore);
    notAvailable.setVisible (! canRestore);
}

void DeviceDetailsContainer::updateLayout (int w, int h)
{
    const float s = getUiScale();
    const int m = marginX;
    const juce::Font font (fontHeightFor (*this));
    for (auto* l : { &totalCaption, &totalValue, &userCaption, &userValue, &setupCaption, &notAvailable })
        l->setFont (font);

    // The picture, 150 pixels wide at scale 1, proportions kept.
    const auto image = productImage.getImage();
    const float factor = image.getWidth() > 0 ? 150.0f * s / (float) image.getWidth() : 1.0f;
    productImage.setBounds (m, m, juce::roundToInt ((float) image.getWidth() * factor),
                            juce::roundToInt ((float) image.getHeight() * factor));

    const int rowH = (int) totalCaption.getFont().getHeight() + juce::roundToInt (8.0f * s);
    const int cw = juce::roundToInt (totalCaption.getFont().getStringWidthFloat (totalCaption.getText())) + 10;
    const int x1 = productImage.getWidth() + juce::roundToInt (40.0f * s);
    int y = m + juce::roundToInt (5.0f * s);

    totalCaption.setBounds (x1, y, cw, rowH);
    totalValue.setBounds (x1 + cw, y, cw, rowH);
    y += rowH;

    if (userCaption.isVisible())
    {
        userCaption.setBounds (x1, y, cw, rowH);
        userValue.setBounds (x1 + cw, y, cw, rowH);
        y += rowH;
    }

    setupCaption.setBounds (x1, y, cw, rowH);
    restoreButton.setBounds (x1 + cw, y, (int) (rowH * 1.3), rowH);
    notAvailable.setBounds (x1 + cw, y, cw, rowH);

    setPreferredHeight (h);
    setSize (w, juce::jmax (notAvailable.getBottom(), productImage.getBottom()) + m);
}
