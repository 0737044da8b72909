#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// The inside of the export dialog: which data, from which source, one file or one file per
// preset, the file name or name suffix, and the folder. It only collects the choices.
class ExportContent : public juce::Component,
                      public juce::Button::Listener,
                      public juce::ComboBox::Listener,
                      public juce::TextEditor::Listener
{
public:
    enum class Data { allPresets, selectedPresets, setup };

    // What the user chose; read after the dialog ended with "Start Export".
    struct Choices
    {
        Data data = Data::allPresets;
        int sourceIndex = -1;       // index into the source names, -1 when none is chosen
        bool singleFile = true;
        juce::String fileName;      // single file: the name as entered (the default name when left empty)
        juce::String suffix;        // one file per preset: the name suffix, may be empty
        juce::File folder;
    };

    // sourceHasSetup runs parallel to sourceNames. With selectionAvailable the grid's
    // selection belongs to the source at currentSourceIndex. `today` dates the default names.
    ExportContent (const juce::StringArray& sourceNames, const juce::Array<bool>& sourceHasSetup,
                   int currentSourceIndex, bool selectionAvailable,
                   juce::Time today = juce::Time::getCurrentTime());
    ~ExportContent() override;

    Choices getChoices() const;
    // 1 after "Start Export", 0 after "Cancel" (and before either).
    int getChosenResult() const noexcept { return chosenResult; }

    // The date part of the default names: year_month_day without leading zeros.
    static juce::String makeDateText (juce::Time date);

    const juce::String& getDefaultPresetsName() const noexcept { return defaultPresetsName; }
    const juce::String& getDefaultSetupName() const noexcept   { return defaultSetupName; }
    const juce::File& getFolder() const noexcept               { return folder; }

    void resized() override;
    void buttonClicked (juce::Button*) override;
    void comboBoxChanged (juce::ComboBox*) override;
    void textEditorTextChanged (juce::TextEditor&) override;
    void textEditorFocusLost (juce::TextEditor&) override;

    juce::Label labelData { "labelData", "Export Data" };
    juce::ToggleButton toggleButtonAllPresets { "All Presets" };
    juce::ToggleButton toggleButtonSelectedPresets { "Selected Presets" };
    juce::ToggleButton toggleButtonSetupData { "Setup Data" };
    juce::Label labelSource { "labelSource", "Export Source" };
    juce::ComboBox comboBoxDataSource { "comboBoxDataSource" };
    juce::Label labelFileHandling { "labelFileHandling", "File Handling" };
    juce::ToggleButton toggleButtonSingleFile { "Single File" };
    juce::ToggleButton toggleButtonOneFilePer { "One File Per Preset" };
    juce::Label labelFileNaming { "labelFileNaming", "File Naming" };
    juce::Label labelFilename { "labelFilename", "Name" };
    juce::TextEditor textEditorFilename { "textEditorFilename" };
    juce::Label labelSuffix { "labelSuffix", "Suffix" };
    juce::TextEditor textEditorSuffix { "new text editor" };
    juce::Label labelFilenameExample { "labelFilenameExample", {} };
    juce::Label labelLocation { "labelLocation", "Location" };
    juce::Label labelPath { "labelPath", {} };
    juce::TextButton chooseFolderButton { "Browse..." };
    juce::TextButton textButtonStartExport { "Start Export" };
    juce::TextButton textButtonCancel { "Cancel" };

private:
    void applySourceChoice (int index);
    void updateExample();
    void finish (int result);

    juce::String dateText, defaultPresetsName, defaultSetupName;
    juce::File folder;
    int selectionSourceIndex = -1;
    bool selectionAvailable = false;
    juce::Array<bool> hasSetup;
    int chosenResult = 0;

    JUCE_DECLARE_NON_COPYABLE (ExportContent)
};
