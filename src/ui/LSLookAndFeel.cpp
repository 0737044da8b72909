#include "ui/LSLookAndFeel.h"
#include "ui/ColourPalette.h"
#include "core/EmbeddedResources.h"
#include "core/Settings.h"

using namespace juce;

namespace
{
    // Space the alert box keeps for its icon, as the framework lays the text out.
    constexpr int alertIconSpace = 80;

    // A fixed hairline colour: black at 0.1, with the alpha byte truncated.
    const Colour hairline { 0x19000000u };

    TextLayout layoutTooltipText (const String& text, Colour colour, float height)
    {
        AttributedString s;
        s.setJustification (Justification::centred);
        s.append (text, Font (height), colour);

        TextLayout layout;
        layout.createLayoutWithBalancedLineLengths (s, 400.0f);
        return layout;
    }
}

//==============================================================================
LSLookAndFeel::LSLookAndFeel()
{
    // In this order: a later setting of the same id replaces an earlier one.
    const std::pair<int, Colour> colours[] =
    {
        { DocumentWindow::textColourId,                  paletteColour071 },
        { TooltipWindow::backgroundColourId,             paletteColour005 },
        { TooltipWindow::textColourId,                   paletteColour073 },
        { TooltipWindow::outlineColourId,                paletteColour031 },
        { PopupMenu::backgroundColourId,                 paletteColour056 },
        { PopupMenu::textColourId,                       paletteColour051 },
        { PopupMenu::headerTextColourId,                 paletteColour079 },
        { PopupMenu::highlightedBackgroundColourId,      paletteColour068 },
        { PopupMenu::highlightedTextColourId,            paletteColour070 },
        { AlertWindow::backgroundColourId,               paletteColour093 },
        { AlertWindow::textColourId,                     paletteColour012 },
        { TabbedButtonBar::tabOutlineColourId,           paletteColour040 },
        { TabbedButtonBar::tabTextColourId,              paletteColour094 },
        { TabbedButtonBar::frontOutlineColourId,         paletteColour095 },
        { TabbedButtonBar::frontTextColourId,            paletteColour011 },
        { Toolbar::separatorColourId,                    paletteColour058 },
        { Toolbar::buttonMouseOverBackgroundColourId,    paletteColour018 },
        { Toolbar::buttonMouseDownBackgroundColourId,    paletteColour066 },
        { Toolbar::labelTextColourId,                    paletteColour082 },
        { TextButton::buttonColourId,                    paletteColour048 },
        { TextButton::buttonOnColourId,                  paletteColour038 },
        { TextButton::textColourOffId,                   paletteColour041 },
        { TextButton::textColourOnId,                    paletteColour081 },
        { TextEditor::backgroundColourId,                paletteColour064 },
        { TextEditor::textColourId,                      paletteColour083 },
        { TextEditor::highlightColourId,                 paletteColour072 },
        { TextEditor::highlightedTextColourId,           paletteColour085 },
        { TextEditor::outlineColourId,                   paletteColour086 },
        { TextEditor::focusedOutlineColourId,            paletteColour059 },
        { TextEditor::shadowColourId,                    paletteColour069 },
        { Slider::backgroundColourId,                    paletteColour090 },
        { Slider::textBoxBackgroundColourId,             paletteColour064 },
        { Slider::textBoxTextColourId,                   paletteColour083 },
        { Slider::textBoxHighlightColourId,              paletteColour072 },
        { Label::textColourId,                           paletteColour071 },
        { ToggleButton::textColourId,                    paletteColour071 },
        { GroupComponent::outlineColourId,               paletteColour088 },
        { GroupComponent::textColourId,                  paletteColour089 },
        { ListBox::textColourId,                         paletteColour091 },
        { ListBox::backgroundColourId,                   paletteColour092 },
        { ComboBox::buttonColourId,                      paletteColour059 },
        { ProgressBar::backgroundColourId,               paletteColour028 },
        { ProgressBar::foregroundColourId,               paletteColour001 },
        { Slider::backgroundColourId,                    paletteColour056 },
        { Slider::thumbColourId,                         paletteColour068 },
        { tabTopColourId,                                paletteColour063 },
        { tabBottomColourId,                             paletteColour020 },
        { frontTabTopColourId,                           paletteColour043 },
        { frontTabBottomColourId,                        paletteColour043 },
    };

    for (const auto& c : colours)
        setColour (c.first, c.second);

    scale = getUiScalingFactor();
    fontHeightA = 14.0f * scale;
    fontHeightB = 16.0f * scale;
    fontHeightC = 13.0f * scale;

    // Naming a face that is not installed would leave every text invisible.
    sansSerifName = chooseSansSerifTypefaceName (Font::findAllTypefaceNames());
    if (sansSerifName.isNotEmpty())
        setDefaultSansSerifTypefaceName (sansSerifName);

    questionIcon = createEmbeddedDrawable ("alert_question_svg");
    warningIcon  = createEmbeddedDrawable ("alert_warning_svg");
    infoIcon     = createEmbeddedDrawable ("alert_info_svg");
    tick         = createEmbeddedDrawable ("tick_svg");
    resizeGrip   = createEmbeddedDrawable ("corner_resizer_svg");
}

