#pragma once

#include <functional>

// Turns the signals that ask the program to end (SIGINT, SIGTERM, SIGHUP) into a call on the
// message thread, so that they take the program's one way out. The handler only writes a byte
// to a pipe that the message loop watches; whatever thread the signal lands on, the loop wakes.
//
// Signals that come together (a session manager sends SIGTERM and SIGHUP at once at logout)
// are one quit: a request to quit within `repeatGraceMs` of the quit's beginning is absorbed.
// One that comes later ends the process at once: the end of the program takes its time. The
// quit begins on the message thread, as the window goes; until then a repeated signal counts
// from the first signal's arrival, so that a program whose message thread hangs still ends.
class QuitSignals
{
public:
    static constexpr int repeatGraceMs = 2000;

    // `onSignal` runs on the message thread when signals have arrived.
    explicit QuitSignals (std::function<void()> onSignal);
    // Signals no longer reach the message thread. Once a quit has begun they are still taken
    // as above until the process ends; before that, they end it at once again.
    ~QuitSignals();

    // The program's quit begins now (on the message thread, as its window goes), unless it has.
    static void quitBegins();
    // Milliseconds since the quit began; -1 while none has begun.
    static long long getQuitRunningMs();
    // Whether a signal has asked the program to end, taken on the message thread or not.
    static bool hasSignalArrived();

private:
    void takeSignals();

    std::function<void()> callback;
    int readEnd = -1;
    int writeEnd = -1;

    QuitSignals (const QuitSignals&) = delete;
    QuitSignals& operator= (const QuitSignals&) = delete;
};
