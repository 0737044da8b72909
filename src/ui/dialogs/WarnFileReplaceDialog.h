#pragma once

#include "ui/dialogs/FileReplaceComponent.h"

// The modal question asked before an existing file is overwritten. Run it with run();
// the answer is one of FileReplaceComponent::Result (Escape keeps the file).
class WarnFileReplaceDialog : public juce::DialogWindow
{
public:
    // The window is made without a desktop peer; the dialog service shows it.
    WarnFileReplaceDialog (juce::Component* parent, const juce::String& title,
                           const juce::String& text1, const juce::String& text2, bool offerApplyToAll);
    ~WarnFileReplaceDialog() override;

    void closeButtonPressed() override;

    FileReplaceComponent& getContent() noexcept { return *content; }

    // Asks through the dialog service and gives the answer.
    static int run (juce::Component* parent, const juce::String& title, const juce::String& text1,
                    const juce::String& text2, bool offerApplyToAll);

private:
    FileReplaceComponent* content = nullptr;   // owned by the window

    JUCE_DECLARE_NON_COPYABLE (WarnFileReplaceDialog)
};
