#include "ui/dialogs/DataOptionsComp.h"
#include "core/DialogService.h"
#include "core/Settings.h"

namespace
{
    constexpr int syncRadioGroup = 0x5107;
}

DataOptionsComp::DataOptionsComp()
{
    groupComponentSynchronization.setName ("groupComponentSynchronization");
    groupComponentSynchronization.setText ("Synchronization");
    addAndMakeVisible (groupComponentSynchronization);

    toggleButtonSyncAuto.setName ("toggleButtonSyncAuto");
    toggleButtonSyncManual.setName ("toggleButtonSyncManual");
    toggleButtonSyncPrevious.setName ("toggleButtonSyncPrevious");
    for (auto* toggle : { &toggleButtonSyncAuto, &toggleButtonSyncManual, &toggleButtonSyncPrevious })
    {
        toggle->setRadioGroupId (syncRadioGroup);
        toggle->setClickingTogglesState (true);
        addAndMakeVisible (toggle);
    }
    syncToggle (getDataSyncMethod())->setToggleState (true, juce::dontSendNotification);

    groupComponentExportFolder.setName ("groupComponentExportFolder");
    groupComponentExportFolder.setText ("Export Folder");
    addAndMakeVisible (groupComponentExportFolder);

    textEditorExportFolder.setName ("textEditorExportFolder");
    textEditorExportFolder.setReadOnly (true);
    textEditorExportFolder.setText (getInitialExportFolder().getFullPathName(), false);
    addAndMakeVisible (textEditorExportFolder);

    textButtonBrowse.setName ("textButtonBrowse");
    textButtonBrowse.addListener (this);
    addAndMakeVisible (textButtonBrowse);
}

DataOptionsComp::~DataOptionsComp()
{
    textButtonBrowse.removeListener (this);
}

juce::File DataOptionsComp::getInitialExportFolder()
{
    const auto stored = getSettingText (SettingsKeys::exportFolder);
    if (stored.isNotEmpty() && juce::File::isAbsolutePath (stored) && juce::File (stored).isDirectory())
        return juce::File (stored);
    return juce::File::getSpecialLocation (juce::File::userDocumentsDirectory);
}

juce::ToggleButton* DataOptionsComp::syncToggle (int method)
{
    switch (method)
    {
        case 1:  return &toggleButtonSyncManual;
        case 2:  return &toggleButtonSyncPrevious;
        default: return &toggleButtonSyncAuto;
    }
}

void DataOptionsComp::buttonClicked (juce::Button* button)
{
    if (button != &textButtonBrowse)
        return;

    const auto chosen = getDialogService().chooseFile (DialogService::ChooserMode::chooseFolder,
                                                       "Select the export folder",
                                                       juce::File (textEditorExportFolder.getText()), "*.syx");
    if (chosen != juce::File())
        textEditorExportFolder.setText (chosen.getFullPathName(), false);
}

void DataOptionsComp::restoreDefaults()
{
    textEditorExportFolder.setText (juce::File::getSpecialLocation (juce::File::userDocumentsDirectory).getFullPathName(), false);
    toggleButtonSyncAuto.setToggleState (true, juce::dontSendNotification);
    // Radio groups switch their partners off only on a notifying change.
    toggleButtonSyncManual.setToggleState (false, juce::dontSendNotification);
    toggleButtonSyncPrevious.setToggleState (false, juce::dontSendNotification);
}

void DataOptionsComp::store()
{
    setSetting (SettingsKeys::exportFolder, textEditorExportFolder.getText());
    for (int method = 0; method < 3; ++method)
        if (syncToggle (method)->getToggleState())
        {
            setDataSyncMethod (method);
            break;
        }
}

void DataOptionsComp::resized()
{
    const int m = getPageMargin();
    const int rowHeight = juce::roundToInt (getPageFontHeight() * 2.0f);

    auto area = getLocalBounds().reduced (m);
    auto sync = area.removeFromTop (rowHeight * 4 + m / 2);
    groupComponentSynchronization.setBounds (sync);
    auto inside = sync.reduced (m, 0).withTrimmedTop (rowHeight - m / 2);
    for (auto* toggle : { &toggleButtonSyncAuto, &toggleButtonSyncManual, &toggleButtonSyncPrevious })
        toggle->setBounds (inside.removeFromTop (rowHeight).withSizeKeepingCentre (inside.getWidth(), getToggleHeight()));

    area.removeFromTop (m / 2);
    auto folder = area.removeFromTop (juce::jmin (area.getHeight(), rowHeight * 2 + m));
    groupComponentExportFolder.setBounds (folder);
    auto row = folder.reduced (m, 0).withTrimmedTop (rowHeight - m / 2).removeFromTop (rowHeight);
    textButtonBrowse.setBounds (row.removeFromRight (juce::roundToInt (getPageFontHeight() * 7.0f)));
    row.removeFromRight (m);
    textEditorExportFolder.setBounds (row);
}
