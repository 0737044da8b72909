#include "ui/datapage/DataExchange.h"
#include "archive/CloudPackList.h"
#include "archive/ConfinedFiles.h"
#include "archive/DataSourceTree.h"
#include "archive/LocalArchiveManager.h"
#include "conversion/ConversionContent.h"
#include "conversion/DataConversionManager.h"
#include "core/DialogService.h"
#include "core/Settings.h"
#include "device/SysExFileAnalysis.h"
#include "model/SysExReader.h"
#include "ui/MessageBoxes.h"
#include "ui/datapage/NewBackups.h"
#include "ui/dialogs/ExportDialog.h"
#include "ui/dialogs/ImportDialog.h"
#include "ui/dialogs/WarnFileReplaceDialog.h"

namespace
{
    // Import dialog destinations before the archive entries.
    constexpr int sendToUnit = 0, newBackup = 1, toWorkspace = 2, firstArchiveEntry = 3;

    // A stored path, or no file when the text is not an absolute path.
    juce::File fileFromSetting (const char* key)
    {
        const auto text = getSettingText (key).trim();
        return juce::File::isAbsolutePath (text) ? juce::File (text) : juce::File();
    }

    juce::String conversionErrorText (const juce::String& fileName)
    {
        return "An error occurred when trying to convert " + fileName
             + " to a compatible format.\n\rThe required translation rules are not available.";
    }

    bool isUnder (juce::ValueTree node, const juce::ValueTree& ancestor)
    {
        for (; node.isValid(); node = node.getParent())
            if (node == ancestor)
                return true;
        return false;
    }
}

DataExchange::DataExchange (DataPageEditOperations& p, juce::Component* o, const ConversionContent* c)
    : page (p), owner (o), conversion (c)
{
}

const ConversionContent& DataExchange::getConversion() const
{
    return conversion != nullptr ? *conversion : ConversionContent::getDefault();
}

juce::ValueTree DataExchange::getArchiveNode() const
{
    return findSourceNodeByCategory (page.getSourcesRoot(), SourceCategories::archive);
}

const DeviceData* DataExchange::getUnitData() const
{
    auto* set = page.getDataSet();
    if (set == nullptr)
        return nullptr;
    if (auto* live = set->getDevice())
        return live;
    return set->getWorking();
}

//==============================================================================
void DataExchange::exportData (const juce::ValueTree& selectedNode)
{
    const auto root = page.getSourcesRoot();
    auto* set = page.getDataSet();

    juce::StringArray names { "Workspace" };
    juce::Array<DeviceData*> sources { set != nullptr ? set->getWorking() : nullptr };
    int current = 0;
    bool selectionHere = selectedNode.isValid() && selectedNode == findDeviceSourceNode (root);

    juce::Array<juce::ValueTree> nodes;
    if (const auto archive = getArchiveNode(); archive.isValid())
        collectSourceDataNodes (archive, nodes);
    for (auto& node : nodes)
    {
        names.add (makeSourceNodeTitle (node));
        sources.add (getSourceNodeWorkingData (node));
        if (node == selectedNode)
        {
            current = sources.size() - 1;
            selectionHere = true;
        }
    }

    juce::Array<bool> hasSetup;
    for (auto* data : sources)
        hasSetup.add (data != nullptr && data->getSetup().isComplete());

    const auto selection = page.getSelectedSlots();
    ExportContent::Choices choices;
    if (! ExportDialog::run (owner, names, hasSetup, current, selectionHere && ! selection.isEmpty(), choices))
        return;

    auto* data = sources[choices.sourceIndex];
    int result = internalError;
    if (data != nullptr)
    {
        if (choices.data == ExportContent::Data::setup)
        {
            result = writeSetupFile (*data, choices.folder, choices.fileName);
        }
        else
        {
            const auto slots = choices.data == ExportContent::Data::allPresets
                                   ? data->getPresetIndices (1, data->getNumSlots() - 1)
                                   : selection;
            result = writePresetFiles (*data, choices.folder, choices.singleFile ? choices.fileName : choices.suffix,
                                       choices.singleFile, slots);
        }
    }
    showExportResult (result);
}

