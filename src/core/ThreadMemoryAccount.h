#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

// Counts the heap memory that one thread takes: the blocks it allocates while it counts
// and that have not been freed again, on whichever thread the free happens. Memory that
// other threads allocate never counts, and the thread freeing memory allocated elsewhere
// takes nothing off its count.
//
// The program's own allocations (its code and the framework compiled into it, through
// malloc and its relatives and operator new and delete) are seen by the linker's wrapping
// of those functions; allocations made inside system libraries are not counted. Threads
// that do not count pay one check per allocation, and one more per free while some
// thread counts.
class ThreadMemoryAccount
{
public:
    ThreadMemoryAccount() = default;
    ~ThreadMemoryAccount();

    // Starts counting what the calling thread allocates, from zero. A thread counts into
    // one account at a time.
    void startCounting();

    // Stops counting on the calling thread (the one that started); what was counted is
    // forgotten.
    void stopCounting();

    // Bytes the counting thread has taken since it started and still holds. Safe from any
    // thread.
    size_t getBytesHeld() const noexcept;

private:
    friend struct ThreadMemoryLedger;   // keeps `held` from the allocation wrappers

    std::atomic<std::int64_t> held { 0 };
    bool counting = false;

    ThreadMemoryAccount (const ThreadMemoryAccount&) = delete;
    ThreadMemoryAccount& operator= (const ThreadMemoryAccount&) = delete;
};
