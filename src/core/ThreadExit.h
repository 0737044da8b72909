#pragma once

#include <juce_core/juce_core.h>

// Whether the work of `thread` should stop: its exit flag, or, when no thread is named,
// the calling thread's (never set on the message thread).
inline bool exitRequested (juce::Thread* thread)
{
    return thread != nullptr ? thread->threadShouldExit() : juce::Thread::currentThreadShouldExit();
}
