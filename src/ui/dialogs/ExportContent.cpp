#include "ui/dialogs/ExportContent.h"
#include "core/DialogService.h"
#include "core/Settings.h"
#include "ui/dialogs/DialogMetrics.h"

namespace
{
    constexpr int dataGroup = 100;
    constexpr int fileGroup = 200;
}

ExportContent::ExportContent (const juce::StringArray& sourceNames, const juce::Array<bool>& sourceHasSetup,
                              int currentSourceIndex, bool hasSelection, juce::Time today)
    : selectionSourceIndex (currentSourceIndex), selectionAvailable (hasSelection), hasSetup (sourceHasSetup)
{
    setName ("ExportContent");
    dateText = makeDateText (today);
    defaultPresetsName = "AllPresets_" + dateText + ".syx";
    defaultSetupName = "Setup_" + dateText + ".syx";

    const auto m = DialogMetrics::of (getLookAndFeel());
    const juce::Font font (m.fontHeight);

    toggleButtonAllPresets.setName ("toggleButtonAllPresets");
    toggleButtonSelectedPresets.setName ("toggleButtonSelectedPresets");
    toggleButtonSetupData.setName ("toggleButtonSetupData");
    toggleButtonSingleFile.setName ("toggleButtonSingleFile");
    toggleButtonOneFilePer.setName ("toggleButtonOneFilePer");
    chooseFolderButton.setName ("chooseFolderButton");
    textButtonStartExport.setName ("textButtonStartExport");
    textButtonCancel.setName ("textButtonCancel");

    for (auto* t : { &toggleButtonAllPresets, &toggleButtonSelectedPresets, &toggleButtonSetupData })
        t->setRadioGroupId (dataGroup);
    for (auto* t : { &toggleButtonSingleFile, &toggleButtonOneFilePer })
        t->setRadioGroupId (fileGroup);

    for (auto* l : { &labelData, &labelSource, &labelFileHandling, &labelFileNaming, &labelFilename, &labelSuffix,
                     &labelFilenameExample, &labelLocation, &labelPath })
    {
        l->setFont (font);
        addAndMakeVisible (l);
    }
    for (juce::Button* b : { (juce::Button*) &toggleButtonSelectedPresets, (juce::Button*) &toggleButtonAllPresets,
                             (juce::Button*) &toggleButtonSetupData, (juce::Button*) &toggleButtonSingleFile,
                             (juce::Button*) &toggleButtonOneFilePer, (juce::Button*) &chooseFolderButton,
                             (juce::Button*) &textButtonStartExport, (juce::Button*) &textButtonCancel })
    {
        addAndMakeVisible (b);
        b->addListener (this);
    }
    for (auto* e : { &textEditorFilename, &textEditorSuffix })
    {
        e->setFont (font);
        e->setMultiLine (false);
        addAndMakeVisible (e);
        e->addListener (this);
    }

    // The name labels are exactly as wide as their text: no inner border to squeeze it.
    labelFilename.setBorderSize ({});
    labelSuffix.setBorderSize ({});

    textEditorFilename.setText (defaultPresetsName, false);
    textEditorSuffix.setText (dateText, false);
    textEditorSuffix.setVisible (false);
    labelSuffix.setVisible (false);
    labelFilenameExample.setVisible (false);
    updateExample();

    const juce::File stored (getSettingText (SettingsKeys::exportFolder));
    folder = juce::File::isAbsolutePath (getSettingText (SettingsKeys::exportFolder)) && stored.isDirectory()
                 ? stored
                 : juce::File::getSpecialLocation (juce::File::userDocumentsDirectory);
    labelPath.setText (folder.getFullPathName(), juce::dontSendNotification);

    comboBoxDataSource.setTextWhenNothingSelected ("<select source>");
    comboBoxDataSource.setTextWhenNoChoicesAvailable ("(no choices)");
    for (int i = 0; i < sourceNames.size(); ++i)
        comboBoxDataSource.addItem (sourceNames[i], i + 1);
    comboBoxDataSource.setSelectedId (currentSourceIndex + 1, juce::dontSendNotification);
    comboBoxDataSource.addListener (this);
    addAndMakeVisible (comboBoxDataSource);

    if (selectionAvailable)
    {
        toggleButtonSelectedPresets.setToggleState (true, juce::dontSendNotification);
    }
    else
    {
        toggleButtonSelectedPresets.setEnabled (false);
        toggleButtonAllPresets.setToggleState (true, juce::dontSendNotification);
    }
    toggleButtonSingleFile.setToggleState (true, juce::dontSendNotification);
    toggleButtonSetupData.setVisible (hasSetup.contains (true));

    // The preselected source obeys the same rules as a chosen one, so "Setup Data" is never
    // offered for a source that has none.
    applySourceChoice (comboBoxDataSource.getSelectedId() - 1);

    setSize ((int) (600.0f * m.scale), (int) (310.0f * m.scale));
}

