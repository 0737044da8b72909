#pragma once

#include "device/SocketMidiPortLayer.h"
#include "device/MidiByteStreamParser.h"

#include <sys/socket.h>
#include <unistd.h>
#include <fcntl.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <mutex>
#include <vector>

// One client of the socket MIDI layer and the pipe that wakes the layer's I/O thread; only
// the layer itself uses these.
namespace socketmidi
{
    using Clock = std::chrono::steady_clock;


    // Wakes the I/O thread out of poll(). Shared with the connections, so that a port that
    // outlives the layer never writes to a descriptor that was closed and reused.
    class Waker
    {
    public:
        Waker()
        {
            int fds[2];
            if (::pipe2 (fds, O_CLOEXEC | O_NONBLOCK) == 0)
            {
                readFd = fds[0];
                writeFd = fds[1];
            }
        }

        ~Waker()
        {
            if (readFd >= 0)  ::close (readFd);
            if (writeFd >= 0) ::close (writeFd);
        }

        bool isValid() const noexcept { return readFd >= 0 && writeFd >= 0; }

        void wake() const
        {
            // A full pipe means the thread is awake already.
            const char c = 1;
            const auto r = ::write (writeFd, &c, 1);
            juce::ignoreUnused (r);
        }

        void drain() const
        {
            char buffer[64];
            while (::read (readFd, buffer, sizeof (buffer)) > 0) {}
        }

        int readFd = -1, writeFd = -1;

        JUCE_DECLARE_NON_COPYABLE (Waker)
    };

    // One accepted client. The I/O thread owns the descriptor's reading and closing; senders
    // write under the I/O lock, which the thread also takes to flush and to close.
    class Connection
    {
    public:
        Connection (int socketFd, juce::uint64 number, std::shared_ptr<Waker> w, const SocketMidiPortLayer::Options& o)
            : identifier ("socket:" + juce::String (number)),
              fd (socketFd), waker (std::move (w)), maxPending (o.maxPendingOutputBytes),
              parser (o.maxSysExBytes),
              nameDeadline (Clock::now() + std::chrono::milliseconds (juce::jmax (0, o.nameTimeoutMs)))
        {
        }

        ~Connection()
        {
            closeSocket();
        }

        //==============================================================================
        // Any thread
        bool isDead() const noexcept { return dead.load(); }

        // Sends at once what the socket takes; the rest waits for the I/O thread, up to the
        // bound. A client that lets more pile up is not reading: it is disconnected.
        void send (const juce::uint8* data, size_t size)
        {
            const std::lock_guard<std::mutex> l (ioLock);
            if (dead.load() || fd < 0 || size == 0)
                return;

            size_t sent = 0;
            if (pendingBytes() == 0 && ! sendNowLocked (data, size, sent))
                return;

            if (sent == size)
                return;

            if (pendingBytes() + (size - sent) > maxPending)
            {
                giveUpLocked();
                return;
            }
            pending.insert (pending.end(), data + sent, data + size);
            // The I/O thread now watches for room to write.
            waker->wake();
        }

        int attachInput (juce::MidiInputCallback& callback)
        {
            const std::lock_guard<std::mutex> l (deliveryLock);
            const int id = nextInputId++;
            inputs.push_back ({ id, &callback, false });
            return id;
        }

        // Switching an input off waits for a delivery that is under way.
        void setInputActive (int id, bool active)
        {
            const std::lock_guard<std::mutex> l (deliveryLock);
            for (auto& i : inputs)
                if (i.id == id)
                    i.active = active;
        }

        void detachInput (int id)
        {
            const std::lock_guard<std::mutex> l (deliveryLock);
            inputs.erase (std::remove_if (inputs.begin(), inputs.end(), [id] (const Input& i) { return i.id == id; }),
                          inputs.end());
        }

        //==============================================================================
        // I/O thread only
        int getFd() const noexcept             { return fd; }
        bool isNamed() const noexcept          { return named; }
        Clock::time_point getNameDeadline() const noexcept { return nameDeadline; }

        bool hasPendingOutput()
        {
            const std::lock_guard<std::mutex> l (ioLock);
            return pendingBytes() > 0;
        }

        // False once the socket failed.
        bool flush()
        {
            const std::lock_guard<std::mutex> l (ioLock);
            if (fd >= 0 && pendingBytes() > 0)
            {
                size_t sent = 0;
                if (! sendNowLocked (pending.data() + pendingStart, pendingBytes(), sent))
                    return false;
                pendingStart += sent;
            }
            if (pendingBytes() == 0)
            {
                pending.clear();
                pendingStart = 0;
            }
            else if (pendingStart > pending.size() / 2)
            {
                pending.erase (pending.begin(), pending.begin() + (std::ptrdiff_t) pendingStart);
                pendingStart = 0;
            }
            return ! dead.load();
        }

        enum class ReadResult { more, named, closed };

        // Reads what the client sent: the name line first, then MIDI bytes for the inputs.
        ReadResult read();

        void markDead() noexcept { dead = true; }

        void closeSocket()
        {
            dead = true;
            const std::lock_guard<std::mutex> l (ioLock);
            if (fd >= 0)
            {
                ::close (fd);
                fd = -1;
            }
            pending.clear();
            pending.shrink_to_fit();
            pendingStart = 0;
        }

        juce::String name;   // set by the I/O thread before the connection is listed, then fixed
        // Its ports' identifier: the layer numbers its connections and never gives a number twice.
        const juce::String identifier;

    private:
        struct Input
        {
            int id;
            juce::MidiInputCallback* callback;
            bool active;
        };

        size_t pendingBytes() const noexcept { return pending.size() - pendingStart; }

        // Under the I/O lock: sends what the socket takes now of the bytes, adding what went
        // to `sent`. False when the socket failed; the client is then given up.
        bool sendNowLocked (const juce::uint8* data, size_t size, size_t& sent)
        {
            while (sent < size)
            {
                const auto r = ::send (fd, data + sent, size - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
                if (r > 0)
                    sent += (size_t) r;
                else if (r < 0 && errno == EINTR)
                    continue;
                else if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                    break;
                else
                {
                    giveUpLocked();
                    return false;
                }
            }
            return true;
        }

        // Under the I/O lock: the client is dropped; the I/O thread finishes the job.
        void giveUpLocked()
        {
            dead = true;
            if (fd >= 0)
                ::shutdown (fd, SHUT_RDWR);
            pending.clear();
            pendingStart = 0;
            waker->wake();
        }

        ReadResult takeNameBytes (const juce::uint8* data, size_t size, size_t& used);

        void deliver (const juce::MidiMessage& message)
        {
            const std::lock_guard<std::mutex> l (deliveryLock);
            if (dead.load())
                return;
            for (auto& i : inputs)
                if (i.active)
                    i.callback->handleIncomingMidiMessage (nullptr, message);
        }

        int fd;
        const std::shared_ptr<Waker> waker;
        const size_t maxPending;
        std::atomic<bool> dead { false };

        std::mutex ioLock;
        std::vector<juce::uint8> pending;
        size_t pendingStart = 0;

        std::mutex deliveryLock;
        std::vector<Input> inputs;
        int nextInputId = 1;

        // I/O thread only
        MidiByteStreamParser parser;
        const Clock::time_point nameDeadline;
        bool named = false;
        std::vector<juce::uint8> line;

        JUCE_DECLARE_NON_COPYABLE (Connection)
    };
}
