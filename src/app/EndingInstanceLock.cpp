#include "app/EndingInstanceLock.h"
#include "core/DialogService.h"
#include <fcntl.h>
#include <unistd.h>

namespace
{
    // The framework's name of its lock of the application.
    juce::String applicationLockName (const juce::String& applicationName) { return "juceAppLock_" + applicationName; }

    juce::String endingLockName (const juce::String& applicationName) { return applicationLockName (applicationName) + " ending"; }

    // Where the framework keeps its lock files.
    juce::File lockFile (const juce::String& name)
    {
        const juce::File varTmp ("/var/tmp");
        return (varTmp.isDirectory() ? varTmp : juce::File ("/tmp")).getChildFile (name);
    }

    // Whether another process holds the lock file, found without taking it.
    bool isHeldByAnother (const juce::String& name)
    {
        const int fd = ::open (lockFile (name).getFullPathName().toRawUTF8(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return false;
        struct flock probe {};
        probe.l_type = F_WRLCK;
        probe.l_whence = SEEK_SET;
        const bool held = ::fcntl (fd, F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
        ::close (fd);
        return held;
    }
}

EndingInstanceLock::EndingInstanceLock (const juce::String& applicationName)
    : lock (endingLockName (applicationName))
{
    lock.enter (0);
}

bool EndingInstanceLock::waitForEndingInstance (const juce::String& applicationName, int timeoutMs)
{
    const auto start = juce::Time::getMillisecondCounter();
    // Ends once the framework's lock is free, or held by an instance that is not ending: the
    // framework's own look that follows hands the command line over to that one.
    auto ending = [&] { return isHeldByAnother (applicationLockName (applicationName))
                               && isHeldByAnother (endingLockName (applicationName)); };
    while (ending())
    {
        if (juce::Time::getMillisecondCounter() - start >= (juce::uint32) timeoutMs)
        {
            const juce::String title ("Still Closing");
            const juce::String text ("Larkspire is still closing from its last session and cannot start again yet. "
                                     "Please wait until it has closed, then start it again.");
            writeBoxToErrorOutput (title, text);
            getDialogService().showMessageBox (DialogService::Icon::warning, title, text, { "OK" }, nullptr);
            return false;
        }
        juce::Thread::sleep (50);
    }
    return true;
}
