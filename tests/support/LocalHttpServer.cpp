#include "support/LocalHttpServer.h"
#include <algorithm>
#include <cerrno>
#include <stdexcept>
#include <sys/socket.h>

namespace testing_support
{
    namespace
    {
        // Reads leave the socket non-blocking, and a client may hang up at any time:
        // wait for room to write, and never raise SIGPIPE.
        bool sendAll (juce::StreamingSocket& s, const void* data, int size)
        {
            auto* p = static_cast<const char*> (data);
            while (size > 0)
            {
                const auto n = ::send (s.getRawSocketHandle(), p, (size_t) size, MSG_NOSIGNAL);
                if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
                {
                    if (s.waitUntilReady (false, 10000) != 1)
                        return false;
                    continue;
                }
                if (n <= 0)
                    return false;
                p += n;
                size -= (int) n;
            }
            return true;
        }

        bool sendText (juce::StreamingSocket& s, const juce::String& text)
        {
            return sendAll (s, text.toRawUTF8(), (int) text.getNumBytesAsUTF8());
        }

        // Reads until the blank line that ends the head; `rest` gets what came after it.
        bool readHead (juce::StreamingSocket& s, juce::String& head, juce::MemoryBlock& rest)
        {
            juce::MemoryBlock buffer;
            char chunk[4096];
            for (;;)
            {
                if (s.waitUntilReady (true, 10000) != 1)
                    return false;
                const int n = s.read (chunk, (int) sizeof (chunk), false);
                if (n <= 0)
                    return false;
                buffer.append (chunk, (size_t) n);

                const auto text = juce::String::fromUTF8 (static_cast<const char*> (buffer.getData()),
                                                          (int) buffer.getSize());
                const int end = text.indexOf ("\r\n\r\n");
                if (end >= 0)
                {
                    head = text.substring (0, end);
                    const auto headBytes = (size_t) head.getNumBytesAsUTF8() + 4;
                    rest.replaceAll (static_cast<const char*> (buffer.getData()) + headBytes,
                                     buffer.getSize() - headBytes);
                    return true;
                }
                if (buffer.getSize() > 65536)
                    return false;
            }
        }

        juce::String statusText (int status)
        {
            switch (status)
            {
                case 200: return "OK";
                case 204: return "No Content";
                case 301: return "Moved Permanently";
                case 302: return "Found";
                case 304: return "Not Modified";
                case 404: return "Not Found";
                case 500: return "Internal Server Error";
                case 503: return "Service Unavailable";
                default:  return "Status";
            }
        }

        juce::String responseHead (int status, juce::int64 length, const juce::String& type,
                                   const juce::String& extra = {})
        {
            juce::String head;
            head << "HTTP/1.1 " << status << " " << statusText (status) << "\r\n"
                 << "Content-Type: " << type << "\r\n";
            if (length >= 0)
                head << "Content-Length: " << length << "\r\n";
            head << "Connection: close\r\n" << extra << "\r\n";
            return head;
        }
    }

    LocalHttpServer::LocalHttpServer (const juce::File& r) : root (r)
    {
        if (! listener.createListener (0, "127.0.0.1"))
            throw std::runtime_error ("the local web server cannot listen on 127.0.0.1");
        port = listener.getBoundPort();
        acceptThread = std::thread ([this] { acceptLoop(); });
    }

    LocalHttpServer::~LocalHttpServer()
    {
        stopping = true;
        listener.close();
        if (acceptThread.joinable())
            acceptThread.join();

        {
            // Shut the connections down rather than closing them: a worker may be sending on
            // one right now, and only its own thread may close it (after forgetting it).
            std::lock_guard<std::mutex> g (mutex);
            for (auto* s : openSockets)
                ::shutdown (s->getRawSocketHandle(), SHUT_RDWR);
        }

        std::vector<std::thread> toJoin;
        {
            std::lock_guard<std::mutex> g (mutex);
            toJoin.swap (workers);
        }
        for (auto& t : toJoin)
            if (t.joinable())
                t.join();
    }

