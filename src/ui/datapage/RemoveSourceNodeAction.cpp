#include "ui/datapage/RemoveSourceNodeAction.h"
#include "archive/ConfinedFiles.h"
#include "archive/DataSourceTree.h"

namespace
{
    juce::Array<juce::ValueTree> itemsIn (const juce::ValueTree& node)
    {
        juce::Array<juce::ValueTree> items;
        collectSourceDataNodes (node, items);
        return items;
    }

    juce::File descriptionFileOf (const DeviceDataArchive& item)
    {
        const auto dataFile = ConfinedFiles::resolve (item.getLinkData(), item.getHomeFolder());
        return dataFile == juce::File() ? juce::File() : dataFile.withFileExtension ("xml");
    }
}

RemoveSourceNodeAction::RemoveSourceNodeAction (const juce::ValueTree& n, std::function<void (bool)> after)
    : node (n), afterRestore (std::move (after))
{
}

bool RemoveSourceNodeAction::perform()
{
    parent = node.getParent();
    if (! parent.isValid())
        return false;
    index = parent.indexOf (node);
    parent.removeChild (node, nullptr);

    for (auto& item : itemsIn (node))
        if (auto* archive = getSourceNodeArchive (item))
            if (archive->getLinkData().trim().isNotEmpty())
                archive->deleteFiles();
    return true;
}

bool RemoveSourceNodeAction::undo()
{
    if (! parent.isValid())
        return false;

    bool allWritten = true;
    for (auto& item : itemsIn (node))
        if (auto* archive = getSourceNodeArchive (item))
        {
            const auto meta = descriptionFileOf (*archive);
            if (meta != juce::File() && ! archive->save (meta))
                allWritten = false;
        }

    parent.addChild (node, juce::jmin (index, parent.getNumChildren()), nullptr);
    if (afterRestore != nullptr)
        afterRestore (allWritten);
    return true;
}