void DataExchange::showExportResult (int result)
{
    if (result == done)
        showInfoBox (owner, exportTitle, exportDoneText);
    else if (result == internalError)
        showWarningBox (owner, exportErrorTitle, internalErrorText);
    else if (result == writeError)
        showWarningBox (owner, exportErrorTitle, writeErrorText);
}

juce::String DataExchange::makePresetFileName (int slot, const juce::String& baseName)
{
    return juce::String::formatted ("Preset_%d%s", slot, baseName.isEmpty() ? "" : "_") + baseName + ".syx";
}

bool DataExchange::makeFolder (const juce::File& folder)
{
    // The folder offered by default, the documents folder, need not be there yet.
    return folder != juce::File() && (folder.isDirectory() || folder.createDirectory().wasOk());
}

int DataExchange::askReplace (const juce::File& file, bool offerApplyToAll)
{
    return WarnFileReplaceDialog::run (owner, replaceTitle, "'" + file.getFullPathName() + "' already exists.",
                                       replaceQuestion, offerApplyToAll);
}

juce::File DataExchange::namedFile (const juce::File& folder, const juce::String& name)
{
    // The name as entered, separators and all.
    return juce::File (folder.getFullPathName() + juce::File::getSeparatorString() + name);
}

int DataExchange::mayWriteNamedFile (const juce::File& file)
{
    if (! file.exists())
        return 0;
    if (file.isDirectory())
        return writeError;
    if ((askReplace (file, false) & FileReplaceComponent::replace) == 0)
        return nothingWritten;
    return 0;
}

int DataExchange::writePresetFiles (const DeviceData& data, const juce::File& folder, const juce::String& name,
                                    bool oneFile, const juce::Array<int>& slots)
{
    juce::Array<int> filled;
    for (auto slot : slots)
        if (data.hasPreset (slot))
            filled.addIfNotAlreadyThere (slot);
    if (filled.isEmpty())
        return nothingWritten;
    // A preset that cannot be written whole is corrupt source data, not a disk problem;
    // nothing is written then.
    for (auto slot : filled)
        if (! data.getPreset (slot)->isComplete())
            return internalError;
    if (! makeFolder (folder))
        return writeError;

    if (oneFile)
    {
        // The name as entered; an empty one would name the folder itself.
        if (name.isEmpty())
            return writeError;
        const auto file = namedFile (folder, name);
        if (const int refused = mayWriteNamedFile (file))
            return refused;
        return data.exportPresetsSysEx (file, filled) ? done : writeError;
    }

    bool anyWritten = false, anyFailed = false;
    int standingAnswer = -1;   // an answer that holds for every further existing file
    for (auto slot : filled)
    {
        const auto file = folder.getChildFile (makePresetFileName (slot, name));
        if (file.exists())
        {
            int answer = standingAnswer;
            if (answer < 0)
            {
                answer = askReplace (file, filled.size() > 1);
                if ((answer & FileReplaceComponent::keepAll) != 0)
                    standingAnswer = answer;
            }
            if ((answer & FileReplaceComponent::replace) == 0)
                continue;
            if (file.isDirectory())
            {
                anyFailed = true;
                continue;
            }
        }
        if (data.exportPresetSysEx (file, slot, false))
            anyWritten = true;
        else
            anyFailed = true;
    }
    return anyFailed ? writeError : anyWritten ? done : nothingWritten;
}

int DataExchange::writeSetupFile (const DeviceData& data, const juce::File& folder, const juce::String& name)
{
    // Data without a whole setup cannot be written as one (the dialog offers the setup only then).
    if (! data.getSetup().isComplete())
        return internalError;
    if (name.isEmpty() || ! makeFolder (folder))
        return writeError;

    const auto file = namedFile (folder, name);
    if (const int refused = mayWriteNamedFile (file))
        return refused;
    return data.exportSetupSysEx (file) ? done : writeError;
}