    juce::String LocalHttpServer::getRootAddress() const { return "http://127.0.0.1:" + juce::String (port); }
    juce::String LocalHttpServer::address (const juce::String& path) const { return getRootAddress() + path; }

    void LocalHttpServer::setRoot (const juce::File& newRoot)
    {
        std::lock_guard<std::mutex> g (mutex);
        root = newRoot;
    }

    void LocalHttpServer::setBehaviour (const juce::String& path, const Behaviour& behaviour)
    {
        std::lock_guard<std::mutex> g (mutex);
        behaviours[path] = behaviour;
    }

    void LocalHttpServer::clearBehaviour (const juce::String& path)
    {
        std::lock_guard<std::mutex> g (mutex);
        behaviours.erase (path);
    }

    void LocalHttpServer::reply (const juce::String& path, int status, const juce::String& body, int delayMs)
    {
        Behaviour b;
        b.status = status;
        b.body = body;
        b.delayMs = delayMs;
        setBehaviour (path, b);
    }

    void LocalHttpServer::failWith (const juce::String& path, int status, const juce::String& body)
    {
        reply (path, status, body.isNotEmpty() ? body : juce::String ("error ") + juce::String (status));
    }

    void LocalHttpServer::redirect (const juce::String& path, int hops)
    {
        Behaviour b;
        b.kind = Behaviour::Kind::redirects;
        b.redirects = hops;
        setBehaviour (path, b);
    }

    void LocalHttpServer::serveEmpty (const juce::String& path)
    {
        Behaviour b;
        b.kind = Behaviour::Kind::empty;
        setBehaviour (path, b);
    }

    void LocalHttpServer::serveTruncated (const juce::String& path, int bytesSent, bool declareLength)
    {
        Behaviour b;
        b.kind = Behaviour::Kind::truncated;
        b.bytesSent = bytesSent;
        b.declareLength = declareLength;
        setBehaviour (path, b);
    }

    void LocalHttpServer::serveSlowly (const juce::String& path, int chunkBytes, int chunkDelayMs)
    {
        Behaviour b;
        b.kind = Behaviour::Kind::slow;
        b.chunkBytes = chunkBytes;
        b.chunkDelayMs = chunkDelayMs;
        setBehaviour (path, b);
    }

    void LocalHttpServer::serveChunked (const juce::String& path, int cutAfterBytes)
    {
        Behaviour b;
        b.kind = Behaviour::Kind::chunked;
        b.bytesSent = cutAfterBytes;
        b.chunkBytes = 64 * 1024;
        setBehaviour (path, b);
    }

    void LocalHttpServer::stall (const juce::String& path)
    {
        Behaviour b;
        b.kind = Behaviour::Kind::stall;
        setBehaviour (path, b);
    }

    std::vector<LocalHttpServer::Request> LocalHttpServer::getRequests() const
    {
        std::lock_guard<std::mutex> g (mutex);
        return log;
    }

    int LocalHttpServer::countOpenConnections() const
    {
        std::lock_guard<std::mutex> g (mutex);
        return (int) openSockets.size();
    }

    int LocalHttpServer::countRequests (const juce::String& method, const juce::String& path) const
    {
        std::lock_guard<std::mutex> g (mutex);
        int n = 0;
        for (auto& r : log)
            if (r.method == method && r.path == path)
                ++n;
        return n;
    }

    void LocalHttpServer::clearLog()
    {
        std::lock_guard<std::mutex> g (mutex);
        log.clear();
    }

    juce::String LocalHttpServer::decode (const juce::String& text)
    {
        juce::MemoryOutputStream out;
        auto utf8 = text.toStdString();
        for (size_t i = 0; i < utf8.size(); ++i)
        {
            if (utf8[i] == '%' && i + 2 < utf8.size() && juce::CharacterFunctions::getHexDigitValue ((juce::juce_wchar) utf8[i + 1]) >= 0
                && juce::CharacterFunctions::getHexDigitValue ((juce::juce_wchar) utf8[i + 2]) >= 0)
            {
                out.writeByte ((char) ((juce::CharacterFunctions::getHexDigitValue ((juce::juce_wchar) utf8[i + 1]) << 4)
                                       | juce::CharacterFunctions::getHexDigitValue ((juce::juce_wchar) utf8[i + 2])));
                i += 2;
            }
            else
            {
                out.writeByte (utf8[i]);
            }
        }
        return out.toUTF8();
    }