ExportContent::~ExportContent() = default;

juce::String ExportContent::makeDateText (juce::Time date)
{
    return juce::String (date.getYear()) + "_" + juce::String (date.getMonth() + 1) + "_"
           + juce::String (date.getDayOfMonth());
}

ExportContent::Choices ExportContent::getChoices() const
{
    Choices c;
    c.data = toggleButtonSetupData.getToggleState()      ? Data::setup
           : toggleButtonSelectedPresets.getToggleState() ? Data::selectedPresets
                                                           : Data::allPresets;
    c.sourceIndex = comboBoxDataSource.getSelectedId() - 1;
    c.singleFile = ! toggleButtonOneFilePer.getToggleState();
    c.fileName = textEditorFilename.getText();
    // An emptied name field stands for the default name, never for the folder itself.
    if (c.fileName.isEmpty())
        c.fileName = c.data == Data::setup ? defaultSetupName : defaultPresetsName;
    c.suffix = textEditorSuffix.getText();
    c.folder = folder;
    return c;
}

void ExportContent::applySourceChoice (int index)
{
    if (selectionAvailable)
    {
        const bool selectionHere = index == selectionSourceIndex;
        toggleButtonSelectedPresets.setEnabled (selectionHere);
        if (! selectionHere && toggleButtonSelectedPresets.getToggleState())
            toggleButtonAllPresets.setToggleState (true, juce::sendNotificationSync);
    }

    if (juce::isPositiveAndBelow (index, comboBoxDataSource.getNumItems()))
    {
        const bool setupHere = hasSetup[index];
        toggleButtonSetupData.setEnabled (setupHere);
        if (! setupHere && toggleButtonSetupData.getToggleState())
            toggleButtonAllPresets.setToggleState (true, juce::sendNotificationSync);
    }

    textButtonStartExport.setEnabled (juce::isPositiveAndBelow (index, comboBoxDataSource.getNumItems()));
}

void ExportContent::updateExample()
{
    const auto suffix = textEditorSuffix.getText();
    labelFilenameExample.setText (suffix.isEmpty() ? juce::String ("(e.g. Preset_1.syx)")
                                                   : "(e.g. Preset_1_" + suffix + ".syx)",
                                  juce::dontSendNotification);
}

void ExportContent::finish (int result)
{
    chosenResult = result;
    if (auto* window = findParentComponentOfClass<juce::DialogWindow>())
        window->exitModalState (result);
}

void ExportContent::buttonClicked (juce::Button* b)
{
    auto showNameEditor = [this] (bool nameEditor)
    {
        textEditorFilename.setVisible (nameEditor);
        textEditorSuffix.setVisible (! nameEditor);
        labelSuffix.setVisible (! nameEditor);
        labelFilenameExample.setVisible (! nameEditor);
    };

    if (b == &toggleButtonAllPresets || b == &toggleButtonSelectedPresets)
    {
        if (! b->getToggleState())
            return;
        // The name labels are exactly as wide as their text: no inner border to squeeze it.
    labelFilename.setBorderSize ({});
    labelSuffix.setBorderSize ({});

    textEditorFilename.setText (defaultPresetsName, false);
        toggleButtonOneFilePer.setEnabled (true);
    }
    else if (b == &toggleButtonSetupData)
    {
        if (! b->getToggleState())
            return;
        textEditorFilename.setText (defaultSetupName, false);
        toggleButtonOneFilePer.setEnabled (false);
        toggleButtonSingleFile.setToggleState (true, juce::dontSendNotification);
        showNameEditor (true);
    }
    else if (b == &toggleButtonSingleFile)
    {
        if (b->getToggleState())
            showNameEditor (true);
    }
    else if (b == &toggleButtonOneFilePer)
    {
        if (b->getToggleState())
            showNameEditor (false);
    }
    else if (b == &chooseFolderButton)
    {
        const auto chosen = getDialogService().chooseFile (DialogService::ChooserMode::chooseFolder,
                                                           "Select the export folder", folder, "*.syx");
        if (chosen != juce::File() && chosen.isDirectory())
        {
            folder = chosen;
            labelPath.setText (folder.getFullPathName(), juce::dontSendNotification);
        }
    }
    else if (b == &textButtonStartExport)
    {
        finish (1);
    }
    else if (b == &textButtonCancel)
    {
        finish (0);
    }
}

