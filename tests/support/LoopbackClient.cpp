#include "support/LoopbackClient.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>

namespace testing_support
{
    LoopbackClient::~LoopbackClient()
    {
        close();
    }

    bool LoopbackClient::connect (int port, const char* address, int receiveBufferBytes)
    {
        close();
        fd = ::socket (AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return false;
        if (receiveBufferBytes > 0)
            ::setsockopt (fd, SOL_SOCKET, SO_RCVBUF, &receiveBufferBytes, sizeof (receiveBufferBytes));

        sockaddr_in a {};
        a.sin_family = AF_INET;
        a.sin_port = htons ((uint16_t) port);
        if (::inet_pton (AF_INET, address, &a.sin_addr) != 1
            || ::connect (fd, reinterpret_cast<sockaddr*> (&a), sizeof (a)) != 0)
        {
            close();
            return false;
        }
        // Each write goes out as it is, so that pieces reach the server as pieces.
        const int yes = 1;
        ::setsockopt (fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof (yes));
        return true;
    }

    bool LoopbackClient::send (const void* data, size_t size)
    {
        const auto* bytes = static_cast<const char*> (data);
        while (fd >= 0 && size > 0)
        {
            const auto r = ::send (fd, bytes, size, MSG_NOSIGNAL);
            if (r < 0 && errno == EINTR)
                continue;
            if (r <= 0)
                return false;
            bytes += r;
            size -= (size_t) r;
        }
        return fd >= 0;
    }

    bool LoopbackClient::sendText (const juce::String& text)
    {
        return send (text.toRawUTF8(), text.getNumBytesAsUTF8());
    }

    bool LoopbackClient::sendBytewise (const std::vector<juce::uint8>& bytes)
    {
        for (auto b : bytes)
            if (! send (&b, 1))
                return false;
        return true;
    }

    std::vector<juce::uint8> LoopbackClient::receive (size_t count, int timeoutMs)
    {
        std::vector<juce::uint8> out;
        const auto deadline = juce::Time::getMillisecondCounter() + (juce::uint32) timeoutMs;
        while (fd >= 0 && out.size() < count)
        {
            const auto now = juce::Time::getMillisecondCounter();
            if (now >= deadline)
                break;
            pollfd p { fd, POLLIN, 0 };
            if (::poll (&p, 1, (int) (deadline - now)) <= 0)
                continue;
            juce::uint8 buffer[4096];
            const auto r = ::recv (fd, buffer, juce::jmin (sizeof (buffer), count - out.size()), 0);
            if (r <= 0)
                break;
            out.insert (out.end(), buffer, buffer + r);
        }
        return out;
    }

    bool LoopbackClient::waitForClose (int timeoutMs)
    {
        const auto deadline = juce::Time::getMillisecondCounter() + (juce::uint32) timeoutMs;
        while (fd >= 0)
        {
            const auto now = juce::Time::getMillisecondCounter();
            if (now >= deadline)
                return false;
            pollfd p { fd, POLLIN, 0 };
            if (::poll (&p, 1, (int) (deadline - now)) <= 0)
                continue;
            juce::uint8 buffer[4096];
            const auto r = ::recv (fd, buffer, sizeof (buffer), 0);
            if (r == 0 || (r < 0 && errno != EINTR && errno != EAGAIN))
                return true;
        }
        return true;
    }

    bool LoopbackClient::isStillOpen()
    {
        if (fd < 0)
            return false;
        juce::uint8 b;
        const auto r = ::recv (fd, &b, 1, MSG_PEEK | MSG_DONTWAIT);
        return r > 0 || (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK));
    }

    void LoopbackClient::close()
    {
        if (fd >= 0)
        {
            ::close (fd);
            fd = -1;
        }
    }

    int freeLoopbackPort()
    {
        const int fd = ::socket (AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl (INADDR_LOOPBACK);
        socklen_t length = sizeof (a);
        int port = 0;
        if (fd >= 0 && ::bind (fd, reinterpret_cast<sockaddr*> (&a), sizeof (a)) == 0
            && ::getsockname (fd, reinterpret_cast<sockaddr*> (&a), &length) == 0)
            port = ntohs (a.sin_port);
        if (fd >= 0)
            ::close (fd);
        if (port == 0)
            throw std::runtime_error ("no free port on 127.0.0.1");
        return port;
    }

    juce::StringArray nonLoopbackAddresses()
    {
        juce::StringArray out;
        ifaddrs* list = nullptr;
        if (::getifaddrs (&list) != 0)
            return out;
        for (auto* i = list; i != nullptr; i = i->ifa_next)
        {
            if (i->ifa_addr == nullptr || i->ifa_addr->sa_family != AF_INET || (i->ifa_flags & IFF_LOOPBACK) != 0
                || (i->ifa_flags & IFF_UP) == 0)
                continue;
            char text[INET_ADDRSTRLEN] {};
            const auto* a = reinterpret_cast<const sockaddr_in*> (i->ifa_addr);
            if (::inet_ntop (AF_INET, &a->sin_addr, text, sizeof (text)) != nullptr)
                out.addIfNotAlreadyThere (text);
        }
        ::freeifaddrs (list);
        return out;
    }
}
