#include "archive/BackupIndex.h"
#include "archive/ConfinedFiles.h"
#include "archive/WholeXmlFile.h"
#include "core/AppPaths.h"
#include "model/AtomicFileWriter.h"

namespace
{
    constexpr juce::int64 maxIndexBytes = 64 * 1024 * 1024;
    constexpr juce::int64 maxDescriptionBytes = 1024 * 1024;

    const juce::Identifier backupTag ("BACKUP"), setTag ("set"), groupTag ("group"), archiveTag ("archive");

    juce::XmlElement* rootGroupOf (juce::XmlElement* set)
    {
        return set != nullptr ? set->getChildByName (groupTag) : nullptr;
    }
}

BackupIndex::BackupIndex (const DeviceDataFormat& f, const juce::String& unit)
    : format (f),
      productName (AppPaths::getProductName (f.productId)),
      unitName (unit.isNotEmpty() ? unit : AppPaths::getProductName (f.productId))
{
}

juce::File BackupIndex::getIndexFile() const
{
    const auto path = AppPaths::getBackupIndexFile (format.productId);
    return path.isNotEmpty() ? juce::File (path) : juce::File();
}

juce::File BackupIndex::getDataFolder() const
{
    const auto path = AppPaths::getDataFolder (format.productId);
    return path.isNotEmpty() ? juce::File (path) : juce::File();
}

bool BackupIndex::isUsableEntryFile (const juce::File& file) const
{
    return ConfinedFiles::isReadableFile (file, getDataFolder());
}

//==============================================================================
void BackupIndex::loadIndex()
{
    const juce::ScopedLock sl (lock);
    index.reset();
    unshown.clear();
    treeBuilt = false;

    const auto file = getIndexFile();
    if (file == juce::File())
        return;
    AtomicFileWriter::discardLeftover (AtomicFileWriter::temporaryFor (file));

    if (! file.exists())
    {
        index = std::make_unique<juce::XmlElement> (backupTag);
        noteListedOnDisk();
        return;
    }

    // A file that is not an index stays untouched: nothing is written over it.
    auto parsed = WholeXmlFile::parse (file, maxIndexBytes);
    if (parsed != nullptr && parsed->hasTagName (backupTag))
        index = std::move (parsed);
    noteListedOnDisk();
}

bool BackupIndex::hasIndex() const
{
    const juce::ScopedLock sl (lock);
    return index != nullptr;
}

juce::String BackupIndex::createNextArchiveFile()
{
    const juce::ScopedLock sl (lock);
    const auto folder = getDataFolder();
    if (index == nullptr || folder == juce::File())
        return {};

    for (int tries = 0; tries < 10000000; ++tries)
    {
        const int n = juce::jmax (0, index->getIntAttribute ("nextFileNum", 0));
        const auto base = AppPaths::join (folder.getFullPathName(), productName + juce::String::formatted ("_%06d", n));
        index->setAttribute ("nextFileNum", n + 1);

        const juce::File dataFile (base + ".ard"), metaFile (base + ".xml");
        if (! dataFile.exists() && ! metaFile.exists())
            return base;
    }
    return {};
}

juce::XmlElement* BackupIndex::findSet (int presetVersion, int setupVersion)
{
    const juce::ScopedLock sl (lock);
    if (index == nullptr)
        return nullptr;
    for (auto* set : index->getChildWithTagNameIterator (setTag))
        if (set->getIntAttribute ("presetVersion", -1) == presetVersion
            && set->getIntAttribute ("setupVersion", -1) == setupVersion)
            return set;
    return nullptr;
}

juce::XmlElement* BackupIndex::createSet (int presetVersion, int setupVersion)
{
    const juce::ScopedLock sl (lock);
    if (index == nullptr)
        return nullptr;
    auto* set = new juce::XmlElement (setTag);
    set->setAttribute ("presetVersion", presetVersion);
    set->setAttribute ("setupVersion", setupVersion);
    set->createNewChildElement (groupTag);
    index->insertChildElement (set, 0);
    return set;
}

int BackupIndex::countArchiveFiles (const juce::XmlElement& group) const
{
    int count = 0;
    for (auto* child : group.getChildIterator())
    {
        if (child->hasTagName (groupTag))
            count += countArchiveFiles (*child);
        else if (child->hasTagName (archiveTag))
            count += isUsableEntryFile (ConfinedFiles::resolve (child->getAllSubText(), {})) ? 1 : 0;
    }
    return count;
}

//==============================================================================
juce::ValueTree BackupIndex::createTreeFromCurrentSet()
{
    unshown.clear();
    auto backups = createBackupsSourceNode();
    if (auto* group = rootGroupOf (findSet (format.presetVersion, format.setupVersion)))
        fillTreeFromGroup (*group, backups, {});
    return backups;
}

bool BackupIndex::buildTree()
{
    if (conversionPending)
        return false;

    const juce::ScopedLock sl (lock);
    if (index == nullptr)
    {
        setTree (createBackupsSourceNode());
        return false;
    }
    setTree (createTreeFromCurrentSet());
    treeBuilt = true;
    return true;
}

