#include "ui/LSLookAndFeel.h"
#include "ui/ColourPalette.h"

using namespace juce;

// Drawing of what divides a page: tabs, group outlines, table headers, toolbars, panel
// headers and layout resizer bars.

namespace
{
    // A fixed hairline colour: black at 0.1, with the alpha byte truncated.
    const Colour hairline { 0x19000000u };
}

void LSLookAndFeel::drawTabButton (TabBarButton& button, Graphics& g, bool isMouseOver, bool isMouseDown)
{
    const auto area = button.getActiveArea();
    const bool selected = button.getToggleState();

    auto pick = [this] (int id, Colour fallback) { return isColourSpecified (id) ? findColour (id) : fallback; };

    auto top = selected ? pick (frontTabTopColourId, paletteColour043) : pick (tabTopColourId, paletteColour063);
    auto bottom = selected ? pick (frontTabBottomColourId, paletteColour043) : pick (tabBottomColourId, paletteColour020);

    const float darken = isMouseOver ? 0.05f : 0.0f;
    g.setGradientFill (ColourGradient::vertical (top.darker (darken), (float) area.getY(),
                                                 bottom.darker (darken), (float) area.getBottom()));
    g.fillRect (area);

    g.setColour (button.findColour (TabbedButtonBar::tabOutlineColourId));
    g.fillRect (area.getX(), area.getY(), area.getWidth(), 1);
    if (button.getIndex() == 0)
        g.fillRect (area.getX(), area.getY(), 1, area.getHeight());
    g.fillRect (area.getRight() - 1, area.getY(), 1, area.getHeight());

    drawTabButtonText (button, g, isMouseOver, isMouseDown);
}

void LSLookAndFeel::drawTabButtonText (TabBarButton& button, Graphics& g, bool, bool)
{
    const auto area = button.getTextArea().toFloat();
    auto length = area.getWidth();
    auto depth = area.getHeight();
    auto& bar = button.getTabbedButtonBar();

    if (bar.isVertical())
        std::swap (length, depth);

    Font font (getFontHeightB());
    font.setUnderline (button.hasKeyboardFocus (false));

    const auto id = button.isFrontTab() ? TabbedButtonBar::frontTextColourId : TabbedButtonBar::tabTextColourId;
    Colour colour;
    if (bar.isColourSpecified (id))
        colour = bar.findColour (id);
    else if (isColourSpecified (id))
        colour = findColour (id);
    else
        colour = button.getTabBackgroundColour().contrasting();

    if (! button.isEnabled())
        colour = colour.withMultipliedAlpha (0.4f);

    AffineTransform t;
    switch (bar.getOrientation())
    {
        case TabbedButtonBar::TabsAtLeft:   t = t.rotated (MathConstants<float>::pi * -0.5f).translated (area.getX(), area.getBottom()); break;
        case TabbedButtonBar::TabsAtRight:  t = t.rotated (MathConstants<float>::pi *  0.5f).translated (area.getRight(), area.getY()); break;
        case TabbedButtonBar::TabsAtTop:
        case TabbedButtonBar::TabsAtBottom: t = t.translated (area.getX(), area.getY()); break;
        default: break;
    }

    Graphics::ScopedSaveState state (g);
    g.setColour (colour);
    g.setFont (font);
    g.addTransform (t);
    g.drawFittedText (button.getButtonText().trim(), 0, 0, (int) length, (int) depth,
                      Justification::centred, 1, 1.0f);
}

void LSLookAndFeel::drawTabbedButtonBarBackground (TabbedButtonBar& bar, Graphics& g)
{
    g.setGradientFill (ColourGradient::vertical (paletteColour027, 0.0f, paletteColour036, (float) bar.getHeight()));
    g.fillAll();
}

void LSLookAndFeel::drawTabAreaBehindFrontButton (TabbedButtonBar& bar, Graphics& g, int w, int h)
{
    g.setColour (bar.findColour (TabbedButtonBar::tabOutlineColourId));
    g.fillRect (0, h - 1, w, 1);
}

