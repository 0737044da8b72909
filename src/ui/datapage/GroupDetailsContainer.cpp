#include "ui/datapage/GroupDetailsContainer.h"
#include "archive/DataSourceTree.h"
#include "ui/LSLookAndFeel.h"

GroupDetailsContainer::GroupDetailsContainer()
    : itemsCaption ({}, "Items: "), itemsValue ({}, "---"),
      groupsCaption ({}, "Sub-Groups: "), groupsValue ({}, "---")
{
    for (auto* l : { &itemsCaption, &itemsValue, &groupsCaption, &groupsValue })
        addAndMakeVisible (l);
}

void GroupDetailsContainer::updateFromSource()
{
    icon = source.isValid() ? createSourceNodeIcon (source) : nullptr;

    int dataDirect = 0, containersDirect = 0, dataAll = 0, containersAll = 0;
    if (source.isValid())
        countSourceNodes (source, dataDirect, containersDirect, dataAll, containersAll);

    itemsValue.setText (juce::String (dataAll), juce::dontSendNotification);
    groupsValue.setText (juce::String (containersAll), juce::dontSendNotification);
    repaint();
}

void GroupDetailsContainer::updateLayout (int w, int h)
{
    const float s = getUiScale();
    const int m = marginX;
    auto* laf = dynamic_cast<LSLookAndFeel*> (&getLookAndFeel());
    const juce::Font font (laf != nullptr ? laf->getFontHeightA() : 14.0f);
    for (auto* l : { &itemsCaption, &itemsValue, &groupsCaption, &groupsValue })
        l->setFont (font);

    const int rowH = (int) itemsCaption.getFont().getHeight() + juce::roundToInt (5.0f * s);
    const int cw = juce::roundToInt (groupsCaption.getFont().getStringWidthFloat (groupsCaption.getText())) + 10;

    int x1 = m, y = m;
    int height = 0;
    if (icon != nullptr)
    {
        // Scaled to 100 x s high with its proportions kept, at (m, m).
        const float side = 100.0f * s;
        const auto bounds = icon->getDrawableBounds();
        const float aspect = bounds.getHeight() > 0.0f ? bounds.getWidth() / bounds.getHeight() : 1.0f;
        iconArea = { (float) m, (float) m, side * aspect, side };
        x1 = (int) iconArea.getRight() + juce::roundToInt (40.0f * s);
        y = m + juce::roundToInt (5.0f * s);
        height = (int) std::ceil (iconArea.getBottom()) + m;
    }
    else
    {
        iconArea = {};
    }

    itemsCaption.setBounds (x1, y, cw, rowH);
    itemsValue.setBounds (x1 + cw, y, cw, rowH);
    groupsCaption.setBounds (x1, y + rowH, cw, rowH);
    groupsValue.setBounds (x1 + cw, y + rowH, cw, rowH);

    // Without an icon the rows start at (m, m); the container still reaches past the
    // second row's top edge by the margin.
    height = juce::jmax (height, groupsCaption.getY() + m);
    if (icon == nullptr)
        height = juce::jmax (height, groupsCaption.getBottom() + m);

    setPreferredHeight (h);
    setSize (w, height);
}

void GroupDetailsContainer::paintOverChildren (juce::Graphics& g)
{
    if (icon != nullptr && ! iconArea.isEmpty())
        icon->drawWithin (g, iconArea, juce::RectanglePlacement::centred, 1.0f);
}
