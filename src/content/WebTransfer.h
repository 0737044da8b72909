#pragma once

#include <juce_core/juce_core.h>
#include <atomic>
#include <functional>
#include <memory>

// Every fetch of the program goes through these helpers: an address is either a
// web address (only "http://" and "https://" texts) or an absolute local file path.
// Byte counters are shared with the status bar, which polls them from another thread.
using ByteCounter = std::atomic<juce::uint64>;

// Where the maker's web service lives. LARKSPIRE_WEB_ROOT (for instance
// "http://127.0.0.1:8080") replaces the scheme and host of the content and tracking
// addresses, and of every address on the default host that the control content names.
namespace WebRoot
{
    juce::String getDefaultRoot();
    juce::String getRoot();
    juce::String getContentBase();    // root + "/Larkspire2"
    juce::String getTrackingBase();   // root + "/lark-spire-2"

    // An address on the default host moves to the replacement root when one is set.
    juce::String mapAddress (const juce::String& address);
}

// Connection time-out of every web transfer, in ms, and the span over which a transfer must
// keep its pace (below). Tests shorten it.
int getWebTimeoutMs();
void setWebTimeoutMs (int milliseconds);

// A transfer without a deadline fails when fewer than this many bytes arrived within the last
// web time-out: it stalls or trickles. One that keeps a working pace runs to its end, however
// long it takes (a firmware image on a slow line may take minutes).
constexpr int minimumPaceBytes = 16 * 1024;

// A time by which a whole web transfer (connection, answer and body) must have ended, as a
// juce::Time::getMillisecondCounterHiRes() value. Only the small answers that something waits
// for in the foreground have one (the descriptor, the caps, the device look-up, usage events):
// an answer that trickles just above the low-speed abort may otherwise take hours. A transfer
// given none (0) is bounded by its pace instead.
using TransferDeadline = double;

// The deadline of a whole transfer that starts now: the web time-out from now.
TransferDeadline webTimeoutFromNow();

// True for texts that name a web address rather than a local file.
bool isWebTransferAddress (const juce::String& address);

// Opens an address: a web address with an HTTP GET (at most 5 redirects; only a final
// 2xx status counts), anything else as an absolute local file path. Null on failure. A web
// answer is read whole before it is handed over, so that reading the stream never waits on
// the network; the transfer itself waits as readWebStreamToMemory does, so no thread that
// others wait for (the message thread above all) opens a web address.
std::unique_ptr<juce::InputStream> openWebStream (const juce::String& address);

// Reads the whole address into `block` (replacing its content). The thread's exit
// request (or, without one, the calling thread's) ends the read early: a web read in
// progress is given up at once, never waited for, and its connection is closed. A web read
// fails once past its deadline (the connection gives up at the deadline, the caller stops
// waiting then, and the body is checked after each piece read), or, without one, once it
// falls below its pace. True only when the whole body arrived.
bool readWebStreamToMemory (const juce::String& address, juce::MemoryBlock& block,
                            ByteCounter* counter, juce::Thread* thread, TransferDeadline deadline = 0);

// A web transfer given up (at its thread's exit request, its deadline or its pace) is
// cancelled on a helper thread of its own: the cancel may wait for a name lookup. Waits up to `timeoutMs` for every such transfer to end; false
// when some still run (one whose host name a silent name server never resolves, say). What
// still runs then must not meet the teardown of the program's statics.
bool waitForGivenUpWebTransfers (int timeoutMs);

// Largest body any transfer accepts.
constexpr juce::int64 maximumTransferBytes = 256 * 1024 * 1024;

// What a downloaded body must be to take its file's place.
struct DownloadCheck
{
    // The largest body taken: the transfer stops as soon as the body passes it (at once when
    // the answer declares a longer one).
    juce::int64 maximumBytes = maximumTransferBytes;
    // For content without an end mark of its own: only a body whose end a cut cannot fake is
    // taken, one that met its declared length or ended with the last chunk of a chunked body.
    // An answer that declares neither ends only when its connection closes, as a cut does: it
    // is refused before its body is read.
    bool endMustBeKnown = false;
    // Whether the body, written whole to the temporary file, is fit to use.
    std::function<bool (const juce::File&)> accept;
};

// Downloads an address to a file. Without `force` an existing non-empty file is kept
// (true, no transfer). The body is written to a temporary sibling, which is renamed over the
// file only after a complete, non-empty read that passes `check`; on any failure the old file
// stays as it was and the temporary goes.
bool downloadToFile (const juce::String& address, const juce::String& filePath, bool force,
                     ByteCounter* counter, juce::Thread* thread, const DownloadCheck& check = {});

std::unique_ptr<juce::XmlElement> loadXmlFromWeb (ByteCounter* counter, const juce::String& address,
                                                  juce::Thread* thread = nullptr, TransferDeadline deadline = 0);
std::unique_ptr<juce::XmlElement> loadXmlDocument (ByteCounter* counter, const juce::String& filePath);
std::unique_ptr<juce::XmlElement> loadXmlFromAddress (const juce::String& address, ByteCounter* counter,
                                                      bool webFirst, juce::Thread* thread = nullptr,
                                                      TransferDeadline deadline = 0);

// Sends the URL's parameters form-encoded in the body of an HTTP POST and reads the
// whole reply text, within the web time-out. False (and an empty reply) on any failure or a
// status other than 2xx.
bool postFormToWeb (const juce::URL& url, juce::String& reply, juce::Thread* thread);

// Writes data beside the target and renames it over the target; the old file stays
// on any failure.
bool replaceFileWithData (const juce::File& target, const void* data, size_t size);
