#include "device/SocketMidiPortLayer.h"
#include "device/SocketConnection.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <fcntl.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <vector>

using socketmidi::Clock;
using socketmidi::Connection;
using socketmidi::Waker;

namespace
{
    // What the system buffers for one client; with the layer's own bound it is all that a
    // client that does not read can cost.
    constexpr int socketSendBufferBytes = 64 * 1024;
    // After the system refused to hand over a new connection (out of descriptors), the
    // listening socket is left alone this long instead of being asked again at once.
    constexpr int acceptPauseMs = 200;

    bool isLoopback (const sockaddr_in& a)
    {
        return a.sin_family == AF_INET && (ntohl (a.sin_addr.s_addr) >> 24) == 127;
    }

    //==============================================================================
    class SocketInputPort : public MidiInputPort
    {
    public:
        SocketInputPort (std::shared_ptr<Connection> c, juce::MidiInputCallback& callback)
            : connection (std::move (c)), id (connection->attachInput (callback)) {}

        ~SocketInputPort() override
        {
            connection->setInputActive (id, false);
            connection->detachInput (id);
        }

        void start() override { connection->setInputActive (id, true); }
        void stop() override  { connection->setInputActive (id, false); }
        // A client that connects again is a new connection: this one stays dead.
        bool isGone() const override { return connection->isDead(); }

    private:
        const std::shared_ptr<Connection> connection;
        const int id;
    };

    class SocketOutputPort : public MidiOutputPort
    {
    public:
        explicit SocketOutputPort (std::shared_ptr<Connection> c) : connection (std::move (c)) {}

        void sendMessageNow (const juce::MidiMessage& message) override
        {
            connection->send (message.getRawData(), (size_t) message.getRawDataSize());
        }

        bool isGone() const override { return connection->isDead(); }

    private:
        const std::shared_ptr<Connection> connection;
    };
}

