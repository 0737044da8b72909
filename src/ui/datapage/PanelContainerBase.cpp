#include "ui/datapage/PanelContainerBase.h"
#include "ui/ColourPalette.h"
#include "ui/LSLookAndFeel.h"

PanelContainerBase::PanelContainerBase()
{
    scrollBarThickness = juce::Viewport().getScrollBarThickness();

    const float u = getUiScale();
    marginX = marginY = juce::roundToInt (15.0f * u);
}

float PanelContainerBase::getUiScale()
{
    if (auto* laf = dynamic_cast<LSLookAndFeel*> (&getLookAndFeel()))
        return laf->getScale();
    return 1.0f;
}

void PanelContainerBase::setSource (const juce::ValueTree& node)
{
    source = node;
    updateFromSource();
}

void PanelContainerBase::clearSource()
{
    source = juce::ValueTree();
}

void PanelContainerBase::paint (juce::Graphics& g)
{
    g.fillAll (paletteColour032);
}
