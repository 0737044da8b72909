#include "content/WebTransfer.h"
#include "core/ThreadExit.h"
#include "core/WebAddress.h"
#include "model/AtomicFileWriter.h"
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <mutex>

namespace
{
    const char* const defaultWebRoot = "https://www.ardentis.example";

    std::atomic<int> webTimeoutMs { 30000 };

    // Largest buffer reserved up front from a declared length; the rest grows as data arrives.
    constexpr juce::int64 maximumReservation = 4 * 1024 * 1024;
    constexpr int readChunkBytes = 8192;

    juce::String trimTrailingSlashes (juce::String text)
    {
        while (text.endsWithChar ('/'))
            text = text.dropLastCharacters (1);
        return text;
    }

    double now() { return juce::Time::getMillisecondCounterHiRes(); }

    bool isPast (TransferDeadline deadline)
    {
        return deadline > 0 && now() >= deadline;
    }

    // A body read into memory gets room for its declared length up front (within reason).
    void reserve (juce::OutputStream& sink, juce::int64 declared)
    {
        if (auto* memory = dynamic_cast<juce::MemoryOutputStream*> (&sink); memory != nullptr && declared > 0)
            memory->preallocate ((size_t) juce::jmin (declared, maximumReservation));
    }

    // The helpers still running, and the signal that one has ended. Never destroyed: helpers
    // that their callers gave up may run on while the program ends.
    struct Helpers
    {
        std::mutex lock;
        std::condition_variable ended;
        int running = 0;
    };

    Helpers& helpers()
    {
        static auto* h = new Helpers();
        return *h;
    }

    // Runs `work` on a helper thread that counts among the running helpers until it has ended
    // and let go of everything it holds. False when no thread could be started.
    bool launchHelper (std::function<void()> work)
    {
        {
            const std::lock_guard<std::mutex> sl (helpers().lock);
            ++helpers().running;
        }
        auto helperEnded = []
        {
            const std::lock_guard<std::mutex> sl (helpers().lock);
            --helpers().running;
            helpers().ended.notify_all();
        };

        bool launched = false;
        try
        {
            launched = juce::Thread::launch ([helperEnded, body = std::move (work)]() mutable
            {
                body();
                body = nullptr;
                helperEnded();
            });
        }
        catch (...)
        {
        }
        if (! launched)
            helperEnded();
        return launched;
    }

    // A web transfer runs on a helper thread of its own, which owns the stream from its opening to
    // its end and hands the body to the caller's sink piece by piece. The thread that asked for it
    // waits for its end, for its own exit request, or until the transfer is past its deadline or
    // below its pace; then it gives the transfer up and goes at once. A stream cannot be closed without waiting for its name lookup (libcurl's cleanup
    // joins its resolver thread, which sits in getaddrinfo for as long as the name server stays
    // silent), so no thread that others join may own or cancel one, and no stream is handed out:
    // a given-up stream is cancelled by another helper, which closes its connection at once and
    // ends the transfer helper's blocking read. The helper reaches the caller's byte counter and
    // sink only while the caller still waits.
    class WebJob
    {
    public:
        WebJob (ByteCounter* c, juce::OutputStream& s) : counter (c), sink (s), paceMarkMs (now()) {}

        // Runs `transfer` on a helper and waits for it as above. True when the transfer succeeded.
        static bool run (const std::shared_ptr<WebJob>& job, juce::Thread* thread,
                         std::function<bool (WebJob&)> transfer, TransferDeadline deadline);

        // The answer declares this length (-1 when none); false once the caller has gone.
        bool expect (juce::int64 declared)
        {
            const juce::ScopedLock sl (lock);
            if (abandoned)
                return false;
            reserve (sink, declared);
            return true;
        }

        // Hands a piece of the body to the caller's sink and counts it in the caller's counter and
        // in the transfer's pace; false once the caller has gone or the sink fails.
        bool take (const char* bytes, int n)
        {
            const juce::ScopedLock sl (lock);
            if (abandoned || (n > 0 && ! sink.write (bytes, (size_t) n)))
                return false;
            if (counter != nullptr && n > 0)
                counter->fetch_add ((juce::uint64) n);
            received += juce::jmax (0, n);
            if (received - paceMarkBytes >= minimumPaceBytes)
            {
                paceMarkBytes = received;
                paceMarkMs = now();
            }
            return true;
        }

