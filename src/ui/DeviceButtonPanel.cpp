#include "ui/DeviceButtonPanel.h"

using namespace juce;

DeviceButtonPanel::DeviceButtonPanel (const String& name)
    : Component (name)
{
    viewport.setViewedComponent (&container, false);
    viewport.setScrollBarsShown (true, false);
    addAndMakeVisible (viewport);
}

DeviceButtonPanel::~DeviceButtonPanel()
{
    viewport.setViewedComponent (nullptr, false);
    deleteAllButtons();
}

void DeviceButtonPanel::addButton (MidiDeviceStatusButton* button)
{
    if (button == nullptr)
        return;

    if (button->isMakerDevice())
        container.buttons.insert (0, button);
    else
        container.buttons.add (button);

    container.addAndMakeVisible (button);
}

void DeviceButtonPanel::deleteAllButtons()
{
    for (int i = container.buttons.size(); --i >= 0;)
    {
        container.removeChildComponent (container.buttons[i]);
        container.buttons.remove (i);
    }

    layoutForViewport();
}

void DeviceButtonPanel::showOnlyMakerDevices (bool onlyMakerDevices)
{
    for (auto* button : container.buttons)
        button->setVisible (! onlyMakerDevices || button->isMakerDevice());

    layoutForViewport();
}

void DeviceButtonPanel::refreshButtons()
{
    for (auto* button : container.buttons)
        button->refresh();
}

void DeviceButtonPanel::sortButtons()
{
    struct MakerFirst
    {
        static int compareElements (MidiDeviceStatusButton* a, MidiDeviceStatusButton* b)
        {
            return (int) b->isMakerDevice() - (int) a->isMakerDevice();
        }
    };

    MakerFirst comparator;
    container.buttons.sort (comparator, true);
    layoutForViewport();
}

void DeviceButtonPanel::layoutButtons (int width)
{
    int x = horizontalGap, y = verticalGap;
    MidiDeviceStatusButton* last = nullptr;

    for (auto* button : container.buttons)
    {
        if (! button->isVisible())
            continue;

        // A tile wider than the panel starts no empty row of its own.
        if (x + button->getWidth() > width && last != nullptr)
        {
            x = horizontalGap;
            y += button->getHeight() + verticalGap;
        }

        button->setTopLeftPosition (x, y);
        x = button->getRight() + horizontalGap;
        last = button;
    }

    container.setSize (jmax (0, width), last != nullptr ? y + last->getHeight() + verticalGap : 0);
}

void DeviceButtonPanel::layoutForViewport()
{
    const int width = viewport.getMaximumVisibleWidth();
    layoutButtons (width);

    // Laying out may show or hide the scroll bar, which changes the width to fill.
    if (viewport.getMaximumVisibleWidth() != width)
        layoutButtons (viewport.getMaximumVisibleWidth());
}

void DeviceButtonPanel::resized()
{
    viewport.setBounds (getLocalBounds());
    layoutForViewport();
}