//==============================================================================
juce::String DataExchange::getImportFailureReason (juce::uint32 flags)
{
    if ((flags & (0x00010000u | 0x00020000u | 0x00080000u)) != 0) return "Invalid SysEx data encountered.";
    if ((flags & 0x00040000u) != 0)                                return "The SysEx data is in an unsupported format.";
    if ((flags & 0x00100000u) != 0)                                return "The SysEx data is intended for a different device.";
    if ((flags & (0x01000000u | 0x02000000u)) != 0)                return "The SysEx data is corrupt.";
    if ((flags & 0x04000000u) != 0)                                return "Data underflow.";
    if ((flags & 0x08000000u) != 0)                                return "Data overflow.";
    if ((flags & 0x10000000u) != 0)                                return "There are not enough free preset slots available.";
    if ((flags & 0x40000000u) != 0)                                return "The preset location is out of range.";
    if ((flags & 0x80000000u) != 0)                                return "Internal memory allocation failure.";
    return {};
}

std::unique_ptr<DeviceData> DataExchange::convertToUnit (const DeviceData& data, const DeviceData& unit,
                                                         const juce::String& fileName)
{
    DataConversionManager manager (getConversion());
    auto converted = manager.convertDeviceData (data, unit.getProductId(), unit.getVersion());
    // A result with errors has lost its setup: nothing is taken from it.
    if (converted == nullptr || manager.hasErrors() || ! converted->hasSameFormat (unit.getFormat()))
    {
        showWarningBox (owner, "Import Error", conversionErrorText (fileName));
        return {};
    }
    return converted;
}

