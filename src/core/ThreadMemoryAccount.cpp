#include "core/ThreadMemoryAccount.h"
#include <mutex>
#include <sys/mman.h>

// The blocks a counting thread holds are kept in a table beside the heap, keyed by address,
// with their size and account: a free on any thread finds its block there and takes it off
// the account it was counted to, and a free of anything else changes no count. The table
// lives in memory of its own (straight from the system), never in the heap it watches.
struct ThreadMemoryLedger
{
    struct Entry
    {
        std::uintptr_t address;   // 0: an empty slot
        size_t size;
        ThreadMemoryAccount* account;
    };

    struct Shard
    {
        std::mutex lock;
        Entry* slots = nullptr;
        size_t capacity = 0;   // a power of two, or 0 before the first block
        size_t used = 0;
    };

    static constexpr size_t numShards = 16;
    static constexpr size_t firstCapacity = 256;

    Shard shards[numShards];
    std::atomic<size_t> entries { 0 };

    static std::uint64_t hashOf (std::uintptr_t address) noexcept
    {
        std::uint64_t x = address;
        x ^= x >> 33;
        x *= 0xff51afd7ed558ccdULL;
        x ^= x >> 33;
        return x;
    }

    Shard& shardOf (std::uintptr_t address) noexcept { return shards[hashOf (address) % numShards]; }

    static size_t homeOf (std::uintptr_t address, size_t capacity) noexcept
    {
        return (size_t) (hashOf (address) / numShards) & (capacity - 1);
    }

    static Entry* makeSlots (size_t capacity) noexcept
    {
        void* memory = ::mmap (nullptr, capacity * sizeof (Entry), PROT_READ | PROT_WRITE,
                               MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        return memory == MAP_FAILED ? nullptr : static_cast<Entry*> (memory);   // zero-filled: all empty
    }

    static void freeSlots (Entry* slots, size_t capacity) noexcept
    {
        if (slots != nullptr)
            ::munmap (slots, capacity * sizeof (Entry));
    }

    static void place (Entry* slots, size_t capacity, const Entry& entry) noexcept
    {
        auto i = homeOf (entry.address, capacity);
        while (slots[i].address != 0)
            i = (i + 1) & (capacity - 1);
        slots[i] = entry;
    }

    static bool grow (Shard& s) noexcept
    {
        const auto capacity = s.capacity == 0 ? firstCapacity : s.capacity * 2;
        auto* slots = makeSlots (capacity);
        if (slots == nullptr)
            return false;
        for (size_t i = 0; i < s.capacity; ++i)
            if (s.slots[i].address != 0)
                place (slots, capacity, s.slots[i]);
        freeSlots (s.slots, s.capacity);
        s.slots = slots;
        s.capacity = capacity;
        return true;
    }

    // Empties slot i, moving later entries of its run back so that every entry stays
    // reachable from its home slot.
    void clearSlot (Shard& s, size_t i) noexcept
    {
        const auto mask = s.capacity - 1;
        for (auto j = (i + 1) & mask; s.slots[j].address != 0; j = (j + 1) & mask)
        {
            const auto home = homeOf (s.slots[j].address, s.capacity);
            const bool movable = i <= j ? (home <= i || home > j) : (home <= i && home > j);
            if (movable)
            {
                s.slots[i] = s.slots[j];
                i = j;
            }
        }
        s.slots[i].address = 0;
        --s.used;
        entries.fetch_sub (1, std::memory_order_relaxed);
    }

    void add (std::uintptr_t address, size_t size, ThreadMemoryAccount& account) noexcept
    {
        account.held.fetch_add ((std::int64_t) size, std::memory_order_relaxed);

        auto& s = shardOf (address);
        const std::lock_guard<std::mutex> guard (s.lock);
        if ((s.used + 1) * 4 > s.capacity * 3 && ! grow (s))
            return;   // kept in the count, just never taken off it again

        const auto mask = s.capacity - 1;
        auto i = homeOf (address, s.capacity);
        while (s.slots[i].address != 0 && s.slots[i].address != address)
            i = (i + 1) & mask;

        if (s.slots[i].address == address)
        {
            // A block freed where no one watches (inside a system library): its count goes now.
            s.slots[i].account->held.fetch_sub ((std::int64_t) s.slots[i].size, std::memory_order_relaxed);
        }
        else
        {
            ++s.used;
            entries.fetch_add (1, std::memory_order_relaxed);
        }
        s.slots[i] = { address, size, &account };
    }

    void remove (std::uintptr_t address) noexcept
    {
        auto& s = shardOf (address);
        const std::lock_guard<std::mutex> guard (s.lock);
        if (s.capacity == 0)
            return;

        const auto mask = s.capacity - 1;
        for (auto i = homeOf (address, s.capacity); s.slots[i].address != 0; i = (i + 1) & mask)
        {
            if (s.slots[i].address == address)
            {
                s.slots[i].account->held.fetch_sub ((std::int64_t) s.slots[i].size, std::memory_order_relaxed);
                clearSlot (s, i);
                return;
            }
        }
    }

    void forget (const ThreadMemoryAccount& account) noexcept
    {
        for (auto& s : shards)
        {
            const std::lock_guard<std::mutex> guard (s.lock);
            for (size_t i = 0; i < s.capacity && s.used > 0;)
            {
                if (s.slots[i].address != 0 && s.slots[i].account == &account)
                    clearSlot (s, i);   // slot i may now hold a later entry: look again
                else
                    ++i;
            }
            // The table is kept for the next run; one that a big run grew goes back to its
            // first size.
            if (s.used == 0 && s.capacity > firstCapacity)
            {
                freeSlots (s.slots, s.capacity);
                s.slots = makeSlots (firstCapacity);
                s.capacity = s.slots != nullptr ? firstCapacity : 0;
            }
        }
    }
};

namespace
{
    // Set up before any allocation can happen: no code has to run to make it.
   #if defined (__clang__)
    [[clang::require_constant_initialization]]
   #endif
    ThreadMemoryLedger ledger;