LSLookAndFeel::~LSLookAndFeel()
{
    questionIcon.reset();
    warningIcon.reset();
    infoIcon.reset();
    tick.reset();
    resizeGrip.reset();
}

String LSLookAndFeel::chooseSansSerifTypefaceName (const StringArray& installedNames)
{
    if (installedNames.contains ("Verdana"))
        return "Verdana";
    if (installedNames.contains ("DejaVu Sans"))
        return "DejaVu Sans";
    return {};
}

std::unique_ptr<Drawable> LSLookAndFeel::createEmbeddedDrawable (const String& resourceName)
{
    int size = 0;
    if (auto* data = getEmbeddedResource (resourceName, size))
        return Drawable::createFromImageData (data, (size_t) size);
    return {};
}

Image LSLookAndFeel::getEmbeddedImage (const String& resourceName)
{
    int size = 0;
    if (auto* data = getEmbeddedResource (resourceName, size))
        return ImageCache::getFromMemory (data, size);
    return {};
}

//==============================================================================
void LSLookAndFeel::setFontHeights (float a, float b, float c)
{
    fontHeightA = a;
    fontHeightB = b;
    fontHeightC = c;
}

double LSLookAndFeel::getRowHeight() const       { return getFontHeightA() * 2.22; }
double LSLookAndFeel::getLargeRowHeight() const  { return getFontHeightA() * 4.5; }
double LSLookAndFeel::getButtonHeight() const    { return getFontHeightA() * 2.1; }

void LSLookAndFeel::applyTitleBarHeight (DocumentWindow& window)
{
    if (getScale() == 1.0f)
        return;

    // Single precision on purpose: at scale 1.5 this gives 39, double would give 38.
    window.setTitleBarHeight ((int) (getFontHeightA() * 1.8571428f));
    window.resized();
    window.repaint (window.getTitleBarArea());
}

int LSLookAndFeel::getScaledMargin() const
{
    return roundToInt (getScale() * 10.0f);
}

//==============================================================================
Font LSLookAndFeel::getTextButtonFont (TextButton&, int buttonHeight)
{
    return Font (jmin (getFontHeightA(), (float) buttonHeight * 0.6f));
}

int LSLookAndFeel::getTextButtonWidthToFitText (TextButton& b, int buttonHeight)
{
    return roundToInt (getTextButtonFont (b, buttonHeight).getStringWidthFloat (b.getButtonText()))
           + 2 * buttonHeight;
}

int LSLookAndFeel::getAlertWindowButtonHeight()  { return (int) (2.0f * getFontHeightA()); }
Font LSLookAndFeel::getAlertWindowMessageFont()  { return Font (getFontHeightB()); }
Font LSLookAndFeel::getAlertWindowFont()         { return Font (getFontHeightA()); }
Font LSLookAndFeel::getPopupMenuFont()           { return Font (getFontHeightA()); }

