#pragma once

#include "support/TestEnvironment.h"
#include <juce_core/juce_core.h>
#include <atomic>

namespace testing_support
{
    // A name server that takes every query and never answers, as on a broken or captive
    // network, in place of the machine's: only where the test runs in a mount namespace of its
    // own (the test runner starts it so), over whose resolv.conf its own is mounted, and may take
    // the port of name servers (as root). Where it could be and is not, it ends the test.
    class SilentNameServer : private juce::Thread
    {
    public:
        SilentNameServer();
        ~SilentNameServer() override;

        bool isInPlace() const noexcept { return mounted; }
        int getQueries() const noexcept { return queries.load(); }

    private:
        void run() override;

        const int socket;
        TempFolder folder;
        bool mounted = false;
        std::atomic<int> queries { 0 };
    };
}
