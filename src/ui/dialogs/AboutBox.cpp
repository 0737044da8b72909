#include "ui/dialogs/AboutBox.h"
#include "ui/ColourPalette.h"
#include "ui/dialogs/ModalDialogRunner.h"
#include "ui/dialogs/AboutBoxContent.h"

void AboutBox::show (juce::Component& owner)
{
    AboutBoxContent content;
    runDialogModally (content, title, &owner, paletteColour032);
}
