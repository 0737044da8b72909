#pragma once

#include "ui/dialogs/OptionsContent.h"

// The modal "Options" dialog: a dialog window around an OptionsContent, centred on its
// parent. Its controls are read after the modal loop.
class OptionsDialog
{
public:
    explicit OptionsDialog (juce::Component* parent);

    static constexpr const char* title = "Options";

    // Runs the modal loop; the result is the content's (1 only after "Ok").
    int runModal();

    OptionsContent& getContent() noexcept { return content; }

private:
    juce::Component* const parent;
    OptionsContent content;
};
