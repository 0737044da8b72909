#include "support/AppProcess.h"
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace testing_support
{
    CStrings::CStrings (const juce::StringArray& texts)
    {
        for (auto& t : texts)
            strings.push_back (t.toStdString());
        for (auto& s : strings)
            pointers.push_back (s.data());
        pointers.push_back (nullptr);
    }

    AppProcess::AppProcess (const juce::StringArray& arguments, const juce::File& copy)
    {
       #ifdef LARKSPIRE_APP_BINARY
        const juce::String built (LARKSPIRE_APP_BINARY);
       #else
        const juce::String built;
       #endif
        spawn (copy != juce::File() ? copy.getFullPathName() : built, arguments, environ, {});
    }

    AppProcess::AppProcess (const juce::StringArray& arguments, const juce::StringArray& environment,
                            const juce::File& output)
    {
        CStrings env (environment);
       #ifdef LARKSPIRE_APP_BINARY
        spawn (LARKSPIRE_APP_BINARY, arguments, env.data(), output);
       #else
        spawn ({}, arguments, env.data(), output);
       #endif
    }

    void AppProcess::spawn (const juce::String& binary, const juce::StringArray& arguments, char* const* environment,
                            const juce::File& output)
    {
        juce::StringArray command (binary);
        command.addArray (arguments);
        CStrings argv (command);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init (&actions);
        const auto outputPath = output.getFullPathName().toStdString();
        if (output != juce::File())
        {
            posix_spawn_file_actions_addopen (&actions, 1, outputPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
            posix_spawn_file_actions_adddup2 (&actions, 1, 2);
        }
        const int failed = posix_spawn (&pid, argv.data()[0], &actions, nullptr, argv.data(), environment);
        posix_spawn_file_actions_destroy (&actions);
        if (failed != 0)
            throw std::runtime_error ("cannot start " + binary.toStdString() + ": " + std::strerror (failed));
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

    int AppProcess::stop (int timeoutMs, int signal)
    {
        if (isRunning())
            ::kill (pid, signal);
        return waitForExit (timeoutMs);
    }
}
