#pragma once

#include "core/LarkspireChangeListener.h"
#include "model/DataSet.h"
#include <juce_gui_basics/juce_gui_basics.h>

class LocalArchiveManager;

// What the main content component needs of the "Presets" page: the page itself, its place
// among the change listeners, and its answers about the connected unit's data and the
// user's selection, which the transfer commands send to the unit.
class DataPageView : public LarkspireChangeListener
{
public:
    ~DataPageView() override = default;

    virtual juce::Component& getPageComponent() = 0;

    // The connected unit's data set (live data and working copy); null when no unit is attached.
    virtual DataSet* getDataSet() const = 0;

    // Whether the user made edits that the unit has not got yet.
    virtual bool hasUnsentEdits() const
    {
        auto* set = getDataSet();
        return set != nullptr && set->hasUnsavedChanges();
    }

    // The source node the preset grid shows (an invalid tree when none).
    virtual juce::ValueTree getSelectedSource() const = 0;

    // The working data of the first source selected in the browser; null when none.
    virtual DeviceData* getSelectedDataSet() const = 0;

    // The grid's selected slots when the grid shows the selected working data; else empty.
    virtual juce::Array<int> getSelectedSlots() const = 0;

    // Data staged for a send to the unit (an import, or a restore image); null when none. The
    // command that sends it shares it, so that the page may drop or replace it meanwhile.
    virtual std::shared_ptr<const DeviceData> getStagedData() const = 0;

    // The connected product's local backups; null when no unit is attached.
    virtual LocalArchiveManager* getArchiveManager() const = 0;

    // The user let the unsent edits go: the working copy becomes the unit's data as last read,
    // so that what the unit leaves on disk holds no edits to offer again.
    virtual void discardUnsentEdits() = 0;
};
