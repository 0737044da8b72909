#pragma once

#include "archive/DeviceDataArchive.h"
#include "model/DataSet.h"
#include <juce_data_structures/juce_data_structures.h>

// Everything the data page can show (the connected unit, the local backups, the
// cloud packs) is one tree of value-tree nodes. Folders are container nodes; each
// showable item is a "node" whose "data" property holds its reference-counted
// DataSet. The tree lives on the message thread; a worker that builds a branch
// hands the finished branch over and never touches it again.
namespace SourceIds
{
    // Node types.
    inline const juce::Identifier root        { "root" };
    inline const juce::Identifier category    { "category" };
    inline const juce::Identifier subCategory { "sub-category" };
    inline const juce::Identifier group       { "group" };
    inline const juce::Identifier node        { "node" };

    // Properties ("category" and "sub-category" double as property names).
    inline const juce::Identifier id             { "id" };
    inline const juce::Identifier label          { "label" };
    inline const juce::Identifier data           { "data" };
    inline const juce::Identifier selectionList  { "selection-list" };
    inline const juce::Identifier viewportOffset { "viewport-offset" };
}

// Category and sub-category values.
namespace SourceCategories
{
    inline constexpr const char* device       = "device";
    inline constexpr const char* archive      = "archive";
    inline constexpr const char* cloud        = "cloud";
    inline constexpr const char* user         = "user";
    inline constexpr const char* uploadFolder = "upload-folder";
}

//==============================================================================
// Creation. Every new node takes the next value of one process-wide counter as its
// "id"; ids are never reused during a run.
juce::ValueTree createSourceNode (const juce::Identifier& type, const juce::String& label);

// A data node that owns the item through a new DataSet (working copy = the item's data).
juce::ValueTree createArchiveSourceNode (std::unique_ptr<DeviceDataArchive> archive);

// The "device" category, labelled with the connected unit's display name (empty without one).
juce::ValueTree createDeviceSourceNode (const juce::String& deviceDisplayName);
juce::ValueTree createBackupsSourceNode();
juce::ValueTree createCloudSourceNode();

// "Root Node" with the unit (0), the backups (1) and, when the content is online, the cloud (2).
juce::ValueTree createRootSourceNode (const juce::String& deviceDisplayName);

// After a subtree was copied: fresh ids throughout, and every data node gets its own
// deep copy of its data set, so copies never share data.
void renewSourceNodeIds (juce::ValueTree node);

//==============================================================================
// Lookups.

// The root's child of that category; with a sub-category, its child of that
// sub-category ("upload-folder" sits one level deeper, inside the "user" child).
juce::ValueTree findSourceNodeByCategory (const juce::ValueTree& root, const juce::String& category,
                                          const juce::String& subCategory = {});
juce::ValueTree findDeviceSourceNode (const juce::ValueTree& root);

// The category of the node's top-level source and the sub-category of the branch it
// lies in; a node that is or lies in an upload folder of the "user" branch reports
// "upload-folder".
void getSourceNodeCategory (const juce::ValueTree& node, juce::String& category, juce::String& subCategory);

// Sources other than the unit, the backups and the upload folders are read-only. The one
// rule for the grid, the details, the toolbar and the browser.
bool isReadOnlySourceNode (const juce::ValueTree& node);

// "<top-level label> - <node label>", as far as present.
juce::String makeSourceNodeTitle (const juce::ValueTree& node);

// Data nodes (with a "data" property) and containers ("root", "category",
// "sub-category", "group" without data) among the direct children and among all
// descendants.
void countSourceNodes (const juce::ValueTree& node, int& dataDirect, int& containersDirect,
                       int& dataAll, int& containersAll);

// A "node" alone; otherwise every "node" below it, descending into groups, in tree
// order, without duplicates.
void collectSourceDataNodes (const juce::ValueTree& node, juce::Array<juce::ValueTree>& out);

//==============================================================================
// Data access.
DataSet::Ptr getSourceNodeDataSet (const juce::ValueTree& node);
DeviceData* getSourceNodeWorkingData (const juce::ValueTree& node);
DeviceDataArchive* getSourceNodeArchive (const juce::ValueTree& node);

// After the working copy of a data node was edited or reloaded: a listed slot is
// marked modified exactly when its preset differs from the source's, so an edit
// undone back to the source's content shows as unmodified again.
void markChangedSlots (const juce::ValueTree& node, const juce::Array<int>& slotIndices);

// The picture of a node: a copy of an archive item's picture, else a built-in icon
// chosen by category and sub-category (a folder for groups, a question mark for
// anything unknown).
std::unique_ptr<juce::Drawable> createSourceNodeIcon (const juce::ValueTree& node);
