#pragma once

#include <functional>

// Turns the signals that ask the program to end (SIGINT, SIGTERM, SIGHUP) into a call on the
// message thread, so that they take the program's one way out. The handler only writes a byte
// to a pipe that the message loop watches; whatever thread the signal lands on, the loop wakes.
// A second signal ends the program at once: the first may wait for a message thread that is
// held up, or for the end of the program, which takes its time.
class QuitSignals
{
public:
    // `onSignal` runs on the message thread when signals have arrived.
    explicit QuitSignals (std::function<void()> onSignal);
    // From here on the signals end the program at once again.
    ~QuitSignals();

private:
    void takeSignals();

    std::function<void()> callback;
    int readEnd = -1;
    int writeEnd = -1;

    QuitSignals (const QuitSignals&) = delete;
    QuitSignals& operator= (const QuitSignals&) = delete;
};
