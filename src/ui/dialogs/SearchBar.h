#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// The query field of the Find Preset dialog: a single-line editor with a magnifier
// drawn at its left and the grey hint "Search" while it is empty.
class SearchBar : public juce::TextEditor
{
public:
    SearchBar();

    static constexpr const char* placeholderText = "Search";

    // The square the magnifier is drawn in (the text starts to its right).
    juce::Rectangle<float> getIconArea() const;

    void paintOverChildren (juce::Graphics&) override;
    void resized() override;

private:
    JUCE_DECLARE_NON_COPYABLE (SearchBar)
};
