#pragma once

#include "ui/ContentParts.h"
#include "ui/LSApplicationFrameLaf.h"
#include "ui/PendingInputWake.h"

class LarkspireContentComponent;

// The program's one top-level window: native title bar, the saved size and
// place, the application's content, its tooltips, and the registration of the
// application's commands with the process-wide command manager.
class MainAppWindow : public juce::DocumentWindow,
                      public juce::AsyncUpdater
{
public:
    static constexpr juce::uint32 backgroundArgb = 0xffd3d3d3;
    static constexpr int defaultWidth = 1020, defaultHeight = 734;
    static constexpr int minimumWidth = 714, minimumHeight = 646;
    static constexpr int maximumSize = 10000;

    explicit MainAppWindow (ContentParts& parts = getProgramContentParts());
    ~MainAppWindow() override;

    void closeButtonPressed() override;
    void focusGained (FocusChangeType) override;
    juce::BorderSize<int> getBorderThickness() override;
    void resized() override;

    // Registers the content's commands and then the application's (which adds the
    // framework's quit command). Runs on a turn of the message loop after the constructor.
    void handleAsyncUpdate() override;

    // The main content component (null only while the window is being taken down).
    LarkspireContentComponent* getMainContent() const;

    LSApplicationFrameLaf& getFrameLookAndFeel() { return *frameLaf; }
    juce::TooltipWindow* getTooltipWindow() const { return tooltipWindow.get(); }

private:
    PendingInputWake pendingInputWake;
    std::unique_ptr<juce::TooltipWindow> tooltipWindow;
    std::unique_ptr<LSApplicationFrameLaf> frameLaf;
    juce::KeyListener* keyMappings = nullptr;
    bool constructed = false;

    JUCE_DECLARE_NON_COPYABLE (MainAppWindow)
};
