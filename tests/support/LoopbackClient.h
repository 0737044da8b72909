#pragma once

#include <juce_core/juce_core.h>
#include <vector>

namespace testing_support
{
    // A TCP client of a server on this machine, as a program outside ours would be one:
    // blocking sends, reads that wait with a deadline. Closes at the end of its scope.
    class LoopbackClient
    {
    public:
        LoopbackClient() = default;
        ~LoopbackClient();

        // Connects to address:port. A receive buffer size other than 0 is set before
        // connecting (a small one lets a client that does not read fill up fast).
        bool connect (int port, const char* address = "127.0.0.1", int receiveBufferBytes = 0);
        bool isOpen() const noexcept { return fd >= 0; }
        int getFd() const noexcept   { return fd; }

        bool send (const void* data, size_t size);
        bool send (const std::vector<juce::uint8>& bytes) { return send (bytes.data(), bytes.size()); }
        bool sendText (const juce::String& text);
        // Sends the bytes one at a time, each in its own write.
        bool sendBytewise (const std::vector<juce::uint8>& bytes);

        // What arrives until `count` bytes came or the time-out passed.
        std::vector<juce::uint8> receive (size_t count, int timeoutMs = 20000);
        // Whether the other side closed the connection within the time-out; what arrives
        // before is read and thrown away.
        bool waitForClose (int timeoutMs = 20000);
        // Whether the connection is still open now, without waiting (data waiting is kept).
        bool isStillOpen();

        void close();

    private:
        int fd = -1;

        JUCE_DECLARE_NON_COPYABLE (LoopbackClient)
    };

    // A TCP port of 127.0.0.1 that nothing listens on now (none found ends the test).
    int freeLoopbackPort();

    // The first addresses of this machine's network interfaces that are not loopback (IPv4).
    juce::StringArray nonLoopbackAddresses();
}
