#include "ui/ArchiveButton.h"
#include "archive/DataSourceTree.h"
#include "ui/ColourPalette.h"
#include "ui/LSLookAndFeel.h"

using namespace juce;

ArchiveButton::ArchiveButton (const ValueTree& sourceNode)
    : Button (sourceNode.getProperty ("label").toString()),
      node (sourceNode),
      picture (createSourceNodeIcon (sourceNode))
{
    float height = 14.0f;
    if (auto* laf = dynamic_cast<LSLookAndFeel*> (&getLookAndFeel()))
        height = laf->getFontHeightA();

    font = Font (height, Font::plain);
    scale = height / 14.0f;
    setButtonText (getName());
    setSize ((int) (150.0f * scale), (int) (165.0f * scale));
}

ArchiveButton::~ArchiveButton() = default;

void ArchiveButton::resized()
{
    const float w = (float) getWidth();
    const float h = (float) getHeight();
    shadowArea = { 5.0f, 5.0f, w - 10.0f, h - 10.0f };
    frameArea = { 0.0f, 0.0f, w - 5.0f, h - 5.0f };
    innerArea = { 1.0f, 1.0f, w - 7.0f, h - 7.0f };

    if (picture == nullptr)
    {
        pictureArea = {};
        return;
    }

    picture->setTransform ({});
    const auto bounds = picture->getDrawableBounds();
    const float pw = bounds.getWidth();
    const float ph = bounds.getHeight();
    const float f = font.getHeight();

    if (pw <= 0.0f || ph <= 0.0f || innerArea.getHeight() <= 0.0f)
    {
        pictureArea = {};
        return;
    }

    float width, height;
    if (innerArea.getWidth() / innerArea.getHeight() < pw / ph)
    {
        height = jmax (0.0f, innerArea.getHeight() - 3.0f * f);
        width = height * pw / ph;
    }
    else
    {
        width = innerArea.getWidth() * 0.87f;
        height = width * ph / pw;
    }

    pictureArea = Rectangle<float> (width, height)
                      .withCentre ({ innerArea.getCentreX(), innerArea.getCentreY() - f * 0.9f });
}

void ArchiveButton::paintButton (Graphics& g, bool over, bool down)
{
    const bool enabled = isEnabled();

    if (over || down || getToggleState())
    {
        Colour frame, inside;
        if (down || getToggleState())
        {
            frame = paletteColour029;
            inside = paletteColour032.brighter (0.4f);
        }
        else
        {
            frame = paletteColour013;
            inside = paletteColour002;
        }

        g.setColour (Colours::black.withAlpha (0.3f));
        g.fillRoundedRectangle (shadowArea, 2.0f);
        g.setColour (frame.withMultipliedAlpha (enabled ? 1.0f : 0.9f));
        g.fillRoundedRectangle (frameArea, 2.0f);
        g.setColour (inside.withMultipliedAlpha (enabled ? 1.0f : 0.6f));
        g.fillRoundedRectangle (innerArea, 1.0f);
    }

    const float f = font.getHeight();
    g.setColour (paletteColour071.withMultipliedAlpha (enabled ? 1.0f : 0.6f));
    g.setFont (font);
    g.drawFittedText (getButtonText(),
                      Rectangle<float> (innerArea.getX() + f / 2.0f, innerArea.getBottom() - (2.0f * f + 1.0f),
                                        innerArea.getWidth() - f, 2.0f * f).toNearestInt(),
                      Justification::centred, 2, 0.6f);

    if (picture != nullptr && ! pictureArea.isEmpty())
        picture->drawWithin (g, pictureArea, RectanglePlacement::centred, enabled ? 1.0f : 0.6f);
}
