#pragma once

#include "ui/dialogs/SearchContent.h"

// The "Find Preset" window. It opens where it was last closed (settings
// presetSearchWindowPositionX/Y, 20 and 120 at first); closing it stores the
// position, hides it and deletes its content, which stops the search and stores
// the chosen filters. The data page owns the window and may delete it once closed.
class SearchDialog : public juce::DialogWindow
{
public:
    SearchDialog (const juce::Array<juce::ValueTree>& deviceSources,
                  const juce::Array<juce::ValueTree>& backupSources,
                  const juce::Array<juce::ValueTree>& cloudSources,
                  int productId, const juce::StringArray& tagLabels,
                  SearchResultTarget& target);
    ~SearchDialog() override;

    static constexpr const char* title = "Find Preset";
    static constexpr int defaultX = 20;
    static constexpr int defaultY = 120;

    // Called (asynchronously) after the window was closed; the owner may delete the window
    // in it (the call runs on a copy of the function).
    std::function<void()> onClosed;

    // Puts the window on the screen, in front, with the keyboard focus in the query field.
    void open();

    // Stores the position, hides the window and deletes the content (once).
    void closeDialog();
    bool isClosed() const noexcept { return closed; }

    // Null once closed.
    SearchContent* getSearchContent() const;

    void closeButtonPressed() override;
    void focusGained (FocusChangeType) override;

private:
    bool closed = false;

    JUCE_DECLARE_NON_COPYABLE (SearchDialog)
};