void BackupIndex::fillTreeFromGroup (const juce::XmlElement& group, juce::ValueTree parent, const juce::StringArray& path)
{
    const auto dataFolder = getDataFolder();

    for (auto* child : group.getChildIterator())
    {
        if (child->hasTagName (groupTag))
        {
            const auto name = child->getStringAttribute ("name");
            auto node = createSourceNode (SourceIds::group, name);
            parent.appendChild (node, nullptr);
            auto subPath = path;
            subPath.add (name);
            fillTreeFromGroup (*child, node, subPath);
        }
        else if (child->hasTagName (archiveTag))
        {
            const auto file = ConfinedFiles::resolve (child->getAllSubText(), {});
            bool shown = false;

            if (isUsableEntryFile (file))
            {
                DeviceDataArchive::finishInterruptedSave (file);
                if (auto xml = WholeXmlFile::parse (file, maxDescriptionBytes))
                {
                    auto item = std::make_unique<DeviceDataArchive> (*xml, dataFolder);
                    if (item->isValid() && item->getData() != nullptr && item->getData()->hasSameFormat (format))
                    {
                        parent.appendChild (createArchiveSourceNode (std::move (item)), nullptr);
                        shown = true;
                    }
                }
            }

            if (! shown)
                unshown.push_back ({ path, std::make_unique<juce::XmlElement> (*child) });
        }
    }
}

//==============================================================================
bool BackupIndex::writeTreeToGroup (const juce::ValueTree& node, juce::XmlElement& group, juce::StringArray& written)
{
    bool ok = true;
    const auto dataFolder = getDataFolder();

    for (const auto& child : node)
    {
        if (child.getType() == SourceIds::node)
        {
            auto* item = getSourceNodeArchive (child);
            if (item == nullptr)
                continue;

            if (item->getLinkData().trim().isEmpty())
            {
                const auto base = createNextArchiveFile();
                if (base.isEmpty())
                {
                    ok = false;
                    continue;
                }
                item->setLinkData (base + ".ard");
                item->setHomeFolder (dataFolder);
            }

            const auto dataFile = ConfinedFiles::resolve (item->getLinkData(), dataFolder);
            const auto metaFile = dataFile.withFileExtension ("xml");

            if (auto set = getSourceNodeDataSet (child))
                if (set->hasUnsavedChanges() && set->getWorking() != nullptr)
                    item->setData (*set->getWorking());

            if (item->isModified() && ! item->save (metaFile))
                ok = false;

            // An item that never reached the disk gets no entry: nothing would be there to read.
            if (metaFile.existsAsFile() && ! written.contains (metaFile.getFullPathName()))
            {
                group.createNewChildElement (archiveTag)->addTextElement (metaFile.getFullPathName());
                written.add (metaFile.getFullPathName());
            }
        }
        else if (child.getType() == SourceIds::group)
        {
            auto* sub = group.createNewChildElement (groupTag);
            sub->setAttribute ("name", child[SourceIds::label].toString());
            ok = writeTreeToGroup (child, *sub, written) && ok;
        }
    }
    return ok;
}

void BackupIndex::carryUnshownEntries (juce::XmlElement& rootGroup, const juce::StringArray& written)
{
    for (auto& entry : unshown)
    {
        const auto text = entry.element->getAllSubText().trim();
        if (written.contains (text))
            continue;

        // Back into the group it was in, as far as that group still exists.
        auto* target = &rootGroup;
        for (auto& name : entry.groupPath)
        {
            juce::XmlElement* next = nullptr;
            for (auto* g : target->getChildWithTagNameIterator (groupTag))
                if (g->getStringAttribute ("name") == name)
                {
                    next = g;
                    break;
                }
            if (next == nullptr)
                break;
            target = next;
        }
        target->addChildElement (new juce::XmlElement (*entry.element));
    }
}

bool BackupIndex::saveIndex()
{
    if (conversionPending)
        return false;

    const juce::ScopedLock sl (lock);
    if (index == nullptr || ! treeBuilt)
        return false;

    // The new set is made apart and only then takes the place of the old one.
    auto set = std::make_unique<juce::XmlElement> (setTag);
    set->setAttribute ("presetVersion", format.presetVersion);
    set->setAttribute ("setupVersion", format.setupVersion);
    auto* group = set->createNewChildElement (groupTag);

    bool ok = true;
    juce::StringArray written;
    const auto current = getTree();
    if (current.isValid())
        ok = writeTreeToGroup (current, *group, written);
    carryUnshownEntries (*group, written);

    if (auto* old = findSet (format.presetVersion, format.setupVersion))
        index->removeChildElement (old, true);
    index->insertChildElement (set.release(), 0);

    return writeIndexFile() && ok;
}