        // Hands the helper's stream over; null when the transfer has been given up meanwhile.
        juce::WebInputStream* open (std::unique_ptr<juce::WebInputStream> newStream)
        {
            const juce::ScopedLock sl (lock);
            if (abandoned)
                return nullptr;
            stream = std::move (newStream);
            return stream.get();
        }

        // Asks the stream something under the lock, which keeps a cancel out meanwhile: the
        // stream reads its own state unguarded. False once given up.
        bool check (const std::function<bool (juce::WebInputStream&)>& test)
        {
            const juce::ScopedLock sl (lock);
            return ! abandoned && stream != nullptr && test (*stream);
        }

        // The stream ended as a whole body ends: without an error, and with the declared length
        // where one was declared.
        bool isComplete (juce::int64 declared)
        {
            return check ([this, declared] (juce::WebInputStream& s)
            {
                return s.isExhausted() && ! s.isError() && (declared < 0 || received == declared);
            });
        }

    private:
        // Wakes the waiting caller when its thread is asked to exit.
        class ExitWaker : private juce::Thread::Listener
        {
        public:
            ExitWaker (juce::Thread* t, juce::WaitableEvent& e) : thread (t), event (e)
            {
                if (thread != nullptr)
                    thread->addListener (this);
            }

            ~ExitWaker() override
            {
                if (thread != nullptr)
                    thread->removeListener (this);
            }

        private:
            void exitSignalSent() override { event.signal(); }

            juce::Thread* thread;
            juce::WaitableEvent& event;
        };

        // When the caller gives the transfer up: its deadline, or the web time-out after the
        // last time the transfer kept its pace. Call under the lock.
        double giveUpTime (TransferDeadline deadline) const
        {
            return deadline > 0 ? deadline : paceMarkMs + getWebTimeoutMs();
        }

        void end (bool ok)
        {
            std::unique_ptr<juce::WebInputStream> closing;
            {
                const juce::ScopedLock sl (lock);
                ended = true;
                succeeded = ok;
                closing = std::move (stream);
                woken.signal();
            }
            // Closing may wait for the name lookup: only a helper waits for it.
            closing.reset();
        }

        // On the caller, under the lock: the transfer is given up, and its stream cancelled.
        static void giveUp (const std::shared_ptr<WebJob>& job)
        {
            job->abandoned = true;
            if (job->stream != nullptr)
                launchHelper ([job]
                {
                    const juce::ScopedLock sl (job->lock);
                    if (job->stream != nullptr)
                        job->stream->cancel();
                });
        }

        ByteCounter* const counter;
        juce::OutputStream& sink;
        std::unique_ptr<juce::WebInputStream> stream;
        mutable juce::CriticalSection lock;
        juce::WaitableEvent woken;
        bool ended = false, succeeded = false, abandoned = false;
        juce::int64 received = 0, paceMarkBytes = 0;
        double paceMarkMs;
    };

    bool WebJob::run (const std::shared_ptr<WebJob>& job, juce::Thread* thread,
                      std::function<bool (WebJob&)> transfer, TransferDeadline deadline)
    {
        const ExitWaker waker (thread != nullptr ? thread : juce::Thread::getCurrentThread(), job->woken);
        if (exitRequested (thread))
            return false;

        const bool launched = launchHelper ([shared = job, work = std::move (transfer)]() mutable
        {
            // A transfer that throws (memory running out while it buffers, say) has failed; its
            // caller and the count of helpers hear of its end all the same.
            bool ok = false;
            try
            {
                ok = work (*shared);
            }
            catch (...)
            {
            }
            shared->end (ok);
            // Whatever the transfer owned goes before the helper counts as ended.
            work = nullptr;
            shared.reset();
        });
        if (! launched)
            return false;

        for (;;)
        {
            double giveUpAt;
            {
                const juce::ScopedLock sl (job->lock);
                giveUpAt = job->giveUpTime (deadline);
            }
            job->woken.wait (juce::jmax (1, (int) std::ceil (giveUpAt - now())));

            const juce::ScopedLock sl (job->lock);
            if (job->ended)
                return job->succeeded;
            if (exitRequested (thread) || now() >= job->giveUpTime (deadline))
            {
                giveUp (job);
                return false;
            }
        }
    }

