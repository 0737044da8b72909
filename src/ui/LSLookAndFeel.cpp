#include "ui/LSLookAndFeel.h"
#include "ui/ColourPalette.h"
#include "core/EmbeddedResources.h"
#include "core/Settings.h"

using namespace juce;

// The theme itself: the palette on the framework's colour ids, the typeface, the fonts and
// metrics scaled by the user's UI scale, and the embedded artwork. The drawing is in
// LSLookAndFeelControls.cpp, LSLookAndFeelWindows.cpp and LSLookAndFeelPanels.cpp.

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
