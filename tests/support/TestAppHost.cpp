#include "support/TestAppHost.h"

namespace testing_support
{
    TestAppHost::TestAppHost() : previous (getAppHost())
    {
        setAppHost (this);
    }

    TestAppHost::~TestAppHost()
    {
        setAppHost (previous);
    }

    void TestAppHost::raiseFatalError (int code)
    {
        int expected = 0;
        fatalCode.compare_exchange_strong (expected, code);
    }

    std::vector<TestAppHost::Event> TestAppHost::eventsWithCode (int code) const
    {
        std::vector<Event> out;
        for (auto& e : hub.received)
            if (e.code == code)
                out.push_back (e);
        return out;
    }
}
