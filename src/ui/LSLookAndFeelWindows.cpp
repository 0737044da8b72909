#include "ui/LSLookAndFeel.h"
#include "ui/ColourPalette.h"
#include "core/DialogService.h"

using namespace juce;

// Drawing of windows and what pops up over them: title bars and their buttons, alert boxes,
// menu section headers, tooltips and the corner resizer.

namespace
{
    // Space the alert box keeps for its icon, as the framework lays the text out.
    constexpr int alertIconSpace = 80;

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

void LSLookAndFeel::preparePopupMenuWindow (Component& menuWindow)
{
    // Lives as long as the menu's window and repaints the others after it has gone.
    struct RepaintWhenGone final : ComponentListener
    {
        void componentBeingDeleted (Component& window) override
        {
            window.removeComponentListener (this);
            MessageManager::callAsync ([] { repaintAllWindows(); });
            delete this;
        }
    };
    menuWindow.addComponentListener (new RepaintWhenGone());
}

void LSLookAndFeel::drawCornerResizer (Graphics& g, int w, int h, bool, bool)
{
    if (resizeGrip != nullptr)
        resizeGrip->drawWithin (g, Rectangle<float> (0.0f, 0.0f, (float) (w - 3), (float) (h - 3)),
                                RectanglePlacement::centred, 1.0f);
}

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

void LSLookAndFeel::drawTooltip (Graphics& g, const String& text, int width, int height)
{
    g.fillAll (findColour (TooltipWindow::backgroundColourId));
    g.setColour (findColour (TooltipWindow::outlineColourId));
    g.drawRect (0, 0, width, height, 1);

    layoutTooltipText (text, findColour (TooltipWindow::textColourId), getFontHeightC())
        .draw (g, Rectangle<float> ((float) width, (float) height));
}
