#pragma once

#include <juce_core/juce_core.h>
#include <csignal>
#include <string>
#include <sys/types.h>
#include <vector>

namespace testing_support
{
    // Texts as a C array of strings that ends with a null pointer, as a program's arguments or
    // environment are handed to it.
    class CStrings
    {
    public:
        explicit CStrings (const juce::StringArray& texts);
        char* const* data() noexcept { return pointers.data(); }

    private:
        std::vector<std::string> strings;
        std::vector<char*> pointers;
    };

    // The built program, started as a child process with the current environment
    // (tests set HOME first). Stopped with SIGINT, which the program turns into
    // an orderly quit. A program that cannot be started ends the test.
    class AppProcess
    {
    public:
        // `binary`: a copy of the program to start instead of the built one.
        explicit AppProcess (const juce::StringArray& arguments = {}, const juce::File& binary = {});
        // Started with exactly this environment ("NAME=value" entries), its standard output
        // and error written to `output`.
        AppProcess (const juce::StringArray& arguments, const juce::StringArray& environment,
                    const juce::File& output);
        ~AppProcess();

        bool isRunning();
        pid_t getPid() const noexcept { return pid; }
        // Sends the signal (SIGINT unless told) and waits; returns the exit code, or -1 when it
        // did not end in time.
        int stop (int timeoutMs = 30000, int signal = SIGINT);
        // Waits for the process to end by itself; returns its exit code or -1.
        int waitForExit (int timeoutMs);

    private:
        void spawn (const juce::String& binary, const juce::StringArray& arguments, char* const* environment,
                    const juce::File& output);

        pid_t pid = -1;
        int exitCode = -1;
        bool ended = false;
    };
}
