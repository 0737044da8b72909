#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>
#include "content/WebTransfer.h"
#include <cstdio>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <ctime>

#if LARKSPIRE_WINDOW_TESTS
 #include <fcntl.h>
 #include <sys/file.h>
#endif

// One framework initialisation for the whole test process; the calling thread
// becomes the message thread.
int main (int argc, char** argv)
{
    // Texts and times are compared as the C locale and UTC give them, in this process and
    // in the programs it starts.
    ::setenv ("LC_ALL", "C", 1);
    ::setenv ("TZ", "UTC", 1);
    ::tzset();
    std::setlocale (LC_ALL, "C");
    ::testing::InitGoogleTest (&argc, argv);

   #if LARKSPIRE_WINDOW_TESTS
    // The program keeps its single-instance lock in /var/tmp, so window tests of different
    // build trees on one machine take turns, unless each has a /var/tmp of its own (the test
    // runner gives them one). Listing tests needs no turn.
    if (! ::testing::GTEST_FLAG (list_tests) && std::getenv ("LARKSPIRE_TEST_OWN_MOUNTS") == nullptr)
    {
        const int fd = ::open ("/tmp/larkspire-window-tests.lock", O_CREAT | O_RDWR, 0666);
        if (fd < 0 || ::flock (fd, LOCK_EX) != 0)   // released when the process ends
        {
            std::perror ("/tmp/larkspire-window-tests.lock");
            return 1;
        }
    }
   #endif

    juce::ScopedJuceInitialiser_GUI juce;
    const int result = RUN_ALL_TESTS();

    // Web transfers that the tests gave up end before the statics they use go; one that does
    // not end must not meet their teardown.
    if (! waitForGivenUpWebTransfers (5000))
    {
        std::fflush (nullptr);
        std::_Exit (result);
    }
    return result;
}
