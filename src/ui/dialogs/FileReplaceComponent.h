#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// The inside of the replace question: the message above, "Yes" and "No" at the bottom
// right and "Apply to all" to their left. A button ends the dialog with
// bit 0 = replace and bit 1 = the answer holds for every further existing file.
class FileReplaceComponent : public juce::Component,
                             public juce::Button::Listener
{
public:
    enum Result
    {
        keep = 0,
        replace = 1,
        keepAll = 2,
        replaceAll = 3
    };

    // Without offerApplyToAll (a single file) "Apply to all" is hidden and never counts.
    FileReplaceComponent (const juce::String& text1, const juce::String& text2, bool offerApplyToAll);
    ~FileReplaceComponent() override;

    void paint (juce::Graphics&) override;
    void resized() override;
    void buttonClicked (juce::Button*) override;

    // The answer of the last button click; `keep` until one is clicked.
    int getChosenResult() const noexcept { return chosenResult; }

    // The area the message is drawn in.
    juce::Rectangle<int> getMessageArea() const;

    // The message broken into lines no wider than `width`: at spaces, and inside a word
    // (a long path) where the word alone is wider.
    static juce::StringArray wrapMessage (const juce::String& text, const juce::Font& font, float width);

    juce::TextButton textButtonNo { "No" };
    juce::TextButton textButtonYes { "Yes" };
    juce::ToggleButton toggleButtonApplyToAll { "Apply to all" };

private:
    int getButtonHeight() const;

    const juce::String text1, text2;
    int chosenResult = keep;

    JUCE_DECLARE_NON_COPYABLE (FileReplaceComponent)
};
