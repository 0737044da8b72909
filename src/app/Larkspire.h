#pragma once

#include <juce_gui_basics/juce_gui_basics.h>
#include "core/AppHost.h"
#include "model/VersionNumber.h"
#include <atomic>
#include <memory>

class DialogService;
class EndingInstanceLock;
class Nexus;
class QuitSignals;

// The application object: settings, install token, run counter, command-line
// words, the hub, the fatal error code and the application state word.
class Larkspire : public juce::JUCEApplication,
                  public AppHost,
                  private juce::AsyncUpdater
{
public:
    Larkspire();
    ~Larkspire() override;

    static Larkspire* getInstance();

    const juce::String getApplicationName() override    { return "Larkspire 2"; }
    const juce::String getApplicationVersion() override { return getVersionText (getApplicationVersionNumber()); }
    // False. The framework asks it once, right before it looks for another instance: a start
    // while another instance is ending waits here until that one is gone, and tells the user
    // when it does not go in time.
    bool moreThanOneInstanceAllowed() override;

    void initialise (const juce::String& commandLine) override;
    void shutdown() override;
    void anotherInstanceStarted (const juce::String&) override {}
    void systemRequestedQuit() override;
    void suspended() override {}
    void resumed() override {}

    // AppHost
    bool isDeveloper() const override      { return developer; }
    bool isScanAll() const override        { return scanAll; }
    bool isSyncAll() const override        { return syncAll; }
    bool getFirstRunFlag() const override  { return firstRun; }
    juce::Uuid getInstallId() const override { return installId; }
    int getApplicationState() const override { return applicationState.load(); }
    void raiseFatalError (int code) override;
    bool prepareProductContent (juce::uint8 productId) override;
    juce::MessageListener* getHubListener() override;

    void setApplicationState (int state) override { applicationState.store (state); }
    int getFatalErrorCode() const        { return fatalErrorCode.load(); }

    // The text shown in the "Error" box for a fatal error code.
    static juce::String getFatalErrorText (int code);

    // True when the word occurs anywhere in the command line (case-sensitive).
    static bool commandLineHasWord (const juce::String& commandLine, const char* word);

private:
    void handleAsyncUpdate() override { systemRequestedQuit(); }
    void setUpInstallToken();
    // Shows the error's box and quits when it is closed.
    void endAfterFatalError (int code);
    // Tells the content component, once, that the program quits without asking.
    void announceForcedQuit();
    // The quit a signal asks for: forced, as after a fatal error.
    void quitOnSignal();
    // Stops the message loop; the shutdown follows.
    void beginQuit();

    // How long the end of the program waits for web transfers given up at the quit.
    static constexpr int givenUpTransferGraceMs = 500;
    // How long a start waits for an instance that is ending: longer than an end whose stops
    // (firmware update, devices, downloads, usage events) all take their time-outs.
    static constexpr int endingInstanceWaitMs = 60000;

    bool developer = false;
    bool scanAll = false;
    bool syncAll = false;
    std::atomic<int> applicationState { 1 };
    std::atomic<int> fatalErrorCode { 0 };
    juce::int64 startTime = 0;
    juce::Uuid installId;
    bool firstRun = false;
    bool initialised = false;   // a second instance gets shutdown() without initialise()
    bool fatalErrorShown = false;
    bool forcedQuitAnnounced = false;
    bool quitQuestionOpen = false;   // the question about unsent edits is up
    bool quitRequested = false;      // the message loop is told to stop
    std::atomic<DialogService*> errorDialogs { nullptr };   // shows the fatal error's box
    std::unique_ptr<Nexus> nexus;
    std::unique_ptr<QuitSignals> quitSignals;
    std::unique_ptr<EndingInstanceLock> ending;   // from the start of the shutdown to the process's end
};
