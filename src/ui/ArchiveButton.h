#pragma once

#include <juce_gui_basics/juce_gui_basics.h>
#include <memory>

// A tile for one backup archive of the source tree: its picture and its title, framed
// while hovered, pressed or selected.
class ArchiveButton : public juce::Button
{
public:
    explicit ArchiveButton (const juce::ValueTree& node);
    ~ArchiveButton() override;

    const juce::ValueTree& getNode() const noexcept         { return node; }
    juce::Drawable* getPicture() const noexcept             { return picture.get(); }
    float getScale() const noexcept                         { return scale; }
    juce::Rectangle<float> getFrameArea() const noexcept    { return frameArea; }
    juce::Rectangle<float> getInnerArea() const noexcept    { return innerArea; }
    juce::Rectangle<float> getPictureArea() const noexcept  { return pictureArea; }

    void resized() override;
    void paintButton (juce::Graphics&, bool isMouseOverButton, bool isButtonDown) override;

private:
    juce::ValueTree node;
    std::unique_ptr<juce::Drawable> picture;
    juce::Font font;
    float scale = 1.0f;
    juce::Rectangle<float> shadowArea, frameArea, innerArea, pictureArea;

    JUCE_DECLARE_NON_COPYABLE (ArchiveButton)
};
