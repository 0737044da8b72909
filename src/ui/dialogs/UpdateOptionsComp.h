#pragma once

#include "ui/dialogs/OptionsComponentPage.h"

// A page about firmware updates with one toggle. The options dialog makes it but shows it
// in no tab, and it stores nothing: the update always reads and restores the unit's data
// itself.
class UpdateOptionsComp : public OptionsComponentPage
{
public:
    UpdateOptionsComp();

    void restoreDefaults() override {}
    void store() override {}
    void resized() override;

    juce::ToggleButton toggleButtonAutoBackup { "Auto backup device data before update" };

private:
    JUCE_DECLARE_NON_COPYABLE (UpdateOptionsComp)
};
