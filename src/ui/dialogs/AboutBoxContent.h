#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// The about box's face: the logo stretched over the whole component and the program's
// version centred on it. Its size is the logo's at the UI scale.
class AboutBoxContent : public juce::Component
{
public:
    AboutBoxContent();
    ~AboutBoxContent() override;

    void paint (juce::Graphics&) override;

    const juce::Image& getLogo() const noexcept       { return logo; }
    const juce::String& getVersionText() const noexcept { return versionText; }

private:
    juce::Image logo;
    juce::String versionText;

    JUCE_DECLARE_NON_COPYABLE (AboutBoxContent)
};
