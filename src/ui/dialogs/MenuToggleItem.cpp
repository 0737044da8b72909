#include "ui/dialogs/MenuToggleItem.h"
#include "ui/ColourPalette.h"
#include "ui/LSLookAndFeel.h"

MenuToggleItem::MenuToggleItem (const juce::String& t, std::function<bool()> isOnFn, std::function<void()> clickFn,
                                std::unique_ptr<juce::Drawable> i)
    : juce::PopupMenu::CustomComponent (false),
      text (t), readState (std::move (isOnFn)), onClick (std::move (clickFn)), icon (std::move (i))
{
    setName (text);
}

juce::Font MenuToggleItem::getItemFont() const
{
    if (auto* laf = dynamic_cast<LSLookAndFeel*> (&getLookAndFeel()))
        return laf->getPopupMenuFont();
    return juce::Font (15.0f);
}

void MenuToggleItem::getIdealSize (int& idealWidth, int& idealHeight)
{
    const auto font = getItemFont();
    idealHeight = juce::roundToInt (font.getHeight() * 1.6f);
    const int iconWidth = icon != nullptr ? idealHeight : 0;
    idealWidth = idealHeight + iconWidth + font.getStringWidth (text) + idealHeight / 2 + 8;
}

void MenuToggleItem::paint (juce::Graphics& g)
{
    auto area = getLocalBounds();
    const int h = area.getHeight();

    if (isItemHighlighted())
    {
        g.setColour (paletteColour009.withAlpha (0.5f));
        g.fillRect (area);
    }

    auto box = area.removeFromLeft (h).toFloat().reduced ((float) h * 0.22f);
    getLookAndFeel().drawTickBox (g, *this, box.getX(), box.getY(), box.getWidth(), box.getHeight(),
                                  isOn(), isEnabled(), isItemHighlighted(), false);

    if (icon != nullptr)
    {
        auto iconArea = area.removeFromLeft (h).toFloat().reduced ((float) h * 0.15f);
        icon->drawWithin (g, iconArea, juce::RectanglePlacement::centred, 1.0f);
    }

    area.removeFromLeft (4);
    g.setColour (findColour (juce::PopupMenu::textColourId));
    g.setFont (getItemFont());
    g.drawFittedText (text, area, juce::Justification::centredLeft, 1);
}

void MenuToggleItem::click()
{
    if (onClick != nullptr)
        onClick();
    repaint();
}

void MenuToggleItem::mouseUp (const juce::MouseEvent& e)
{
    if (isEnabled() && getLocalBounds().contains (e.getPosition()))
        click();
}