void ExportContent::comboBoxChanged (juce::ComboBox* box)
{
    if (box == &comboBoxDataSource)
        applySourceChoice (comboBoxDataSource.getSelectedId() - 1);
}

void ExportContent::textEditorTextChanged (juce::TextEditor& editor)
{
    if (&editor != &textEditorFilename && &editor != &textEditorSuffix)
        return;

    const auto text = editor.getText();
    const auto legal = juce::File::createLegalFileName (text);
    if (legal != text)
    {
        editor.setText (legal, false);
        editor.moveCaretToEnd();
    }

    if (&editor == &textEditorFilename)
        (toggleButtonSetupData.getToggleState() ? defaultSetupName : defaultPresetsName) = legal;
    else
        updateExample();
}

void ExportContent::textEditorFocusLost (juce::TextEditor& editor)
{
    if (&editor != &textEditorFilename || editor.getText().isNotEmpty())
        return;

    const bool setup = toggleButtonSetupData.getToggleState();
    (setup ? defaultSetupName : defaultPresetsName) = juce::String (setup ? "Setup_" : "AllPresets_")
                                                      + textEditorSuffix.getText() + ".syx";
}

void ExportContent::resized()
{
    const auto m = DialogMetrics::of (getLookAndFeel());
    const float A = m.fontHeight, s = m.scale;
    const int margin = m.margin;
    const int W = getWidth(), H = getHeight();

    const int h = juce::roundToInt (2.0f * A);
    const int lw = juce::roundToInt (150.0f * s);
    const int lh = juce::roundToInt (1.75f * A);
    const int th = juce::roundToInt (A / 0.75f);
    const int eh = juce::roundToInt (1.5f * A);
    const int g1 = juce::roundToInt (s);
    const int g4 = juce::roundToInt (4.0f * s);
    const int bw = DialogMetrics::buttonWidth ({ &textButtonCancel, &chooseFolderButton, &textButtonStartExport }, h,
                                               juce::roundToInt (80.0f * s));
    const juce::Font font (A);
    const int nw = juce::jmax (juce::roundToInt (font.getStringWidthFloat (labelFilename.getText())),
                               juce::roundToInt (font.getStringWidthFloat (labelSuffix.getText())));

    labelLocation.setBounds (margin, margin, lw, lh);
    labelPath.setBounds (2 * margin, labelLocation.getBottom() + 6, W - bw - 30, h);
    textButtonCancel.setBounds (W - bw - margin, H - h - margin, bw, h);
    textButtonStartExport.setBounds (textButtonCancel.getX() - bw - margin, textButtonCancel.getY(), bw, h);
    chooseFolderButton.setBounds (textButtonCancel.getX(), labelLocation.getBottom() + 6, bw, h);
    labelFileHandling.setBounds (labelLocation.getX(), chooseFolderButton.getBottom() + 12, lw, lh);
    toggleButtonSingleFile.setBounds (labelPath.getX(), labelFileHandling.getBottom() + 6, lw, th);
    toggleButtonOneFilePer.setBounds (toggleButtonSingleFile.getX(), toggleButtonSingleFile.getY() + th + g1, lw, th);
    labelFileNaming.setBounds (W / 2, labelFileHandling.getY(), lw, lh);
    labelFilename.setBounds (labelFileNaming.getX() + margin, toggleButtonSingleFile.getY(), nw, lh);
    const int editorX = labelFilename.getRight() + g4;
    textEditorFilename.setBounds (editorX, labelFilename.getY(), chooseFolderButton.getRight() - editorX, eh);
    labelFilenameExample.setBounds (textEditorFilename.getBounds());
    labelSuffix.setBounds (labelFilename.getX(), labelFilename.getY() + h + g1, nw, lh);
    textEditorSuffix.setBounds (labelFilenameExample.getX(), labelFilenameExample.getY() + h + g1,
                                labelFilenameExample.getWidth(), eh);
    labelData.setBounds (labelLocation.getX(), textEditorSuffix.getBottom() + 12, lw, lh);
    toggleButtonSelectedPresets.setBounds (labelPath.getX(), labelData.getBottom() + 6, lw, th);
    toggleButtonAllPresets.setBounds (toggleButtonSelectedPresets.getX(), toggleButtonSelectedPresets.getY() + th + g1,
                                      lw, th);
    toggleButtonSetupData.setBounds (toggleButtonAllPresets.getX(), toggleButtonAllPresets.getY() + th + g1, lw, th);
    labelSource.setBounds (labelFileNaming.getX(), labelData.getY(), lw, lh);
    comboBoxDataSource.setBounds (labelSource.getX() + margin, labelSource.getBottom() + 6,
                                  textButtonCancel.getRight() - labelFilename.getX(), h);
}
