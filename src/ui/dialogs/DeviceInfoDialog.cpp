#include "ui/dialogs/DeviceInfoDialog.h"
#include "ui/ColourPalette.h"
#include "ui/dialogs/ModalDialogRunner.h"
#include "ui/dialogs/DeviceInfoComp.h"

void DeviceInfoDialog::show (juce::Component* owner, const juce::String& name, const VersionNumber& version,
                             int year, int month, int day, int serialNumber)
{
    DeviceInfoComp content (name, version, year, month, day, serialNumber);
    runDialogModally (content, title, owner, paletteColour032);
}
