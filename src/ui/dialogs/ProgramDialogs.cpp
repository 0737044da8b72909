#include "ui/dialogs/ProgramDialogs.h"
#include "ui/dialogs/AboutBox.h"
#include "ui/dialogs/FirmwareChooserDialog.h"
#include "ui/dialogs/MidiDevicesDialog.h"
#include "ui/dialogs/OptionsDialog.h"

bool ProgramDialogs::isAvailable (Kind kind) const
{
    return kind == Kind::options || kind == Kind::about || kind == Kind::midiDevices
        || kind == Kind::firmwareChooser;
}

ContentDialogs::OptionsResult ProgramDialogs::runOptionsDialog (juce::Component& owner)
{
    OptionsDialog dialog (&owner);
    OptionsResult result;
    if (dialog.runModal() != 1)
        return result;

    auto& content = dialog.getContent();
    result.accepted = true;
    result.clearDeviceHistory = content.getDevicesPage().isClearHistoryRequested();
    result.restoreDefaults = content.wereDefaultsRestored();
    result.restartNeeded = content.getGeneralPage().isRestartNeeded();
    return result;
}

void ProgramDialogs::runAboutBox (juce::Component& owner)
{
    AboutBox::show (owner);
}

void ProgramDialogs::runMidiDeviceList (juce::Component& owner)
{
    MidiDevicesDialog dialog (&owner);
    dialog.runModal();
}

bool ProgramDialogs::runFirmwareChooser (juce::Component& owner, juce::uint8 productId, bool allowCustomImage,
                                         FirmwareUpdateElement& chosen)
{
    FirmwareChooserDialog dialog (productId, &owner, allowCustomImage);
    dialog.runModal();
    if (! dialog.wasAccepted())
        return false;
    chosen = dialog.getSelectedUpdate();
    return true;
}
