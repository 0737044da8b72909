#include "app/QuitSignals.h"
#include <juce_events/juce_events.h>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace
{
    constexpr int quitSignals[] = { SIGINT, SIGTERM, SIGHUP };
    constexpr long long noQuit = -1;

    std::atomic<int> signalPipe { -1 };
    // On the monotonic clock in milliseconds, noQuit until then: when the first signal arrived,
    // and when the quit began on the message thread.
    std::atomic<long long> signalArrivedAt { noQuit };
    std::atomic<long long> quitBegunAt { noQuit };
    static_assert (decltype (quitBegunAt)::is_always_lock_free, "read in a signal handler");

    // Safe in a signal handler.
    long long monotonicMs()
    {
        timespec t {};
        ::clock_gettime (CLOCK_MONOTONIC, &t);
        return (long long) t.tv_sec * 1000 + t.tv_nsec / 1000000;
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

    void handleQuitSignal (int signal)
    {
        const auto now = monotonicMs();
        auto first = noQuit;
        const bool isFirst = signalArrivedAt.compare_exchange_strong (first, now);
        const auto begun = quitBegunAt.load();
        if (! isFirst || begun != noQuit)
        {
            // Part of a quit that has begun, or that an earlier signal asked for: absorbed while
            // it is young; later the sender has waited long enough (for the end of the program, or
            // for a message thread that never took the first signal), and the process ends at
            // once, as the signal does by default. What is saved stays whole, since every file is
            // replaced in one step.
            if (now - (begun != noQuit ? begun : first) >= QuitSignals::repeatGraceMs)
            {
                struct sigaction byDefault {};
                byDefault.sa_handler = SIG_DFL;
                sigemptyset (&byDefault.sa_mask);
                ::sigaction (signal, &byDefault, nullptr);
                ::raise (signal);   // taken as this handler returns
            }
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

    // Once a quit has begun the handler stays: a logout's second signal may come while the
    // process ends. Without one, the signals end the process at once again.
    if (quitBegunAt.load() == noQuit)
        setHandler (SIG_DFL);
    signalPipe.store (-1);
    juce::LinuxEventLoop::unregisterFdCallback (readEnd);
    ::close (readEnd);
    ::close (writeEnd);
}

void QuitSignals::quitBegins()
{
    auto begun = noQuit;
    quitBegunAt.compare_exchange_strong (begun, monotonicMs());
}

long long QuitSignals::getQuitRunningMs()
{
    const auto begun = quitBegunAt.load();
    return begun == noQuit ? -1 : monotonicMs() - begun;
}

bool QuitSignals::hasSignalArrived()
{
    return signalArrivedAt.load() != noQuit;
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
