#pragma once

#include "model/DataSet.h"
#include "model/DeviceCaps.h"
#include <juce_data_structures/juce_data_structures.h>
#include <juce_gui_basics/juce_gui_basics.h>

class LocalArchiveManager;

// What the edit operations, their undoable actions and the source browser need of the
// data page that owns them. The page implements it; tests implement it with a small
// fake over real data and real archive folders. Message thread only.
class DataPageContext
{
public:
    virtual ~DataPageContext() = default;

    // The page's one undo history.
    virtual juce::UndoManager& getUndoManager() = 0;

    // The undoable steps on backups tell of each change as they run (and whether every file it
    // had to write was written); whoever ran the step then calls finishBackupStep, which saves
    // the backups once and tells of a failure in one box. No box runs inside a step: a box runs
    // the message loop, where the unit's release clears the history under the running step.
    virtual void noteBackupsChanged (bool filesWritten) = 0;
    virtual void finishBackupStep (juce::Component* boxOwner) = 0;

    // Tells the page's preset-data listeners that slots of a source node changed.
    virtual void notifyPresetDataChanged (const juce::ValueTree& node, const juce::Array<int>& slots) = 0;
    // Tells the page's archive listeners that an archive node changed.
    virtual void notifyArchiveChanged (const juce::ValueTree& node) = 0;

    // The root of the data-source tree the browser shows.
    virtual juce::ValueTree getSourcesRoot() const = 0;
    // The connected unit's data set; null when no unit is attached.
    virtual DataSet* getDataSet() const = 0;
    // The connected unit's capability profile (the empty profile without a unit).
    virtual const DeviceCaps& getCaps() const = 0;
    // The connected unit's display name.
    virtual juce::String getDeviceName() const = 0;
    // The connected product's local backups; null when no unit is attached.
    virtual LocalArchiveManager* getArchiveManager() const = 0;

    // The preset grid's selected slots (empty when the grid shows nothing).
    virtual juce::Array<int> getSelectedSlots() const = 0;
    // Selects slots of a node in the grid, or keeps them on the node for later.
    virtual void selectSlots (const juce::ValueTree& node, const juce::Array<int>& slots) = 0;

    // Takes data to be sent to the unit and starts the send (whole image or direct).
    virtual void sendDataToDevice (std::unique_ptr<DeviceData> data, bool wholeImage) = 0;
    // Reads the unit again, after warning about unsent edits.
    virtual void syncWithWarning() = 0;
    // Invokes an application command synchronously; false when it did not run.
    virtual bool invokeCommand (juce::CommandID commandId) = 0;

    // The developer tools of the browser's menu, each with the node it works on.
    virtual void importDataFiles (const juce::ValueTree& target) = 0;
    virtual void importPresetPack (const juce::ValueTree& target) = 0;
    virtual void convertPresetPacks() = 0;
};
