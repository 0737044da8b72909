#include "ui/datapage/SourceDataBrowser.h"
#include "archive/DataSourceTree.h"
#include "ui/ColourPalette.h"
#include "ui/LSLookAndFeel.h"
#include "ui/datapage/NewBackups.h"

namespace
{
    float scaleOf (const juce::Component& c)
    {
        auto* laf = dynamic_cast<LSLookAndFeel*> (&c.getLookAndFeel());
        return laf != nullptr ? laf->getScale() : 1.0f;
    }
}

bool SourceDataBrowser::isCategoryNode (const juce::ValueTree& node, const char* category)
{
    return node.hasType (SourceIds::category) && node[SourceIds::category].toString() == category;
}

juce::String SourceDataBrowser::categoryOf (const juce::ValueTree& node)
{
    juce::String category, subCategory;
    getSourceNodeCategory (node, category, subCategory);
    return category;
}

juce::String SourceDataBrowser::subCategoryOf (const juce::ValueTree& node)
{
    juce::String category, subCategory;
    getSourceNodeCategory (node, category, subCategory);
    return subCategory;
}

juce::Array<juce::ValueTree> SourceDataBrowser::outermostOf (const juce::Array<juce::ValueTree>& nodes)
{
    juce::Array<juce::ValueTree> result;
    for (auto& node : nodes)
    {
        bool inside = false;
        for (auto& other : nodes)
            inside = inside || (other != node && node.isAChildOf (other));
        if (! inside)
            result.addIfNotAlreadyThere (node);
    }
    return result;
}

//==============================================================================
SourceDataBrowser::SourceDataBrowser()
{
    setName ("Browser");
    setWantsKeyboardFocus (false);
    addAndMakeVisible (treeView);
    treeView.addMouseListener (this, true);
    treeView.setColour (juce::TreeView::backgroundColourId, paletteColour096);

    addChildComponent (renameEditor);
    renameEditor.addListener (this);
}

SourceDataBrowser::~SourceDataBrowser()
{
    treeView.removeMouseListener (this);
    treeView.setRootItem (nullptr);
}

//==============================================================================
void SourceDataBrowser::setRoot (DataPageEditOperations* newPage, const juce::ValueTree& newRoot)
{
    renamingNode = {};
    renameEditor.setVisible (false);
    treeView.setRootItem (nullptr);
    rootItem.reset();

    page = newPage;
    root = newRoot;
    if (page != nullptr && root.isValid())
    {
        rootItem = std::make_unique<SourceTreeItem> (*this, root, &page->getUndoManager());
        treeView.setRootItem (rootItem.get());
        rootItem->setOpen (true);
        // The sources themselves start open.
        for (int i = 0; i < rootItem->getNumSubItems(); ++i)
            rootItem->getSubItem (i)->setOpen (true);
    }
    resized();
}

bool SourceDataBrowser::selectSource (const juce::ValueTree& node)
{
    return selectSources ({ node });
}

bool SourceDataBrowser::selectSources (const juce::Array<juce::ValueTree>& nodes)
{
    SourceTreeItem* first = nullptr;
    for (auto& node : nodes)
    {
        auto* item = rootItem != nullptr && node.isValid() ? rootItem->findItemFor (node) : nullptr;
        if (item == nullptr || item == rootItem.get())
            continue;
        item->setSelected (true, first == nullptr);
        if (first == nullptr && item->isSelected())
            first = item;
    }
    if (first != nullptr)
        treeView.scrollToKeepItemVisible (first);
    return first != nullptr;
}

juce::Array<juce::ValueTree> SourceDataBrowser::getSelectedNodes() const
{
    return treeView.getSelectedNodes();
}

juce::ValueTree SourceDataBrowser::firstSelectedNode() const
{
    const auto nodes = getSelectedNodes();
    return nodes.isEmpty() ? juce::ValueTree() : nodes.getFirst();
}

std::unique_ptr<DeviceData> SourceDataBrowser::getSelectedData() const
{
    std::unique_ptr<DeviceData> combined;
    for (auto& node : getSelectedNodes())
        if (auto* working = getSourceNodeWorkingData (node))
        {
            if (combined == nullptr)
                combined = working->createFullCopy (false);
            else
                combined->mergeFrom (*working);
        }
    return combined;
}

