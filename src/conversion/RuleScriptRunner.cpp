#include "conversion/RuleScriptRunner.h"
#include "conversion/ScriptValues.h"
#include "core/ThreadMemoryAccount.h"

#if JUCE_LINUX
 #include <pthread.h>
 #include <sys/mman.h>
 #include <unistd.h>
#endif

class RuleScriptRunner::ScriptThread : public juce::Thread
{
public:
    struct Job
    {
        juce::JavascriptEngine* engine = nullptr;
        juce::String code;
        juce::Result result { juce::Result::ok() };
    };

    ScriptThread() : juce::Thread ("Rule Script", stackSize) {}

    ~ScriptThread() override
    {
        // Only ever stopped while idle: it ends at once, and is never killed.
        signalThreadShouldExit();
        jobReady.signal();
        stopThread (-1);
    }

    void post (Job& j)
    {
        job = &j;
        jobReady.signal();
    }

    bool waitForJob (int milliseconds) { return jobDone.wait (milliseconds); }

    // What the running script holds now.
    size_t getScriptMemory() const noexcept { return memory.getBytesHeld(); }

    // True once the script thread's stack has been used down to the depth limit.
    bool isTooDeep() const
    {
       #if JUCE_LINUX
        const auto address = probe.load();
        if (address == 0)
            return false;
        unsigned char resident = 0;
        return mincore (reinterpret_cast<void*> (address), pageSize(), &resident) == 0 && (resident & 1) != 0;
       #else
        return false;
       #endif
    }

    void run() override
    {
        findProbe();
        for (;;)
        {
            jobReady.wait (-1);
            if (threadShouldExit())
                return;
            auto* j = job.exchange (nullptr);
            if (j == nullptr)
                continue;
            execute (*j);
            releaseDeepPages();
            jobDone.signal();
        }
    }

private:
    void execute (Job& j)
    {
        // The budget counts what this thread takes while the script runs.
        memory.startCounting();
        try
        {
            j.result = j.engine->execute (j.code);
        }
        catch (const std::exception& e)
        {
            j.result = juce::Result::fail (juce::String ("The script could not run: ") + e.what());
        }
        memory.stopCounting();

        // Whatever the script built is taken apart here, without recursion, so that
        // destroying the engine later cannot recurse through deeply nested values.
        juce::Array<juce::var> values;
        const auto& globals = j.engine->getRootObjectProperties();
        for (int i = 0; i < globals.size(); ++i)
            values.add (globals.getValueAt (i));
        ScriptValues::dismantle (std::move (values));
    }

   #if JUCE_LINUX
    static size_t pageSize() { return (size_t) sysconf (_SC_PAGESIZE); }

    void findProbe()
    {
        pthread_attr_t attributes;
        if (pthread_getattr_np (pthread_self(), &attributes) != 0)
            return;
        void* low = nullptr;
        size_t size = 0;
        const bool known = pthread_attr_getstack (&attributes, &low, &size) == 0;
        pthread_attr_destroy (&attributes);
        if (! known)
            return;

        char here = 0;
        const auto top = reinterpret_cast<uintptr_t> (&here);
        const auto lowest = reinterpret_cast<uintptr_t> (low);
        if (top < lowest + depthLimit + 2 * pageSize())
            return;
        stackLow = lowest;
        probe = (top - depthLimit) & ~(uintptr_t) (pageSize() - 1);
    }

    // After a script that went deep, the stack pages it used are given back, so that the
    // next script starts with a fresh probe page and the memory is not kept.
    void releaseDeepPages()
    {
        if (! isTooDeep())
            return;
        char here = 0;
        const auto current = (reinterpret_cast<uintptr_t> (&here) - (256 << 10)) & ~(uintptr_t) (pageSize() - 1);
        if (current > stackLow)
            madvise (reinterpret_cast<void*> (stackLow), current - stackLow, MADV_DONTNEED);
    }

    uintptr_t stackLow = 0;
   #else
    void findProbe() {}
    void releaseDeepPages() {}
   #endif

    ThreadMemoryAccount memory;
    std::atomic<uintptr_t> probe { 0 };
    std::atomic<Job*> job { nullptr };
    juce::WaitableEvent jobReady, jobDone;
};

RuleScriptRunner::RuleScriptRunner() = default;
RuleScriptRunner::~RuleScriptRunner() = default;

RuleScriptRunner::Result RuleScriptRunner::run (juce::JavascriptEngine& engine, const juce::String& code,
                                                const std::function<bool()>& shouldStop)
{
    Result outcome;
    if (thread == nullptr)
    {
        auto t = std::make_unique<ScriptThread>();
        if (! t->startThread())
        {
            outcome.outcome = Outcome::failed;
            outcome.message = "The script thread could not be started.";
            return outcome;
        }
        thread = std::move (t);
    }

    ScriptThread::Job job;
    job.engine = &engine;
    job.code = code;
    thread->post (job);

    bool interrupted = false;
    while (! thread->waitForJob (pollIntervalMs))
    {
        if (! interrupted)
        {
            if (shouldStop != nullptr && shouldStop())
                outcome.outcome = Outcome::stopped;
            else if (thread->isTooDeep())
                outcome.outcome = Outcome::tooDeep;
            else if (thread->getScriptMemory() > memoryBudget)
                outcome.outcome = Outcome::outOfMemory;
            interrupted = outcome.outcome != Outcome::finished;
        }
        // Again on every turn: the engine sets its deadline when it starts, which may
        // come after the first stop.
        if (interrupted)
            engine.stop();
    }

    if (! interrupted && job.result.failed())
        outcome.outcome = Outcome::failed;
    if (job.result.failed())
        outcome.message = job.result.getErrorMessage();
    return outcome;
}