Font LSLookAndFeel::getComboBoxFont (ComboBox& box)
{
    return Font (jmin (getFontHeightA(), (float) box.getHeight() * 0.85f));
}

int LSLookAndFeel::getTabButtonOverlap (int)
{
    return 0;
}

int LSLookAndFeel::getTabButtonBestWidth (TabBarButton& button, int tabDepth)
{
    const auto textWidth = roundToInt (Font (getFontHeightB()).getStringWidthFloat (button.getButtonText().trim()));
    int width = 2 * (textWidth + 2 * getTabButtonOverlap (tabDepth));

    if (auto* extra = button.getExtraComponent())
        width += button.getTabbedButtonBar().isVertical() ? extra->getHeight() : extra->getWidth();

    return jlimit (tabDepth * 2, tabDepth * 8, width);
}

Label* LSLookAndFeel::createSliderTextBox (Slider& slider)
{
    auto* label = LookAndFeel_V2::createSliderTextBox (slider);
    label->setFont (Font (getFontHeightA()));
    return label;
}

int LSLookAndFeel::getSliderThumbRadius (Slider& slider)
{
    return jmin (slider.getWidth() / 2, slider.getHeight() / 2);
}

void LSLookAndFeel::getTooltipSize (const String& text, int& width, int& height)
{
    const auto layout = layoutTooltipText (text, Colours::black, getFontHeightC());
    width = (int) (layout.getWidth() + 14.0f);
    height = (int) (layout.getHeight() + 6.0f);
}

Rectangle<int> LSLookAndFeel::getTooltipBounds (const String& tipText, Point<int> screenPos, Rectangle<int> parentArea)
{
    int w = 0, h = 0;
    getTooltipSize (tipText, w, h);

    return Rectangle<int> (screenPos.x > parentArea.getCentreX() ? screenPos.x - (w + 12) : screenPos.x + 24,
                           screenPos.y > parentArea.getCentreY() ? screenPos.y - (h + 6)  : screenPos.y + 6,
                           w, h)
             .constrainedWithin (parentArea);
}

//==============================================================================
void LSLookAndFeel::drawButtonShape (Graphics& g, const Path& outline, Colour base, float height)
{
    g.setGradientFill (ColourGradient::vertical (base.brighter (0.15f), 0.0f, base.darker (0.15f), height));
    g.fillPath (outline);

    g.setColour (base.darker (0.4f).withAlpha (0.4f * base.getFloatAlpha()));
    g.strokePath (outline, PathStrokeType (1.0f));
}

void LSLookAndFeel::drawButtonBackground (Graphics& g, Button& button, const Colour& backgroundColour,
                                          bool isMouseOver, bool isButtonDown)
{
    auto base = backgroundColour.withMultipliedSaturation (button.hasKeyboardFocus (true) ? 1.3f : 1.0f)
                                .withMultipliedAlpha (button.isEnabled() ? 1.0f : 0.5f);

    if (isButtonDown)
        base = base.contrasting (0.2f);
    else if (isMouseOver)
        base = base.contrasting (0.1f);

    const float width  = (float) button.getWidth()  - 1.0f;
    const float height = (float) button.getHeight() - 1.0f;

    if (width <= 0.0f || height <= 0.0f)
        return;

    const bool left = button.isConnectedOnLeft(), right = button.isConnectedOnRight();
    const bool top = button.isConnectedOnTop(), bottom = button.isConnectedOnBottom();

    Path outline;
    outline.addRoundedRectangle (0.5f, 0.5f, width, height, 1.0f, 1.0f,
                                 ! (left || top), ! (right || top), ! (left || bottom), ! (right || bottom));
    drawButtonShape (g, outline, base, height);
}

void LSLookAndFeel::drawTickBox (Graphics& g, Component& component, float x, float y, float w, float h,
                                 bool ticked, bool isEnabled, bool, bool)
{
    const float alpha = isEnabled ? 1.0f : 0.5f;
    const Rectangle<float> box (x, y, w, h);

    g.setColour (component.findColour (TextEditor::backgroundColourId).withAlpha (alpha));
    g.fillRect (box);
    g.setColour (component.findColour (TextButton::buttonColourId).withAlpha (alpha));
    g.drawRect (box, 1.0f);

    if (ticked && tick != nullptr)
        tick->drawWithin (g, Rectangle<float> (x + 2.0f, y - 2.0f, w, h), RectanglePlacement::centred, alpha);
}

