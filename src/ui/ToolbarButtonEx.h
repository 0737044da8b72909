#pragma once

#include <juce_gui_basics/juce_gui_basics.h>
#include <memory>

// The toolbar item of the data and device toolbars: a button that shows a drawable
// (a second one while toggled on, when given) sized to its content area, and its label
// below the picture, reaching a little into the content area so that two-line labels fit.
class ToolbarButtonEx : public juce::ToolbarItemComponent
{
public:
    // Takes ownership of both drawables; either may be null.
    ToolbarButtonEx (int itemId, const juce::String& label,
                     std::unique_ptr<juce::Drawable> normalImage,
                     std::unique_ptr<juce::Drawable> toggledImage);
    ~ToolbarButtonEx() override;

    // A toolbar item from SVG text (and, when given, SVG text for the toggled-on picture);
    // null when a text does not parse. The factories of both toolbars make their items here.
    static std::unique_ptr<ToolbarButtonEx> createFromSvg (int itemId, const juce::String& label,
                                                           const juce::String& tooltip,
                                                           const void* svgData, size_t svgSize,
                                                           const void* toggledSvgData = nullptr,
                                                           size_t toggledSvgSize = 0);

    bool getToolbarItemSizes (int toolbarDepth, bool isVertical, int& preferredSize,
                              int& minSize, int& maxSize) override;
    void paintButtonArea (juce::Graphics&, int width, int height, bool isMouseOver, bool isMouseDown) override;
    void contentAreaChanged (const juce::Rectangle<int>& newBounds) override;
    void paintButton (juce::Graphics&, bool isMouseOverButton, bool isButtonDown) override;
    void buttonStateChanged() override;
    void resized() override;
    void enablementChanged() override;

    // The drawable shown now (null in the text-only style or without images).
    juce::Drawable* getCurrentImage() const noexcept { return currentImage; }
    juce::Drawable* getNormalImage() const noexcept  { return normalImage.get(); }
    juce::Drawable* getToggledImage() const noexcept { return toggledImage.get(); }

private:
    juce::Drawable* chooseImage() const;
    void updateCurrentImage();
    void placeImage();

    std::unique_ptr<juce::Drawable> normalImage, toggledImage;
    juce::Drawable* currentImage = nullptr;

    JUCE_DECLARE_NON_COPYABLE (ToolbarButtonEx)
};