void DataExchange::importData()
{
    auto* set = page.getDataSet();
    const auto* unit = getUnitData();
    if (set == nullptr || unit == nullptr)
        return;

    const auto root = page.getSourcesRoot();
    juce::Array<juce::ValueTree> archiveNodes;
    if (const auto archive = getArchiveNode(); archive.isValid())
        collectSourceDataNodes (archive, archiveNodes);

    juce::StringArray names { "<Send directly to " + page.getDeviceName() + "...>", "<Create new backup...>",
                              "To Workspace" };
    juce::Array<DeviceData*> destinations { set->getDevice(), nullptr, set->getWorking() };
    for (auto& node : archiveNodes)
    {
        names.add (makeSourceNodeTitle (node));
        destinations.add (getSourceNodeWorkingData (node));
    }

    ImportContent::Choices choices;
    if (! ImportDialog::run (owner, unit, page.getDeviceName(), names, destinations,
                             fileFromSetting (SettingsKeys::lastImportFile), choices, conversion)
        || choices.files.isEmpty() || ! juce::isPositiveAndBelow (choices.destinationIndex, names.size()))
        return;

    setSetting (SettingsKeys::lastImportFile, choices.files.getFirst().getFullPathName());

    const auto& unitFormat = unit->getFormat();
    auto collected = std::make_unique<DeviceData> (unit->getVersion(), unitFormat, unit->getFactoryBank());
    juce::StringArray importedNames;
    bool skipped = false, fileBoxShown = false;
    int nextSlot = choices.startingSlot;

    for (auto& file : choices.files)
    {
        const auto fileName = file.getFileName();
        int fileProduct = 255, fileVersion = 0;
        const auto kind = identifySysExFile (file, fileProduct, fileVersion);
        if (kind != SysExFlags::presetHeader && kind != SysExFlags::setupPacket)
        {
            skipped = true;
            // An unreadable file is named; other files that are no preset or setup data
            // are only counted in the final box.
            if ((kind & (0x10u | SysExFlags::notSysEx)) != 0)
                showWarningBox (owner, "Import Error", "Unable to import " + fileName + ". The file will be skipped.");
            continue;
        }

        const bool presets = kind == SysExFlags::presetHeader;
        const int unitVersion = presets ? unitFormat.presetVersion : unitFormat.setupVersion;
        std::unique_ptr<DeviceData> data;
        if (fileProduct != (int) unit->getProductId() || fileVersion != unitVersion)
            if (juce::isPositiveAndBelow (fileProduct, 128))
                if (auto caps = getConversion().createDeviceCapsForDataVersion ((juce::uint8) fileProduct,
                                                                                presets ? 1 : 2, fileVersion))
                    data = std::make_unique<DeviceData> (VersionNumber (0, 0, 0, 0, caps->getFirstBuild(), 0),
                                                         caps->getFormat(), nullptr);
        // Without a profile for the file's data the unit's own format reads it and tells why
        // it does not fit.
        if (data == nullptr)
            data = std::make_unique<DeviceData> (unit->getVersion(), unitFormat, unit->getFactoryBank());

        juce::Array<int> usedSlots;
        const auto flags = data->importSysEx (file.getFullPathName(), usedSlots, presets ? nextSlot : -1);
        if (presets && nextSlot >= 0 && ! usedSlots.isEmpty())
        {
            int last = nextSlot;
            for (auto slot : usedSlots)
                last = juce::jmax (last, slot);
            nextSlot = last + 1;
        }

        if ((flags & SysExFlags::failureMask) != 0)
        {
            fileBoxShown = true;
            showWarningBox (owner, (flags & SysExFlags::noFreeSlot) != 0 ? "Import Warning" : "Import Error",
                            "Not all data could be imported from '" + fileName + "'. " + getImportFailureReason (flags));
        }

        if (! data->hasSameFormat (unitFormat))
        {
            auto converted = convertToUnit (*data, *unit, fileName);
            if (converted == nullptr)
            {
                fileBoxShown = true;
                skipped = true;
                continue;
            }
            data = std::move (converted);
        }

        if (data->countPresets() > 0 || data->getSetup().isComplete())
        {
            collected->mergeFrom (*data);
            importedNames.add (fileName);
        }
    }

    bool failed = false;
    const int destination = choices.destinationIndex;
    if (! importedNames.isEmpty())
    {
        if (destination == newBackup)
        {
            juce::String description ("Imported from:\n");
            for (auto& n : importedNames)
                description << n << "\n";
            auto copy = collected->createFullCopy (true);
            auto item = std::make_unique<DeviceDataArchive> (copy.get(), "Import", description);
            item->setTitle (item->getDateText() + " (Import)");
            failed = ! appendNodes (getArchiveNode(), { createArchiveSourceNode (std::move (item)) });
        }
        else if (destination == sendToUnit)
        {
            page.sendDataToDevice (std::move (collected), false);
        }
        else
        {
            const auto node = destination == toWorkspace ? findDeviceSourceNode (root)
                                                         : archiveNodes[destination - firstArchiveEntry];
            auto* target = getSourceNodeWorkingData (node);
            if (target == nullptr || ! target->hasSameFormat (unitFormat))
            {
                // Merging into data of another format would silently change nothing.
                failed = true;
                showWarningBox (owner, "Import Error",
                                "The data could not be imported into the chosen destination.");
            }
            else
            {
                page.mergeData (node, *collected, true, true);
            }
        }
    }

    if (fileBoxShown || failed)
        return;
    if (skipped)
        showWarningBox (owner, "Import Error", "Not all file(s) could be imported");
    else if (destination != sendToUnit)
        showInfoBox (owner, "Import", "Import complete");
}

//==============================================================================
bool DataExchange::appendNodes (juce::ValueTree target, const juce::Array<juce::ValueTree>& nodes)
{
    const auto archive = getArchiveNode();
    if (! target.isValid())
        target = archive;
    if (! target.isValid())
    {
        showWarningBox (owner, "File Error", "There is no place for the imported data.");
        return false;
    }
    if (nodes.isEmpty())
        return true;

    if (archive.isValid() && isUnder (target, archive))
    {
        const bool added = addNewBackups (page, target, nodes, owner);
        page.notifyArchiveChanged (target);
        return added;
    }

    auto& undo = page.getUndoManager();
    undo.beginNewTransaction();
    for (auto& node : nodes)
        target.appendChild (node, &undo);
    page.notifyArchiveChanged (target);
    return true;
}

