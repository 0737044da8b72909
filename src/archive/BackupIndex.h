#pragma once

#include "archive/DataSourceTree.h"
#include "model/DeviceDataFormat.h"
#include <atomic>

// The local backups of one product: the "BACKUP" index file that groups archive items
// by the data versions they were made for, the allocation of new data-file names, and
// the "Backups" branch of the data-source tree built from the set of the current
// versions.
//
// Index form: root "BACKUP" (attribute "nextFileNum"), children "set" (newest first,
// attributes "presetVersion" and "setupVersion"), each holding one root "group"; a
// "group" holds named "group"s and "archive" elements whose text is the full path of
// an item's description file.
//
// One lock guards the index; the conversion thread holds it for its whole run. The
// tree is handed over whole under a second, short-held lock, so the message thread can
// always read it without waiting for a conversion. The local archive manager and its
// conversion thread share one instance.
class BackupIndex
{
public:
    BackupIndex (const DeviceDataFormat& format, const juce::String& unitName);

    const juce::String& getProductName() const noexcept { return productName; }
    const juce::String& getUnitName() const noexcept { return unitName; }
    const DeviceDataFormat& getFormat() const noexcept { return format; }
    juce::File getIndexFile() const;
    juce::File getDataFolder() const;

    juce::CriticalSection& getLock() noexcept { return lock; }

    //==============================================================================
    // Everything below takes the lock.

    // The parsed index file; a new empty index when there is no file; none when the
    // file is there but is not a readable index (it is then never overwritten).
    void loadIndex();
    bool hasIndex() const;

    // Base path (without extension) of a data file name that is not taken yet; empty
    // without an index. The counter is stored with the next write of the index.
    juce::String createNextArchiveFile();

    // A new "Backups" branch from the set of the current versions, handed over as the
    // tree. Entries that cannot be shown (missing, unreadable, invalid, another
    // format) are remembered so that saving keeps them. Returns whether an index exists.
    bool buildTree();

    // Writes the tree into the set of the current versions (which becomes the first
    // set), saves every modified item, and writes the index file. Entries that were not
    // shown are kept. Refused before the tree was built. False when anything failed.
    bool saveIndex();

    // The first "set" with these versions, or null. The caller holds the lock while it
    // uses the element.
    juce::XmlElement* findSet (int presetVersion, int setupVersion);
    // A new "set" with an empty root group, inserted as the first set; null without an index.
    juce::XmlElement* createSet (int presetVersion, int setupVersion);

    // The "archive" entries below a group (nested groups included) whose description
    // file is there.
    int countArchiveFiles (const juce::XmlElement& group) const;

    // The question to ask when backups of other data versions exist (empty and false
    // when there are none).
    bool getConversionQuestion (juce::String& question);

    // Writes the index as it is in memory; false (old file kept) on failure. Once written, the
    // files of items taken out (removeItemFiles) that it no longer lists are removed.
    bool writeIndexFile();

    // Removes the files of an item taken out of the backups, but never a file that the index
    // on disk lists: those wait for a write of the index that leaves the item out (a failed
    // write leaves the index and the files as they were). With an index on disk that cannot be
    // read no backup's files are removed.
    void removeItemFiles (const DeviceDataArchive& item);

    // Gives a new item files of its own and lists it in the set of its data's versions (made
    // when there is none), then writes the index. Only before the tree is built: a built tree
    // would write its own set over the entry. When the item's files or the index cannot be
    // written, nothing of the item stays. False then, and without an index.
    bool addItem (DeviceDataArchive& item);

    // The index element itself (null without one); the caller holds the lock.
    juce::XmlElement* getIndex() noexcept { return index.get(); }

    // Whether an entry's text names a description file the program may use.
    bool isUsableEntryFile (const juce::File& file) const;

    //==============================================================================
    // The "Backups" node (message thread readers take a handle; cheap).
    juce::ValueTree getTree() const;
    void setTree (const juce::ValueTree& newTree);

    // While a conversion is pending the tree is a placeholder and the index belongs to
    // the conversion: building and saving are refused.
    void setConversionPending (bool pending) noexcept { conversionPending = pending; }
    bool isConversionPending() const noexcept { return conversionPending; }

    // Builds a branch from a set's root group without handing it over; the caller holds the lock.
    juce::ValueTree createTreeFromCurrentSet();

private:
    struct UnshownEntry
    {
        juce::StringArray groupPath;   // names of the groups from the set's root group down
        std::unique_ptr<juce::XmlElement> element;
    };

    void fillTreeFromGroup (const juce::XmlElement& group, juce::ValueTree parent, const juce::StringArray& path);
    bool writeTreeToGroup (const juce::ValueTree& node, juce::XmlElement& group, juce::StringArray& written);
    void carryUnshownEntries (juce::XmlElement& rootGroup, const juce::StringArray& written);

    struct Removal
    {
        juce::String linkData;
        juce::File homeFolder, descriptionFile;
    };
    void noteListedOnDisk();
    void removeUnlistedFiles();

    const DeviceDataFormat format;
    const juce::String productName;
    const juce::String unitName;

    mutable juce::CriticalSection lock;
    std::unique_ptr<juce::XmlElement> index;
    std::vector<UnshownEntry> unshown;
    bool treeBuilt = false;
    // The description files the index on disk lists (unknown while that file cannot be read),
    // and the removals that wait for it; under a lock of their own, which a conversion does not
    // hold for its run.
    juce::CriticalSection removalLock;
    juce::StringArray listedOnDisk;
    bool listingKnown = false;
    std::vector<Removal> removals;

    mutable juce::CriticalSection treeLock;
    juce::ValueTree tree;

    std::atomic<bool> conversionPending { false };

    JUCE_DECLARE_NON_COPYABLE (BackupIndex)
};