void LSLookAndFeel::drawRadioButton (Graphics& g, float x, float y, float w, float h,
                                     bool isOn, bool isEnabled, bool isMouseOver, bool isButtonDown)
{
    const float d = w * 0.7f;
    const float cy = (float) (int) (y + (h - d) * 0.5f);
    const auto ink = Colours::black.withAlpha (0.5f);

    g.setColour (paletteColour090.brighter (0.4f));
    g.fillEllipse (x, cy, d, d);

    const float thickness = ! isEnabled ? 0.7f : ((isMouseOver || isButtonDown) ? 1.2f : 0.9f);
    g.setColour (ink);
    g.drawEllipse (x, cy, d, d, thickness);

    if (isOn)
    {
        const float dot = d * 0.6f;
        g.fillEllipse (x + (d - dot) * 0.5f, cy + (d - dot) * 0.5f, dot, dot);
    }
}

void LSLookAndFeel::drawToggleButton (Graphics& g, ToggleButton& button, bool isMouseOver, bool isButtonDown)
{
    const int width = button.getWidth();
    const int height = button.getHeight();

    if (button.hasKeyboardFocus (true))
    {
        g.setColour (button.findColour (TextEditor::focusedOutlineColourId));
        g.drawRect (0, 0, width, height);
    }

    const float fontSize = jmax (1.0f, (float) height * 0.75f);
    int textX = 0;

    if (button.getRadioGroupId() != 0)
    {
        const float d = fontSize * 1.1f;
        drawRadioButton (g, 4.0f, ((float) height - d) * 0.5f, d, d,
                         button.getToggleState(), button.isEnabled(), isMouseOver, isButtonDown);
        textX = (int) d + 5;
    }
    else
    {
        const int side = roundToInt (fontSize / 1.3f);
        drawTickBox (g, button, 4.0f, ((float) height - (float) side) * 0.5f, (float) side, (float) side,
                     button.getToggleState(), button.isEnabled(), isMouseOver, isButtonDown);
        textX = roundToInt (getScale() * 10.0f + (float) height * 0.5769231f);
    }

    g.setColour (button.findColour (ToggleButton::textColourId));
    g.setFont (fontSize);

    if (! button.isEnabled())
        g.setOpacity (0.5f);

    g.drawFittedText (button.getButtonText(), textX, 0, width - textX - 2, height,
                      Justification::centredLeft, 10);
}

void LSLookAndFeel::drawAlertBox (Graphics& g, AlertWindow& alert, const Rectangle<int>& textArea, TextLayout& layout)
{
    g.fillAll (alert.findColour (AlertWindow::backgroundColourId));

    int iconSize = jmin (alert.getHeight() + 20, 100);
    if (alert.containsAnyExtraComponents() || alert.getNumButtons() > 2)
        iconSize = jmin (iconSize, textArea.getHeight() + 50);

    int iconSpaceUsed = 0;
    const Drawable* icon = nullptr;

    switch (alert.getAlertType())
    {
        case MessageBoxIconType::QuestionIcon: icon = questionIcon.get(); break;
        case MessageBoxIconType::InfoIcon:     icon = infoIcon.get(); break;
        case MessageBoxIconType::WarningIcon:  icon = warningIcon.get(); break;
        case MessageBoxIconType::NoIcon:       break;
    }

    if (alert.getAlertType() != MessageBoxIconType::NoIcon)
    {
        const float diameter = (float) iconSize * 0.9f;
        const Rectangle<float> circle ((float) (iconSize / -10), (float) (iconSize / -10), diameter, diameter);

        g.setColour (paletteColour008.withAlpha (0.8f));
        g.fillEllipse (circle);

        if (icon != nullptr)
            icon->drawWithin (g, circle.reduced (diameter * 0.15f), RectanglePlacement::centred, 0.7f);

        iconSpaceUsed = alertIconSpace;
    }

    g.setColour (alert.findColour (AlertWindow::textColourId));
    layout.draw (g, Rectangle<int> (textArea.getX() + iconSpaceUsed, textArea.getY(),
                                    textArea.getWidth() - iconSpaceUsed, textArea.getHeight()).toFloat());

    g.setColour (alert.findColour (AlertWindow::outlineColourId));
    g.drawRect (0, 0, alert.getWidth(), alert.getHeight());
}

