#include "ui/dialogs/DeviceInfoDialog.h"
#include "core/DialogService.h"
#include "ui/ColourPalette.h"
#include "ui/dialogs/DeviceInfoComp.h"

void DeviceInfoDialog::show (juce::Component* owner, const juce::String& name, const VersionNumber& version,
                             int year, int month, int day, int serialNumber)
{
    juce::DialogWindow::LaunchOptions options;
    options.content.setOwned (new DeviceInfoComp (name, version, year, month, day, serialNumber));
    options.dialogTitle = title;
    options.dialogBackgroundColour = paletteColour032;
    options.componentToCentreAround = owner;
    options.escapeKeyTriggersCloseButton = true;
    options.useNativeTitleBar = false;
    options.resizable = false;
    getDialogService().runModalDialog (options);
}
