#include "ui/datapage/DetailsPanel.h"
#include "ui/datapage/DataViewPanel.h"

DetailsPanel::DetailsPanel (DataPageHost* owner)
    : page (owner), device (owner), dataSet (owner), presets (owner)
{
    setName ("Details");
    addAndMakeVisible (viewport);
}

DetailsPanel::~DetailsPanel()
{
    if (shown != nullptr)
        detach (*shown);
    viewport.setViewedComponent (nullptr, false);
}

PanelContainerBase* DetailsPanel::getContainer (int type)
{
    switch (type)
    {
        case deviceDetails:  return &device;
        case groupDetails:   return &group;
        case dataSetDetails: return &dataSet;
        case presetDetails:  return &presets;
        default:             return &empty;
    }
}

void DetailsPanel::detach (PanelContainerBase& container)
{
    if (page != nullptr)
    {
        page->removePresetDataChangeListener (&container);
        page->removeArchiveChangeListener (&container);
    }
}

void DetailsPanel::showDetails (int type, const juce::ValueTree& node)
{
    auto* c = getContainer (type);

    if (type == emptyDetails)
        empty.setSyncMode (false);

    if (shown != nullptr)
    {
        if (shown == c && shown->getSource() == node)
            return;

        detach (*shown);
        shown->clearSource();
    }

    if (page != nullptr)
    {
        page->addPresetDataChangeListener (c);
        page->addArchiveChangeListener (c);
    }

    c->setSource (node);
    viewport.setViewedComponent (c, false);
    viewport.setFocusContainerType (juce::Component::FocusContainerType::focusContainer);
    shown = c;
    detailsType = type;
    resized();
}

int DetailsPanel::getPreferredHeight() const
{
    return shown != nullptr ? shown->getHeight() : -1;
}

void DetailsPanel::resized()
{
    viewport.setBounds (getLocalBounds());
    if (shown != nullptr)
        layoutPanelContainer (viewport, *shown, true);
}