bool BackupIndex::writeIndexFile()
{
    const juce::ScopedLock sl (lock);
    const auto file = getIndexFile();
    if (index == nullptr || file == juce::File())
        return false;
    if (! file.getParentDirectory().createDirectory() || ! DeviceDataArchive::writeXmlFile (*index, file))
        return false;
    noteListedOnDisk();
    removeUnlistedFiles();
    return true;
}

bool BackupIndex::addItem (DeviceDataArchive& item)
{
    const juce::ScopedLock sl (lock);
    const auto* data = item.getData();
    if (index == nullptr || data == nullptr || treeBuilt || conversionPending)
        return false;
    const auto base = createNextArchiveFile();
    if (base.isEmpty() || ! getDataFolder().createDirectory())
        return false;

    item.setLinkData (base + ".ard");
    item.setHomeFolder (getDataFolder());
    const juce::File metaFile (base + ".xml");
    if (item.save (metaFile))
    {
        const auto& f = data->getFormat();
        auto* set = findSet (f.presetVersion, f.setupVersion);
        const bool newSet = set == nullptr;
        if (newSet)
            set = createSet (f.presetVersion, f.setupVersion);
        auto* group = rootGroupOf (set);
        if (group == nullptr)
            group = set->createNewChildElement (groupTag);
        auto* entry = group->createNewChildElement (archiveTag);
        entry->addTextElement (metaFile.getFullPathName());

        if (writeIndexFile())
            return true;
        if (newSet)
            index->removeChildElement (set, true);
        else
            group->removeChildElement (entry, true);
    }
    item.deleteFiles();
    return false;
}

void BackupIndex::noteListedOnDisk()
{
    // The caller holds the lock, and the index is what the file on disk holds.
    const juce::ScopedLock sl (removalLock);
    listedOnDisk.clearQuick();
    listingKnown = index != nullptr;
    if (index == nullptr)
        return;

    std::function<void (const juce::XmlElement&)> collect = [&] (const juce::XmlElement& e)
    {
        for (auto* child : e.getChildIterator())
        {
            if (child->hasTagName (archiveTag))
                listedOnDisk.add (ConfinedFiles::resolve (child->getAllSubText().trim(), {}).getFullPathName());
            else
                collect (*child);
        }
    };
    collect (*index);
}

void BackupIndex::removeItemFiles (const DeviceDataArchive& item)
{
    if (item.getLinkData().trim().isEmpty())
        return;
    const auto description = ConfinedFiles::resolve (item.getLinkData(), item.getHomeFolder()).withFileExtension ("xml");
    // Files outside the backups' folder (a cloud upload folder's) are never in the index.
    const bool indexable = description.isAChildOf (getDataFolder());
    const juce::ScopedLock sl (removalLock);
    if (! indexable || (listingKnown && ! listedOnDisk.contains (description.getFullPathName())))
        DeviceDataArchive::deleteFiles (item.getLinkData(), item.getHomeFolder());
    else
        removals.push_back ({ item.getLinkData(), item.getHomeFolder(), description });
}

void BackupIndex::removeUnlistedFiles()
{
    const juce::ScopedLock sl (removalLock);
    for (auto& r : removals)
        if (! listedOnDisk.contains (r.descriptionFile.getFullPathName()))
            DeviceDataArchive::deleteFiles (r.linkData, r.homeFolder);
    // One still listed is back in the backups; taken out again, it comes here again.
    removals.clear();
}

//==============================================================================
bool BackupIndex::getConversionQuestion (juce::String& question)
{
    question.clear();
    if (conversionPending)
        return false;

    const juce::ScopedLock sl (lock);
    if (index == nullptr)
        return false;

    bool older = false, newer = false;
    for (auto* set : index->getChildWithTagNameIterator (setTag))
    {
        auto* group = set->getChildByName (groupTag);
        if (group == nullptr || countArchiveFiles (*group) == 0)
            continue;

        const int presetVersion = set->getIntAttribute ("presetVersion", -1);
        const int setupVersion = set->getIntAttribute ("setupVersion", -1);
        older = older || presetVersion < format.presetVersion || setupVersion < format.setupVersion;
        newer = newer || presetVersion > format.presetVersion || setupVersion > format.setupVersion;
    }

    if (newer)
        question = "Your local backup contains data in a newer format than what " + unitName
                 + " supports. This is most likely caused by out-of-date firmware. Larkspire can attempt to convert "
                   "the data to the older format. The best option is to update " + unitName
                 + " to the newest firmware. Would you like to downgrade the backup data?";
    else if (older)
        question = "Larkspire has found backup data in an older format than what is currently supported by the "
                   "firmware running on " + unitName + ". Would you like to update the backup data?";

    return older || newer;
}

//==============================================================================
juce::ValueTree BackupIndex::getTree() const
{
    const juce::ScopedLock sl (treeLock);
    return tree;
}

void BackupIndex::setTree (const juce::ValueTree& newTree)
{
    const juce::ScopedLock sl (treeLock);
    tree = newTree;
}