//==============================================================================
class SocketMidiPortLayer::Server
{
public:
    explicit Server (const Options& o) : options (o), waker (std::make_shared<Waker>())
    {
        if (! waker->isValid())
        {
            error = "cannot make a wake-up pipe: " + juce::String (std::strerror (errno));
            return;
        }
        if (options.port < 0 || options.port > 65535)
        {
            error = "no such TCP port: " + juce::String (options.port);
            return;
        }

        listenFd = ::socket (AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (listenFd < 0)
        {
            error = "cannot make a socket: " + juce::String (std::strerror (errno));
            return;
        }

        // A restarted program can listen again while connections of its last run linger.
        const int yes = 1;
        ::setsockopt (listenFd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof (yes));

        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_port = htons ((uint16_t) options.port);
        address.sin_addr.s_addr = htonl (INADDR_LOOPBACK);

        if (::bind (listenFd, reinterpret_cast<sockaddr*> (&address), sizeof (address)) != 0
            || ::listen (listenFd, juce::jmax (1, options.maxConnections)) != 0)
        {
            error = "cannot listen on 127.0.0.1:" + juce::String (options.port) + ": " + juce::String (std::strerror (errno));
            ::close (listenFd);
            listenFd = -1;
            return;
        }

        socklen_t length = sizeof (address);
        if (::getsockname (listenFd, reinterpret_cast<sockaddr*> (&address), &length) == 0)
            port = ntohs (address.sin_port);
    }

    ~Server()
    {
        closeEverything();
    }

    bool isListening() const noexcept { return listenFd >= 0; }

    void stop()
    {
        stopping = true;
        waker->wake();
    }

    void run();

    MidiPortList getPorts()
    {
        std::call_once (firstListing, [this] { waitForClientsAlreadyThere(); });

        MidiPortList ports;
        const std::lock_guard<std::mutex> l (listLock);
        for (auto& c : listed)
            if (! c->isDead())
                ports.add ({ c->name, c->identifier });
        return ports;
    }

    std::shared_ptr<Connection> find (const MidiPortId& port) const
    {
        const std::lock_guard<std::mutex> l (listLock);
        for (auto& c : listed)
            if (! c->isDead() && c->identifier == port.identifier && c->name == port.name)
                return c;
        return nullptr;
    }

    int countConnections() const
    {
        const std::lock_guard<std::mutex> l (listLock);
        int n = 0;
        for (auto& c : connections)
            if (! c->isDead())
                ++n;
        return n;
    }

    void addToLists (const std::shared_ptr<Connection>& c)
    {
        const std::lock_guard<std::mutex> l (listLock);
        listed.push_back (c);
    }

    const Options options;
    const std::shared_ptr<Waker> waker;
    int listenFd = -1;
    int port = 0;
    juce::String error;

private:
    void acceptClients();
    void drop (const std::shared_ptr<Connection>& c);
    void closeEverything();

    // Two passes of the I/O thread take every connection that was waiting to be accepted;
    // then each that is still unnamed gets until the deadline to send its name line.
    void waitForClientsAlreadyThere()
    {
        const auto deadline = Clock::now() + std::chrono::milliseconds (juce::jmax (0, options.firstListingWaitMs));
        std::unique_lock<std::mutex> l (passLock);
        const auto start = passes;
        while (! finished && Clock::now() < deadline)
        {
            if (passes >= start + 2 && countUnnamed() == 0)
                return;
            waker->wake();
            passDone.wait_until (l, juce::jmin (deadline, Clock::now() + std::chrono::milliseconds (20)));
        }
    }

    int countUnnamed() const
    {
        const std::lock_guard<std::mutex> l (listLock);
        int n = 0;
        for (auto& c : connections)
            if (! c->isDead() && std::find (listed.begin(), listed.end(), c) == listed.end())
                ++n;
        return n;
    }

public:
    // Also called when the I/O thread never starts: nobody will come.
    void passEnded (bool last)
    {
        {
            const std::lock_guard<std::mutex> l (passLock);
            ++passes;
            finished = last;
        }
        passDone.notify_all();
    }

private:
    std::once_flag firstListing;
    std::mutex passLock;
    std::condition_variable passDone;
    juce::uint64 passes = 0;
    bool finished = false;

    std::atomic<bool> stopping { false };
    Clock::time_point acceptPausedUntil {};
    juce::uint64 accepted = 0;   // the I/O thread's count of the connections it took

    mutable std::mutex listLock;
    std::vector<std::shared_ptr<Connection>> connections;   // in the order they were accepted
    std::vector<std::shared_ptr<Connection>> listed;        // named, in the order they were named
};


//==============================================================================
void SocketMidiPortLayer::Server::run()
{
    std::vector<pollfd> fds;
    std::vector<std::shared_ptr<Connection>> watched;

    while (! stopping.load())
    {
        fds.clear();
        watched.clear();

        const auto now = Clock::now();
        int timeoutMs = -1;
        const auto wakeAt = [&] (Clock::time_point t)
        {
            const auto ms = (int) juce::jlimit<juce::int64> (0, 60000,
                std::chrono::duration_cast<std::chrono::milliseconds> (t - now).count() + 1);
            timeoutMs = timeoutMs < 0 ? ms : juce::jmin (timeoutMs, ms);
        };

        fds.push_back ({ waker->readFd, POLLIN, 0 });
        const bool watchListener = now >= acceptPausedUntil;
        if (watchListener)
            fds.push_back ({ listenFd, POLLIN, 0 });
        else
            wakeAt (acceptPausedUntil);
        const size_t firstConnection = fds.size();

        std::vector<std::shared_ptr<Connection>> all;
        {
            const std::lock_guard<std::mutex> l (listLock);
            all = connections;
        }
        for (auto& c : all)
        {
            if (c->isDead())
            {
                drop (c);
                continue;
            }
            if (! c->isNamed())
            {
                if (now >= c->getNameDeadline())
                {
                    drop (c);
                    continue;
                }
                wakeAt (c->getNameDeadline());
            }
            short events = POLLIN;
            if (c->hasPendingOutput())
                events |= POLLOUT;
            fds.push_back ({ c->getFd(), events, 0 });
            watched.push_back (c);
        }

        const int r = ::poll (fds.data(), (nfds_t) fds.size(), timeoutMs);
        if (r < 0)
        {
            if (errno != EINTR)
                std::this_thread::sleep_for (std::chrono::milliseconds (acceptPauseMs));   // out of memory: let it pass
            continue;
        }

        if (fds[0].revents != 0)
            waker->drain();
        if (stopping.load())
            break;

        for (size_t i = 0; i < watched.size(); ++i)
        {
            auto& c = watched[i];
            const auto events = fds[firstConnection + i].revents;
            if (events == 0)
                continue;
            if (c->isDead() || ((events & POLLOUT) != 0 && ! c->flush()))
            {
                drop (c);
                continue;
            }
            if ((events & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) != 0)
            {
                const auto result = c->read();
                if (result == Connection::ReadResult::closed)
                    drop (c);
                else if (result == Connection::ReadResult::named)
                    addToLists (c);
            }
        }

        if (watchListener && fds[1].revents != 0)
            acceptClients();
        passEnded (false);
    }

    closeEverything();
    passEnded (true);
}

void SocketMidiPortLayer::Server::acceptClients()
{
    for (;;)
    {
        sockaddr_in peer {};
        socklen_t length = sizeof (peer);
        const int fd = ::accept4 (listenFd, reinterpret_cast<sockaddr*> (&peer), &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
        {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK)
                acceptPausedUntil = Clock::now() + std::chrono::milliseconds (acceptPauseMs);
            return;
        }

        if (! isLoopback (peer) || countConnections() >= options.maxConnections)
        {
            ::close (fd);
            continue;
        }

        // MIDI is small messages that should not wait for more to come.
        const int yes = 1;
        ::setsockopt (fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof (yes));
        const int sendBuffer = socketSendBufferBytes;
        ::setsockopt (fd, SOL_SOCKET, SO_SNDBUF, &sendBuffer, sizeof (sendBuffer));

        auto c = std::make_shared<Connection> (fd, ++accepted, waker, options);
        const std::lock_guard<std::mutex> l (listLock);
        connections.push_back (std::move (c));
    }
}

void SocketMidiPortLayer::Server::drop (const std::shared_ptr<Connection>& c)
{
    c->markDead();
    {
        const std::lock_guard<std::mutex> l (listLock);
        connections.erase (std::remove (connections.begin(), connections.end(), c), connections.end());
        listed.erase (std::remove (listed.begin(), listed.end(), c), listed.end());
    }
    c->closeSocket();
}

void SocketMidiPortLayer::Server::closeEverything()
{
    std::vector<std::shared_ptr<Connection>> all;
    {
        const std::lock_guard<std::mutex> l (listLock);
        all.swap (connections);
        listed.clear();
    }
    for (auto& c : all)
        c->closeSocket();

    if (listenFd >= 0)
    {
        ::close (listenFd);
        listenFd = -1;
    }
}

//==============================================================================
SocketMidiPortLayer::SocketMidiPortLayer (const Options& options)
    : server (std::make_shared<Server> (options))
{
    if (server->isListening())
        ioThread = std::thread ([s = server] { s->run(); });
    else
        server->passEnded (true);
}

SocketMidiPortLayer::~SocketMidiPortLayer()
{
    server->stop();
    if (ioThread.joinable())
        ioThread.join();
}

bool SocketMidiPortLayer::isListening() const
{
    return ioThread.joinable();
}

int SocketMidiPortLayer::getPort() const
{
    return isListening() ? server->port : 0;
}

juce::String SocketMidiPortLayer::getListenError() const
{
    return server->error;
}

int SocketMidiPortLayer::getNumConnections() const
{
    return server->countConnections();
}

MidiPortList SocketMidiPortLayer::getInputs()
{
    return server->getPorts();
}

MidiPortList SocketMidiPortLayer::getOutputs()
{
    return server->getPorts();
}

std::unique_ptr<MidiInputPort> SocketMidiPortLayer::openInput (const MidiPortId& port, juce::MidiInputCallback& callback)
{
    auto c = server->find (port);
    if (c == nullptr)
        return nullptr;
    return std::make_unique<SocketInputPort> (std::move (c), callback);
}

std::unique_ptr<MidiOutputPort> SocketMidiPortLayer::openOutput (const MidiPortId& port)
{
    auto c = server->find (port);
    if (c == nullptr)
        return nullptr;
    return std::make_unique<SocketOutputPort> (std::move (c));
}

//==============================================================================
juce::String SocketMidiPortLayer::parseNameLine (const juce::uint8* line, size_t size)
{
    if (size > 0 && line[size - 1] == '\r')
        --size;
    if (size < 5 || size > maxNameLineBytes || std::memcmp (line, "NAME ", 5) != 0)
        return {};

    // Strict UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF, no control
    // characters.
    std::vector<juce::juce_wchar> characters;
    for (size_t i = 5; i < size;)
    {
        const juce::uint8 b = line[i++];
        juce::uint32 c = 0;
        int extra = 0;
        juce::uint32 least = 0;
        if (b < 0x80)                { c = b; }
        else if ((b & 0xE0) == 0xC0) { c = b & 0x1Fu; extra = 1; least = 0x80; }
        else if ((b & 0xF0) == 0xE0) { c = b & 0x0Fu; extra = 2; least = 0x800; }
        else if ((b & 0xF8) == 0xF0) { c = b & 0x07u; extra = 3; least = 0x10000; }
        else                         return {};

        if (size - i < (size_t) extra)
            return {};
        for (int k = 0; k < extra; ++k)
        {
            const juce::uint8 next = line[i++];
            if ((next & 0xC0) != 0x80)
                return {};
            c = (c << 6) | (next & 0x3Fu);
        }
        if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            return {};
        if (c < 0x20 || (c >= 0x7F && c < 0xA0))
            return {};
        characters.push_back ((juce::juce_wchar) c);
    }

    characters.push_back (0);
    const auto name = juce::String (juce::CharPointer_UTF32 (characters.data())).trim();
    if (name.isEmpty() || name.length() > maxNameLength)
        return {};
    return name;
}

int SocketMidiPortLayer::portFromWord (const juce::String& word)
{
    const auto w = word.trim();
    if (! w.startsWithIgnoreCase ("socket:"))
        return 0;
    const auto digits = w.substring (7).trim();
    if (digits.isEmpty() || digits.length() > 5 || ! digits.containsOnly ("0123456789"))
        return -1;
    const int port = digits.getIntValue();
    return port >= 1 && port <= 65535 ? port : -1;
}
