#pragma once

#include "firmware/FirmwareUpdateProgressView.h"
#include "ui/dialogs/UpdateProgressContent.h"

// The window that shows a running firmware update. The update's timer writes its status
// and progress and closes it at the end; its Stop button posts the stop request (0x84000)
// to the update's owner, which hands it to the update. It has no close button of its own:
// the update decides when it is over.
class UpdateProgressWindow : public juce::DocumentWindow,
                             public FirmwareUpdateProgressView,
                             private juce::Button::Listener
{
public:
    // Builds the content at the user-interface scale, centres the window and shows it.
    explicit UpdateProgressWindow (juce::MessageListener& owner);
    ~UpdateProgressWindow() override;

    void setStatus (const juce::String& text, bool isError) override;
    void setProgress (double phaseFraction, double overallFraction) override;
    void enterModalState() override;
    void close() override;

    void closeButtonPressed() override;

    UpdateProgressContent& getContent() noexcept { return *content; }
    bool isShowingError() const noexcept          { return showingError; }

private:
    void buttonClicked (juce::Button*) override;
    void applyLabelColour();

    juce::MessageListener& owner;
    UpdateProgressContent* content = nullptr;   // owned by the window
    bool showingError = false;

    JUCE_DECLARE_NON_COPYABLE (UpdateProgressWindow)
};
