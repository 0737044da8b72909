#include "device/SocketConnection.h"

namespace socketmidi
{
// What one read takes from a client at the most.
constexpr size_t readChunkBytes = 16 * 1024;

Connection::ReadResult Connection::takeNameBytes (const juce::uint8* data, size_t size, size_t& used)
{
    static const char prefix[] = "NAME ";
    constexpr size_t prefixLength = sizeof (prefix) - 1;

    for (used = 0; used < size;)
    {
        const auto b = data[used++];
        if (b == '\n')
        {
            name = SocketMidiPortLayer::parseNameLine (line.data(), line.size());
            line.clear();
            line.shrink_to_fit();
            if (name.isEmpty())
                return ReadResult::closed;
            named = true;
            return ReadResult::named;
        }

        line.push_back (b);
        // A client that starts with anything else sent no name line: no need to wait for one.
        if (line.size() <= prefixLength && b != (juce::uint8) prefix[line.size() - 1])
            return ReadResult::closed;
        if (line.size() > SocketMidiPortLayer::maxNameLineBytes)
            return ReadResult::closed;
    }
    return ReadResult::more;
}

Connection::ReadResult Connection::read()
{
    juce::uint8 buffer[readChunkBytes];
    ssize_t r;
    do
        r = ::recv (fd, buffer, sizeof (buffer), MSG_DONTWAIT);
    while (r < 0 && errno == EINTR);

    if (r == 0)
        return ReadResult::closed;
    if (r < 0)
        return (errno == EAGAIN || errno == EWOULDBLOCK) ? ReadResult::more : ReadResult::closed;

    size_t start = 0;
    auto result = ReadResult::more;
    if (! named)
    {
        result = takeNameBytes (buffer, (size_t) r, start);
        if (result == ReadResult::closed)
            return result;
    }

    if (named && start < (size_t) r)
    {
        const double now = juce::Time::getMillisecondCounterHiRes() * 0.001;
        parser.feed (buffer + start, (size_t) r - start, now,
                     [this] (const juce::MidiMessage& m) { deliver (m); });
    }
    return dead.load() ? ReadResult::closed : result;
}
}
