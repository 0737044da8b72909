#include "ui/dialogs/FirmwareChooserDialog.h"
#include "content/ContentManager.h"
#include "ui/ColourPalette.h"
#include "ui/dialogs/ModalDialogRunner.h"

namespace
{
    juce::String titleFor (juce::uint8 productId)
    {
        juce::String name;
        if (auto* content = getContentManager())
            name = content->getProductName (productId);
        return (name.isNotEmpty() ? name : juce::String ("Product")) + " Firmware Updates";
    }
}

FirmwareChooserDialog::FirmwareChooserDialog (juce::uint8 productId, juce::Component* p, bool withCustomUpdate)
    : parent (p), title (titleFor (productId)), content (productId, withCustomUpdate)
{
}

int FirmwareChooserDialog::runModal()
{
    return runDialogModally (content, title, parent, paletteColour090);
}
