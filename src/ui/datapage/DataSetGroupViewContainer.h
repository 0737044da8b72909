#pragma once

#include "ui/datapage/DataPageHost.h"
#include "ui/datapage/DataSetDragSnapShot.h"
#include "ui/datapage/PanelContainerBase.h"
#include <functional>

// The workspace's view of a group of backups: one tile per child of the group node,
// in one radio group, laid out in rows. Tiles follow the node: children added or
// removed rebuild them, a changed label renames the tile. A tile of a data node can
// be dragged onto the preset grid.
class DataSetGroupViewContainer : public PanelContainerBase,
                                  public juce::Button::Listener,
                                  public juce::ValueTree::Listener,
                                  public juce::ChangeBroadcaster
{
public:
    // Makes the tile of one child node (the data page installs the archive-item
    // tiles; without a factory a plain toggle button with the node's label is used).
    using TileFactory = std::function<std::unique_ptr<juce::Button> (const juce::ValueTree& node)>;
    static void setTileFactory (TileFactory factory);

    static constexpr int radioGroup = 200;

    explicit DataSetGroupViewContainer (DataPageHost* page);
    ~DataSetGroupViewContainer() override;

    void setSource (const juce::ValueTree& node) override;
    void clearSource() override;
    void updateFromSource() override;
    void updateLayout (int width, int height) override;

    int getNumTiles() const noexcept { return tiles.size(); }
    juce::Button* getTile (int index) const { return tiles[index]; }
    juce::ValueTree getTileNode (int index) const { return tileNodes[index]; }

    // The node of the toggled tile (invalid when none).
    juce::ValueTree getSelectedTileNode() const;

    void buttonClicked (juce::Button*) override;
    void mouseDoubleClick (const juce::MouseEvent&) override;
    void mouseDrag (const juce::MouseEvent&) override;
    using PanelContainerBase::keyPressed;
    bool keyPressed (const juce::KeyPress&, juce::Component*) override;

    void valueTreeChildAdded (juce::ValueTree& parent, juce::ValueTree&) override;
    void valueTreeChildRemoved (juce::ValueTree& parent, juce::ValueTree&, int) override;
    void valueTreePropertyChanged (juce::ValueTree& node, const juce::Identifier& property) override;

private:
    void rebuildTiles();
    int indexOfTile (const juce::Component* c) const;

    DataPageHost* page;
    juce::OwnedArray<juce::Button> tiles;
    juce::Array<juce::ValueTree> tileNodes;
    DataSetDragSnapShot dragSnapShot;
    int laidOutWidth = 0;
};
