#include "archive/DataSourceTree.h"
#include "content/ContentManager.h"
#include "core/EmbeddedResources.h"
#include <atomic>

namespace
{
    std::atomic<int> nodeCounter { 0 };

    bool isContainerType (const juce::ValueTree& t)
    {
        const auto type = t.getType();
        return type == SourceIds::root || type == SourceIds::category || type == SourceIds::subCategory
            || type == SourceIds::group;
    }

    juce::ValueTree createCategoryNode (const juce::String& label, const char* category)
    {
        auto node = createSourceNode (SourceIds::category, label);
        node.setProperty (SourceIds::category, category, nullptr);
        return node;
    }

    // The child of the root on the way to `node` (the node itself when it is one),
    // or an invalid tree when the node hangs under no root.
    juce::ValueTree findTopLevel (const juce::ValueTree& node, juce::Array<juce::ValueTree>* pathBelowTop)
    {
        juce::Array<juce::ValueTree> path;   // from the node upwards
        for (auto t = node; t.isValid(); t = t.getParent())
        {
            auto parent = t.getParent();
            if (! parent.isValid())
                break;
            if (parent.getType() == SourceIds::root)
            {
                if (pathBelowTop != nullptr)
                {
                    // From the top-level node's child down to the node.
                    pathBelowTop->clear();
                    for (int i = path.size(); --i >= 0;)
                        pathBelowTop->add (path.getReference (i));
                }
                return t;
            }
            path.add (t);
        }
        return {};
    }

    std::unique_ptr<juce::Drawable> iconFromResource (const juce::String& key)
    {
        int size = 0;
        if (auto* bytes = getEmbeddedResource (key, size))
            return juce::Drawable::createFromImageData (bytes, (size_t) size);
        return {};
    }

    juce::String iconKeyFor (const juce::String& kind)
    {
        static const char* const known[] = { "device", "archive", "ard", "user", "upload-folder", "following", "cloud" };
        for (auto* k : known)
            if (kind == k)
                return getEmbeddedResourceKey ("source_" + kind.replaceCharacter ('-', '_') + ".svg");
        return {};
    }
}

//==============================================================================
juce::ValueTree createSourceNode (const juce::Identifier& type, const juce::String& label)
{
    juce::ValueTree node (type);
    node.setProperty (SourceIds::id, ++nodeCounter, nullptr);
    node.setProperty (SourceIds::label, label, nullptr);
    return node;
}

juce::ValueTree createArchiveSourceNode (std::unique_ptr<DeviceDataArchive> archive)
{
    const auto title = archive != nullptr ? archive->getTitle() : juce::String();
    auto node = createSourceNode (SourceIds::node, title);
    DataSet::Ptr set (new DataSet (std::move (archive)));
    node.setProperty (SourceIds::data, juce::var (set.get()), nullptr);
    return node;
}

juce::ValueTree createDeviceSourceNode (const juce::String& deviceDisplayName)
{
    return createCategoryNode (deviceDisplayName, SourceCategories::device);
}

juce::ValueTree createBackupsSourceNode()
{
    return createCategoryNode ("Backups", SourceCategories::archive);
}

juce::ValueTree createCloudSourceNode()
{
    return createCategoryNode ("Cloud", SourceCategories::cloud);
}

juce::ValueTree createRootSourceNode (const juce::String& deviceDisplayName)
{
    auto root = createSourceNode (SourceIds::root, "Root Node");
    root.appendChild (createDeviceSourceNode (deviceDisplayName), nullptr);
    root.appendChild (createBackupsSourceNode(), nullptr);

    auto* content = getContentManager();
    if (content != nullptr && content->isOnline())
        root.appendChild (createCloudSourceNode(), nullptr);
    return root;
}

void renewSourceNodeIds (juce::ValueTree node)
{
    if (! node.isValid())
        return;

    node.setProperty (SourceIds::id, ++nodeCounter, nullptr);

    if (node.getType() == SourceIds::node)
    {
        if (auto set = getSourceNodeDataSet (node))
        {
            DataSet::Ptr copy (new DataSet (*set));
            node.setProperty (SourceIds::data, juce::var (copy.get()), nullptr);
        }
        return;
    }

    for (auto child : node)
        renewSourceNodeIds (child);
}

//==============================================================================
juce::ValueTree findSourceNodeByCategory (const juce::ValueTree& root, const juce::String& category,
                                          const juce::String& subCategory)
{
    auto top = root.getChildWithProperty (SourceIds::category, category);
    if (! top.isValid() || subCategory.isEmpty())
        return top;

    if (subCategory == SourceCategories::uploadFolder)
    {
        auto user = top.getChildWithProperty (SourceIds::subCategory, SourceCategories::user);
        return user.isValid() ? user.getChildWithProperty (SourceIds::subCategory, subCategory) : juce::ValueTree();
    }
    return top.getChildWithProperty (SourceIds::subCategory, subCategory);
}

juce::ValueTree findDeviceSourceNode (const juce::ValueTree& root)
{
    return findSourceNodeByCategory (root, SourceCategories::device);
}

