#include "ui/datapage/DataSetTreeView.h"
#include "ui/datapage/SourceTreeItem.h"

DataSetTreeView::DataSetTreeView()
{
    setRootItemVisible (false);
    setMultiSelectEnabled (true);
}

DataSetTreeView::~DataSetTreeView()
{
    stopTimer();
}

void DataSetTreeView::dragStarted()
{
    dragged = getSelectedNodes();
}

void DataSetTreeView::dragEnded()
{
    dragged.clear();
    hoverItem = nullptr;
    stopTimer();
}

juce::Array<juce::ValueTree> DataSetTreeView::getSelectedNodes() const
{
    juce::Array<juce::ValueTree> nodes;
    for (int i = 0; i < getNumSelectedItems(); ++i)
        if (auto* item = dynamic_cast<SourceTreeItem*> (getSelectedItem (i)))
            nodes.add (item->getNode());
    return nodes;
}

void DataSetTreeView::itemDragMove (const SourceDetails& details)
{
    const auto now = juce::Time::getMillisecondCounter();
    if (now - lastSampleTime >= (juce::uint32) sampleIntervalMs)
    {
        auto* under = getItemAt (details.localPosition.y);
        const bool fast = details.localPosition.getDistanceFrom (lastSamplePosition) > 8;
        if (under != hoverItem || fast)
        {
            hoverItem = under;
            startTimer (openDelayMs);
        }
        lastSampleTime = now;
        lastSamplePosition = details.localPosition;
    }
    juce::TreeView::itemDragMove (details);
}

void DataSetTreeView::itemDragExit (const SourceDetails& details)
{
    hoverItem = nullptr;
    stopTimer();
    juce::TreeView::itemDragExit (details);
}

void DataSetTreeView::itemDropped (const SourceDetails& details)
{
    hoverItem = nullptr;
    stopTimer();
    juce::TreeView::itemDropped (details);
}

void DataSetTreeView::timerCallback()
{
    stopTimer();
    // Only an item still shown under the pointer is opened (the tree may have been rebuilt).
    auto* under = getItemAt (lastSamplePosition.y);
    if (under != nullptr && under == hoverItem && under->mightContainSubItems() && ! under->isOpen())
        under->setOpen (true);
}
