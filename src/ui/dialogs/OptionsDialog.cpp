#include "ui/dialogs/OptionsDialog.h"
#include "ui/ColourPalette.h"
#include "ui/dialogs/ModalDialogRunner.h"

OptionsDialog::OptionsDialog (juce::Component* p)
    : parent (p)
{
}

int OptionsDialog::runModal()
{
    runDialogModally (content, title, parent, paletteColour109);
    // Closing the window any other way than with "Ok" stores nothing.
    return content.getResult() == 1 ? 1 : 0;
}
