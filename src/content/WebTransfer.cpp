#include "content/WebTransfer.h"
#include "core/ThreadExit.h"
#include "core/WebAddress.h"
#include "model/AtomicFileWriter.h"
#include <cmath>
#include <cstdlib>

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

    // Cancels a blocking web read the moment its thread is asked to exit, so that a
    // stalled server never holds a thread past its stop time-out.
    class ExitCanceller : private juce::Thread::Listener
    {
    public:
        ExitCanceller (juce::Thread* t, juce::WebInputStream& s) : thread (t), stream (s)
        {
            if (thread != nullptr)
                thread->addListener (this);
        }

        ~ExitCanceller() override
        {
            if (thread != nullptr)
                thread->removeListener (this);
        }

    private:
        void exitSignalSent() override { stream.cancel(); }

        juce::Thread* thread;
        juce::WebInputStream& stream;
    };

    // A web stream together with the guard that cancels it on an exit request.
    struct OpenWeb
    {
        std::unique_ptr<juce::WebInputStream> stream;
        std::unique_ptr<ExitCanceller> canceller;
    };

    juce::URL makeWebUrl (const juce::String& address)
    {
        return juce::URL (WebRoot::mapAddress (address.trim().replace (" ", "%20")));
    }

    bool isPast (TransferDeadline deadline)
    {
        return deadline > 0 && juce::Time::getMillisecondCounterHiRes() >= deadline;
    }

    // Connects and accepts only a final 2xx status. A connection that would outlast the
    // deadline gives up at it.
    bool openWeb (OpenWeb& web, const juce::URL& url, bool post, juce::Thread* thread, TransferDeadline deadline = 0)
    {
        if (isPast (deadline))
            return false;

        auto timeoutMs = getWebTimeoutMs();
        if (deadline > 0)
            timeoutMs = juce::jmin (timeoutMs, (int) std::ceil (deadline - juce::Time::getMillisecondCounterHiRes()));

        web.stream = std::make_unique<juce::WebInputStream> (url, post);
        web.stream->withConnectionTimeout (juce::jmax (1, timeoutMs)).withNumRedirectsToFollow (5);

        auto* watched = thread != nullptr ? thread : juce::Thread::getCurrentThread();
        web.canceller = std::make_unique<ExitCanceller> (watched, *web.stream);

        if (exitRequested (thread) || ! web.stream->connect (nullptr) || web.stream->isError())
            return false;

        const int status = web.stream->getStatusCode();
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
    // judged by the transfer's own result and the declared length.
    bool readWhole (juce::InputStream& in, juce::WebInputStream* web, juce::MemoryBlock& block,
                    ByteCounter* counter, juce::Thread* thread, TransferDeadline deadline = 0)
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
            if (exitRequested (thread) || isPast (deadline))
            {
                stopped = true;
                break;
            }
            if (n < 1)
                break;

            out.write (buffer.get(), (size_t) n);
            if (counter != nullptr)
                counter->fetch_add ((juce::uint64) n);

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

    OpenWeb web;
    if (! openWeb (web, makeWebUrl (address), false, nullptr))
        return {};
    web.canceller.reset();
    return std::move (web.stream);
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
        return in != nullptr && readWhole (*in, nullptr, block, counter, thread);
    }

    OpenWeb web;
    if (! openWeb (web, makeWebUrl (address), false, thread, deadline))
        return false;

    const bool ok = readWhole (*web.stream, web.stream.get(), block, counter, thread, deadline);
    if (! ok)
        block.reset();
    return ok;
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

    OpenWeb web;
    if (! openWeb (web, target, true, thread))
        return false;

    juce::MemoryBlock data;
    if (! readWhole (*web.stream, web.stream.get(), data, nullptr, thread))
        return false;

    reply = data.toString();
    return true;
}
