#include "ui/dialogs/MidiDevicesDialog.h"
#include "ui/ColourPalette.h"
#include "ui/dialogs/ModalDialogRunner.h"

MidiDevicesDialog::MidiDevicesDialog (juce::Component* p)
    : parent (p)
{
}

int MidiDevicesDialog::runModal()
{
    return runDialogModally (content, title, parent, paletteColour090);
}
