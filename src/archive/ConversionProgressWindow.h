#pragma once

#include <juce_core/juce_core.h>
#include <functional>
#include <memory>

// The modal window shown while a long job runs in the background: a title, a status
// line, a progress bar and one button that asks the job to stop. The job runs without
// it when none can be shown (no factory installed, as in tests); the user interface
// installs the factory that makes the real window.
class ConversionProgressWindow
{
public:
    // What the window shows and where its button goes. Called on the message thread.
    class Job
    {
    public:
        virtual ~Job() = default;
        // 0..1, or a negative value while the length of the job is unknown.
        virtual double getProgress() const = 0;
        virtual juce::String getStatusMessage() const = 0;
        // The stop button was pressed. The window stays until the job has ended.
        virtual void stopPressed() = 0;
    };

    virtual ~ConversionProgressWindow() = default;

    using Factory = std::function<std::unique_ptr<ConversionProgressWindow> (const juce::String& title,
                                                                             const juce::String& stopButtonText,
                                                                             Job& job)>;
    // Message thread only; an empty factory removes it.
    static void setFactory (Factory factory);

    // A window for the job, or null when no factory is installed. Message thread only.
    static std::unique_ptr<ConversionProgressWindow> create (const juce::String& title,
                                                             const juce::String& stopButtonText, Job& job);
};
