#pragma once

#include "core/DeviceCommandMessage.h"
#include <atomic>

// The work list of one device thread: copies of the commands posted to it, oldest first,
// and the state word the rest of the program reads as the thread's busy state.
//
// The lock is held only to add, take or drop commands and to change the state word where
// another thread might write it at the same moment (a cancel); nobody waits under it.
class DeviceCommandQueue
{
public:
    enum State : int
    {
        idle = 0,
        busy = 1,            // a command or an identification runs, a transfer waits for its answer
        taking = 2,          // the queue is being taken from
        answerComplete = 3,  // the answer a transfer waits for is complete
        cancelRequested = 4, // transfers stop at their next check; the command ends cancelled
        error = 0xF          // the device holds a device error code
    };

    explicit DeviceCommandQueue (juce::Thread& owner);
    ~DeviceCommandQueue();

    // Appends a copy and wakes the owner. A command posted while the owner is stopping is
    // dropped (false); the state word is not touched.
    bool push (const DeviceCommandMessage& command);

    // Takes the oldest command into `out`. False at once when there is none, leaving the
    // state as it is. With `busy` the state becomes 1; without, it returns to what it was
    // before the call, so that what the finished command left there stays.
    bool pop (DeviceCommandMessage& out, bool busy);

    // Copies the oldest command into `out` without taking it; the state becomes 1.
    bool peek (DeviceCommandMessage& out);

    // Drops every queued command; the state becomes 0.
    void clear();

    int size() const noexcept     { return count.load(); }
    bool isEmpty() const noexcept { return count.load() == 0; }

    int getState() const noexcept { return state.load(); }
    void setState (int newState) noexcept { state.store (newState); }

    // A cancel is written only over a running command (state 1 or 3): written on an idle
    // device it would stop the next command before it began. True when written.
    bool requestCancel();

private:
    juce::Thread& owner;
    std::atomic<int> state { idle };
    std::atomic<int> count { 0 };
    mutable juce::CriticalSection lock;
    juce::OwnedArray<DeviceCommandMessage> commands;

    JUCE_DECLARE_NON_COPYABLE (DeviceCommandQueue)
};
