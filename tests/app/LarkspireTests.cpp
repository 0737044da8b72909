#include <gtest/gtest.h>
#include "app/Larkspire.h"
#include "app/Nexus.h"
#include "core/DeviceInfoMessage.h"
#include "core/DialogService.h"
#include "core/InfoCodes.h"
#include "support/RecordingDialogService.h"
#include "support/TestEnvironment.h"
#include "ui/MessageBoxes.h"
#include <thread>

TEST (Larkspire, NameAndVersion)
{
    Larkspire app;
    EXPECT_EQ (app.getApplicationName(), "Larkspire 2");
    EXPECT_EQ (app.getApplicationVersion(), "1.1.02 build 139");
    EXPECT_FALSE (app.moreThanOneInstanceAllowed());
    EXPECT_EQ (app.getApplicationState(), 1);
}

TEST (Larkspire, CommandLineWordsAreSubstrings)
{
    EXPECT_TRUE (Larkspire::commandLineHasWord ("--superdeveloperish", "developer"));
    EXPECT_TRUE (Larkspire::commandLineHasWord ("a scan_all b", "scan_all"));
    EXPECT_FALSE (Larkspire::commandLineHasWord ("Developer", "developer"));
    EXPECT_FALSE (Larkspire::commandLineHasWord ("scan all", "scan_all"));
}

TEST (Larkspire, FatalTexts)
{
    EXPECT_EQ (Larkspire::getFatalErrorText (2),
               "Larkspire is unable to load required control files. Please try restarting the application. "
               "Make sure you have a functioning internet connection. If this error persists, please contact "
               "technical support (code 2).");
    EXPECT_EQ (Larkspire::getFatalErrorText (3),
               "Larkspire has encountered error and must now stop, sorry. Please try restarting the application. "
               "If this error persists, please contact technical support (code 3).");
    EXPECT_TRUE (Larkspire::getFatalErrorText (1).endsWith ("(code 1)."));
}

namespace
{
    // Leaves an asynchronous box open, as on screen: its answer, which would end the program
    // (and the dispatch loop of every later test in this process), never comes.
    struct BoxesLeftOpen : testing_support::RecordingDialogService
    {
        void showMessageBoxAsync (Icon icon, const juce::String& title, const juce::String& message,
                                  const juce::StringArray& buttons, juce::Component* associated,
                                  std::function<void (int)>) override
        {
            showMessageBox (icon, title, message, buttons, associated);
        }
    };
}

TEST (Larkspire, FirstFatalCodeWinsAcrossThreads)
{
    BoxesLeftOpen dialogs;
    Larkspire app;
    std::vector<std::thread> threads;
    for (int code = 1; code <= 8; ++code)
        threads.emplace_back ([&app, code] { app.raiseFatalError (code == 8 ? 3 : 2); });
    for (auto& t : threads)
        t.join();
    const int first = app.getFatalErrorCode();
    EXPECT_TRUE (first == 2 || first == 3);
    app.raiseFatalError (1);
    EXPECT_EQ (app.getFatalErrorCode(), first);

    // From the first code on, no box opens but the error's own.
    showWarningBox (nullptr, "After the error", "x");
    EXPECT_FALSE (askYesNo (nullptr, "Go on?", "y"));
    app.systemRequestedQuit();
    EXPECT_EQ (dialogs.titles(), juce::StringArray ({ "Error" }));
    EXPECT_TRUE (juce::MessageManager::callAsync ([] {}));   // the dispatch loop still takes messages
}

TEST (Larkspire, ShutdownWithoutInitialiseTouchesNothing)
{
    testing_support::TempHome home;
    Larkspire app;
    app.shutdown();
    EXPECT_FALSE (home.getSettingsFile().exists());
    EXPECT_EQ (home.getFolder().getNumberOfChildFiles (juce::File::findFilesAndDirectories), 0);
}

TEST (Nexus, UserKindNames)
{
    EXPECT_EQ (Nexus::getUserKindName (1), "Larkspire");
    EXPECT_EQ (Nexus::getUserKindName (2), "administrator");
    EXPECT_EQ (Nexus::getUserKindName (100), "Ardentis");
    EXPECT_EQ (Nexus::getUserKindName (101), "anonymous");
    EXPECT_EQ (Nexus::getUserKindName (0), "Unknown User");
    EXPECT_EQ (Nexus::getUserKindName (3), "Unknown User");
}
