#pragma once

#include <juce_gui_basics/juce_gui_basics.h>
#include <functional>

namespace testing_support
{
    // Gives the test its own HOME (and XDG_CONFIG_HOME) in a fresh temporary
    // folder, restored and deleted at the end of the scope.
    class TempHome
    {
    public:
        TempHome();
        ~TempHome();

        const juce::File& getFolder() const { return folder; }
        juce::File getSettingsFile() const;

    private:
        juce::File folder;
        juce::String oldHome, oldXdg;
        bool hadHome = false, hadXdg = false;
    };

    // A new, empty folder of a unique name in the temporary folder (one that cannot be made
    // ends the test); the caller deletes it.
    juce::File makeUniqueTempFolder (const juce::String& prefix);

    // A temporary folder deleted at the end of the scope.
    class TempFolder
    {
    public:
        TempFolder();
        ~TempFolder();
        const juce::File& get() const { return folder; }
        juce::File child (const juce::String& name) const { return folder.getChildFile (name); }

    private:
        juce::File folder;
    };

    // Runs the message loop until the condition holds or the deadline passes;
    // returns the condition's last value.
    bool pumpUntil (const std::function<bool()>& condition, int timeoutMs = 20000);

    // Runs the message loop for a while (for checking that something does NOT happen).
    void pumpFor (int milliseconds);
}
