#pragma once

#include "model/DeviceCaps.h"
#include "model/DeviceData.h"
#include "ui/datapage/ArchiveChangeListener.h"
#include "ui/datapage/PresetDataChangeListener.h"
#include <juce_gui_basics/juce_gui_basics.h>

// What the preset grid and the workspace and details panels ask of the data page
// that owns them: its change notifications, its edit operations (every change of
// preset data goes through them, so it can be undone), its undo history, the
// connected unit and its source browser. The data page implements it.
class DataPageHost
{
public:
    virtual ~DataPageHost() = default;

    //==============================================================================
    // Change notifications. The page calls preset-data listeners, last registered
    // first, after each of its edit operations. Null is ignored; removal drops the
    // first equal entry.
    virtual void addPresetDataChangeListener (PresetDataChangeListener*) = 0;
    virtual void removePresetDataChangeListener (PresetDataChangeListener*) = 0;
    virtual void addArchiveChangeListener (ArchiveChangeListener*) = 0;
    virtual void removeArchiveChangeListener (ArchiveChangeListener*) = 0;

    // The page component: keys pressed anywhere on it reach its key listeners.
    virtual juce::Component& getPageComponent() = 0;

    //==============================================================================
    // Edit operations on the data set of a source node. Each begins a new undo
    // transaction when asked, and notifies the preset-data listeners. The result says
    // whether anything changed.
    virtual bool deletePresets (const juce::ValueTree& node, const juce::Array<int>& slots,
                                bool undoable, bool newTransaction) = 0;
    virtual bool copyPresets (const juce::ValueTree& targetNode, const juce::Array<int>& targetSlots,
                              const juce::ValueTree& sourceNode, const juce::Array<int>& sourceSlots,
                              bool undoable, bool newTransaction) = 0;
    // Copies the presets of `data` (the i-th filled slot of it to the i-th target slot).
    virtual bool pastePresets (const juce::ValueTree& node, const juce::Array<int>& targetSlots,
                               const DeviceData& data, bool undoable, bool newTransaction) = 0;
    virtual bool insertPresets (const juce::ValueTree& node, int atSlot, const DeviceData& source,
                                const juce::Array<int>& sourceSlots, bool undoable, bool newTransaction) = 0;
    virtual bool swapPresets (const juce::ValueTree& node, int slotA, int slotB,
                              bool undoable, bool newTransaction) = 0;
    virtual bool addPresetsAsSteps (const juce::ValueTree& node, int targetSlot, const juce::Array<int>& sourceSlots,
                                    bool undoable, bool newTransaction) = 0;
    virtual bool renamePresets (const juce::ValueTree& node, const juce::Array<int>& slots,
                                const juce::String& name, bool undoable, bool newTransaction) = 0;
    virtual bool setPresetTag (const juce::ValueTree& node, const juce::Array<int>& slots, int tagIndex, bool on,
                               bool undoable, bool newTransaction) = 0;
    virtual bool insertPresetSteps (const juce::ValueTree& node, int slot, int stepPosition,
                                    const juce::Array<int>& steps, bool undoable, bool newTransaction) = 0;
    virtual bool setArchiveItemTitle (const juce::ValueTree& node, const juce::String& title,
                                      bool undoable, bool newTransaction) = 0;

    virtual bool canUndo() const = 0;
    virtual bool canRedo() const = 0;
    virtual void undo() = 0;
    virtual void redo() = 0;

    //==============================================================================
    // The connected unit: its live data (null when none is attached or it was never
    // read), its capability profile (null when none), its display name and the
    // picture of its product (invalid when there is none).
    virtual DeviceData* getConnectedDeviceData() const = 0;
    virtual const DeviceCaps* getConnectedDeviceCaps() const = 0;
    virtual juce::String getConnectedDeviceName() const = 0;
    virtual juce::Image getConnectedProductImage() const = 0;

    //==============================================================================
    // The source browser: select one node alone; delete nodes (backups and upload
    // folders only).
    virtual bool selectSourceInBrowser (const juce::ValueTree& node) = 0;
    virtual void deleteSourceNodes (const juce::Array<juce::ValueTree>& nodes) = 0;

    // Starts editing the name of the selected presets when the details panel shows them.
    virtual void beginPresetNameEdit() = 0;
};
