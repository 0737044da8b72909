#pragma once

#include "ui/dialogs/OptionsComponentPage.h"

// "Data": the synchronisation method and the export folder.
class DataOptionsComp : public OptionsComponentPage,
                        private juce::Button::Listener
{
public:
    DataOptionsComp();
    ~DataOptionsComp() override;

    void restoreDefaults() override;
    void store() override;

    void resized() override;

    // The folder shown at first: the stored one when it exists, else the documents folder.
    static juce::File getInitialExportFolder();

    juce::GroupComponent groupComponentSynchronization;
    juce::ToggleButton toggleButtonSyncAuto { "Automatically synchronize when product connects" };
    juce::ToggleButton toggleButtonSyncManual { "Manually initiate synchronization" };
    juce::ToggleButton toggleButtonSyncPrevious { "Retain synchronized data between sessions" };
    juce::GroupComponent groupComponentExportFolder;
    juce::TextEditor textEditorExportFolder;
    juce::TextButton textButtonBrowse { "Browse..." };

private:
    void buttonClicked (juce::Button*) override;
    juce::ToggleButton* syncToggle (int method);

    JUCE_DECLARE_NON_COPYABLE (DataOptionsComp)
};
