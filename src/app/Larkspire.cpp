#include "app/Larkspire.h"
#include "app/EndingInstanceLock.h"
#include "app/Nexus.h"
#include "app/QuitSignals.h"
#include "content/WebTransfer.h"
#include "core/Settings.h"
#include "ui/CommandManager.h"
#include "ui/MainAppWindow.h"
#include "core/DialogService.h"
#include <cstdio>
#include <cstdlib>

Larkspire::Larkspire() = default;

Larkspire::~Larkspire()
{
    if (getAppHost() == this)
        setAppHost (nullptr);
    nexus.reset();
}

Larkspire* Larkspire::getInstance()
{
    return dynamic_cast<Larkspire*> (juce::JUCEApplicationBase::getInstance());
}

bool Larkspire::moreThanOneInstanceAllowed()
{
    // One that does not end in time gets this start handed over, and ignores it: the user has
    // been told, and the start ends as failed unless it comes up after all.
    if (! EndingInstanceLock::waitForEndingInstance (getApplicationName(), endingInstanceWaitMs))
        setApplicationReturnValue (1);
    return false;
}

bool Larkspire::commandLineHasWord (const juce::String& commandLine, const char* word)
{
    return commandLine.contains (word);
}

void Larkspire::initialise (const juce::String& commandLine)
{
    initialised = true;
    setApplicationReturnValue (0);   // it came up after all
    startTime = juce::Time::currentTimeMillis();
    setAppHost (this);
    // A desktop session's logout, `kill` and Ctrl+C in a terminal quit as the menu does.
    quitSignals = std::make_unique<QuitSignals> ([this] { quitOnSignal(); });

    configureApplicationProperties();
    setUpInstallToken();
    setSetting (SettingsKeys::runCounter, getSettingInt (SettingsKeys::runCounter, 0) + 1);

    developer = commandLineHasWord (commandLine, "developer");
    scanAll = commandLineHasWord (commandLine, "scan_all");
    syncAll = commandLineHasWord (commandLine, "sync_all");

    nexus = std::make_unique<Nexus>();
    nexus->startUp();
}

void Larkspire::setUpInstallToken()
{
    const auto text = getSettingText (SettingsKeys::installToken, {});
    installId = juce::Uuid (text);

    if (text.isEmpty() || installId.isNull())
    {
        firstRun = true;
        installId = juce::Uuid();
        setSetting (SettingsKeys::installToken, installId.toString());
    }
}

void Larkspire::shutdown()
{
    if (! initialised)
        return;  // a second instance that quit at once: nothing was set up, nothing to save

    // A start from now on waits for this instance to be gone instead of handing over to it.
    ending = std::make_unique<EndingInstanceLock> (getApplicationName());

    const double seconds = (double) (juce::Time::currentTimeMillis() - startTime) * 0.001;
    setSetting (SettingsKeys::runTime, getSettingDouble (SettingsKeys::runTime, 0.0) + seconds);
    getApplicationProperties().saveIfNeeded();

    if (nexus != nullptr)
    {
        nexus->shutDown();
        nexus.reset();
    }

    // The main window deletes the command manager; one made again after it went
    // goes now, while the framework it relies on is still there.
    setCommandManager (nullptr);

    deleteApplicationProperties();
    if (getAppHost() == this)
        setAppHost (nullptr);
    quitSignals.reset();

    // Web transfers given up at the quit get a moment to end. One that cannot (a name lookup
    // at a silent name server) must not meet the teardown of the statics it uses: everything
    // is saved, so the process ends here.
    if (! waitForGivenUpWebTransfers (givenUpTransferGraceMs))
    {
        std::fflush (nullptr);
        std::_Exit (0);
    }
}