void LSLookAndFeel::drawPopupMenuSectionHeader (Graphics& g, const Rectangle<int>& area, const String& sectionName)
{
    g.setFont (Font (getFontHeightA(), Font::bold));
    g.setColour (paletteColour113);
    g.drawFittedText (sectionName, area.getX() + 12, area.getY(), area.getWidth() - 16,
                      (int) ((float) area.getHeight() * 0.8f), Justification::bottomLeft, 1);
}

void LSLookAndFeel::drawScrollbar (Graphics& g, ScrollBar& scrollbar, int x, int y, int width, int height,
                                   bool isScrollbarVertical, int thumbStartPosition, int thumbSize,
                                   bool isMouseOver, bool isMouseDown)
{
    g.fillAll (paletteColour111);

    if (thumbSize <= 0)
        return;

    const float indent = (float) (isScrollbarVertical ? width : height) * 0.25f;
    const float indent2 = indent * 2.0f;

    Path thumb;
    if (isScrollbarVertical)
        thumb.addRoundedRectangle ((float) x + indent, (float) thumbStartPosition + indent,
                                   (float) width - indent2, (float) thumbSize - indent2,
                                   ((float) width - indent2) * 0.5f);
    else
        thumb.addRoundedRectangle ((float) thumbStartPosition + indent, (float) y + indent,
                                   (float) thumbSize - indent2, (float) height - indent2,
                                   ((float) height - indent2) * 0.5f);

    const bool active = isMouseOver || isMouseDown;
    auto colour = scrollbar.findColour (ScrollBar::thumbColourId, true);
    if (active)
        colour = colour.withMultipliedAlpha (2.0f);

    g.setColour (colour);
    g.fillPath (thumb);
    g.setColour (colour.contrasting (active ? 0.2f : 0.1f));
    g.strokePath (thumb, PathStrokeType (1.0f));
}

void LSLookAndFeel::drawLinearSliderBackground (Graphics& g, int x, int y, int width, int height,
                                                float, float, float, Slider::SliderStyle, Slider& slider)
{
    const float t = (float) (getSliderThumbRadius (slider) - 2);
    const auto track = slider.findColour (Slider::trackColourId);
    const auto from = track.overlaidWith (Colour (slider.isEnabled() ? 0x13000000u : 0x09000000u));
    const auto to = track.overlaidWith (Colour (0x06000000u));

    Path indent;
    if (slider.isHorizontal())
    {
        const float iy = (float) y + (float) height * 0.5f - t * 0.5f;
        g.setGradientFill (ColourGradient::vertical (from, iy, to, iy + t));
        indent.addRoundedRectangle ((float) x - t * 0.5f, iy, (float) width + t, t, 5.0f);
    }
    else
    {
        const float ix = (float) x + (float) width * 0.5f - t * 0.5f;
        g.setGradientFill (ColourGradient::horizontal (from, ix, to, ix + t));
        indent.addRoundedRectangle (ix, (float) y - t * 0.5f, t, (float) height + t, 5.0f);
    }

    g.fillPath (indent);
    g.setColour (track.contrasting (0.5f));
    g.strokePath (indent, PathStrokeType (0.5f));
}

