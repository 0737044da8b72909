#pragma once

#include "support/LocalHttpServer.h"
#include "support/TestAppHost.h"
#include "support/TestEnvironment.h"

class ContentManager;

namespace testing_support
{
    // Sets an environment variable for the scope and restores it afterwards.
    class ScopedEnvironmentVariable
    {
    public:
        ScopedEnvironmentVariable (const char* name, const juce::String& value);
        ~ScopedEnvironmentVariable();

    private:
        juce::String name, oldValue;
        bool hadValue = false;
    };

    // Everything a content test needs: its own HOME, a test application host, a local web
    // service serving a copy of the sample content as "<root>/Larkspire2", the web root
    // pointed at it, and an (empty) installed "Content" folder. Restores all of it.
    class ContentWorld
    {
    public:
        ContentWorld();
        ~ContentWorld();

        // The sample content of the source tree.
        static juce::File sampleContent();

        // The served copy (the web service's "/Larkspire2"), free to change per test.
        juce::File servedContent() const { return served.get().getChildFile ("Larkspire2"); }

        // The "Content" folder the program takes for the one beside its executable.
        juce::File installedContent() const { return installed.get().getChildFile ("Content"); }
        void installSampleContent();

        juce::File appDataFolder() const;
        juce::File productFolder (const juce::String& productName) const;

        // The served path of a file in the sample tree, e.g. "/Larkspire2/Merle/caps.xml".
        static juce::String servedPath (const juce::String& relative) { return "/Larkspire2/" + relative; }

        TempHome home;
        TestAppHost host;
        TempFolder served;
        TempFolder installed;
        LocalHttpServer server;

    private:
        std::unique_ptr<ScopedEnvironmentVariable> webRoot;
    };

    // Runs the message loop until the manager's fetch of the web copy of the control
    // descriptor has ended and its outcome is in force (a failed wait fails the test).
    ContentManager& awaitDescriptor (ContentManager& manager);
    // A new content manager whose fetch has ended, e.g. for setContentManager().
    ContentManager* newFetchedContentManager();

    // Replaces a text in a served file (e.g. to change a revision key); a text that is not
    // there fails the test.
    void editServedFile (const juce::File& file, const juce::String& from, const juce::String& to);
}
