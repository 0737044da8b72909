#include "device/DeviceCommandQueue.h"

DeviceCommandQueue::DeviceCommandQueue (juce::Thread& o) : owner (o)
{
}

DeviceCommandQueue::~DeviceCommandQueue()
{
    const juce::ScopedLock sl (lock);
    commands.clear();
    count.store (0);
}

bool DeviceCommandQueue::push (const DeviceCommandMessage& command)
{
    if (owner.threadShouldExit())
        return false;

    {
        const juce::ScopedLock sl (lock);
        commands.add (new DeviceCommandMessage (command));
        count.store (commands.size());
    }
    owner.notify();
    return true;
}

bool DeviceCommandQueue::pop (DeviceCommandMessage& out, bool busy)
{
    if (count.load() == 0)
        return false;

    const juce::ScopedLock sl (lock);
    if (commands.isEmpty())
        return false;

    const int before = state.exchange (taking);
    out.copyFrom (*commands.getFirst());
    commands.remove (0);
    count.store (commands.size());
    state.store (busy ? (int) State::busy : before);
    return true;
}

bool DeviceCommandQueue::peek (DeviceCommandMessage& out)
{
    if (count.load() == 0)
        return false;

    const juce::ScopedLock sl (lock);
    if (commands.isEmpty())
        return false;

    state.store (taking);
    out.copyFrom (*commands.getFirst());
    state.store (State::busy);
    return true;
}

void DeviceCommandQueue::clear()
{
    const juce::ScopedLock sl (lock);
    state.store (taking);
    while (! commands.isEmpty())
        commands.removeLast();
    commands.clear();
    count.store (0);
    state.store (State::idle);
}

bool DeviceCommandQueue::requestCancel()
{
    // Under the lock the state is never 2: pop, peek and clear only write it while they hold it.
    const juce::ScopedLock sl (lock);
    for (int expected : { (int) State::busy, (int) State::answerComplete })
    {
        int e = expected;
        if (state.compare_exchange_strong (e, State::cancelRequested))
            return true;
    }
    return false;
}
