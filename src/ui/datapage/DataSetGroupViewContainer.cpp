#include "ui/datapage/DataSetGroupViewContainer.h"
#include "archive/DataSourceTree.h"

namespace
{
    DataSetGroupViewContainer::TileFactory& tileFactory()
    {
        static DataSetGroupViewContainer::TileFactory factory;
        return factory;
    }

    std::unique_ptr<juce::Button> makePlainTile (const juce::ValueTree& node)
    {
        auto b = std::make_unique<juce::TextButton> (node[SourceIds::label].toString());
        b->setClickingTogglesState (true);
        b->setSize (120, 80);
        return b;
    }
}

void DataSetGroupViewContainer::setTileFactory (TileFactory factory)
{
    tileFactory() = std::move (factory);
}

DataSetGroupViewContainer::DataSetGroupViewContainer (DataPageHost* owner)
    : page (owner)
{
}

DataSetGroupViewContainer::~DataSetGroupViewContainer()
{
    source.removeListener (this);
}

void DataSetGroupViewContainer::setSource (const juce::ValueTree& node)
{
    source.removeListener (this);
    PanelContainerBase::setSource (node);
    source.addListener (this);
}

void DataSetGroupViewContainer::clearSource()
{
    source.removeListener (this);
    PanelContainerBase::clearSource();
}

void DataSetGroupViewContainer::updateFromSource()
{
    rebuildTiles();
}

void DataSetGroupViewContainer::rebuildTiles()
{
    tiles.clear();
    tileNodes.clear();

    for (auto child : source)
    {
        auto tile = tileFactory() ? tileFactory() (child) : makePlainTile (child);
        if (tile == nullptr)
            continue;
        tile->setRadioGroupId (radioGroup);
        tile->addListener (this);
        tile->addMouseListener (this, false);
        addAndMakeVisible (tile.get());
        tiles.add (tile.release());
        tileNodes.add (child);
    }

    if (laidOutWidth > 0)
        updateLayout (laidOutWidth, getPreferredHeight());
}

void DataSetGroupViewContainer::updateLayout (int width, int height)
{
    laidOutWidth = width;
    setPreferredHeight (height);

    int w0 = 0, h0 = 0;
    for (auto* t : tiles)
    {
        w0 = juce::jmax (w0, t->getWidth());
        h0 = juce::jmax (h0, t->getHeight());
    }

    if (w0 == 0 || h0 == 0)
    {
        setSize (width, height);
        return;
    }

    int x = 10, y = 10;
    for (auto* t : tiles)
    {
        if (x > 10 && x + w0 > width)
        {
            x = 10;
            y += h0 + 10;
        }
        t->setTopLeftPosition (x, y);
        x += w0 + 10;
    }

    setSize (width, y + h0 + 10);
}

int DataSetGroupViewContainer::indexOfTile (const juce::Component* c) const
{
    for (int i = 0; i < tiles.size(); ++i)
        if (tiles.getUnchecked (i) == c)
            return i;
    return -1;
}

juce::ValueTree DataSetGroupViewContainer::getSelectedTileNode() const
{
    for (int i = 0; i < tiles.size(); ++i)
        if (tiles.getUnchecked (i)->getToggleState())
            return tileNodes[i];
    return {};
}

void DataSetGroupViewContainer::buttonClicked (juce::Button*)
{
    sendChangeMessage();
}

void DataSetGroupViewContainer::mouseDoubleClick (const juce::MouseEvent& e)
{
    const int i = indexOfTile (e.eventComponent);
    if (i >= 0 && page != nullptr)
        page->selectSourceInBrowser (tileNodes[i]);
}

void DataSetGroupViewContainer::mouseDrag (const juce::MouseEvent& e)
{
    auto* container = juce::DragAndDropContainer::findParentDragContainerFor (this);
    const int i = indexOfTile (e.eventComponent);
    if (container == nullptr || container->isDragAndDropActive() || i < 0 || ! e.mods.isLeftButtonDown())
        return;

    const auto node = tileNodes[i];
    auto* data = getSourceNodeWorkingData (node);
    if (! node.hasType (SourceIds::node) || data == nullptr)
        return;

    auto* tile = tiles.getUnchecked (i);
    dragSnapShot.set (node, data->getPresetIndices (1, data->getNumSlots() - 1));
    const auto image = tile->createComponentSnapshot (tile->getLocalBounds()).convertedToFormat (juce::Image::ARGB);
    container->startDragging (tile->getButtonText(), &dragSnapShot, juce::ScaledImage (image));
    beginDragAutoRepeat (40);
}

bool DataSetGroupViewContainer::keyPressed (const juce::KeyPress& key, juce::Component*)
{
    if (key.isKeyCode (juce::KeyPress::deleteKey) || key.isKeyCode (juce::KeyPress::backspaceKey))
    {
        juce::Array<juce::ValueTree> nodes;
        for (int i = 0; i < tiles.size(); ++i)
            if (tiles.getUnchecked (i)->getToggleState())
                nodes.add (tileNodes[i]);

        if (! nodes.isEmpty() && ! isReadOnlySourceNode (nodes.getFirst()) && page != nullptr)
            page->deleteSourceNodes (nodes);
    }
    return false;
}

void DataSetGroupViewContainer::valueTreeChildAdded (juce::ValueTree& parent, juce::ValueTree&)
{
    if (parent == source)
        rebuildTiles();
}

void DataSetGroupViewContainer::valueTreeChildRemoved (juce::ValueTree& parent, juce::ValueTree&, int)
{
    if (parent == source)
        rebuildTiles();
}

void DataSetGroupViewContainer::valueTreePropertyChanged (juce::ValueTree& node, const juce::Identifier& property)
{
    if (property != SourceIds::label || node.getParent() != source)
        return;

    const int i = tileNodes.indexOf (node);
    if (auto* tile = tiles[i])
        tile->setButtonText (node[SourceIds::label].toString());
}
