#pragma once

#include <functional>

// Turns the signals that ask the program to end (SIGINT, SIGTERM, SIGHUP) into a call on the
// message thread, so that they take the program's one way out. The handler only writes a byte
// to a pipe that the message loop watches; whatever thread the signal lands on, the loop wakes.
//
// Signals that come together (a session manager sends SIGTERM and SIGHUP at once at logout)
// are one quit: a request to quit within `repeatGraceMs` of the quit's beginning is absorbed.
// One that comes later ends the process at once: the quit may wait for a message thread that
// is held up, or for the end of the program, which takes its time.
class QuitSignals
{
public:
    static constexpr int repeatGraceMs = 2000;

    // `onSignal` runs on the message thread when signals have arrived.
    explicit QuitSignals (std::function<void()> onSignal);
    // Signals no longer reach the message thread. Once a quit has begun they are still taken
    // as above until the process ends; before that, they end it at once again.
    ~QuitSignals();

    // The program's quit begins now, unless a signal began it earlier.
    static void quitBegins();
    // Milliseconds since the quit began; -1 while none has begun.
    static long long getQuitRunningMs();

private:
    void takeSignals();

    std::function<void()> callback;
    int readEnd = -1;
    int writeEnd = -1;

    QuitSignals (const QuitSignals&) = delete;
    QuitSignals& operator= (const QuitSignals&) = delete;
};
