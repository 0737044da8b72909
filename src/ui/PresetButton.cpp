#include "ui/PresetButton.h"
#include "ui/ColourPalette.h"
#include "ui/LSLookAndFeel.h"

PresetButton::PresetButton (int slotIndex)
    : cellHelper (acquireCellButtonHelper()),
      iconHelper (acquireIconButtonHelper()),
      slot (slotIndex)
{
    setName ("<empty>");
    // The grid takes the keyboard on a click: its keys must keep working when the
    // clicked preset is deleted and its button disabled.
    setWantsKeyboardFocus (false);
}

PresetButton::~PresetButton()
{
    releaseCellButtonHelper();
    releaseIconButtonHelper();
}

void PresetButton::setPreset (juce::WeakReference<DeviceData> data, bool showsDeviceData)
{
    deviceData = data;
    isDeviceData = showsDeviceData;
}

void PresetButton::clicked (const juce::ModifierKeys& modifiers)
{
    clickModifiers = modifiers;
    juce::ImageButton::clicked (modifiers);
}

void PresetButton::setViewType (int newViewType)
{
    viewType = newViewType;
    resized();
}

int PresetButton::getStepCount() const
{
    if (auto* data = deviceData.get())
        if (auto* preset = data->getPreset (slot))
            return preset->getStepCount();
    return 0;
}

int PresetButton::getImageIndex() const
{
    auto* data = deviceData.get();
    const bool differs = data != nullptr && data->differsFromFactoryPreset (slot);
    return PresetButtonHelper::chooseImageIndex (empty, changed, isDeviceData, differs, getToggleState());
}

void PresetButton::prepareHelper (int forViewType, int width, int height)
{
    auto* helper = forViewType == cellView ? cellHelper : iconHelper;
    if (helper != nullptr)
        helper->prepare (width, height);
}

float PresetButton::getSmallFontHeight()
{
    if (auto* laf = dynamic_cast<LSLookAndFeel*> (&getLookAndFeel()))
        return laf->getFontHeightC();
    return 13.0f;
}

//==============================================================================
void PresetButton::resized()
{
    const int w = getWidth(), h = getHeight();

    if (viewType == cellView)
    {
        const float height = juce::jlimit (0.1f, 10000.0f, (float) h * 0.44f);
        if (font.getHeight() != height)
            font.setHeight (height);
        return;
    }

    const auto& picture = iconHelper->getImage (0);
    const int iw = picture.getWidth(), ih = picture.getHeight();
    const float f = getSmallFontHeight();

    font.setHeight (f);

    shadowArea = { 5.0f, 5.0f, (float) (w - 10), (float) (h - 10) };
    frameArea  = { 0.0f, 0.0f, (float) (w - 5), (float) (h - 5) };
    innerArea  = { 1.0f, 1.0f, (float) (w - 7), (float) (h - 7) };

    iconX = (int) ((w - 7) * 0.5 + 1) - iw / 2;
    iconY = juce::jmax (4, (int) ((h - 7) * 0.5 + 1 - (ih / 2 + f)));

    textArea = juce::Rectangle<float> (f * 0.5f + 1.0f, (float) (iconY + ih + 1),
                                       (float) (w - 7) - f, (float) ((h - 7) + 1 - (iconY + ih)))
                   .getSmallestIntegerContainer();

    const double inset = iw * 0.09765625;
    numberFontHeight = f;
    numberArea = { (int) (iconX + inset), (int) (iconY + ih * 0.3), (int) (iw - 2.0 * inset),
                   (int) std::ceil (f) + 2 };
}

void PresetButton::paintButton (juce::Graphics& g, bool isMouseOver, bool isButtonDown)
{
    if (viewType == cellView)
        paintCell (g);
    else
        paintIcon (g, isMouseOver, isButtonDown);
}

