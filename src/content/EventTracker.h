#pragma once

#include "content/TrackableEvent.h"
#include <atomic>
#include <memory>

// "Event Tracker": queues usage events and sends them one by one to the tracking
// service, adding the session key the service gave for this run's start-up event.
// Nothing is sent when the program was started with its developer word.
class EventTracker : public juce::Thread
{
public:
    EventTracker();   // starts the thread
    ~EventTracker() override;

    // Takes the event in any case. Position -1 is the end of the queue. False when the
    // event was refused (and deleted); an already reported connection counts as accepted.
    bool addEvent (std::unique_ptr<TrackableEvent> event, int position = -1, bool doNotSignal = false);

    // Sends up to `maximum` queued events (below 1: all); one reply text per event sent.
    juce::StringArray sendEvents (int maximum);

    void sendStartupEvent();
    void run() override;

    // The session key in the service's reply to the run event: the reply must be wholly a
    // decimal number (blanks and line ends around it aside) that fits an int, else 0.
    static int readSessionKey (const juce::String& reply);

    int getSessionKey() const noexcept            { return sessionKey.load(); }
    const juce::Uuid& getSessionId() const noexcept { return sessionId; }
    bool isEnabled() const noexcept               { return enabled; }
    int getNumQueued() const;

    // Waits of the tracker, in ms. Tests shorten them.
    struct Timings
    {
        int idleWaitMs = 3600000;      // longest wait for a signal with an empty queue
        int shutdownGraceMs = 5000;    // given to queued events at shutdown
        int stopTimeoutMs = 5000;
    };
    static Timings getTimings();
    static void setTimings (const Timings& timings);

private:
    juce::Uuid installToken;
    juce::Uuid sessionId;
    std::atomic<int> sessionKey { 0 };
    bool enabled = true;
    bool allowed = true;
    const Timings timings;

    juce::CriticalSection connectionsLock;
    juce::Array<int> reportedSerials;
    juce::Array<juce::int16> reportedBuilds;

    juce::CriticalSection queueLock;
    std::vector<std::unique_ptr<TrackableEvent>> queue;

    JUCE_DECLARE_NON_COPYABLE (EventTracker)
};

// The process-wide event tracker; the setter owns what it is given and deletes the one
// it replaces. Whatever is still set at process exit is deleted then.
EventTracker* getEventTracker();
void setEventTracker (EventTracker* tracker);
