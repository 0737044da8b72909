#include "ui/LSLookAndFeel.h"
#include "ui/ColourPalette.h"

using namespace juce;

// Drawing of the controls: buttons, tick boxes and radio buttons, scroll bars, sliders and
// progress bars.

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