void LSLookAndFeel::drawLinearSliderThumb (Graphics& g, int x, int y, int width, int height,
                                           float sliderPos, float minSliderPos, float maxSliderPos,
                                           Slider::SliderStyle style, Slider& slider)
{
    if (style != Slider::LinearHorizontal && style != Slider::LinearVertical)
    {
        LookAndFeel_V2::drawLinearSliderThumb (g, x, y, width, height, sliderPos, minSliderPos, maxSliderPos,
                                               style, slider);
        return;
    }

    const float r = (float) (getSliderThumbRadius (slider) - 2);
    const auto colour = slider.findColour (Slider::thumbColourId)
                              .withMultipliedSaturation (slider.hasKeyboardFocus (false) ? 1.3f : 1.0f)
                              .withMultipliedAlpha (slider.isEnabled() ? 1.0f : 0.5f);

    const float cx = style == Slider::LinearVertical ? (float) x + (float) width * 0.5f : sliderPos;
    const float cy = style == Slider::LinearVertical ? sliderPos : (float) y + (float) height * 0.5f;

    Path knob;
    knob.addEllipse (cx - r, cy - r, r * 2.0f, r * 2.0f);
    drawButtonShape (g, knob, colour, (float) (y + height));
}

void LSLookAndFeel::drawCornerResizer (Graphics& g, int w, int h, bool, bool)
{
    if (resizeGrip != nullptr)
        resizeGrip->drawWithin (g, Rectangle<float> (0.0f, 0.0f, (float) (w - 3), (float) (h - 3)),
                                RectanglePlacement::centred, 1.0f);
}

//==============================================================================
void LSLookAndFeel::drawTitleBar (DocumentWindow& window, Graphics& g, int w, int h, int titleSpaceX, int titleSpaceW,
                                  const Image* icon, bool drawTitleTextOnLeft, Colour bottomColour,
                                  const Font& font, const Drawable* wordmark)
{
    if (w * h == 0)
        return;

    const bool isActive = window.isActiveWindow();

    g.setGradientFill (ColourGradient::vertical (paletteColour060, 0.0f, bottomColour, (float) h));
    g.fillAll();
    g.setColour (paletteColour040);
    g.fillRect (0, h - 1, w, 1);

    g.setFont (font);
    const int contentW = wordmark != nullptr ? roundToInt (wordmark->getDrawableBounds().getWidth())
                                             : roundToInt (font.getStringWidthFloat (window.getName()));
    int iconW = 0, iconH = 0;

    if (icon != nullptr && icon->getHeight() > 0)
    {
        iconH = (int) font.getHeight();
        iconW = icon->getWidth() * iconH / icon->getHeight() + 4;
    }

    const int total = jmin (titleSpaceW, contentW + iconW);
    int x = drawTitleTextOnLeft ? titleSpaceX : jmax (titleSpaceX, (w - total) / 2);

    if (x + total > titleSpaceX + titleSpaceW)
        x = titleSpaceX + titleSpaceW - total;

    if (icon != nullptr && iconW > 0)
    {
        g.setOpacity (isActive ? 1.0f : 0.6f);
        g.drawImageWithin (*icon, x, (h - iconH) / 2, iconW, iconH, RectanglePlacement::centred, false);
        x += iconW;
    }

    const int remaining = titleSpaceX + titleSpaceW - (x + 3);

    if (wordmark != nullptr)
    {
        const auto bounds = wordmark->getDrawableBounds();
        wordmark->drawWithin (g, Rectangle<float> ((float) (x + 3), ((float) h - bounds.getHeight()) * 0.5f,
                                                   (float) jmin (remaining, contentW), bounds.getHeight()),
                              RectanglePlacement::xLeft | RectanglePlacement::yMid | RectanglePlacement::onlyReduceInSize,
                              isActive ? 1.0f : 0.6f);
        return;
    }

    if (window.isColourSpecified (DocumentWindow::textColourId) || isColourSpecified (DocumentWindow::textColourId))
        g.setColour (window.findColour (DocumentWindow::textColourId));
    else
        g.setColour (window.getBackgroundColour().contrasting (isActive ? 0.7f : 0.4f));

    g.drawText (window.getName(), x + 3, 0, remaining, h, Justification::centredLeft, true);
}

