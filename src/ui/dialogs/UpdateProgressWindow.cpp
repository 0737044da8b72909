#include "ui/dialogs/UpdateProgressWindow.h"
#include "core/DeviceInfoMessage.h"
#include "core/InfoCodes.h"
#include "core/Settings.h"
#include "ui/ColourPalette.h"
#include "ui/LSLookAndFeel.h"

UpdateProgressWindow::UpdateProgressWindow (juce::MessageListener& o)
    : juce::DocumentWindow ("Firmware Update", paletteColour090, 0),
      owner (o)
{
    if (auto* laf = dynamic_cast<LSLookAndFeel*> (&getLookAndFeel()))
        laf->applyTitleBarHeight (*this);

    content = new UpdateProgressContent (getUiScalingFactor());
    content->textButtonStop.addListener (this);
    setContentOwned (content, true);
    applyLabelColour();

    centreWithSize (getWidth(), getHeight());
    setVisible (true);
}

UpdateProgressWindow::~UpdateProgressWindow()
{
    if (isCurrentlyModal (false))
        exitModalState (0);
    content->textButtonStop.removeListener (this);
}

void UpdateProgressWindow::applyLabelColour()
{
    const auto colour = showingError ? paletteColour033 : getLookAndFeel().findColour (juce::Label::textColourId);
    content->labelStatus.setColour (juce::Label::textColourId, colour);
    content->labelOverallProgress.setColour (juce::Label::textColourId, colour);
}

void UpdateProgressWindow::setStatus (const juce::String& text, bool isError)
{
    content->labelStatus.setText (text, juce::dontSendNotification);
    if (isError != showingError)
    {
        showingError = isError;
        applyLabelColour();
    }
}

void UpdateProgressWindow::setProgress (double phaseFraction, double overallFraction)
{
    content->phaseFraction = phaseFraction;
    content->overallFraction = overallFraction;
}

void UpdateProgressWindow::enterModalState()
{
    juce::DocumentWindow::enterModalState (true);
}

void UpdateProgressWindow::close()
{
    if (isCurrentlyModal (false))
        exitModalState (1);
    setVisible (false);
}

void UpdateProgressWindow::buttonClicked (juce::Button* button)
{
    if (button != &content->textButtonStop)
        return;
    owner.postMessage (new DeviceInfoMessage (InfoCode::stopFirmwareUpdate, 0, 0, {}));
    closeButtonPressed();
}

void UpdateProgressWindow::closeButtonPressed()
{
    // The window stays until the update has wound up; the update closes it.
}
