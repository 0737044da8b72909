#include "ui/ToolbarButtonEx.h"

using namespace juce;

ToolbarButtonEx::ToolbarButtonEx (int itemId, const String& label,
                                  std::unique_ptr<Drawable> normal, std::unique_ptr<Drawable> toggled)
    : ToolbarItemComponent (itemId, label, true),
      normalImage (std::move (normal)),
      toggledImage (std::move (toggled))
{
    updateCurrentImage();
    setOpaque (false);
    // A click leaves the keyboard where it was (the page's keys act on its content), and
    // an item that disables itself does not take the keyboard away with it.
    setWantsKeyboardFocus (false);
    setMouseClickGrabsKeyboardFocus (false);
}

std::unique_ptr<ToolbarButtonEx> ToolbarButtonEx::createFromSvg (int itemId, const String& label, const String& tooltip,
                                                                const void* svgData, size_t svgSize,
                                                                const void* toggledSvgData, size_t toggledSvgSize)
{
    if (svgData == nullptr || svgSize == 0)
        return {};

    auto normal = Drawable::createFromImageData (svgData, svgSize);
    if (normal == nullptr)
        return {};

    std::unique_ptr<Drawable> toggled;
    if (toggledSvgData != nullptr)
    {
        toggled = Drawable::createFromImageData (toggledSvgData, toggledSvgSize);
        if (toggled == nullptr)
            return {};
    }

    auto item = std::make_unique<ToolbarButtonEx> (itemId, label, std::move (normal), std::move (toggled));
    item->setTooltip (tooltip);
    return item;
}

ToolbarButtonEx::~ToolbarButtonEx()
{
    if (currentImage != nullptr)
        removeChildComponent (currentImage);
}

bool ToolbarButtonEx::getToolbarItemSizes (int toolbarDepth, bool, int& preferredSize, int& minSize, int& maxSize)
{
    preferredSize = minSize = maxSize = toolbarDepth;
    return true;
}

void ToolbarButtonEx::paintButtonArea (Graphics&, int, int, bool, bool)
{
}

void ToolbarButtonEx::contentAreaChanged (const Rectangle<int>&)
{
    placeImage();
}

void ToolbarButtonEx::resized()
{
    ToolbarItemComponent::resized();
    placeImage();
}

void ToolbarButtonEx::enablementChanged()
{
    ToolbarItemComponent::enablementChanged();
    placeImage();
}

void ToolbarButtonEx::buttonStateChanged()
{
    updateCurrentImage();
}

Drawable* ToolbarButtonEx::chooseImage() const
{
    if (getStyle() == Toolbar::textOnly)
        return nullptr;

    if (getToggleState() && toggledImage != nullptr)
        return toggledImage.get();

    return normalImage.get();
}

void ToolbarButtonEx::updateCurrentImage()
{
    auto* wanted = chooseImage();
    if (wanted == currentImage)
        return;

    if (currentImage != nullptr)
        removeChildComponent (currentImage);

    currentImage = wanted;

    if (currentImage != nullptr)
    {
        addAndMakeVisible (currentImage);
        placeImage();
    }
}

void ToolbarButtonEx::placeImage()
{
    // The style may have changed since the image was chosen (a toolbar switched to text only).
    if (chooseImage() != currentImage)
    {
        updateCurrentImage();
        return;
    }

    if (currentImage == nullptr)
        return;

    currentImage->setInterceptsMouseClicks (false, false);

    const auto area = getContentArea().toFloat();
    const float factor = getStyle() == Toolbar::iconsWithText ? 0.7f : 0.9f;
    auto imageArea = area.withSizeKeepingCentre (area.getWidth() * factor, area.getHeight() * factor);

    if (getStyle() != Toolbar::iconsOnly)
        imageArea = imageArea.translated (0.0f, -(area.getHeight() - imageArea.getHeight()) / 3.0f);

    currentImage->setTransformToFit (imageArea, RectanglePlacement::centred);
    currentImage->setAlpha (isEnabled() ? 1.0f : 0.5f);
}

void ToolbarButtonEx::paintButton (Graphics& g, bool over, bool down)
{
    auto& laf = getLookAndFeel();
    laf.paintToolbarButtonBackground (g, getWidth(), getHeight(), over, down, *this);

    const auto content = getContentArea();
    const int indent = content.getX();

    if (getStyle() == Toolbar::iconsWithText)
    {
        const int labelHeight = getHeight() - 2 * indent - content.getHeight();
        const int reach = roundToInt (0.4 * labelHeight);
        laf.paintToolbarButtonLabel (g, indent, content.getBottom() + indent / 2 - reach,
                                     getWidth() - 2 * indent, labelHeight + reach, getButtonText(), *this);
    }
    else if (getStyle() == Toolbar::textOnly)
    {
        laf.paintToolbarButtonLabel (g, indent, indent, getWidth() - 2 * indent,
                                     getHeight() - 2 * indent, getButtonText(), *this);
    }

    if (! content.isEmpty())
    {
        Graphics::ScopedSaveState state (g);
        g.setOrigin (content.getPosition());
        paintButtonArea (g, content.getWidth(), content.getHeight(), over, down);
    }
}