void LSLookAndFeel::drawDocumentWindowTitleBar (DocumentWindow& window, Graphics& g, int w, int h,
                                                int titleSpaceX, int titleSpaceW,
                                                const Image* icon, bool drawTitleTextOnLeft)
{
    const auto bottom = paletteColour036.withAlpha (window.isActiveWindow() ? 1.0f : 0.05f);
    drawTitleBar (window, g, w, h, titleSpaceX, titleSpaceW, icon, drawTitleTextOnLeft, bottom,
                  Font ((float) h * 0.65f, Font::bold), nullptr);
}

Button* LSLookAndFeel::createDocumentWindowButton (int buttonType)
{
    const char* name = nullptr;
    const char* resource = nullptr;

    switch (buttonType)
    {
        case DocumentWindow::minimiseButton: name = "minimize"; resource = "window_minimize_png"; break;
        case DocumentWindow::maximiseButton: name = "maximize"; resource = "window_maximize_png"; break;
        case DocumentWindow::closeButton:    name = "close";    resource = "window_close_png"; break;
        default: break;
    }

    const auto image = resource != nullptr ? getEmbeddedImage (resource) : Image();
    if (! image.isValid())
        return LookAndFeel_V3::createDocumentWindowButton (buttonType);

    auto* button = new ImageButton (name);
    button->setImages (false, true, true,
                       image, 1.0f, Colours::transparentBlack,
                       image, 1.0f, Colours::white.withAlpha ((uint8) 0x80),
                       image, 1.0f, Colours::white.withAlpha ((uint8) 0xa0));
    return button;
}

void LSLookAndFeel::drawTooltip (Graphics& g, const String& text, int width, int height)
{
    g.fillAll (findColour (TooltipWindow::backgroundColourId));
    g.setColour (findColour (TooltipWindow::outlineColourId));
    g.drawRect (0, 0, width, height, 1);

    layoutTooltipText (text, findColour (TooltipWindow::textColourId), getFontHeightC())
        .draw (g, Rectangle<float> ((float) width, (float) height));
}

//==============================================================================
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

//==============================================================================
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

//==============================================================================
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

//==============================================================================
void LSLookAndFeel::drawProgressBar (Graphics& g, ProgressBar& bar, int width, int height,
                                     double progress, const String& textToShow)
{
    const auto background = bar.findColour (ProgressBar::backgroundColourId);
    const auto foreground = bar.findColour (ProgressBar::foregroundColourId);

    g.fillAll (background);

    if (progress >= 0.0 && progress < 1.0)
    {
        g.setColour (foreground);
        g.fillRect (1.0f, 1.0f, (float) ((width - 2) * progress), (float) (height - 2));
    }
    else if (width > 0 && height > 0)
    {
        // Unknown progress: diagonal stripes that move with time.
        const int period = height * 2;
        const int offset = period > 0 ? (int) (Time::getMillisecondCounter() / 15) % period : 0;

        Path stripes;
        for (float x = (float) -offset; x < (float) (width + period); x += (float) period)
            stripes.addQuadrilateral (x, 0.0f, x + (float) period * 0.5f, 0.0f,
                                      x, (float) height, x - (float) period * 0.5f, (float) height);

        Image tile (Image::ARGB, width, height, false);
        tile.clear (tile.getBounds(), foreground);
        g.setTiledImageFill (tile, 0, 0, 1.0f);
        g.fillPath (stripes);
    }

    if (textToShow.isNotEmpty())
    {
        const bool house = background == paletteColour055 && foreground == paletteColour049;
        g.setColour (house ? Colours::black : Colour::contrasting (background, foreground));
        g.setFont ((float) height * 0.6f);
        g.drawText (textToShow, 0, 0, width, height, Justification::centred, false);
    }
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

//==============================================================================
void LSLookAndFeel::renderToDrawableImage (DrawableImage& target, const Drawable* drawable, Colour overlay)
{
    if (drawable == nullptr)
        return;

    const auto bounds = drawable->getDrawableBounds();
    Image image (Image::ARGB, jmax (1, roundToInt (bounds.getWidth())), jmax (1, roundToInt (bounds.getHeight())), true);
    {
        Graphics g (image);
        drawable->drawWithin (g, image.getBounds().toFloat(), RectanglePlacement::centred, 1.0f);
    }
    target.setImage (image);
    target.setOverlayColour (overlay);
}