    bool LocalHttpServer::findBehaviour (const juce::String& path, Behaviour& out) const
    {
        std::lock_guard<std::mutex> g (mutex);
        auto it = behaviours.find (path);
        if (it == behaviours.end())
            return false;
        out = it->second;
        return true;
    }

    void LocalHttpServer::acceptLoop()
    {
        while (! stopping)
        {
            std::unique_ptr<juce::StreamingSocket> client (listener.waitForNextConnection());
            if (client == nullptr)
            {
                if (stopping)
                    break;
                continue;
            }

            std::lock_guard<std::mutex> g (mutex);
            workers.emplace_back ([this, c = client.release()] { handle (std::unique_ptr<juce::StreamingSocket> (c)); });
        }
    }

    void LocalHttpServer::handle (std::unique_ptr<juce::StreamingSocket> socket)
    {
        {
            std::lock_guard<std::mutex> g (mutex);
            openSockets.push_back (socket.get());
        }

        auto forget = [this, &socket]
        {
            std::lock_guard<std::mutex> g (mutex);
            openSockets.erase (std::remove (openSockets.begin(), openSockets.end(), socket.get()), openSockets.end());
        };

        juce::String head;
        juce::MemoryBlock rest;
        if (! readHead (*socket, head, rest))
        {
            forget();
            return;
        }

        Request request;
        auto lines = juce::StringArray::fromLines (head);
        auto requestLine = juce::StringArray::fromTokens (lines[0], " ", {});
        request.method = requestLine[0];
        request.target = requestLine[1];
        request.path = decode (request.target.upToFirstOccurrenceOf ("?", false, false));
        for (int i = 1; i < lines.size(); ++i)
            if (lines[i].contains (":"))
                request.headers.set (lines[i].upToFirstOccurrenceOf (":", false, false).trim(),
                                     lines[i].fromFirstOccurrenceOf (":", false, false).trim());

        // A client may wait for leave to send its body.
        if (request.headers["Expect"].containsIgnoreCase ("100-continue"))
            sendText (*socket, "HTTP/1.1 100 Continue\r\n\r\n");

        const int length = request.headers["Content-Length"].getIntValue();
        juce::MemoryBlock body (rest);
        char chunk[4096];
        while ((int) body.getSize() < length && socket->waitUntilReady (true, 10000) == 1)
        {
            const int n = socket->read (chunk, (int) sizeof (chunk), false);
            if (n <= 0)
                break;
            body.append (chunk, (size_t) n);
        }
        request.body = body.toString();

        {
            std::lock_guard<std::mutex> g (mutex);
            log.push_back (request);
        }

        juce::File file;
        {
            std::lock_guard<std::mutex> g (mutex);
            if (root != juce::File() && request.path.startsWithChar ('/') && ! request.path.contains (".."))
                file = root.getChildFile (request.path.substring (1));
        }

        juce::MemoryBlock content;
        const bool haveFile = file != juce::File() && file.existsAsFile() && file.loadFileAsData (content);

        Behaviour b;
        const bool special = findBehaviour (request.path, b);

        if (! special)
        {
            if (haveFile)
            {
                sendText (*socket, responseHead (200, (juce::int64) content.getSize(), "application/octet-stream"));
                sendAll (*socket, content.getData(), (int) content.getSize());
            }
            else
            {
                const juce::String msg ("no such file");
                sendText (*socket, responseHead (404, msg.length(), "text/plain") + msg);
            }
        }
        else
        {
            using Kind = Behaviour::Kind;
            switch (b.kind)
            {
                case Kind::status:
                {
                    if (b.delayMs > 0)
                        std::this_thread::sleep_for (std::chrono::milliseconds (b.delayMs));
                    if (b.body.isEmpty() && haveFile && b.status / 100 == 2)
                    {
                        sendText (*socket, responseHead (b.status, (juce::int64) content.getSize(), "application/octet-stream"));
                        sendAll (*socket, content.getData(), (int) content.getSize());
                    }
                    else
                    {
                        sendText (*socket, responseHead (b.status, (juce::int64) b.body.getNumBytesAsUTF8(), b.contentType)
                                           + b.body);
                    }
                    break;
                }

                case Kind::redirects:
                {
                    // ?hop=k counts the hops taken; after the last one the file is served.
                    const int hop = request.target.fromFirstOccurrenceOf ("hop=", false, false).getIntValue();
                    if (hop < b.redirects)
                    {
                        const auto next = request.target.upToFirstOccurrenceOf ("?", false, false)
                                        + "?hop=" + juce::String (hop + 1);
                        sendText (*socket, responseHead (302, 0, "text/plain", "Location: " + next + "\r\n"));
                    }
                    else if (haveFile)
                    {
                        sendText (*socket, responseHead (200, (juce::int64) content.getSize(), "application/octet-stream"));
                        sendAll (*socket, content.getData(), (int) content.getSize());
                    }
                    else
                    {
                        sendText (*socket, responseHead (404, 0, "text/plain"));
                    }
                    break;
                }

                case Kind::empty:
                    sendText (*socket, responseHead (200, 0, "application/octet-stream"));
                    break;

                case Kind::truncated:
                {
                    sendText (*socket, responseHead (200, b.declareLength ? (juce::int64) content.getSize() : -1,
                                                     "application/octet-stream"));
                    sendAll (*socket, content.getData(), juce::jmin (b.bytesSent, (int) content.getSize()));
                    break;
                }

                case Kind::slow:
                {
                    sendText (*socket, responseHead (200, (juce::int64) content.getSize(), "application/octet-stream"));
                    int sent = 0;
                    while (sent < (int) content.getSize() && ! stopping)
                    {
                        std::this_thread::sleep_for (std::chrono::milliseconds (b.chunkDelayMs));
                        const int n = juce::jmin (b.chunkBytes, (int) content.getSize() - sent);
                        if (! sendAll (*socket, static_cast<const char*> (content.getData()) + sent, n))
                            break;
                        sent += n;
                    }
                    break;
                }

                case Kind::chunked:
                {
                    sendText (*socket, responseHead (200, -1, "application/octet-stream", "Transfer-Encoding: chunked\r\n"));
                    const int size = (int) content.getSize();
                    const int end = b.bytesSent >= 0 ? juce::jmin (b.bytesSent, size) : size;
                    bool sending = true;
                    for (int sent = 0; sent < end && sending && ! stopping;)
                    {
                        const int n = juce::jmin (b.chunkBytes, end - sent);
                        sending = sendText (*socket, juce::String::toHexString (n) + "\r\n")
                               && sendAll (*socket, static_cast<const char*> (content.getData()) + sent, n)
                               && sendText (*socket, "\r\n");
                        sent += n;
                    }
                    if (sending && b.bytesSent < 0)
                        sendText (*socket, "0\r\n\r\n");
                    break;
                }

                case Kind::stall:
                {
                    // Accepts, says nothing, and waits until the client gives up or the server stops;
                    // once the test clears the behaviour, the file is served after all.
                    while (! stopping && socket->isConnected())
                    {
                        Behaviour now;
                        if (! findBehaviour (request.path, now) || now.kind != Kind::stall)
                        {
                            content.reset();
                            if (file != juce::File() && file.existsAsFile() && file.loadFileAsData (content))
                            {
                                sendText (*socket, responseHead (200, (juce::int64) content.getSize(), "application/octet-stream"));
                                sendAll (*socket, content.getData(), (int) content.getSize());
                            }
                            break;
                        }

                        const int ready = socket->waitUntilReady (true, 50);
                        if (ready < 0)
                            break;
                        if (ready == 1)
                        {
                            char c;
                            if (socket->read (&c, 1, false) <= 0)
                                break;
                        }
                    }
                    break;
                }
            }
        }

        forget();
        socket->close();
    }
}
