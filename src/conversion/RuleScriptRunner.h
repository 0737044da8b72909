#pragma once

#include <juce_core/juce_core.h>
#include <functional>
#include <memory>

// Runs rule scripts on a thread of its own with a large stack, while the calling thread
// waits and watches. JUCE's interpreter has no recursion limit, so the watch interrupts a
// script whose stack grows too deep, long before the stack ends; it has no memory limit
// either, so the watch interrupts a script that takes more than its memory budget; and it
// interrupts the script when the caller is asked to stop, so that no thread ever has to
// be killed while a script runs. The thread is made on first use and reused for every
// later script.
class RuleScriptRunner
{
public:
    RuleScriptRunner();
    ~RuleScriptRunner();

    enum class Outcome
    {
        finished,   // the script ran to its end
        failed,     // the interpreter reported an error (syntax, run-time, time-out)
        stopped,    // interrupted because shouldStop turned true
        tooDeep,    // interrupted because its calls nested too deeply
        outOfMemory // interrupted because it took more memory than its budget
    };

    struct Result
    {
        Outcome outcome = Outcome::finished;
        juce::String message;   // the interpreter's text when it failed
    };

    // Executes the code in the engine; returns when the script has ended. After the run
    // everything the script left in the engine is taken apart, so only destroy the engine
    // afterwards. shouldStop is polled on the calling thread.
    Result run (juce::JavascriptEngine& engine, const juce::String& code, const std::function<bool()>& shouldStop);

    // The script thread's stack, and how deep a script may use it before it is interrupted:
    // the rest is room for what cannot be interrupted (parsing and evaluating the deepest
    // expression a script of the largest accepted size can hold). A call level of the
    // interpreter takes about half a kilobyte, so the limit allows some 8000 nested calls.
    // It is kept that low because a function that calls itself through its global name
    // looks the name up through every level's scope: such a recursion gets slower with
    // every level, and a deeper limit would be reached only after the time limit.
    static constexpr size_t stackSize = (size_t) 192 << 20;
    static constexpr size_t depthLimit = (size_t) 4 << 20;
    static constexpr int pollIntervalMs = 5;

    // The memory one script run may take: what the script's thread allocates while it runs
    // and still holds (what other threads of the program take or give back meanwhile does
    // not count). Rule scripts convert one preset or setup at a time and need a tiny part of
    // this; a script that grows arrays, objects or texts without end is stopped when it is
    // used up (within one poll interval, so it may overshoot by what it takes in that time).
    static constexpr size_t memoryBudget = (size_t) 128 << 20;

private:
    class ScriptThread;
    std::unique_ptr<ScriptThread> thread;

    JUCE_DECLARE_NON_COPYABLE (RuleScriptRunner)
};
