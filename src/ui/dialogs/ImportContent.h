#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

class ConversionContent;
class DeviceData;

// The inside of the import dialog: the SysEx file(s) to import, checked before the import
// may start, the destination and, for presets, the slot the import starts at.
class ImportContent : public juce::Component,
                      public juce::Button::Listener,
                      public juce::ComboBox::Listener
{
public:
    // What the user chose; read after the dialog ended with "Start Import".
    struct Choices
    {
        juce::Array<juce::File> files;
        int destinationIndex = -1;   // index into the destination names, -1 when none
        int startingSlot = -1;       // the slot the presets start at; -1 keeps their original order
    };

    // owner is the page that opens the dialog (the dialog window centres on it); the unit's
    // name reaches the user through the destination names. unitData is the connected unit's
    // data (its product, data versions and slot count); the destinations run parallel to
    // their names (null where a destination has no data yet).
    // presetFile is the last imported file, offered again when it still exists. Conversion
    // rules come from `conversion`, or from the program's content when it is null.
    ImportContent (juce::Component* owner, const DeviceData* unitData, const juce::String& unitName,
                   const juce::StringArray& destinationNames, const juce::Array<DeviceData*>& destinations,
                   const juce::File& presetFile, const ConversionContent* conversion = nullptr);
    ~ImportContent() override;

    Choices getChoices() const;
    // 1 after "Start Import", 0 after "Cancel" (and before either).
    int getChosenResult() const noexcept { return chosenResult; }

    // What a file is to this unit: 1 setup data, 2 preset data (both importable, directly or
    // through conversion rules), else the reason it cannot be imported (0x100000: no rules
    // lead from its product and data version to the unit's).
    juce::uint32 checkFile (const juce::File& file) const;
    // The text that tells why a file with this result cannot be imported; empty for 1 and 2.
    static juce::String getErrorText (juce::uint32 result);

    void resized() override;
    void buttonClicked (juce::Button*) override;
    void comboBoxChanged (juce::ComboBox*) override;

    static constexpr const char* noFileText = "<Click 'Browse...' to select import file>";
    static constexpr const char* multipleFilesText = "<Multiple Files Selected>";

    juce::Label labelFile { "labelFile", "File" };
    juce::Label labelPath { "labelPath", noFileText };
    juce::TextButton chooseFolderButton { "Browse..." };
    juce::Label labelDestination { "labelDestination", "Import Destination" };
    juce::ComboBox comboBoxDataDestination { "comboBoxDataDestination" };
    juce::Label labelStartingPosition { "labelStartingPosition", "Starting Preset Location" };
    juce::ComboBox comboBoxPresetOrder { "comboBoxPresetOrder" };
    juce::TextButton textButtonStartImport { "Start Import" };
    juce::TextButton textButtonCancel { "Cancel" };

private:
    void showControlsFor (juce::uint32 result);
    void fillStartingLocations();
    void updateStartButton();
    void browse();
    void finish (int result);

    const DeviceData* unitData;
    juce::Array<DeviceData*> destinations;
    juce::Array<juce::File> files;       // the files that passed the check
    juce::File browseStart;              // where Browse starts while no file is shown
    const ConversionContent* conversion;
    bool fileAccepted = false;
    int chosenResult = 0;

    JUCE_DECLARE_NON_COPYABLE (ImportContent)
};
