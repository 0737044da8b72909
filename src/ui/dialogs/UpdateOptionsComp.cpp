#include "ui/dialogs/UpdateOptionsComp.h"

UpdateOptionsComp::UpdateOptionsComp()
{
    toggleButtonAutoBackup.setName ("toggleButtonAutoBackup");
    addAndMakeVisible (toggleButtonAutoBackup);
}

void UpdateOptionsComp::resized()
{
    const int m = getPageMargin();
    toggleButtonAutoBackup.setBounds (getLocalBounds().reduced (m).removeFromTop (juce::roundToInt (getPageFontHeight() * 2.0f)));
}
