#include "ui/dialogs/ExportDialog.h"
#include "core/DialogService.h"
#include "core/Settings.h"
#include "ui/ColourPalette.h"
#include "ui/LSLookAndFeel.h"
#include "ui/dialogs/DialogMetrics.h"

ExportDialog::ExportDialog (juce::Component* parent, const juce::StringArray& sourceNames,
                            const juce::Array<bool>& sourceHasSetup, int currentSourceIndex, bool selectionAvailable)
    : juce::DialogWindow ("Export", paletteColour090, true, false)
{
    if (auto* ls = dynamic_cast<LSLookAndFeel*> (&getLookAndFeel()))
        ls->applyTitleBarHeight (*this);
    content = new ExportContent (sourceNames, sourceHasSetup, currentSourceIndex, selectionAvailable);
    setContentOwned (content, true);
    setResizable (false, false);
    DialogMetrics::centre (*this, parent);
}

ExportDialog::~ExportDialog() = default;

void ExportDialog::closeButtonPressed()
{
    setVisible (false);
}

bool ExportDialog::run (juce::Component* parent, const juce::StringArray& sourceNames,
                        const juce::Array<bool>& sourceHasSetup, int currentSourceIndex, bool selectionAvailable,
                        ExportContent::Choices& choices)
{
    ExportDialog dialog (parent, sourceNames, sourceHasSetup, currentSourceIndex, selectionAvailable);
    if (getDialogService().runModalWindow (dialog) != 1)
        return false;

    choices = dialog.getContent().getChoices();
    if (choices.sourceIndex < 0)
        return false;

    setSetting (SettingsKeys::exportFolder, choices.folder.getFullPathName());
    return true;
}
