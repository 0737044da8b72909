#include <gtest/gtest.h>
#include "core/InfoCodes.h"
#include "device/DeviceCommandQueue.h"

namespace
{
    // An owner thread that is never started: the queue only needs its exit flag and event.
    struct Owner : juce::Thread
    {
        Owner() : juce::Thread ("owner") {}
        void run() override {}
    };
}

TEST (DeviceCommandQueue, PushPopAndPeekKeepOrderAndStateRules)
{
    Owner owner;
    DeviceCommandQueue q (owner);
    DeviceCommandMessage out;

    // Empty: pop fails and leaves the state alone.
    q.setState (DeviceCommandQueue::error);
    EXPECT_FALSE (q.pop (out, true));
    EXPECT_FALSE (q.peek (out));
    EXPECT_EQ (q.getState(), DeviceCommandQueue::error);

    q.setState (DeviceCommandQueue::idle);
    EXPECT_TRUE (q.push (DeviceCommandMessage (DeviceCommand::readAll)));
    EXPECT_TRUE (q.push (DeviceCommandMessage (DeviceCommand::readPresets, juce::Array<int> { 3, 4 })));
    EXPECT_EQ (q.size(), 2);
    EXPECT_EQ (q.getState(), DeviceCommandQueue::idle);   // pushing does not touch it

    // Peek copies the first command, keeps it queued and makes the queue busy.
    ASSERT_TRUE (q.peek (out));
    EXPECT_EQ (out.code, DeviceCommand::readAll);
    EXPECT_EQ (q.size(), 2);
    EXPECT_EQ (q.getState(), DeviceCommandQueue::busy);

    // The command ends with an error: a pop without the busy flag keeps what it left.
    q.setState (DeviceCommandQueue::error);
    ASSERT_TRUE (q.pop (out, false));
    EXPECT_EQ (out.code, DeviceCommand::readAll);
    EXPECT_EQ (q.getState(), DeviceCommandQueue::error);

    // With the busy flag the state becomes 1.
    ASSERT_TRUE (q.pop (out, true));
    EXPECT_EQ (out.code, DeviceCommand::readPresets);
    EXPECT_EQ (out.presetIndices, (juce::Array<int> { 3, 4 }));
    EXPECT_EQ (q.getState(), DeviceCommandQueue::busy);
    EXPECT_TRUE (q.isEmpty());
}

TEST (DeviceCommandQueue, ClearEmptiesAndIdles)
{
    Owner owner;
    DeviceCommandQueue q (owner);
    q.setState (DeviceCommandQueue::cancelRequested);
    q.clear();
    EXPECT_EQ (q.getState(), DeviceCommandQueue::idle);

    for (int i = 0; i < 5; ++i)
        q.push (DeviceCommandMessage (DeviceCommand::readSetup));
    q.setState (DeviceCommandQueue::error);
    q.clear();
    EXPECT_TRUE (q.isEmpty());
    EXPECT_EQ (q.getState(), DeviceCommandQueue::idle);
}

TEST (DeviceCommandQueue, PushWhileTheOwnerStopsIsDropped)
{
    Owner owner;
    DeviceCommandQueue q (owner);
    owner.signalThreadShouldExit();
    EXPECT_FALSE (q.push (DeviceCommandMessage (DeviceCommand::readAll)));
    EXPECT_TRUE (q.isEmpty());
}

TEST (DeviceCommandQueue, CancelIsWrittenOnlyOverARunningCommand)
{
    Owner owner;
    DeviceCommandQueue q (owner);

    // An idle queue is not cancelled: the next command would stop before it began.
    EXPECT_FALSE (q.requestCancel());
    EXPECT_EQ (q.getState(), DeviceCommandQueue::idle);

    q.setState (DeviceCommandQueue::error);
    EXPECT_FALSE (q.requestCancel());
    EXPECT_EQ (q.getState(), DeviceCommandQueue::error);

    for (int running : { (int) DeviceCommandQueue::busy, (int) DeviceCommandQueue::answerComplete })
    {
        q.setState (running);
        EXPECT_TRUE (q.requestCancel());
        EXPECT_EQ (q.getState(), DeviceCommandQueue::cancelRequested);
    }
}

TEST (DeviceCommandQueue, PushWakesTheOwnerAndCopiesShareThePayload)
{
    struct Waiter : juce::Thread
    {
        Waiter() : juce::Thread ("waiter") {}
        void run() override { woke = wait (20000); }
        std::atomic<bool> woke { false };
    } waiter;

    DeviceCommandQueue q (waiter);
    waiter.startThread();
    juce::Thread::sleep (20);

    auto payload = std::make_unique<DeviceCommandMessage::Payload>();
    payload->add (new juce::MidiMessage (juce::MidiMessage::createSysExMessage ("\x01\x02", 2)));
    DeviceCommandMessage raw (std::move (payload), {});
    q.push (raw);
    EXPECT_TRUE (waiter.waitForThreadToExit (20000));
    EXPECT_TRUE (waiter.woke.load());

    DeviceCommandMessage out;
    ASSERT_TRUE (q.pop (out, true));
    EXPECT_EQ (out.code, DeviceCommand::rawSend);
    EXPECT_EQ (out.payload.get(), raw.payload.get());
}
