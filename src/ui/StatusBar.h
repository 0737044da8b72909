#pragma once

#include "core/LarkspireChangeListener.h"
#include <juce_gui_basics/juce_gui_basics.h>
#include <array>
#include <memory>

// The strip at the bottom of the main content: which unit is connected and its firmware,
// a status title with a progress bar for the running operation, and four small traffic
// indicators (MIDI out, MIDI in and two web counters) that light up while bytes move.
class StatusBar : public juce::Component,
                  public LarkspireChangeListener,
                  public juce::Timer
{
public:
    StatusBar();
    ~StatusBar() override;

    // Busy: shows the message (normal colours), the progress value, and the title when
    // it is not empty. Not busy: hides the title and the progress bar.
    void setStatus (bool busy, const juce::String& title, const juce::String& message, double progress);
    // The text in the progress bar, in the error or the normal colours.
    void setMessage (const juce::String& message, bool error);
    void setProgressValue (double value) noexcept { progressValue = value; }

    // The step counters of a busy operation: `total` steps, none done yet.
    void setSteps (int total) noexcept { stepTotal = total; stepsDone = 0; }
    // One more step done; at the total the bar goes idle.
    void step();

    // Takes the current byte counts as seen, so nothing lights up for what went before.
    void resetIndicators();
    void resetIndicators (juce::int64 nowMs);

    void changeInfoCallback (const ChangeInfo& info) override;

    // Every 100 ms once the program has started.
    void timerCallback() override;
    // One indicator tick at the given time (milliseconds since 1970).
    void updateIndicators (juce::int64 nowMs);

    void paint (juce::Graphics&) override;
    void paintOverChildren (juce::Graphics&) override;
    void resized() override;
    void enablementChanged() override;

    //==============================================================================
    enum IndicatorIndex { midiOut = 0, midiIn = 1, webA = 2, webB = 3 };

    struct Indicator
    {
        juce::uint32 lastCount = 0;
        juce::uint32 currentCount = 0;
        juce::int64 activeUntil = 0;
        juce::Rectangle<float> bounds;
        juce::Drawable* idleImage = nullptr;
        juce::Drawable* activeImage = nullptr;
        juce::Drawable* thirdImage = nullptr;
        juce::Drawable* shownImage = nullptr;

        bool isActive() const noexcept { return shownImage != nullptr && shownImage == activeImage; }
    };

    const Indicator& getIndicator (int index) const { return indicators[(size_t) index]; }
    bool isShowingConnected() const noexcept        { return shownConnectionIcon == connectedIcon.get(); }
    const juce::Label& getDeviceLabel() const noexcept   { return deviceLabel; }
    const juce::Label& getFirmwareLabel() const noexcept { return firmwareLabel; }
    const juce::Label& getTitleLabel() const noexcept    { return titleLabel; }
    const juce::ProgressBar& getProgressBar() const noexcept { return progressBar; }
    const juce::Drawable* getConnectionIcon() const noexcept { return shownConnectionIcon; }
    const juce::Array<int>& getSeparators() const noexcept   { return separators; }
    double getProgressValue() const noexcept        { return progressValue; }
    const juce::String& getMessage() const noexcept { return message; }
    bool isMessageError() const noexcept            { return messageError; }
    int getStepTotal() const noexcept               { return stepTotal; }
    int getStepsDone() const noexcept               { return stepsDone; }

    static constexpr juce::uint32 backgroundArgb      = 0xff00435a;
    static constexpr juce::uint32 textArgb            = 0xffdae1d5;
    static constexpr juce::uint32 errorBackgroundArgb = 0xffc86464;
    static constexpr juce::uint32 errorBarArgb        = 0xffdf4526;
    static constexpr juce::uint32 normalBackgroundArgb = 0xff828e98;
    static constexpr juce::uint32 normalBarArgb       = 0xffedce83;

private:
    void showConnection (bool connected);
    void showChild (juce::Drawable*& shown, juce::Drawable* wanted);
    void readCounts (bool zeros);

    std::unique_ptr<juce::Drawable> connectedIcon, notConnectedIcon;
    std::unique_ptr<juce::Drawable> midiIdle, midiOutActive, midiInActive, midiThird;
    std::unique_ptr<juce::Drawable> webAIdle, webAActive, webAThird;
    std::unique_ptr<juce::Drawable> webBIdle, webBActive, webBThird;
    std::unique_ptr<juce::Drawable> webBackground, webBackgroundOffline;

    juce::Drawable* shownConnectionIcon = nullptr;
    juce::Drawable* shownWebBackground = nullptr;

    juce::Label deviceLabel, firmwareLabel, titleLabel;
    double progressValue = 0.0;
    juce::ProgressBar progressBar { progressValue };
    juce::Array<int> separators;

    bool messageError = false;
    juce::String message;
    int stepTotal = 0;
    int stepsDone = 0;

    std::array<Indicator, 4> indicators;

    JUCE_DECLARE_NON_COPYABLE (StatusBar)
};
