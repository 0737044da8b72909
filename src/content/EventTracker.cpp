#include "content/EventTracker.h"
#include "content/EventConnection.h"
#include "content/EventInstallLog.h"
#include "content/EventStartup.h"
#include "content/WebTransfer.h"
#include "core/AppHost.h"
#include <limits>

namespace
{
    std::unique_ptr<EventTracker>& trackerHolder()
    {
        static std::unique_ptr<EventTracker> holder;
        return holder;
    }

    juce::CriticalSection timingsLock;
    EventTracker::Timings& timingsHolder()
    {
        static EventTracker::Timings timings;
        return timings;
    }
}

EventTracker* getEventTracker()
{
    return trackerHolder().get();
}

void setEventTracker (EventTracker* tracker)
{
    auto old = std::move (trackerHolder());
    trackerHolder().reset (tracker);
    old.reset();
}

EventTracker::Timings EventTracker::getTimings()
{
    const juce::ScopedLock sl (timingsLock);
    return timingsHolder();
}

void EventTracker::setTimings (const Timings& t)
{
    const juce::ScopedLock sl (timingsLock);
    timingsHolder() = t;
}

EventTracker::EventTracker()
    : juce::Thread ("Event Tracker"),
      enabled (! appIsDeveloper()),
      timings (getTimings())
{
    if (auto* host = getAppHost())
        installToken = host->getInstallId();
    else
        installToken = juce::Uuid::null();

    startThread (juce::Thread::Priority::low);
}

EventTracker::~EventTracker()
{
    if (getNumQueued() > 0)
    {
        notify();
        const auto start = juce::Time::getMillisecondCounter();
        while (juce::Time::getMillisecondCounter() - start < (juce::uint32) timings.shutdownGraceMs)
            juce::Thread::sleep (10);
    }

    stopThread (timings.stopTimeoutMs);

    const juce::ScopedLock sl (queueLock);
    queue.clear();
}

int EventTracker::getNumQueued() const
{
    const juce::ScopedLock sl (queueLock);
    return (int) queue.size();
}

bool EventTracker::addEvent (std::unique_ptr<TrackableEvent> event, int position, bool doNotSignal)
{
    if (event == nullptr || ! enabled)
        return false;

    if (! allowed && dynamic_cast<EventInstallLog*> (event.get()) == nullptr)
        return false;

    if (auto* connection = dynamic_cast<EventConnection*> (event.get()))
    {
        // One report per device and firmware build in a run.
        const int serial = connection->getDevice().serial;
        const auto build = connection->getDevice().firmware.build;

        const juce::ScopedLock sl (connectionsLock);
        const int index = reportedSerials.indexOf (serial);
        if (index >= 0)
        {
            if (reportedBuilds[index] == build)
                return true;
            reportedSerials.remove (index);
            reportedBuilds.remove (index);
        }
        reportedSerials.add (serial);
        reportedBuilds.add (build);
    }

    {
        const juce::ScopedLock sl (queueLock);
        const auto at = position < 0 || position > (int) queue.size() ? queue.end() : queue.begin() + position;
        queue.insert (at, std::move (event));
    }

    if (! doNotSignal)
        notify();
    return true;
}

juce::StringArray EventTracker::sendEvents (int maximum)
{
    juce::StringArray replies;
    int n = getNumQueued();
    if (maximum >= 1)
        n = juce::jmin (n, maximum);

    for (int i = 0; i < n; ++i)
    {
        std::unique_ptr<TrackableEvent> event;
        {
            const juce::ScopedLock sl (queueLock);
            if (queue.empty())
                break;
            event = std::move (queue.front());
            queue.erase (queue.begin());
        }

        const auto url = event->getUrl().withParameter ("session_key", juce::String (sessionKey.load()));
        juce::String reply;
        postFormToWeb (url, reply, this);   // a failed request loses its event: no retry
        replies.add (reply);
        juce::Thread::yield();
    }
    return replies;
}

void EventTracker::sendStartupEvent()
{
    if (! addEvent (std::make_unique<EventStartup> (installToken, sessionId), 0, false))
        return;

    const auto replies = sendEvents (1);
    sessionKey.store (replies.isEmpty() ? 0 : readSessionKey (replies[0]));
}

int EventTracker::readSessionKey (const juce::String& reply)
{
    const auto text = reply.trim();
    auto p = text.getCharPointer();
    const bool negative = *p == '-';
    if (negative || *p == '+')
        ++p;
    if (p.isEmpty())
        return 0;

    juce::int64 value = 0;
    for (; ! p.isEmpty(); ++p)
    {
        if (*p < '0' || *p > '9')
            return 0;
        value = value * 10 + (*p - '0');
        if (value > (juce::int64) std::numeric_limits<int>::max() + 1)
            return 0;
    }
    if (negative)
        value = -value;
    return value > std::numeric_limits<int>::max() ? 0 : (int) value;
}

void EventTracker::run()
{
    sendStartupEvent();

    if (auto* host = getAppHost())
        if (host->getFirstRunFlag())
            addEvent (std::make_unique<EventInstallLog> (true), -1, false);

    while (! threadShouldExit())
    {
        if (getNumQueued() == 0)
            wait (timings.idleWaitMs);

        if (! threadShouldExit() && getNumQueued() > 0)
            sendEvents (0);

        juce::Thread::yield();
    }
}
