#pragma once

#include "ui/datapage/SelectedSourceNodeProvider.h"
#include <juce_data_structures/juce_data_structures.h>
#include <juce_gui_basics/juce_gui_basics.h>

// The browser's tree. While a drag hovers, an item that stays under the pointer opens
// after a moment; a pointer that keeps moving fast restarts the wait. It never takes
// file drags.
class DataSetTreeView : public juce::TreeView, public SelectedSourceNodeProvider, private juce::Timer
{
public:
    DataSetTreeView();
    ~DataSetTreeView() override;

    // The nodes being dragged, collected from the selection when a drag starts.
    void dragStarted();
    void dragEnded();
    const juce::Array<juce::ValueTree>& getDraggedNodes() const noexcept { return dragged; }

    // The nodes of the selected items, in tree order.
    juce::Array<juce::ValueTree> getSelectedNodes() const;
    // A drag that starts on the tree stands for its first selected node.
    juce::ValueTree getSelectedSourceNode() const override { return getSelectedNodes().getFirst(); }

    bool isInterestedInFileDrag (const juce::StringArray&) override { return false; }
    void itemDragMove (const SourceDetails&) override;
    void itemDragExit (const SourceDetails&) override;
    void itemDropped (const SourceDetails&) override;

    // How long an item must stay under a hovering drag before it opens, and the
    // least time between two pointer samples.
    static constexpr int openDelayMs = 250;
    static constexpr int sampleIntervalMs = 75;

private:
    void timerCallback() override;

    juce::Array<juce::ValueTree> dragged;
    juce::TreeViewItem* hoverItem = nullptr;
    juce::uint32 lastSampleTime = 0;
    juce::Point<int> lastSamplePosition;
};
