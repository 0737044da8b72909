#include "ui/datapage/DataViewPanel.h"
#include "archive/DataSourceTree.h"

void layoutPanelContainer (juce::Viewport& viewport, PanelContainerBase& container, bool reserveScrollBar)
{
    auto widthFor = [&viewport, &container, reserveScrollBar]
    {
        int w = viewport.getMaximumVisibleWidth();
        if (reserveScrollBar && ! viewport.getVerticalScrollBar().isVisible())
            w -= container.getScrollBarThickness();
        return w;
    };

    const int width = widthFor();
    container.updateLayout (width, viewport.getMaximumVisibleHeight());

    const int after = widthFor();
    if (after != width)
        container.updateLayout (after, viewport.getMaximumVisibleHeight());
}

DataViewPanel::DataViewPanel (DataPageHost* owner)
    : page (owner),
      grid (owner, &viewport),
      groupViewContainer (owner)
{
    setName ("Workspace");
    addAndMakeVisible (viewport);
    addMouseListener (this, true);   // drags over the children scroll the workspace
    grid.addChangeListener (this);
    groupViewContainer.addChangeListener (this);
}

DataViewPanel::~DataViewPanel()
{
    if (shown != nullptr)
        detach (*shown);
    viewport.setViewedComponent (nullptr, false);
    grid.removeChangeListener (this);
    groupViewContainer.removeChangeListener (this);
}

PanelContainerBase* DataViewPanel::getContainer (int type)
{
    switch (type)
    {
        case gridView:  return &grid;
        case groupView: return &groupViewContainer;
        default:        return &empty;
    }
}

void DataViewPanel::detach (PanelContainerBase& container)
{
    if (page != nullptr)
    {
        page->removePresetDataChangeListener (&container);
        page->removeArchiveChangeListener (&container);
        page->getPageComponent().removeKeyListener (&container);
    }
}

void DataViewPanel::showView (int type, const juce::ValueTree& node)
{
    auto* c = getContainer (type);

    if (type == emptyView)
        empty.setSyncMode (false);
    else if (type == syncView)
        empty.setSyncMode (true);

    if (shown != nullptr)
    {
        if (shown == c && shown->getSource() == node)
            return;

        detach (*shown);

        auto oldNode = shown->getSource();
        if (oldNode.isValid())
            oldNode.setProperty (SourceIds::viewportOffset, viewport.getViewPositionY(), nullptr);

        shown->clearSource();
        shown->setWantsKeyboardFocus (false);
    }

    if (page != nullptr)
    {
        page->addPresetDataChangeListener (c);
        page->addArchiveChangeListener (c);
        page->getPageComponent().addKeyListener (c);
    }

    c->setSource (node);
    viewport.setViewedComponent (c, false);
    viewport.setFocusContainerType (juce::Component::FocusContainerType::focusContainer);
    c->setWantsKeyboardFocus (true);
    shown = c;
    viewType = type;
    resized();

    if (node.hasProperty (SourceIds::viewportOffset))
        viewport.setViewPosition (0, (int) node[SourceIds::viewportOffset]);
}

void DataViewPanel::resized()
{
    viewport.setBounds (getLocalBounds());
    if (shown != nullptr)
        layoutPanelContainer (viewport, *shown, false);
}

void DataViewPanel::scrollToPresetSlot (int slot)
{
    auto* b = slot >= 0 && slot < grid.getNumButtons() ? grid.getButton (slot) : nullptr;
    if (b == nullptr)
        return;

    const int top = b->getY();
    const int first = viewport.getViewPositionY();
    const int last = first + viewport.getViewHeight();
    if (! (top > first && top < last))
        viewport.setViewPosition (0, top);
}

void DataViewPanel::mouseDrag (const juce::MouseEvent& e)
{
    auto* container = juce::DragAndDropContainer::findParentDragContainerFor (this);
    if (container != nullptr && container->isDragAndDropActive())
    {
        const auto p = e.getEventRelativeTo (&viewport).getPosition();
        viewport.autoScroll (p.x, p.y, 20, 40);
    }
}

void DataViewPanel::changeListenerCallback (juce::ChangeBroadcaster*)
{
    sendChangeMessage();
}
