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

    bool isPast (TransferDeadline deadline)
    {
        return deadline > 0 && juce::Time::getMillisecondCounterHiRes() >= deadline;
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

    // A web transfer runs on a helper thread of its own, which owns the stream from its opening to
    // its end. The thread that asked for it waits for its end or for its own exit request; on an
    // exit request it goes at once and leaves the helper to end by itself. A stream cannot be
    // closed without waiting for its name lookup (libcurl's cleanup joins its resolver thread,
    // which sits in getaddrinfo for as long as the name server stays silent), so no thread that
    // others join may own one, and no stream is handed out. The helper reaches the caller's byte
    // counter only while the caller still waits.
    class WebJob
    {
    public:
        explicit WebJob (ByteCounter* c) : counter (c) {}

        // Runs `transfer` on a helper and waits for it, or for the exit request of `thread` (of the
        // calling thread when null), or until the deadline. True when the transfer succeeded.
        static bool run (const std::shared_ptr<WebJob>& job, juce::Thread* thread,
                         std::function<bool (WebJob&)> transfer, TransferDeadline deadline);

        // Adds bytes read to the caller's counter; false once the caller has gone.
        bool addBytes (int n)
        {
            const juce::ScopedLock sl (lock);
            if (abandoned)
                return false;
            if (counter != nullptr && n > 0)
                counter->fetch_add ((juce::uint64) n);
            return true;
        }

        bool isAbandoned() const
        {
            const juce::ScopedLock sl (lock);
            return abandoned;
        }

        // The helper's while it runs; `data` is the caller's once a successful transfer has ended.
        std::unique_ptr<juce::WebInputStream> stream;
        juce::MemoryBlock data;

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
            // Closing may wait for the name lookup: only the helper waits for it.
            closing.reset();
        }

        ByteCounter* const counter;
        mutable juce::CriticalSection lock;
        juce::WaitableEvent woken;
        bool ended = false, succeeded = false, abandoned = false;
    };

    bool WebJob::run (const std::shared_ptr<WebJob>& job, juce::Thread* thread,
                      std::function<bool (WebJob&)> transfer, TransferDeadline deadline)
    {
        const ExitWaker waker (thread != nullptr ? thread : juce::Thread::getCurrentThread(), job->woken);
        if (exitRequested (thread))
            return false;

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

        auto body = [shared = job, helperEnded, work = std::move (transfer)]() mutable
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
            helperEnded();
        };
        bool launched = false;
        try
        {
            launched = juce::Thread::launch (std::move (body));
        }
        catch (...)
        {
        }
        if (! launched)
        {
            helperEnded();
            return false;
        }

        for (;;)
        {
            job->woken.wait (deadline > 0 ? juce::jmax (1, (int) std::ceil (deadline - juce::Time::getMillisecondCounterHiRes()))
                                          : -1);
            const juce::ScopedLock sl (job->lock);
            if (job->ended)
                return job->succeeded;
            if (exitRequested (thread) || isPast (deadline))
            {
                job->abandoned = true;
                return false;
            }
        }
    }

    juce::URL makeWebUrl (const juce::String& address)
    {
        return juce::URL (WebRoot::mapAddress (address.trim().replace (" ", "%20")));
    }

    // On the helper: connects and accepts only a final 2xx status. A connection that would
    // outlast the deadline gives up at it.
    bool connectWeb (WebJob& job, const juce::URL& url, bool post, TransferDeadline deadline)
    {
        if (isPast (deadline))
            return false;

        const auto timeoutMs = juce::jmin (getWebTimeoutMs(),
                                           (int) std::ceil (deadline - juce::Time::getMillisecondCounterHiRes()));

        job.stream = std::make_unique<juce::WebInputStream> (url, post);
        job.stream->withConnectionTimeout (juce::jmax (1, timeoutMs)).withNumRedirectsToFollow (5);

        if (job.isAbandoned() || ! job.stream->connect (nullptr) || job.stream->isError())
            return false;

        const int status = job.stream->getStatusCode();
        return status >= 200 && status <= 299;
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

    // Reads a stream to its end. `web` is set for web streams, whose completeness is
    // judged by the transfer's own result and the declared length. `carryOn` takes the
    // number of bytes of each read; false stops the read, which then fails.
    bool readWhole (juce::InputStream& in, juce::WebInputStream* web, juce::MemoryBlock& block,
                    const std::function<bool (int)>& carryOn)
    {
        block.reset();
        const auto declared = in.getTotalLength();
        if (declared > maximumTransferBytes)
            return false;

        juce::MemoryOutputStream out (block, false);
        if (declared > 0)
            out.preallocate ((size_t) juce::jmin (declared, maximumReservation));

        juce::HeapBlock<char> buffer (readChunkBytes);
        bool stopped = false;

        for (;;)
        {
            const int n = in.read (buffer.get(), readChunkBytes);
            if (! carryOn (juce::jmax (0, n)))
            {
                stopped = true;
                break;
            }
            if (n < 1)
                break;

            out.write (buffer.get(), (size_t) n);

            if ((juce::int64) out.getDataSize() > maximumTransferBytes)
                return false;
        }

        const auto received = (juce::int64) out.getDataSize();
        out.flush();

        if (stopped || ! in.isExhausted())
            return false;

        if (web != nullptr && (web->isError() || (declared >= 0 && received != declared)))
            return false;

        return true;
    }

    // Reads the whole answer of a web request into `block`, on a helper (see WebJob). Past the
    // deadline the caller gives the transfer up, and the helper stops after the piece it reads.
    // Without a deadline of its own the transfer has the web time-out from now.
    bool fetchWeb (const juce::URL& url, bool post, juce::MemoryBlock& block, ByteCounter* counter,
                   juce::Thread* thread, TransferDeadline deadline)
    {
        block.reset();
        if (deadline <= 0)
            deadline = juce::Time::getMillisecondCounterHiRes() + getWebTimeoutMs();

        auto job = std::make_shared<WebJob> (counter);
        const bool ok = WebJob::run (job, thread, [url, post, deadline] (WebJob& j)
        {
            return connectWeb (j, url, post, deadline)
                && readWhole (*j.stream, j.stream.get(), j.data,
                              [&j, deadline] (int n) { return ! isPast (deadline) && j.addBytes (n); });
        }, deadline);

        if (ok)
            block = std::move (job->data);
        return ok;
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

    // The whole body is read on the helper, within the web time-out: a caller reading the
    // stream never waits on the network.
    juce::MemoryBlock data;
    if (! fetchWeb (makeWebUrl (address), false, data, nullptr, nullptr, 0))
        return {};
    return std::make_unique<juce::MemoryInputStream> (std::move (data));
}

bool readWebStreamToMemory (const juce::String& address, juce::MemoryBlock& block,
                            ByteCounter* counter, juce::Thread* thread, TransferDeadline deadline)
{
    block.reset();
    if (address.trim().isEmpty())
        return false;

    if (! isWebTransferAddress (address))
    {
        auto in = openLocalFile (address);
        return in != nullptr && readWhole (*in, nullptr, block, [counter, thread] (int n)
        {
            if (exitRequested (thread))
                return false;
            if (counter != nullptr)
                counter->fetch_add ((juce::uint64) n);
            return true;
        });
    }

    return fetchWeb (makeWebUrl (address), false, block, counter, thread, deadline);
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
                     ByteCounter* counter, juce::Thread* thread)
{
    if (address.trim().isEmpty() || filePath.isEmpty() || ! juce::File::isAbsolutePath (filePath))
        return false;

    const juce::File file (filePath);
    if (! force && file.existsAsFile() && file.getSize() > 0)
        return true;

    juce::MemoryBlock data;
    if (! readWebStreamToMemory (address, data, counter, thread) || data.isEmpty())
        return false;

    return replaceFileWithData (file, data.getData(), data.getSize());
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
    if (! fetchWeb (target, true, data, nullptr, thread, 0))
        return false;

    reply = data.toString();
    return true;
}
