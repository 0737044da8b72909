#pragma once

#include "ui/datapage/DataPageEditOperations.h"

class ConversionContent;

// The data page's file work: export of presets and setups as SysEx files, SysEx import
// into the workspace, a new backup, a backup or the unit, and the developer imports of
// binary data files and preset packs. It reaches the page only through its edit
// operations and context. Runs on the message thread, synchronously; every file is
// replaced whole or left as it was, and no failure is reported as success.
class DataExchange
{
public:
    // Results of the export writers.
    enum Result
    {
        done = 0,
        internalError = 1,    // no source data, or data that cannot be written whole
        writeError = 2,       // a file could not be written
        nothingWritten = 3    // nothing to write, or every existing file was kept
    };

    // `owner` is the page the dialogs and boxes belong to (may be null). Conversions take
    // their rules and profiles from `conversion` (null: the program's content).
    DataExchange (DataPageEditOperations& page, juce::Component* owner,
                  const ConversionContent* conversion = nullptr);

    //==============================================================================
    // Export: asks with the export dialog, writes, and shows the result. The selected
    // browser node preselects the source; the grid's selection belongs to it.
    void exportData (const juce::ValueTree& selectedNode);

    // The presets of the slots that hold one: into the file `name` in the folder
    // (oneFile), or one file per preset named from `name` as the base name.
    int writePresetFiles (const DeviceData& data, const juce::File& folder, const juce::String& name,
                          bool oneFile, const juce::Array<int>& slots);
    // The setup as the file `name` in the folder.
    int writeSetupFile (const DeviceData& data, const juce::File& folder, const juce::String& name);

    // The box for an export result (none for done-nothing).
    void showExportResult (int result);

    // The per-preset file name: "Preset_<slot>" and, with a base name, "_" and the base name; ".syx".
    static juce::String makePresetFileName (int slot, const juce::String& baseName);

    //==============================================================================
    // SysEx import through the import dialog.
    void importData();
    // Developer imports: each new archive item's node goes below `target`.
    void importDataFiles (const juce::ValueTree& target);
    void importPresetPack (const juce::ValueTree& target);

    // The reason text of an import's flag word (empty when no reason applies).
    static juce::String getImportFailureReason (juce::uint32 flags);

    // The largest preset pack control file read.
    static constexpr juce::int64 maxPackFileSize = 16 * 1024 * 1024;

    static constexpr const char* exportTitle = "Export";
    static constexpr const char* exportDoneText = "Export completed successfully.";
    static constexpr const char* exportErrorTitle = "Export Error";
    static constexpr const char* internalErrorText =
        "An internal error occurred. The source data is corrupt. Please restart Larkspire and try again.";
    static constexpr const char* writeErrorText =
        "An error occurred while saving the data. Please make sure there is enough free disk space.";
    static constexpr const char* replaceTitle = "Replace File";
    static constexpr const char* replaceQuestion = "\n\nDo you want to replace the existing file?";

private:
    // The folder to write into, made when it is not there; false when it cannot be.
    static bool makeFolder (const juce::File& folder);
    // Asks before an existing file is replaced; the answer of FileReplaceComponent.
    int askReplace (const juce::File& file, bool offerApplyToAll);
    // The file of a name typed in the export dialog, inside the folder.
    static juce::File namedFile (const juce::File& folder, const juce::String& name);
    // 0 when the file may be written: it is new, or the user agreed to replace it. Else the
    // result to end with: a folder of that name cannot be written; a refusal writes nothing.
    int mayWriteNamedFile (const juce::File& file);
    // The connected unit's data (live, else the workspace's working copy); null without.
    const DeviceData* getUnitData() const;
    // Converts data of another format to the unit's build; null (after the box) on failure.
    std::unique_ptr<DeviceData> convertToUnit (const DeviceData& data, const DeviceData& unit,
                                               const juce::String& fileName);
    // Appends new nodes below a target through the page's undo manager (one transaction)
    // and saves the backups when the target lies among them.
    bool appendNodes (juce::ValueTree target, const juce::Array<juce::ValueTree>& nodes);
    juce::ValueTree getArchiveNode() const;
    const ConversionContent& getConversion() const;

    DataPageEditOperations& page;
    juce::Component* owner;
    const ConversionContent* conversion;
};