void DataExchange::importDataFiles (const juce::ValueTree& target)
{
    const auto* unit = getUnitData();
    if (unit == nullptr)
        return;

    const auto files = getDialogService().chooseFilesToOpen ("Import ARD Binary Files",
                                                             fileFromSetting (SettingsKeys::developerLastARDImportFile),
                                                             "*.ard");
    if (files.isEmpty())
        return;
    setSetting (SettingsKeys::developerLastARDImportFile, files.getFirst().getFullPathName());

    juce::Array<juce::ValueTree> nodes;
    for (auto& file : files)
    {
        auto data = file.existsAsFile() ? DeviceData::createFromFile (file.getFullPathName()) : nullptr;
        if (data == nullptr)
        {
            showWarningBox (owner, "Import Error", "Unable to load " + file.getFileName() + ". Skipping this file.");
            continue;
        }
        if (! data->hasSameFormat (unit->getFormat()))
        {
            data = convertToUnit (*data, *unit, file.getFileName());
            if (data == nullptr)
                continue;
        }
        data->clearModifiedFlags (false);
        nodes.add (createArchiveSourceNode (std::make_unique<DeviceDataArchive> (
            data.get(), file.getFileNameWithoutExtension(), "FILL THIS IN")));
    }
    appendNodes (target, nodes);
}

void DataExchange::importPresetPack (const juce::ValueTree& target)
{
    const auto* unit = getUnitData();
    if (unit == nullptr)
        return;

    const auto listFile = getDialogService().chooseFile (DialogService::ChooserMode::openFile, "Import Preset Pack",
                                                         fileFromSetting (SettingsKeys::developerLastARDImportFile),
                                                         "*.xml");
    if (listFile == juce::File())
        return;

    std::unique_ptr<juce::XmlElement> list;
    if (listFile.existsAsFile() && listFile.getSize() <= maxPackFileSize)
        list = juce::parseXML (listFile);
    auto* product = list != nullptr && list->hasTagName ("PRESETS") ? list->getChildByName ("product") : nullptr;
    if (product == nullptr || product->getStringAttribute ("name") != unit->getProductName()
        || unit->getProductName().isEmpty())
    {
        showWarningBox (owner, "Error", "The presets.xml control file doesn't match the product you're working with.");
        return;
    }

    // A pack's data files lie beside its control file, never elsewhere.
    const auto folder = listFile.getParentDirectory();
    juce::Array<juce::ValueTree> nodes;
    for (auto* entry : list->getChildWithTagNameIterator ("archive"))
    {
        const auto title = entry->getChildByName ("title") != nullptr ? entry->getChildElementAllSubText ("title", {})
                                                                      : juce::String ("???");
        const auto dataPath = entry->getChildElementAllSubText ("dataURL", {}).trim();
        const auto dataFile = dataPath.isEmpty() ? juce::File() : ConfinedFiles::resolve (dataPath, folder);

        std::unique_ptr<DeviceData> data;
        if (dataFile != juce::File() && ConfinedFiles::isReadableFile (dataFile, folder))
            data = DeviceData::createFromFile (dataFile.getFullPathName());
        if (data == nullptr)
        {
            showWarningBox (owner, "Error", "Couldn't load " + title + ". The archive will be skipped.");
            continue;
        }
        data->clearModifiedFlags (false);

        auto item = std::make_unique<DeviceDataArchive> (data.get(), title,
                                                         entry->getChildElementAllSubText ("description", {}));
        if (! data->hasSameFormat (unit->getFormat()))
        {
            juce::String errorText;
            if (! item->convertData (unit->getProductId(), unit->getVersion(), errorText, nullptr, conversion).isZero())
            {
                showWarningBox (owner, "Error", "Data conversion failed on " + title + ". \n\nError: " + errorText);
                continue;
            }
        }
        item->setPubDate (CloudPackList::parseArchiveDate (entry->getChildElementAllSubText ("date", {})).toMilliseconds());
        nodes.add (createArchiveSourceNode (std::move (item)));
    }
    appendNodes (target, nodes);
}
