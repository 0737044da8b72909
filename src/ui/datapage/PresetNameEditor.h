#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// The name field of the preset details. While several presets with different names
// are shown it holds a placeholder; focusing it clears the placeholder so that one
// new name can be typed for all of them.
class PresetNameEditor : public juce::TextEditor
{
public:
    static constexpr const char* multiplePlaceholder = "<multiple selected>";

    PresetNameEditor() : juce::TextEditor ("PresetName") {}

    bool showsMultiple() const noexcept { return multiple; }
    void setShowsMultiple (bool shouldShowMultiple) noexcept
    {
        multiple = shouldShowMultiple;
        placeholderCleared = false;
    }

    // Still no name for the several presets: the placeholder, or the empty field that
    // focusing it left while nothing has been typed.
    bool holdsNoNewName() const { return multiple || (placeholderCleared && getText().isEmpty()); }

    void focusGained (FocusChangeType cause) override
    {
        if (multiple && ! isReadOnly())
        {
            multiple = false;
            placeholderCleared = true;
            setText ({}, false);
        }
        juce::TextEditor::focusGained (cause);
    }

private:
    bool multiple = false;
    bool placeholderCleared = false;
};
