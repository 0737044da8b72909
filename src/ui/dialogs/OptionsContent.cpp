#include "ui/dialogs/OptionsContent.h"
#include "ui/ColourPalette.h"
#include "ui/dialogs/ModalDialogRunner.h"

OptionsContent::OptionsContent()
{
    setLookAndFeel (&lookAndFeel);

    tabbedComponent.setName ("tabbedComponent");
    tabbedComponent.setOutline (0);
    tabbedComponent.setTabBarDepth ((int) lookAndFeel.getRowHeight());
    tabbedComponent.addTab ("General", paletteColour090, &generalPage, false);
    tabbedComponent.addTab ("Devices", paletteColour090, &devicesPage, false);
    tabbedComponent.addTab ("Data", paletteColour090, &dataPage, false);
    tabbedComponent.setCurrentTabIndex (0);
    addAndMakeVisible (tabbedComponent);

    textButtonOk.setName ("textButtonOk");
    textButtonCancel.setName ("textButtonCancel");
    textButtonRestoreDefaults.setName ("textButtonRestoreDefaults");
    for (auto* b : { &textButtonOk, &textButtonCancel, &textButtonRestoreDefaults })
    {
        b->addListener (this);
        addAndMakeVisible (b);
    }

    const float s = lookAndFeel.getScale();
    setSize (juce::roundToInt (550.0f * s), juce::roundToInt (300.0f * s));
}

OptionsContent::~OptionsContent()
{
    for (auto* b : { &textButtonOk, &textButtonCancel, &textButtonRestoreDefaults })
        b->removeListener (this);
    tabbedComponent.clearTabs();
    setLookAndFeel (nullptr);
}

juce::Array<OptionsComponentPage*> OptionsContent::getPages()
{
    return { &generalPage, &devicesPage, &dataPage };
}

void OptionsContent::buttonClicked (juce::Button* button)
{
    if (button == &textButtonOk)
    {
        for (auto* page : getPages())
            page->store();
        result = 1;
        closeDialogOf (*this, 1);
    }
    else if (button == &textButtonCancel)
    {
        result = 0;
        closeDialogOf (*this, 0);
    }
    else if (button == &textButtonRestoreDefaults)
    {
        defaultsRestored = true;
        for (auto* page : getPages())
            page->restoreDefaults();
    }
}

void OptionsContent::paint (juce::Graphics& g)
{
    g.fillAll (paletteColour063);
}

void OptionsContent::resized()
{
    const int m = lookAndFeel.getScaledMargin();
    const int buttonHeight = (int) lookAndFeel.getButtonHeight();

    auto area = getLocalBounds();
    auto buttons = area.removeFromBottom (buttonHeight + 2 * m).reduced (m);
    tabbedComponent.setBounds (area);

    auto widthOf = [&] (juce::TextButton& b)
    {
        return juce::jmax (juce::roundToInt (80.0f * lookAndFeel.getScale()),
                           lookAndFeel.getTextButtonWidthToFitText (b, buttonHeight));
    };
    textButtonRestoreDefaults.setBounds (buttons.removeFromLeft (widthOf (textButtonRestoreDefaults)));
    textButtonCancel.setBounds (buttons.removeFromRight (widthOf (textButtonCancel)));
    buttons.removeFromRight (m);
    textButtonOk.setBounds (buttons.removeFromRight (widthOf (textButtonOk)));
}
