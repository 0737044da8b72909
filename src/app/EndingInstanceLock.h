#pragma once

#include <juce_core/juce_core.h>

// The framework keeps one instance of the program per machine by a lock file in /var/tmp that
// the instance holds until its process ends; a start that finds it held hands its command line
// over and quits. An instance that is ending also holds this lock beside it, so that a start
// meanwhile (a user who quits and opens the program again) can tell it from an instance that
// runs on, and wait for it to be gone instead of being lost.
class EndingInstanceLock
{
public:
    // Marks this process as ending, until the object goes or the process ends.
    explicit EndingInstanceLock (const juce::String& applicationName);

    // While another process holds the framework's lock of the application and is ending, waits
    // for it to let go, at most `timeoutMs`; returns at once when none is ending. When one is
    // still ending at the end of the wait, tells the user so (on the error output, and in a box
    // for one who started the program from the desktop) and returns false. Only before the
    // framework takes its own lock: a lock file's locks belong to the whole process, and closing
    // the file after a look at it would drop the one this process holds.
    static bool waitForEndingInstance (const juce::String& applicationName, int timeoutMs);

private:
    juce::InterProcessLock lock;

    JUCE_DECLARE_NON_COPYABLE (EndingInstanceLock)
};
