#pragma once

#include <juce_core/juce_core.h>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace testing_support
{
    // A small HTTP/1.1 server on 127.0.0.1 for the tests: serves the files of a folder,
    // answers set paths with set replies, misbehaves on demand, and keeps a log of every
    // request it received (the ground truth of what crossed the wire).
    class LocalHttpServer
    {
    public:
        struct Request
        {
            juce::String method;
            juce::String target;     // as sent: path and query, still percent-encoded
            juce::String path;       // decoded path without the query
            juce::StringPairArray headers;
            juce::String body;
        };

        // How a path is answered instead of serving its file.
        struct Behaviour
        {
            enum class Kind { status, redirects, empty, truncated, slow, stall, chunked };
            Kind kind = Kind::status;
            int status = 200;
            juce::String body;             // status: the body sent (empty: the file, if any)
            juce::String contentType = "text/plain";
            int redirects = 0;             // redirects: hops before the file is served
            int bytesSent = 0;             // truncated: bytes actually sent of the file;
                                           // chunked: where the body is cut (-1: sent whole)
            bool declareLength = true;     // truncated: the head gives the whole file's length
            int chunkBytes = 1024;         // slow, chunked: bytes per chunk
            int chunkDelayMs = 50;         // slow: pause before each chunk
            int delayMs = 0;               // status: pause before answering
        };

        // Serves `root` (may be a default File: nothing but set replies). One that cannot
        // listen ends the test.
        explicit LocalHttpServer (const juce::File& root = {});
        ~LocalHttpServer();

        int getPort() const noexcept { return port; }
        // "http://127.0.0.1:<port>"
        juce::String getRootAddress() const;
        // getRootAddress() + path
        juce::String address (const juce::String& path) const;

        void setRoot (const juce::File& newRoot);

        // Answers requests for `path` (decoded, without query) with the behaviour.
        void setBehaviour (const juce::String& path, const Behaviour& behaviour);
        void clearBehaviour (const juce::String& path);

        // Shorthands.
        void reply (const juce::String& path, int status, const juce::String& body, int delayMs = 0);
        void failWith (const juce::String& path, int status, const juce::String& body = {});
        void redirect (const juce::String& path, int hops);
        void serveEmpty (const juce::String& path);
        // Sends the first bytes of the file and closes; without `declareLength` the head gives no
        // length, so the cut looks like the body's end.
        void serveTruncated (const juce::String& path, int bytesSent, bool declareLength = true);
        void serveSlowly (const juce::String& path, int chunkBytes, int chunkDelayMs);
        // Sends the file as a chunked body; with `cutAfterBytes` >= 0 the connection closes after
        // that many bytes of the file, before the last chunk.
        void serveChunked (const juce::String& path, int cutAfterBytes = -1);
        // Says nothing until the client gives up; clearBehaviour (path) then serves the file.
        void stall (const juce::String& path);

        std::vector<Request> getRequests() const;
        // Connections not yet closed, by either side.
        int countOpenConnections() const;
        int countRequests (const juce::String& method, const juce::String& path) const;
        void clearLog();

        // Decodes "%xx" escapes.
        static juce::String decode (const juce::String& text);

    private:
        void acceptLoop();
        void handle (std::unique_ptr<juce::StreamingSocket> socket);
        bool findBehaviour (const juce::String& path, Behaviour& out) const;

        juce::StreamingSocket listener;
        int port = 0;
        std::atomic<bool> stopping { false };
        std::thread acceptThread;

        mutable std::mutex mutex;
        juce::File root;
        std::map<juce::String, Behaviour> behaviours;
        std::vector<Request> log;
        std::vector<std::thread> workers;
        std::vector<juce::StreamingSocket*> openSockets;
    };
}