void PresetButton::paintCell (juce::Graphics& g)
{
    const int w = getWidth(), h = getHeight();
    const bool toggled = getToggleState();

    g.drawImage (cellHelper->getImage (getImageIndex()), 0, 0, w, h, 0, 0, w, h);

    g.setFont (font);
    g.setColour (toggled ? paletteColour016 : paletteColour074);
    g.drawFittedText (getButtonText(), juce::Rectangle<int> (6, 4, w - 12, h - 8), juce::Justification::topLeft, 2);

    g.setColour (paletteColour017);
    g.fillRect (0, 0, w, 1);
    g.fillRect (0, h - 1, w, 1);
    g.fillRect (0, 0, 1, h);
    g.fillRect (w - 1, 0, 1, h);

    const int steps = getStepCount();
    if (steps > 1)
    {
        const juce::Rectangle<int> badge (w - 11, 1, 10, 9);
        g.setColour (juce::Colours::black.withAlpha (0.15f));
        g.fillRect (badge);
        g.setColour (juce::Colours::white);
        g.setFont (juce::Font (8.5f));
        g.drawFittedText (juce::String (steps), badge, juce::Justification::centred, 1);
    }

    if (! isEnabled() && ! empty)
        g.fillAll (juce::Colours::white.withAlpha (0.4f));
}

void PresetButton::paintIcon (juce::Graphics& g, bool isMouseOver, bool isButtonDown)
{
    const bool enabled = isEnabled();
    const bool strong = isButtonDown || getToggleState();

    if (isMouseOver || strong)
    {
        const auto frameColour = strong ? paletteColour029 : paletteColour013;
        const auto insideColour = strong ? paletteColour032.brighter (0.4f) : paletteColour002;

        juce::Path shadowPath;
        shadowPath.addRoundedRectangle (shadowArea, 2.0f);
        juce::DropShadow (juce::Colours::black.withAlpha (0.3f), 4, {}).drawForPath (g, shadowPath);

        g.setColour (frameColour.withMultipliedAlpha (enabled ? 1.0f : 0.9f));
        g.fillRoundedRectangle (frameArea, 2.0f);
        g.setColour (insideColour.withMultipliedAlpha (enabled ? 1.0f : 0.6f));
        g.fillRoundedRectangle (innerArea, 1.0f);
    }

    g.setOpacity (enabled ? 1.0f : 0.6f);
    g.drawImageAt (iconHelper->getImage (getImageIndex()), iconX, iconY);

    g.setFont (font);
    g.setColour (paletteColour071.withMultipliedAlpha (enabled ? 1.0f : 0.6f));
    g.drawFittedText (getButtonText(), textArea, juce::Justification::centred, 2, 0.6f);

    const juce::String number (slot);
    juce::Font numberFont (font);
    numberFont.setHeight (numberFontHeight);
    g.setFont (numberFont);
    g.setColour (juce::Colours::white);
    g.drawFittedText (number, numberArea, juce::Justification::topLeft, 1);

    const int steps = getStepCount();
    if (steps > 1)
    {
        const int shift = juce::roundToInt (numberFont.getStringWidthFloat (number + ":"));
        juce::Font stepFont (numberFont);
        stepFont.setHeight (numberFont.getHeight() * 0.85f);
        g.setFont (stepFont);
        g.drawFittedText ("(x" + juce::String (steps) + ")", numberArea.translated (shift, 1),
                          juce::Justification::topLeft, 1);
    }
}

//==============================================================================
void setPresetButtonsViewType (const juce::OwnedArray<PresetButton>& buttons, int viewType)
{
    for (auto* b : buttons)
    {
        b->setViewType (viewType);
        b->repaint();
    }
}

PresetButton* findNearestPresetButton (const juce::OwnedArray<PresetButton>& buttons, juce::Point<int> point)
{
    auto* last = buttons.getLast();
    if (last == nullptr)
        return nullptr;

    const auto bounds = last->getBounds();
    const bool beforeLast = (point.y < bounds.getY() || point.x < bounds.getRight()) && point.y < bounds.getBottom();

    if (! beforeLast || buttons.size() < 2)
        return last;

    PresetButton* nearest = nullptr;
    int best = std::numeric_limits<int>::max();

    for (int i = 1; i < buttons.size(); ++i)
    {
        auto* b = buttons.getUnchecked (i);
        const int distance = b->getBounds().getCentre().getDistanceFrom (point);
        if (distance < best)
        {
            best = distance;
            nearest = b;
        }
    }

    return nearest;
}