    juce::URL makeWebUrl (const juce::String& address)
    {
        return juce::URL (WebRoot::mapAddress (address.trim().replace (" ", "%20")));
    }

    // How an answer's body ends: at the length it declares (-1: none) or with the last chunk of a
    // chunked body; the stream reports a body cut short of either as an error. An answer that
    // declares neither ends when its connection closes, as a cut does. The stream keeps no status
    // line, so the end of an HTTP/2 stream cannot be told either: such an answer without a length
    // declares no end here. Nor does the stream keep the first header after the status line: a
    // chunked answer that names its coding first reads as one without an end, on the safe side.
    struct BodyEnd
    {
        juce::int64 declared = -1;
        bool chunked = false;

        bool isKnown() const { return declared >= 0 || chunked; }
    };

    // On the helper: connects and accepts only a final 2xx status; the job's stream then, else
    // null. `end` gets how the answer's body ends. A connection that would outlast the deadline
    // gives up at it.
    juce::WebInputStream* connectWeb (WebJob& job, const juce::URL& url, bool post, TransferDeadline deadline,
                                      BodyEnd& end)
    {
        if (isPast (deadline))
            return nullptr;

        auto timeoutMs = getWebTimeoutMs();
        if (deadline > 0)
            timeoutMs = juce::jmin (timeoutMs, (int) std::ceil (deadline - now()));

        auto newStream = std::make_unique<juce::WebInputStream> (url, post);
        newStream->withConnectionTimeout (juce::jmax (1, timeoutMs)).withNumRedirectsToFollow (5);
        auto* stream = job.open (std::move (newStream));
        if (stream == nullptr || ! stream->connect (nullptr))
            return nullptr;

        const bool accepted = job.check ([&end] (juce::WebInputStream& s)
        {
            const int status = s.getStatusCode();
            end.declared = s.getTotalLength();
            end.chunked = s.getResponseHeaders()["Transfer-Encoding"].containsIgnoreCase ("chunked");
            return ! s.isError() && status >= 200 && status <= 299;
        });
        return accepted ? stream : nullptr;
    }

    std::unique_ptr<juce::InputStream> openLocalFile (const juce::String& address)
    {
        const auto path = address.trim();
        if (path.isEmpty() || ! juce::File::isAbsolutePath (path))
            return {};

        const juce::File file (path);
        if (! file.existsAsFile())
            return {};

        auto stream = std::make_unique<juce::FileInputStream> (file);
        if (! stream->openedOk())
            return {};
        return stream;
    }

    // Reads a stream until a read gives nothing more, handing each piece to `take` (the empty
    // last one too); false from `take` stops the read, which then fails, as does a body longer
    // than `maximumBytes`, whose piece past it is never handed on. Whether the body is complete
    // is for the caller to judge.
    bool readToEnd (juce::InputStream& in, juce::int64 maximumBytes, const std::function<bool (const char*, int)>& take)
    {
        juce::HeapBlock<char> buffer (readChunkBytes);
        juce::int64 total = 0;
        for (;;)
        {
            const int n = juce::jmax (0, in.read (buffer.get(), readChunkBytes));
            total += n;
            if (total > maximumBytes || ! take (buffer.get(), n))
                return false;
            if (n < 1)
                return true;
        }
    }