void LSLookAndFeel::drawGroupComponentOutline (Graphics& g, int width, int height, const String& text,
                                               const Justification& position, GroupComponent& group)
{
    const float textH = getFontHeightA();
    const float gap = 4.0f;
    const Font f (textH);

    const float x = 3.0f;
    const float y = f.getAscent() - 3.0f;
    const float w = jmax (0.0f, (float) width - 6.0f);
    const float h = jmax (0.0f, (float) height - y - 3.0f);
    const float cs = jmin (2.0f, w * 0.5f, h * 0.5f);
    const float cs2 = cs * 2.0f;

    const float textW = text.isEmpty() ? 0.0f
                                       : jlimit (0.0f, jmax (0.0f, w - cs2 - gap * 2.0f),
                                                 f.getStringWidthFloat (text) + gap * 2.0f);
    float textX = cs + gap;
    if (position.testFlags (Justification::horizontallyCentred))
        textX = cs + (w - cs2 - textW) * 0.5f;
    else if (position.testFlags (Justification::right))
        textX = w - cs - textW - gap;

    Path p;
    p.startNewSubPath (x + textX + textW, y);
    p.lineTo (x + w - cs, y);
    p.addArc (x + w - cs2, y, cs2, cs2, 0.0f, MathConstants<float>::halfPi);
    p.lineTo (x + w, y + h - cs);
    p.addArc (x + w - cs2, y + h - cs2, cs2, cs2, MathConstants<float>::halfPi, MathConstants<float>::pi);
    p.lineTo (x + cs, y + h);
    p.addArc (x, y + h - cs2, cs2, cs2, MathConstants<float>::pi, MathConstants<float>::pi * 1.5f);
    p.lineTo (x, y + cs);
    p.addArc (x, y, cs2, cs2, MathConstants<float>::pi * 1.5f, MathConstants<float>::twoPi);
    p.lineTo (x + textX, y);

    const float alpha = group.isEnabled() ? 1.0f : 0.5f;
    g.setColour (group.findColour (GroupComponent::outlineColourId).withMultipliedAlpha (alpha));
    g.strokePath (p, PathStrokeType (1.1f));

    g.setColour (group.findColour (GroupComponent::textColourId).withMultipliedAlpha (alpha));
    g.setFont (f);
    g.drawText (text, roundToInt (x + textX), 0, roundToInt (textW), roundToInt (textH), Justification::centred, true);
}

void LSLookAndFeel::drawTableHeaderBackground (Graphics& g, TableHeaderComponent& header)
{
    g.fillAll (Colours::white);
    g.setColour (paletteColour010);
    g.fillRect (0, header.getHeight() - 1, header.getWidth(), 1);

    const int columns = header.getNumColumns (true);
    for (int i = 0; i < columns - 1; ++i)
        g.fillRect (header.getColumnPosition (i).removeFromRight (1));
}

void LSLookAndFeel::drawTableHeaderColumn (Graphics& g, TableHeaderComponent&, const String& columnName, int,
                                           int width, int height, bool isMouseOver, bool isMouseDown, int columnFlags)
{
    if (isMouseOver || isMouseDown)
        g.fillAll (paletteColour009);

    Rectangle<int> area (width, height);
    area.reduce (4, 0);

    const int sortFlags = TableHeaderComponent::sortedForwards | TableHeaderComponent::sortedBackwards;
    if ((columnFlags & sortFlags) != 0)
    {
        Path arrow;
        arrow.addTriangle (0.0f, 0.0f,
                           0.5f, (columnFlags & TableHeaderComponent::sortedForwards) != 0 ? -0.8f : 0.8f,
                           1.0f, 0.0f);
        g.setColour (paletteColour039);
        g.fillPath (arrow, arrow.getTransformToScaleToFit (area.removeFromRight (height / 2).reduced (2).toFloat(), true));
    }

    g.setColour (paletteColour113);
    g.setFont (Font ((float) height * 0.5f, Font::bold));
    g.drawFittedText (columnName, area, Justification::centredLeft, 1);
}