    __attribute__ ((tls_model ("initial-exec"))) thread_local ThreadMemoryAccount* countingAccount = nullptr;
}

//==============================================================================
ThreadMemoryAccount::~ThreadMemoryAccount()
{
    if (counting)
        ledger.forget (*this);
}

void ThreadMemoryAccount::startCounting()
{
    held.store (0);
    counting = true;
    countingAccount = this;
}

void ThreadMemoryAccount::stopCounting()
{
    if (countingAccount == this)
        countingAccount = nullptr;
    ledger.forget (*this);
    counting = false;
    held.store (0);
}

size_t ThreadMemoryAccount::getBytesHeld() const noexcept
{
    const auto bytes = held.load (std::memory_order_relaxed);
    return bytes > 0 ? (size_t) bytes : 0;
}

//==============================================================================
// The wrappers the linker puts in place of the allocation functions for the program's own
// code (see the link options of the core library). Each calls the real function and keeps
// the ledger.
namespace
{
    inline void noteAllocation (void* block, size_t size) noexcept
    {
        if (block != nullptr)
            if (auto* account = countingAccount)
                ledger.add (reinterpret_cast<std::uintptr_t> (block), size, *account);
    }

    inline void noteRelease (void* block) noexcept
    {
        if (block != nullptr && ledger.entries.load (std::memory_order_relaxed) != 0)
            ledger.remove (reinterpret_cast<std::uintptr_t> (block));
    }
}

extern "C"
{
    void* __real_malloc (size_t);
    void* __real_calloc (size_t, size_t);
    void* __real_realloc (void*, size_t);
    void __real_free (void*);
    int __real_posix_memalign (void**, size_t, size_t);
    void* __real_aligned_alloc (size_t, size_t);
    void* __real_memalign (size_t, size_t);

    void* __wrap_malloc (size_t size)
    {
        auto* block = __real_malloc (size);
        noteAllocation (block, size);
        return block;
    }

    void* __wrap_calloc (size_t count, size_t size)
    {
        auto* block = __real_calloc (count, size);
        noteAllocation (block, count * size);
        return block;
    }

    void __wrap_free (void* block)
    {
        noteRelease (block);
        __real_free (block);
    }

    void* __wrap_realloc (void* block, size_t size)
    {
        if (block == nullptr)
            return __wrap_malloc (size);
        if (size == 0)
        {
            __wrap_free (block);
            return nullptr;
        }
        // Off the ledger before the block may go; a failed realloc leaves the block to the
        // caller uncounted, which only happens when the heap is exhausted anyway.
        noteRelease (block);
        auto* moved = __real_realloc (block, size);
        noteAllocation (moved, size);
        return moved;
    }

    int __wrap_posix_memalign (void** block, size_t alignment, size_t size)
    {
        const int result = __real_posix_memalign (block, alignment, size);
        if (result == 0)
            noteAllocation (*block, size);
        return result;
    }

    void* __wrap_aligned_alloc (size_t alignment, size_t size)
    {
        auto* block = __real_aligned_alloc (alignment, size);
        noteAllocation (block, size);
        return block;
    }

    void* __wrap_memalign (size_t alignment, size_t size)
    {
        auto* block = __real_memalign (alignment, size);
        noteAllocation (block, size);
        return block;
    }
}

// operator new and delete in all their forms, by their mangled names. The alignment is
// passed as the size_t it is; a nothrow tag by its address.
#define LARKSPIRE_WRAP_NEW(name, parameters, arguments)                          \
    extern "C" void* __real_##name parameters;                                   \
    extern "C" void* __wrap_##name parameters                                     \
    {                                                                             \
        auto* block = __real_##name arguments;                                    \
        noteAllocation (block, size);                                             \
        return block;                                                             \
    }

#define LARKSPIRE_WRAP_DELETE(name, parameters, arguments)                       \
    extern "C" void __real_##name parameters noexcept;                           \
    extern "C" void __wrap_##name parameters noexcept                            \
    {                                                                             \
        noteRelease (block);                                                      \
        __real_##name arguments;                                                  \
    }

LARKSPIRE_WRAP_NEW (_Znwm, (size_t size), (size))
LARKSPIRE_WRAP_NEW (_Znam, (size_t size), (size))
LARKSPIRE_WRAP_NEW (_ZnwmRKSt9nothrow_t, (size_t size, const void* tag), (size, tag))
LARKSPIRE_WRAP_NEW (_ZnamRKSt9nothrow_t, (size_t size, const void* tag), (size, tag))
LARKSPIRE_WRAP_NEW (_ZnwmSt11align_val_t, (size_t size, size_t alignment), (size, alignment))
LARKSPIRE_WRAP_NEW (_ZnamSt11align_val_t, (size_t size, size_t alignment), (size, alignment))
LARKSPIRE_WRAP_NEW (_ZnwmSt11align_val_tRKSt9nothrow_t, (size_t size, size_t alignment, const void* tag), (size, alignment, tag))
LARKSPIRE_WRAP_NEW (_ZnamSt11align_val_tRKSt9nothrow_t, (size_t size, size_t alignment, const void* tag), (size, alignment, tag))

LARKSPIRE_WRAP_DELETE (_ZdlPv, (void* block), (block))
LARKSPIRE_WRAP_DELETE (_ZdaPv, (void* block), (block))
LARKSPIRE_WRAP_DELETE (_ZdlPvm, (void* block, size_t size), (block, size))
LARKSPIRE_WRAP_DELETE (_ZdaPvm, (void* block, size_t size), (block, size))
LARKSPIRE_WRAP_DELETE (_ZdlPvRKSt9nothrow_t, (void* block, const void* tag), (block, tag))
LARKSPIRE_WRAP_DELETE (_ZdaPvRKSt9nothrow_t, (void* block, const void* tag), (block, tag))
LARKSPIRE_WRAP_DELETE (_ZdlPvSt11align_val_t, (void* block, size_t alignment), (block, alignment))
LARKSPIRE_WRAP_DELETE (_ZdaPvSt11align_val_t, (void* block, size_t alignment), (block, alignment))
LARKSPIRE_WRAP_DELETE (_ZdlPvmSt11align_val_t, (void* block, size_t size, size_t alignment), (block, size, alignment))
LARKSPIRE_WRAP_DELETE (_ZdaPvmSt11align_val_t, (void* block, size_t size, size_t alignment), (block, size, alignment))
LARKSPIRE_WRAP_DELETE (_ZdlPvSt11align_val_tRKSt9nothrow_t, (void* block, size_t alignment, const void* tag), (block, alignment, tag))
LARKSPIRE_WRAP_DELETE (_ZdaPvSt11align_val_tRKSt9nothrow_t, (void* block, size_t alignment, const void* tag), (block, alignment, tag))