    // Reads the whole answer of a web request into `sink`, on a helper (see WebJob). Given up,
    // the helper stops after the piece it reads, which the cancel of its stream cuts short.
    bool fetchWeb (const juce::URL& url, bool post, juce::OutputStream& sink, ByteCounter* counter,
                   juce::Thread* thread, TransferDeadline deadline, const DownloadCheck& check)
    {
        auto job = std::make_shared<WebJob> (counter, sink);
        return WebJob::run (job, thread, [url, post, deadline, maximumBytes = check.maximumBytes,
                                          endMustBeKnown = check.endMustBeKnown] (WebJob& j)
        {
            BodyEnd end;
            auto* stream = connectWeb (j, url, post, deadline, end);
            return stream != nullptr && end.declared <= maximumBytes && (end.isKnown() || ! endMustBeKnown)
                && j.expect (end.declared)
                && readToEnd (*stream, maximumBytes, [&j, deadline] (const char* bytes, int n)
                              { return ! isPast (deadline) && j.take (bytes, n); })
                && j.isComplete (end.declared);
        }, deadline);
    }

    // Runs a read into `block`, which holds nothing unless the read succeeded.
    bool readIntoBlock (juce::MemoryBlock& block, const std::function<bool (juce::OutputStream&)>& read)
    {
        block.reset();
        bool ok;
        {
            juce::MemoryOutputStream out (block, false);
            ok = read (out);
        }
        if (! ok)
            block.reset();
        return ok;
    }

    // Reads the whole address, a web address or a local file, into `sink`: true only when the
    // whole body arrived (see readWebStreamToMemory).
    bool readAddressInto (const juce::String& address, juce::OutputStream& sink, ByteCounter* counter,
                          juce::Thread* thread, TransferDeadline deadline, const DownloadCheck& check = {})
    {
        if (isWebTransferAddress (address))
            return fetchWeb (makeWebUrl (address), false, sink, counter, thread, deadline, check);

        auto in = openLocalFile (address);
        if (in == nullptr || in->getTotalLength() > check.maximumBytes)
            return false;
        reserve (sink, in->getTotalLength());
        return readToEnd (*in, check.maximumBytes, [&sink, counter, thread] (const char* bytes, int n)
        {
            if (exitRequested (thread) || (n > 0 && ! sink.write (bytes, (size_t) n)))
                return false;
            if (counter != nullptr)
                counter->fetch_add ((juce::uint64) n);
            return true;
        }) && in->isExhausted();
    }
}

namespace WebRoot
{
    juce::String getDefaultRoot() { return defaultWebRoot; }

    juce::String getRoot()
    {
        if (auto* text = std::getenv ("LARKSPIRE_WEB_ROOT"))
        {
            const auto root = trimTrailingSlashes (juce::String (text).trim());
            if (isWebTransferAddress (root))
                return root;
        }
        return defaultWebRoot;
    }

    juce::String getContentBase()  { return getRoot() + "/Larkspire2"; }
    juce::String getTrackingBase() { return getRoot() + "/lark-spire-2"; }

    juce::String mapAddress (const juce::String& address)
    {
        const auto root = getRoot();
        const juce::String defaultRoot (defaultWebRoot);
        if (root == defaultRoot)
            return address;

        const auto lower = address.toLowerCase();
        for (auto prefix : { defaultRoot, juce::String ("http://www.ardentis.example") })
        {
            if (lower.startsWith (prefix)
                && (address.length() == prefix.length() || address[prefix.length()] == '/'))
                return root + address.substring (prefix.length());
        }
        return address;
    }
}

bool waitForGivenUpWebTransfers (int timeoutMs)
{
    std::unique_lock<std::mutex> sl (helpers().lock);
    return helpers().ended.wait_for (sl, std::chrono::milliseconds (juce::jmax (0, timeoutMs)),
                                      [] { return helpers().running == 0; });
}

int getWebTimeoutMs()                   { return webTimeoutMs.load(); }
void setWebTimeoutMs (int milliseconds) { webTimeoutMs.store (juce::jmax (1, milliseconds)); }
TransferDeadline webTimeoutFromNow()    { return now() + getWebTimeoutMs(); }

bool isWebTransferAddress (const juce::String& address)
{
    return isWebAddress (address);
}

std::unique_ptr<juce::InputStream> openWebStream (const juce::String& address)
{
    if (address.trim().isEmpty())
        return {};

    if (! isWebTransferAddress (address))
        return openLocalFile (address);

    // The whole body is read on the helper: a caller reading the stream never waits on the
    // network.
    juce::MemoryBlock data;
    if (! readIntoBlock (data, [&address] (juce::OutputStream& out)
                         { return fetchWeb (makeWebUrl (address), false, out, nullptr, nullptr, 0, {}); }))
        return {};
    return std::make_unique<juce::MemoryInputStream> (std::move (data));
}

