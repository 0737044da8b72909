#include "app/QuitSignals.h"
#include <juce_events/juce_events.h>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace
{
    constexpr int quitSignals[] = { SIGINT, SIGTERM, SIGHUP };

    std::atomic<int> signalPipe { -1 };
    std::atomic<int> signalsTaken { 0 };

    void handleQuitSignal (int signal)
    {
        // One more while the quit that the first asked for runs, or while the message thread is
        // held up and has not seen the first, ends the process at once, as the signal does by
        // default: what is saved stays whole, since every file is replaced in one step.
        if (signalsTaken.fetch_add (1) > 0)
        {
            struct sigaction byDefault {};
            byDefault.sa_handler = SIG_DFL;
            sigemptyset (&byDefault.sa_mask);
            ::sigaction (signal, &byDefault, nullptr);
            ::raise (signal);   // taken as this handler returns
            return;
        }

        const int savedErrno = errno;
        const int fd = signalPipe.load();
        if (fd >= 0)
        {
            const char byte = 'q';
            [[maybe_unused]] const auto written = ::write (fd, &byte, 1);
        }
        errno = savedErrno;
    }

    void setHandler (void (*handler) (int))
    {
        struct sigaction action {};
        action.sa_handler = handler;
        sigemptyset (&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (auto s : quitSignals)
            ::sigaction (s, &action, nullptr);
    }
}

QuitSignals::QuitSignals (std::function<void()> onSignal)
    : callback (std::move (onSignal))
{
    int ends[2];
    if (::pipe2 (ends, O_NONBLOCK | O_CLOEXEC) != 0)
        return;

    readEnd = ends[0];
    writeEnd = ends[1];
    juce::LinuxEventLoop::registerFdCallback (readEnd, [this] (int) { takeSignals(); });
    signalPipe.store (writeEnd);
    setHandler (handleQuitSignal);
}

QuitSignals::~QuitSignals()
{
    if (readEnd < 0)
        return;

    setHandler (SIG_DFL);
    signalPipe.store (-1);
    juce::LinuxEventLoop::unregisterFdCallback (readEnd);
    ::close (readEnd);
    ::close (writeEnd);
}

void QuitSignals::takeSignals()
{
    char bytes[16];
    bool arrived = false;
    while (::read (readEnd, bytes, sizeof (bytes)) > 0)
        arrived = true;
    if (arrived)
        callback();
}
