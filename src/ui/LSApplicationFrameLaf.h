#pragma once

#include "ui/LSLookAndFeel.h"

// The main window's frame: a lighter title bar that shows the wordmark in
// place of the title text.
class LSApplicationFrameLaf : public LSLookAndFeel
{
public:
    LSApplicationFrameLaf();
    ~LSApplicationFrameLaf() override;

    void drawDocumentWindowTitleBar (juce::DocumentWindow&, juce::Graphics&, int w, int h,
                                     int titleSpaceX, int titleSpaceW,
                                     const juce::Image* icon, bool drawTitleTextOnLeft) override;

    const juce::Drawable* getWordmark() const { return wordmark.get(); }

private:
    std::unique_ptr<juce::Drawable> wordmark;
};
