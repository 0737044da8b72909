#pragma once

#include "ui/dialogs/ExportContent.h"

// The modal "Export" dialog. run() shows it through the dialog service and gives the
// choices when it ended with "Start Export"; the chosen folder is then stored as the
// export folder setting.
class ExportDialog : public juce::DialogWindow
{
public:
    // The window is made without a desktop peer; the dialog service shows it.
    ExportDialog (juce::Component* parent, const juce::StringArray& sourceNames,
                  const juce::Array<bool>& sourceHasSetup, int currentSourceIndex, bool selectionAvailable);
    ~ExportDialog() override;

    void closeButtonPressed() override;

    ExportContent& getContent() noexcept { return *content; }

    // True (with the choices filled in) after "Start Export"; false after "Cancel" or Escape.
    static bool run (juce::Component* parent, const juce::StringArray& sourceNames,
                     const juce::Array<bool>& sourceHasSetup, int currentSourceIndex, bool selectionAvailable,
                     ExportContent::Choices& choices);

private:
    ExportContent* content = nullptr;   // owned by the window

    JUCE_DECLARE_NON_COPYABLE (ExportDialog)
};
