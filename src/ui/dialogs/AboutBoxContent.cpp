#include "ui/dialogs/AboutBoxContent.h"
#include "model/VersionNumber.h"
#include "ui/ColourPalette.h"
#include "ui/LSLookAndFeel.h"

using namespace juce;

AboutBoxContent::AboutBoxContent()
    : logo (LSLookAndFeel::getEmbeddedImage ("about_logo_png")),
      versionText (::getVersionText (getApplicationVersionNumber()))
{
    double s = 1.0;
    if (auto* laf = dynamic_cast<LSLookAndFeel*> (&getLookAndFeel()))
        s = (double) laf->getScale();

    const int w = logo.isValid() ? logo.getWidth() : 335;
    const int h = logo.isValid() ? logo.getHeight() : 282;
    setSize (roundToInt ((double) w * s), roundToInt ((double) h * s));
}

AboutBoxContent::~AboutBoxContent() = default;

void AboutBoxContent::paint (Graphics& g)
{
    if (logo.isValid())
        g.drawImage (logo, getLocalBounds().toFloat(), RectanglePlacement::stretchToFit);

    float fontHeight = 16.0f;
    if (auto* laf = dynamic_cast<LSLookAndFeel*> (&getLookAndFeel()))
        fontHeight = laf->getFontHeightB();

    AttributedString text;
    text.append ("Version: " + versionText, Font (fontHeight, Font::bold), paletteColour052);
    text.setJustification (Justification::centred);

    TextLayout layout;
    layout.createLayout (text, (float) getWidth());
    const float top = ((float) getHeight() - layout.getHeight()) * 0.5f;
    layout.draw (g, { 0.0f, top, (float) getWidth(), layout.getHeight() });
}
