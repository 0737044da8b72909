#include "support/AppProcess.h"
#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace testing_support
{
    AppProcess::AppProcess (const juce::StringArray& arguments, const juce::File& copy)
    {
       #ifdef LARKSPIRE_APP_BINARY
        const juce::String built (LARKSPIRE_APP_BINARY);
       #else
        const juce::String built;
       #endif
        const auto binary = copy != juce::File() ? copy.getFullPathName() : built;
        std::vector<std::string> args { binary.toStdString() };
        for (auto& a : arguments)
            args.push_back (a.toStdString());
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back (a.data());
        argv.push_back (nullptr);

        if (posix_spawn (&pid, args[0].c_str(), nullptr, nullptr, argv.data(), environ) != 0)
            pid = -1;
    }

    AppProcess::~AppProcess()
    {
        if (pid > 0 && ! ended)
        {
            ::kill (pid, SIGKILL);
            ::waitpid (pid, nullptr, 0);
        }
    }

    bool AppProcess::isRunning()
    {
        if (pid <= 0 || ended)
            return false;
        int status = 0;
        if (::waitpid (pid, &status, WNOHANG) == pid)
        {
            ended = true;
            exitCode = WIFEXITED (status) ? WEXITSTATUS (status) : 128 + WTERMSIG (status);
            return false;
        }
        return true;
    }

    int AppProcess::waitForExit (int timeoutMs)
    {
        const auto deadline = juce::Time::getMillisecondCounter() + (juce::uint32) timeoutMs;
        while (isRunning())
        {
            if (juce::Time::getMillisecondCounter() > deadline)
                return -1;
            juce::Thread::sleep (20);
        }
        return exitCode;
    }

    int AppProcess::stop (int timeoutMs)
    {
        if (isRunning())
            ::kill (pid, SIGINT);
        return waitForExit (timeoutMs);
    }
}