void getSourceNodeCategory (const juce::ValueTree& node, juce::String& category, juce::String& subCategory)
{
    category.clear();
    subCategory.clear();

    juce::Array<juce::ValueTree> path;
    auto top = findTopLevel (node, &path);
    if (! top.isValid())
        return;

    category = top[SourceIds::category].toString();
    if (! path.isEmpty())
        subCategory = path.getReference (0)[SourceIds::subCategory].toString();

    // The user's upload folders lie inside the user's branch (where the lookup by category
    // finds them): everything in one is the user's own data.
    if (subCategory == SourceCategories::user && path.size() > 1
        && path.getReference (1)[SourceIds::subCategory].toString() == SourceCategories::uploadFolder)
        subCategory = SourceCategories::uploadFolder;
}

bool isReadOnlySourceNode (const juce::ValueTree& node)
{
    juce::String category, subCategory;
    getSourceNodeCategory (node, category, subCategory);
    return category != SourceCategories::archive && category != SourceCategories::device
        && subCategory != SourceCategories::uploadFolder;
}

juce::String makeSourceNodeTitle (const juce::ValueTree& node)
{
    juce::StringArray parts;
    auto top = findTopLevel (node, nullptr);
    if (top.isValid() && top != node)
        parts.add (top[SourceIds::label].toString());
    parts.add (node[SourceIds::label].toString());
    parts.removeEmptyStrings();
    return parts.joinIntoString (" - ");
}

void countSourceNodes (const juce::ValueTree& node, int& dataDirect, int& containersDirect,
                       int& dataAll, int& containersAll)
{
    dataDirect = containersDirect = dataAll = containersAll = 0;

    std::function<void (const juce::ValueTree&, bool)> walk = [&] (const juce::ValueTree& parent, bool direct)
    {
        for (const auto& child : parent)
        {
            if (child.hasProperty (SourceIds::data))
            {
                ++dataAll;
                dataDirect += direct ? 1 : 0;
            }
            else if (isContainerType (child))
            {
                ++containersAll;
                containersDirect += direct ? 1 : 0;
            }
            walk (child, false);
        }
    };
    walk (node, true);
}

void collectSourceDataNodes (const juce::ValueTree& node, juce::Array<juce::ValueTree>& out)
{
    if (node.getType() == SourceIds::node)
    {
        out.addIfNotAlreadyThere (node);
        return;
    }

    for (const auto& child : node)
    {
        if (child.getType() == SourceIds::node)
            out.addIfNotAlreadyThere (child);
        else if (child.getType() == SourceIds::group)
            collectSourceDataNodes (child, out);
    }
}

//==============================================================================
DataSet::Ptr getSourceNodeDataSet (const juce::ValueTree& node)
{
    return DataSet::Ptr (dynamic_cast<DataSet*> (node[SourceIds::data].getObject()));
}

DeviceData* getSourceNodeWorkingData (const juce::ValueTree& node)
{
    auto set = getSourceNodeDataSet (node);
    return set != nullptr ? set->getWorking() : nullptr;
}

DeviceDataArchive* getSourceNodeArchive (const juce::ValueTree& node)
{
    auto set = getSourceNodeDataSet (node);
    return set != nullptr ? dynamic_cast<DeviceDataArchive*> (set->getArchive()) : nullptr;
}

void markChangedSlots (const juce::ValueTree& node, const juce::Array<int>& slotIndices)
{
    auto set = getSourceNodeDataSet (node);
    if (set == nullptr)
        return;
    auto* source = set->getSourceDeviceData();
    auto* working = set->getWorking();
    if (source == nullptr || working == nullptr)
        return;

    for (auto slot : slotIndices)
    {
        auto* a = source->getPreset (slot);
        auto* b = working->getPreset (slot);
        if (a == nullptr || b == nullptr)
            continue;
        const bool changed = a->getMd5() != b->getMd5();
        if (changed != b->isModified())
            working->setPresetModified (slot, changed);
    }

    if (source->getSetup().isComplete() == working->getSetup().isComplete())
        working->clearModifiedFlags (true);
}

std::unique_ptr<juce::Drawable> createSourceNodeIcon (const juce::ValueTree& node)
{
    if (auto* archive = getSourceNodeArchive (node))
        if (auto* picture = archive->getPicture())
            return picture->createCopy();

    juce::String category, subCategory;
    getSourceNodeCategory (node, category, subCategory);

    juce::StringArray candidates;
    candidates.add (node[SourceIds::subCategory].toString());
    if (node.getType() == SourceIds::group && candidates[0] != SourceCategories::uploadFolder)
        candidates.set (0, {});   // a plain folder
    if (node.getType() != SourceIds::group)
    {
        candidates.add (node[SourceIds::category].toString());
        candidates.add (subCategory);
        candidates.add (category);
    }

    for (auto& kind : candidates)
    {
        const auto key = iconKeyFor (kind);
        if (key.isNotEmpty())
            if (auto icon = iconFromResource (key))
                return icon;
    }

    if (node.getType() == SourceIds::group)
        if (auto folder = iconFromResource ("source_group_svg"))
            return folder;

    return iconFromResource ("source_unknown_svg");
}