void LSLookAndFeel::paintToolbarBackground (Graphics& g, int w, int h, Toolbar& toolbar)
{
    if (toolbar.isColourSpecified (Toolbar::backgroundColourId))
    {
        LookAndFeel_V3::paintToolbarBackground (g, w, h, toolbar);
        return;
    }

    g.setGradientFill (ColourGradient (paletteColour043, 0.0f, 0.0f, paletteColour019,
                                       toolbar.isVertical() ? (float) w - 1.0f : 0.0f,
                                       toolbar.isVertical() ? 0.0f : (float) h - 1.0f, false));
    g.fillAll();
}

void LSLookAndFeel::paintToolbarButtonBackground (Graphics& g, int width, int height, bool isMouseOver,
                                                  bool isMouseDown, ToolbarItemComponent& item)
{
    Graphics::ScopedSaveState state (g);
    g.reduceClipRegion (Rectangle<int> (width, height).reduced (4));

    if (isMouseDown)
        g.fillAll (item.findColour (Toolbar::buttonMouseDownBackgroundColourId, true));
    else if (isMouseOver)
        g.fillAll (item.findColour (Toolbar::buttonMouseOverBackgroundColourId, true));
}

void LSLookAndFeel::paintToolbarButtonLabel (Graphics& g, int x, int y, int width, int height,
                                             const String& text, ToolbarItemComponent& item)
{
    g.setColour (item.findColour (Toolbar::labelTextColourId, true).withAlpha (item.isEnabled() ? 1.0f : 0.25f));
    g.setFont (getFontHeightC() * 0.9f);
    g.drawFittedText (text, x, y, width, height, Justification::centred, 2, 0.8f);
}

void LSLookAndFeel::drawConcertinaPanelHeader (Graphics& g, const Rectangle<int>& area, bool isMouseOver, bool,
                                               ConcertinaPanel& concertina, Component& panel)
{
    const bool first = concertina.getNumPanels() > 0 && concertina.getPanel (0) == &panel;
    drawPanelHeader (g, area, panel.getName(), isMouseOver, first);
}

void LSLookAndFeel::drawPanelHeader (Graphics& g, const Rectangle<int>& area, const String& title,
                                     bool isMouseOver, bool isFirstPanel)
{
    g.setGradientFill (ColourGradient::vertical (paletteColour007.withAlpha (isMouseOver ? 0.2f : 1.0f),
                                                 (float) area.getY(), paletteColour003, (float) area.getBottom()));
    g.fillRect (area);

    g.setColour (hairline);
    if (! isFirstPanel)
        g.fillRect (area.withHeight (1));
    g.fillRect (area.withTop (area.getBottom() - 1));

    if (area.getWidth() <= 6)
        return;

    g.setColour (Colours::black);
    g.setFont (Font ((float) area.getHeight() * 0.6f, Font::bold));
    g.drawFittedText (title, area.getX() + 4, area.getY(), area.getWidth() - 6, area.getHeight(),
                      Justification::centredLeft, 1);
}

void LSLookAndFeel::drawStretchableLayoutResizerBar (Graphics& g, int w, int h, bool,
                                                     bool isMouseOver, bool isMouseDragging)
{
    const bool active = isMouseOver || isMouseDragging;
    g.fillAll (active ? paletteColour057.brighter (0.4f) : paletteColour057);

    const float alpha = active ? 1.0f : 0.5f;
    const float cx = (float) w * 0.5f, cy = (float) h * 0.5f;
    const float r = (float) jmin (w, h) * 0.4f;

    g.setGradientFill (ColourGradient (Colours::black.withAlpha (alpha), cx, cy - r * 4.0f,
                                       Colours::white.withAlpha (alpha), cx + r * 0.1f, cy + r, true));
    g.fillEllipse (cx - r, cy - r, r * 2.0f, r * 2.0f);
}
