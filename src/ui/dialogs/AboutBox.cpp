#include "ui/dialogs/AboutBox.h"
#include "core/DialogService.h"
#include "ui/ColourPalette.h"
#include "ui/dialogs/AboutBoxContent.h"

void AboutBox::show (juce::Component& owner)
{
    juce::DialogWindow::LaunchOptions options;
    options.content.setOwned (new AboutBoxContent());
    options.dialogTitle = title;
    options.dialogBackgroundColour = paletteColour032;
    options.componentToCentreAround = &owner;
    options.escapeKeyTriggersCloseButton = true;
    options.useNativeTitleBar = false;
    options.resizable = false;
    getDialogService().runModalDialog (options);
}
