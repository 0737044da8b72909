#include "support/SilentNameServer.h"
#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/mount.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testing_support
{
    SilentNameServer::SilentNameServer()
        : juce::Thread ("silent name server"), socket (::socket (AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0))
    {
        if (juce::SystemStats::getEnvironmentVariable ("LARKSPIRE_TEST_OWN_MOUNTS", {}) != "1")
            return;
        // The network is the machine's: a test beside this one may hold an address already.
        juce::String address;
        int refused = 0;
        for (int last = 29; last < 100 && address.isEmpty(); ++last)
        {
            const auto candidate = "127.0.0." + juce::String (last);
            sockaddr_in where {};
            where.sin_family = AF_INET;
            where.sin_port = htons (53);
            if (::inet_pton (AF_INET, candidate.toRawUTF8(), &where.sin_addr) == 1
                && ::bind (socket, reinterpret_cast<sockaddr*> (&where), sizeof (where)) == 0)
                address = candidate;
            else
                refused = errno;
        }
        // Only root may take the name server's port; for anyone else it is not in place.
        if (address.isEmpty() && refused == EACCES)
            return;
        // The longest waits the resolver takes: a program that waits for the lookup waits long.
        const auto conf = folder.child ("resolv.conf");
        mounted = address.isNotEmpty()
                  && conf.replaceWithText ("nameserver " + address + "\noptions timeout:30 attempts:5\n",
                                           false, false, "\n")
                  && ::mount (conf.getFullPathName().toRawUTF8(), "/etc/resolv.conf", nullptr, MS_BIND, nullptr) == 0;
        // Anything else that keeps it out of place is a fault of the test's set-up.
        if (! mounted)
        {
            if (socket >= 0)
                ::close (socket);
            throw std::runtime_error (address.isEmpty() ? "no address for a silent name server"
                                                        : "cannot put a silent name server in place");
        }
        startThread();
    }

    SilentNameServer::~SilentNameServer()
    {
        stopThread (5000);
        if (mounted)
            ::umount2 ("/etc/resolv.conf", MNT_DETACH);
        if (socket >= 0)
            ::close (socket);
    }

    void SilentNameServer::run()
    {
        char packet[1024];
        while (! threadShouldExit())
        {
            pollfd p { socket, POLLIN, 0 };
            if (::poll (&p, 1, 100) == 1 && ::recv (socket, packet, sizeof (packet), 0) > 0)
                ++queries;
        }
    }
}
