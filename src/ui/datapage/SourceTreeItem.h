#pragma once

#include <juce_data_structures/juce_data_structures.h>
#include <juce_gui_basics/juce_gui_basics.h>

class SourceDataBrowser;

// One node of the data-source tree in the browser. It follows its node: a changed
// property repaints it, changed children rebuild its sub-items (keeping open groups
// open). Sub-items exist only while it is open.
class SourceTreeItem : public juce::TreeViewItem, private juce::ValueTree::Listener
{
public:
    SourceTreeItem (SourceDataBrowser& browser, const juce::ValueTree& node, juce::UndoManager* undoManager);
    ~SourceTreeItem() override;

    const juce::ValueTree& getNode() const noexcept { return node; }

    bool mightContainSubItems() override;
    juce::String getUniqueName() const override;
    void itemOpennessChanged (bool isNowOpen) override;
    int getItemWidth() const override { return -1; }
    int getItemHeight() const override;
    bool canBeSelected() const override;
    void paintItem (juce::Graphics&, int width, int height) override;
    void itemClicked (const juce::MouseEvent&) override {}
    void itemDoubleClicked (const juce::MouseEvent&) override;
    void itemSelectionChanged (bool isNowSelected) override;
    juce::var getDragSourceDescription() override;
    bool isInterestedInFileDrag (const juce::StringArray&) override { return false; }
    void filesDropped (const juce::StringArray&, int) override {}
    bool isInterestedInDragSource (const juce::DragAndDropTarget::SourceDetails&) override;
    void itemDropped (const juce::DragAndDropTarget::SourceDetails&, int insertIndex) override;

    // The item of a node at or below this one, building sub-items on the way.
    SourceTreeItem* findItemFor (const juce::ValueTree& target);

    // The two fonts, at the look and feel's UI scale.
    juce::Font getFont() const;
    float getScale() const noexcept { return scale; }

    // The unit's line under its name: "Presets: filled/available", "Presets: n/a"
    // without the unit's data or profile, nothing when the profile has no presets.
    juce::String getPresetsLine() const;

    // What a tree drag carries as its description.
    static const char* const dragDescription;

private:
    void valueTreePropertyChanged (juce::ValueTree&, const juce::Identifier&) override;
    void valueTreeChildAdded (juce::ValueTree& parent, juce::ValueTree&) override;
    void valueTreeChildRemoved (juce::ValueTree& parent, juce::ValueTree&, int) override;
    void valueTreeChildOrderChanged (juce::ValueTree& parent, int, int) override;
    void valueTreeParentChanged (juce::ValueTree&) override {}
    void valueTreeRedirected (juce::ValueTree&) override {}

    void buildSubItems();
    void rebuildSubItems();

    juce::ValueTree node;
    std::unique_ptr<juce::Drawable> icon;   // made again when the node changes
    SourceDataBrowser& browser;
    juce::UndoManager* undoManager;
    float scale = 1.0f;
    float fontHeight = 14.0f;
    juce::String typefaceName;

    JUCE_DECLARE_NON_COPYABLE (SourceTreeItem)
};