void SourceDataBrowser::addListener (SourceBrowserListener* l)
{
    if (l != nullptr)
        listeners.addIfNotAlreadyThere (l);
}

void SourceDataBrowser::removeListener (SourceBrowserListener* l)
{
    listeners.removeFirstMatchingValue (l);
}

void SourceDataBrowser::notifySelectionChanged()
{
    juce::Component::BailOutChecker checker (this);
    for (int i = listeners.size(); --i >= 0;)
    {
        if (checker.shouldBailOut())
            return;
        i = juce::jmin (i, listeners.size() - 1);
        if (i < 0)
            return;
        listeners.getUnchecked (i)->sourceSelectionChanged();
    }
}

//==============================================================================
bool SourceDataBrowser::isUnderArchive (const juce::ValueTree& node) const
{
    return categoryOf (node) == SourceCategories::archive;
}

bool SourceDataBrowser::isDeletable (const juce::ValueTree& node) const
{
    if (node.hasType (SourceIds::category) || node.hasType (SourceIds::root) || ! node.getParent().isValid())
        return false;
    // What may be changed may go (in the cloud what lies in an upload folder), but not an
    // upload folder itself.
    return ! isReadOnlySourceNode (node) && categoryOf (node) != SourceCategories::device
           && ! (node.hasType (SourceIds::subCategory)
                 && node[SourceIds::subCategory].toString() == SourceCategories::uploadFolder);
}

juce::ValueTree SourceDataBrowser::getArchiveTarget() const
{
    const auto archive = findSourceNodeByCategory (root, SourceCategories::archive);
    const auto first = firstSelectedNode();
    if (first.isValid() && isUnderArchive (first) && ! first.hasType (SourceIds::category))
    {
        if (first.hasType (SourceIds::group))
            return first;
        const auto parent = first.getParent();
        if (parent.isValid() && (parent.hasType (SourceIds::group) || parent == archive))
            return parent;
    }
    return archive;
}

juce::String SourceDataBrowser::makeUniqueTitle (const juce::ValueTree& target, const juce::String& title)
{
    juce::StringArray taken;
    int similar = 0;
    for (const auto& child : target)
    {
        const auto label = child[SourceIds::label].toString();
        taken.add (label);
        if (label == title || label.startsWith (title + " ("))
            ++similar;
    }
    if (similar == 0)
        return title;

    for (int n = similar + 1;; ++n)
    {
        const auto candidate = title + " (" + juce::String (n) + ")";
        if (! taken.contains (candidate))
            return candidate;
    }
}

bool SourceDataBrowser::saveArchive()
{
    return page != nullptr && saveBackups (*page, this);
}

bool SourceDataBrowser::unitHasPresets() const
{
    auto* set = page != nullptr ? page->getDataSet() : nullptr;
    auto* live = set != nullptr ? set->getDevice() : nullptr;
    return live != nullptr && live->countPresets() > 0;
}

//==============================================================================
void SourceDataBrowser::paint (juce::Graphics& g)
{
    g.fillAll (paletteColour096);
    const int header = juce::roundToInt (20.0f * scaleOf (*this));
    if (auto* laf = dynamic_cast<LSLookAndFeel*> (&getLookAndFeel()))
        laf->drawPanelHeader (g, getLocalBounds().removeFromTop (header), getName(), false, true);
    g.setColour (paletteColour097);
    g.drawRect (treeView.getBounds().expanded (1), 1);
}

void SourceDataBrowser::resized()
{
    const float scale = scaleOf (*this);
    auto area = getLocalBounds();
    area.removeFromTop (juce::roundToInt (20.0f * scale));
    treeView.setBounds (area.reduced (juce::roundToInt (4.0f * scale)));
}

void SourceDataBrowser::mouseDown (const juce::MouseEvent& e)
{
    if (e.mods.isPopupMenu() && rootItem != nullptr && treeView.getNumSelectedItems() > 0)
        showContextMenu();
}

bool SourceDataBrowser::keyPressed (const juce::KeyPress& key)
{
    if (rootItem != nullptr && (key == juce::KeyPress::deleteKey || key == juce::KeyPress::backspaceKey))
        deleteSelected();
    return false;
}