void Larkspire::systemRequestedQuit()
{
    // Asked again while the quit runs: absorbed while it is young, the end of the process at
    // once when it has had its time (the user has waited long enough).
    const auto quitRunning = QuitSignals::getQuitRunningMs();
    if (quitRunning >= QuitSignals::repeatGraceMs)
        std::_Exit (1);
    // Asked before the quit on its way has begun: part of it.
    if (quitRunning >= 0 || quitRequested)
        return;

    // A signal came while the message thread was held up, and waits to be taken: its quit is
    // the one the program takes, however long the thread was held.
    if (QuitSignals::hasSignalArrived())
    {
        quitOnSignal();
        return;
    }

    const int code = fatalErrorCode.load();
    if (code != 0)
    {
        endAfterFatalError (code);
        return;
    }

    // Asked while the question about unsent edits is up (its box runs the message loop): the
    // answer to that one question decides.
    if (quitQuestionOpen)
        return;
    if (nexus != nullptr)
    {
        const juce::ScopedValueSetter<bool> asking (quitQuestionOpen, true);
        if (! nexus->isQuitAllowed (false))
            return;
    }
    beginQuit();
}

void Larkspire::beginQuit()
{
    quitRequested = true;
    quit();
}

void Larkspire::endAfterFatalError (int code)
{
    // Shown once; while it is up, further quit requests wait for it.
    if (fatalErrorShown)
        return;
    fatalErrorShown = true;

    announceForcedQuit();

    // No modal loop runs here: the box is shown and this callback returns, so that no other
    // message can open a box inside it. Closing the box ends the program in the normal way.
    auto* window = nexus != nullptr ? nexus->getMainWindow() : nullptr;
    auto* dialogs = errorDialogs.load();
    (dialogs != nullptr ? *dialogs : getDialogService())
        .showMessageBoxAsync (DialogService::Icon::warning, "Error", getFatalErrorText (code), { "OK" },
                              window != nullptr ? window->getContentComponent() : nullptr, [] (int) { quit(); });
}

void Larkspire::announceForcedQuit()
{
    // The content component hears of the quit and cannot refuse it.
    if (forcedQuitAnnounced)
        return;
    forcedQuitAnnounced = true;
    if (nexus != nullptr)
        nexus->isQuitAllowed (true);
}

void Larkspire::quitOnSignal()
{
    // Already taken by a request that found the signal waiting, or a quit is on its way.
    if (quitRequested)
        return;

    // Nobody is asked and no box waits for an answer: the signal's sender may not wait, and
    // at a logout nobody is there to answer. What a box would tell goes to the error output,
    // and the unsent edits are kept on disk as at any forced quit. A question about them that
    // is up ends with the message loop, as not answered.
    setDialogService (&getReportingDialogService());
    if (fatalErrorCode.load() != 0)
        writeBoxToErrorOutput ("Error", getFatalErrorText (fatalErrorCode.load()));
    announceForcedQuit();
    beginQuit();
}

void Larkspire::raiseFatalError (int code)
{
    int expected = 0;
    if (code != 0 && fatalErrorCode.compare_exchange_strong (expected, code))
    {
        // During a quit by a signal it is told where that quit tells its boxes; the quit goes on.
        if (&getDialogService() == &getReportingDialogService())
        {
            writeBoxToErrorOutput ("Error", getFatalErrorText (code));
            return;
        }

        // From now on the only box is the error's own: the service in force until now shows it,
        // and one that refuses every other box takes its place.
        errorDialogs = &getDialogService();
        setDialogService (&getRefusingDialogService());
        triggerAsyncUpdate();
    }
}

juce::String Larkspire::getFatalErrorText (int code)
{
    if (code == 2)
        return "Larkspire is unable to load required control files. Please try restarting the application. "
               "Make sure you have a functioning internet connection. "
               "If this error persists, please contact technical support (code " + juce::String (code) + ").";

    return "Larkspire has encountered error and must now stop, sorry. Please try restarting the application. "
           "If this error persists, please contact technical support (code " + juce::String (code) + ").";
}

bool Larkspire::prepareProductContent (juce::uint8 productId)
{
    return nexus != nullptr && nexus->prepareProductContent (productId);
}

juce::MessageListener* Larkspire::getHubListener()
{
    return nexus.get();
}