bool readWebStreamToMemory (const juce::String& address, juce::MemoryBlock& block,
                            ByteCounter* counter, juce::Thread* thread, TransferDeadline deadline)
{
    block.reset();
    return address.trim().isNotEmpty()
        && readIntoBlock (block, [&] (juce::OutputStream& out) { return readAddressInto (address, out, counter, thread, deadline); });
}

bool replaceFileWithData (const juce::File& target, const void* data, size_t size)
{
    if (target == juce::File() || target.isDirectory())
        return false;

    if (! target.getParentDirectory().createDirectory())
        return false;

    return AtomicFileWriter::replaceWithData (target, data, size);
}

bool downloadToFile (const juce::String& address, const juce::String& filePath, bool force,
                     ByteCounter* counter, juce::Thread* thread, const DownloadCheck& check)
{
    if (address.trim().isEmpty() || filePath.isEmpty() || ! juce::File::isAbsolutePath (filePath))
        return false;

    const juce::File file (filePath);
    if (! force && file.existsAsFile() && file.getSize() > 0)
        return true;
    if (file.isDirectory() || ! file.getParentDirectory().createDirectory())
        return false;

    // The body goes to the file's temporary sibling, never all into memory; the writer deletes
    // that again unless it takes the file's place.
    AtomicFileWriter writer (file);
    auto* out = writer.getStream();
    if (out == nullptr || ! readAddressInto (address, *out, counter, thread, 0, check) || out->getPosition() == 0)
        return false;

    return writer.finish()
        && (check.accept == nullptr || check.accept (AtomicFileWriter::temporaryFor (file)))
        && writer.commit();
}

std::unique_ptr<juce::XmlElement> loadXmlFromWeb (ByteCounter* counter, const juce::String& address,
                                                  juce::Thread* thread, TransferDeadline deadline)
{
    if (! isWebTransferAddress (address))
        return {};

    juce::MemoryBlock data;
    if (! readWebStreamToMemory (address, data, counter, thread, deadline) || data.isEmpty())
        return {};

    return juce::parseXML (data.toString());
}

std::unique_ptr<juce::XmlElement> loadXmlDocument (ByteCounter* counter, const juce::String& filePath)
{
    const auto path = filePath.trim();
    if (path.isEmpty() || ! juce::File::isAbsolutePath (path))
        return {};

    const juce::File file (path);
    if (! file.existsAsFile())
        return {};

    if (counter != nullptr)
        counter->fetch_add ((juce::uint64) file.getSize());

    return juce::parseXML (file);
}

std::unique_ptr<juce::XmlElement> loadXmlFromAddress (const juce::String& address, ByteCounter* counter,
                                                      bool webFirst, juce::Thread* thread, TransferDeadline deadline)
{
    const auto trimmed = address.trim();
    if (trimmed.isEmpty())
        return {};

    if (webFirst)
    {
        if (auto xml = loadXmlFromWeb (counter, trimmed, thread, deadline))
            return xml;
        return loadXmlDocument (counter, trimmed);
    }

    if (auto xml = loadXmlDocument (counter, trimmed))
        return xml;
    return loadXmlFromWeb (counter, trimmed, thread, deadline);
}

bool postFormToWeb (const juce::URL& url, juce::String& reply, juce::Thread* thread)
{
    reply = {};

    auto target = makeWebUrl (url.toString (false));
    const auto& names = url.getParameterNames();
    const auto& values = url.getParameterValues();
    for (int i = 0; i < names.size(); ++i)
        target = target.withParameter (names[i], values[i]);

    if (! isWebTransferAddress (target.toString (false)))
        return false;

    juce::MemoryBlock data;
    if (! readIntoBlock (data, [&target, thread] (juce::OutputStream& out)
                         { return fetchWeb (target, true, out, nullptr, thread, webTimeoutFromNow(), {}); }))
        return false;

    reply = data.toString();
    return true;
}
