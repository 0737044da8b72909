#include "ui/dialogs/ImportDialog.h"
#include "core/DialogService.h"
#include "ui/ColourPalette.h"
#include "ui/LSLookAndFeel.h"
#include "ui/dialogs/DialogMetrics.h"

ImportDialog::ImportDialog (juce::Component* owner, const DeviceData* unitData, const juce::String& unitName,
                            const juce::StringArray& destinationNames, const juce::Array<DeviceData*>& destinations,
                            const juce::File& presetFile, const ConversionContent* conversion)
    : juce::DialogWindow ("Import", paletteColour090, true, false)
{
    if (auto* ls = dynamic_cast<LSLookAndFeel*> (&getLookAndFeel()))
        ls->applyTitleBarHeight (*this);
    content = new ImportContent (owner, unitData, unitName, destinationNames, destinations, presetFile, conversion);
    setContentOwned (content, true);
    setResizable (false, false);
    DialogMetrics::centre (*this, owner);
}

ImportDialog::~ImportDialog() = default;

void ImportDialog::closeButtonPressed()
{
    setVisible (false);
}

bool ImportDialog::run (juce::Component* owner, const DeviceData* unitData, const juce::String& unitName,
                        const juce::StringArray& destinationNames, const juce::Array<DeviceData*>& destinations,
                        const juce::File& presetFile, ImportContent::Choices& choices,
                        const ConversionContent* conversion)
{
    ImportDialog dialog (owner, unitData, unitName, destinationNames, destinations, presetFile, conversion);
    if (getDialogService().runModalWindow (dialog) != 1)
        return false;

    choices = dialog.getContent().getChoices();
    return ! choices.files.isEmpty() && choices.destinationIndex >= 0;
}
