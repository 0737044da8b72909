#include <gtest/gtest.h>
#include "content/WebTransfer.h"
#include "support/ContentWorld.h"
#include "support/LocalHttpServer.h"
#include "support/TestEnvironment.h"
#include <csignal>
#include <malloc.h>
#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

#if defined (__has_feature)
 #if __has_feature (address_sanitizer) || __has_feature (thread_sanitizer)
  #define LARKSPIRE_TEST_SANITIZER_HEAP 1
 #endif
#endif

using namespace testing_support;

namespace
{
    // A served folder with one text file and one larger binary file.
    struct Site
    {
        Site()
        {
            folder.child ("files").createDirectory();
            folder.child ("files/hello.txt").replaceWithText ("hello, world");
            folder.child ("files/with space.txt").replaceWithText ("spaced out");
            juce::MemoryOutputStream big;
            for (int i = 0; i < 400000; ++i)
                big.writeByte ((char) (i * 7));
            folder.child ("files/big.bin").replaceWithData (big.getData(), big.getDataSize());
            server.setRoot (folder.get());
        }

        TempFolder folder;
        LocalHttpServer server;
    };

    juce::MemoryBlock fileBytes (const juce::File& f)
    {
        juce::MemoryBlock b;
        f.loadFileAsData (b);
        return b;
    }

    // A worker whose exit request the test controls.
    class Worker : public juce::Thread
    {
    public:
        explicit Worker (std::function<void (juce::Thread*)> job) : juce::Thread ("transfer worker"), body (std::move (job)) {}
        ~Worker() override { stopThread (20000); }
        void run() override { body (this); done = true; }
        std::atomic<bool> done { false };

    private:
        std::function<void (juce::Thread*)> body;
    };
}

TEST (WebTransfer, OnlyHttpTextsAreWebAddresses)
{
    EXPECT_TRUE (isWebTransferAddress ("http://127.0.0.1/x"));
    EXPECT_TRUE (isWebTransferAddress ("  HTTPS://host/x"));
    EXPECT_FALSE (isWebTransferAddress ("/home/user/Ardentis/Larkspire 2/x.xml"));
    EXPECT_FALSE (isWebTransferAddress ("ftp://host/x"));
    EXPECT_FALSE (isWebTransferAddress ("file:///tmp/x"));
}

TEST (WebTransfer, LocalFilesWithSpacesOpenUnencoded)
{
    TempFolder folder;
    auto dir = folder.child ("Larkspire 2");
    dir.createDirectory();
    auto file = dir.getChildFile ("master descriptor.xml");
    file.replaceWithText ("<CONTROL_DESCRIPTOR/>");

    auto stream = openWebStream (file.getFullPathName());
    ASSERT_NE (stream, nullptr);
    EXPECT_EQ (stream->readEntireStreamAsString(), "<CONTROL_DESCRIPTOR/>");

    ByteCounter counter { 0 };
    auto xml = loadXmlFromAddress (file.getFullPathName(), &counter, true);
    ASSERT_NE (xml, nullptr);
    EXPECT_EQ (xml->getTagName(), "CONTROL_DESCRIPTOR");
    EXPECT_EQ (counter.load(), (juce::uint64) file.getSize());

    // Relative paths and folders are not files to read.
    EXPECT_EQ (openWebStream ("master descriptor.xml"), nullptr);
    EXPECT_EQ (openWebStream (dir.getFullPathName()), nullptr);
    EXPECT_EQ (openWebStream ("   "), nullptr);
}

TEST (WebTransfer, SpacesInWebAddressesAreSentEncoded)
{
    Site site;
    juce::MemoryBlock block;
    ASSERT_TRUE (readWebStreamToMemory (site.server.address ("/files/with space.txt"), block, nullptr, nullptr));
    EXPECT_EQ (block.toString(), "spaced out");
    auto requests = site.server.getRequests();
    ASSERT_EQ (requests.size(), 1u);
    EXPECT_EQ (requests[0].target, "/files/with%20space.txt");
}

TEST (WebTransfer, ErrorStatusesGiveNoStreamEvenWithABody)
{
    Site site;
    site.server.failWith ("/files/hello.txt", 404, "not here");
    EXPECT_EQ (openWebStream (site.server.address ("/files/hello.txt")), nullptr);

    site.server.failWith ("/files/hello.txt", 500, "<CONTROL_DESCRIPTOR/>");
    EXPECT_EQ (openWebStream (site.server.address ("/files/hello.txt")), nullptr);
    EXPECT_EQ (loadXmlFromAddress (site.server.address ("/files/hello.txt"), nullptr, true), nullptr);

    // A final 3xx (here without a place to go) is not content either.
    site.server.reply ("/files/hello.txt", 304, "");
    juce::MemoryBlock block;
    EXPECT_FALSE (readWebStreamToMemory (site.server.address ("/files/hello.txt"), block, nullptr, nullptr));

    site.server.reply ("/files/hello.txt", 204, "");
    EXPECT_NE (openWebStream (site.server.address ("/files/hello.txt")), nullptr);
}

TEST (WebTransfer, FollowsAtMostFiveRedirects)
{
    Site site;
    site.server.redirect ("/files/hello.txt", 5);
    juce::MemoryBlock block;
    ASSERT_TRUE (readWebStreamToMemory (site.server.address ("/files/hello.txt"), block, nullptr, nullptr));
    EXPECT_EQ (block.toString(), "hello, world");
    EXPECT_EQ (site.server.countRequests ("GET", "/files/hello.txt"), 6);

    site.server.clearLog();
    site.server.redirect ("/files/hello.txt", 6);
    EXPECT_FALSE (readWebStreamToMemory (site.server.address ("/files/hello.txt"), block, nullptr, nullptr));
    EXPECT_TRUE (block.isEmpty());
    EXPECT_EQ (site.server.countRequests ("GET", "/files/hello.txt"), 6);
}

TEST (WebTransfer, TruncatedBodyIsAFailure)
{
    Site site;
    site.server.serveTruncated ("/files/big.bin", 100000);
    juce::MemoryBlock block;
    ByteCounter counter { 0 };
    EXPECT_FALSE (readWebStreamToMemory (site.server.address ("/files/big.bin"), block, &counter, nullptr));
    EXPECT_TRUE (block.isEmpty());
}

TEST (WebTransfer, CountsEveryByteOfAWholeRead)
{
    Site site;
    juce::MemoryBlock block;
    ByteCounter counter { 5 };
    ASSERT_TRUE (readWebStreamToMemory (site.server.address ("/files/big.bin"), block, &counter, nullptr));
    EXPECT_EQ (block, fileBytes (site.folder.child ("files/big.bin")));
    EXPECT_EQ (counter.load(), 5u + 400000u);
}

TEST (WebTransfer, DownloadKeepsAnExistingFileWithoutForce)
{
    Site site;
    TempFolder target;
    auto file = target.child ("hello.txt");
    file.replaceWithText ("old text");

    EXPECT_TRUE (downloadToFile (site.server.address ("/files/hello.txt"), file.getFullPathName(), false, nullptr, nullptr));
    EXPECT_EQ (file.loadFileAsString(), "old text");
    EXPECT_TRUE (site.server.getRequests().empty());

    // An empty file is fetched again.
    file.replaceWithText ("");
    EXPECT_TRUE (downloadToFile (site.server.address ("/files/hello.txt"), file.getFullPathName(), false, nullptr, nullptr));
    EXPECT_EQ (file.loadFileAsString(), "hello, world");
}

TEST (WebTransfer, EveryFailedDownloadLeavesTheOldFileByteIdentical)
{
    Site site;
    TempFolder target;
    auto file = target.child ("big.bin");
    juce::MemoryBlock old;
    for (int i = 0; i < 3000; ++i)
        old.append ("old!", 4);
    file.replaceWithData (old.getData(), old.getSize());

    const auto address = site.server.address ("/files/big.bin");
    auto attempt = [&]
    {
        return downloadToFile (address, file.getFullPathName(), true, nullptr, nullptr);
    };

    site.server.failWith ("/files/big.bin", 404, "gone");
    EXPECT_FALSE (attempt());
    EXPECT_EQ (fileBytes (file), old);

    site.server.failWith ("/files/big.bin", 500, "server error page");
    EXPECT_FALSE (attempt());
    EXPECT_EQ (fileBytes (file), old);

    site.server.serveEmpty ("/files/big.bin");
    EXPECT_FALSE (attempt());
    EXPECT_EQ (fileBytes (file), old);

    site.server.serveTruncated ("/files/big.bin", 50000);
    EXPECT_FALSE (attempt());
    EXPECT_EQ (fileBytes (file), old);

    site.server.redirect ("/files/big.bin", 7);
    EXPECT_FALSE (attempt());
    EXPECT_EQ (fileBytes (file), old);

    site.server.reply ("/files/big.bin", 302, "");
    EXPECT_FALSE (attempt());
    EXPECT_EQ (fileBytes (file), old);

    EXPECT_FALSE (downloadToFile ("", file.getFullPathName(), true, nullptr, nullptr));
    EXPECT_FALSE (downloadToFile (address, "", true, nullptr, nullptr));
    EXPECT_EQ (fileBytes (file), old);

    // No temporary siblings are left behind.
    EXPECT_EQ (target.get().getNumberOfChildFiles (juce::File::findFiles, "*"), 1);

    site.server.clearBehaviour ("/files/big.bin");
    EXPECT_TRUE (attempt());
    EXPECT_EQ (fileBytes (file), fileBytes (site.folder.child ("files/big.bin")));
}

TEST (WebTransfer, ExitRequestCancelsASlowDownload)
{
    Site site;
    site.server.serveSlowly ("/files/big.bin", 8192, 40);   // about two seconds in all
    TempFolder target;
    auto file = target.child ("big.bin");
    file.replaceWithText ("previous");

    ByteCounter counter { 0 };
    std::atomic<bool> result { true };
    Worker worker ([&] (juce::Thread* t)
    {
        result = downloadToFile (site.server.address ("/files/big.bin"), file.getFullPathName(), true, &counter, t);
    });
    worker.startThread();

    ASSERT_TRUE (pumpUntil ([&] { return counter.load() >= 16384; }, 30000));
    worker.signalThreadShouldExit();
    ASSERT_TRUE (pumpUntil ([&] { return worker.done.load(); }, 30000));

    EXPECT_FALSE (result.load());
    EXPECT_LT (counter.load(), 400000u);
    EXPECT_EQ (file.loadFileAsString(), "previous");
}

TEST (WebTransfer, ExitRequestCancelsAStalledServer)
{
    Site site;
    site.server.stall ("/files/hello.txt");
    std::atomic<bool> result { true };
    Worker worker ([&] (juce::Thread* t)
    {
        juce::MemoryBlock block;
        result = readWebStreamToMemory (site.server.address ("/files/hello.txt"), block, nullptr, t);
    });
    worker.startThread();
    ASSERT_TRUE (pumpUntil ([&] { return site.server.countRequests ("GET", "/files/hello.txt") == 1; }, 30000));
    worker.signalThreadShouldExit();
    ASSERT_TRUE (pumpUntil ([&] { return worker.done.load(); }, 30000));
    EXPECT_FALSE (result.load());
}

TEST (WebTransfer, StalledServerTimesOut)
{
    Site site;
    site.server.stall ("/files/hello.txt");
    setWebTimeoutMs (1000);
    juce::MemoryBlock block;
    EXPECT_FALSE (readWebStreamToMemory (site.server.address ("/files/hello.txt"), block, nullptr, nullptr));
    setWebTimeoutMs (30000);
}

// A transfer with a deadline ends there, however the server answers: silent, or trickling
// fast enough for the low-speed abort (the body here would take 40 s).
TEST (WebTransfer, ADeadlineEndsATransferThatStallsOrTrickles)
{
    Site site;
    site.server.stall ("/files/hello.txt");
    site.server.serveSlowly ("/files/big.bin", 1024, 100);
    for (auto path : { "/files/hello.txt", "/files/big.bin" })
    {
        juce::MemoryBlock block;
        const double deadline = juce::Time::getMillisecondCounterHiRes() + 1000;
        EXPECT_FALSE (readWebStreamToMemory (site.server.address (path), block, nullptr, nullptr, deadline)) << path;
        EXPECT_LT (juce::Time::getMillisecondCounterHiRes() - deadline, 20000.0) << path << " was waited for to the end";
        EXPECT_TRUE (block.isEmpty());
    }
}

// A transfer without a deadline is bounded by its pace: one that keeps it runs to its end
// however long it takes, one that trickles is given up at the web time-out and its connection
// closed then. The small answers waited for in the foreground keep their bound as a whole.
TEST (WebTransfer, ATransferWithoutADeadlineKeepsItsPaceOrIsGivenUp)
{
    Site site;
    // Room for a loaded machine: the steady answer fails only when its reader stalls for about
    // two seconds.
    setWebTimeoutMs (2000);
    site.server.serveSlowly ("/files/big.bin", 8192, 80);   // about four seconds, 100 KB a second
    TempFolder target;
    const auto file = target.child ("big.bin");
    EXPECT_TRUE (downloadToFile (site.server.address ("/files/big.bin"), file.getFullPathName(), true, nullptr, nullptr));
    EXPECT_EQ (fileBytes (file), fileBytes (site.folder.child ("files/big.bin")));
    juce::String reply;
    EXPECT_FALSE (postFormToWeb (juce::URL (site.server.address ("/files/big.bin")), reply, nullptr));

    site.server.serveSlowly ("/files/big.bin", 15, 100);   // 150 bytes a second: 45 minutes
    juce::MemoryBlock block;
    EXPECT_FALSE (readWebStreamToMemory (site.server.address ("/files/big.bin"), block, nullptr, nullptr));
    EXPECT_EQ (openWebStream (site.server.address ("/files/big.bin")), nullptr);
    EXPECT_TRUE (pumpUntil ([&] { return site.server.countOpenConnections() == 0; }, 10000))
        << "a given-up transfer kept its connection";
    setWebTimeoutMs (30000);
}

// A transfer that runs out of memory while it buffers the answer has failed, and its caller
// hears so at once. Shown in a child process whose address space leaves no room for the buffer
// the read grows for the answer this process's server sends. The answer is larger than a
// thread's malloc arena can ever hold, so space that earlier tests freed, still counted in the
// address space the child inherits, cannot take it either.
TEST (WebTransfer, ATransferThatRunsOutOfMemoryFailsAndIsNotWaitedFor)
{
   #if LARKSPIRE_TEST_SANITIZER_HEAP
    GTEST_SKIP() << "the sanitizers' own address space needs no limit";
   #endif
    Site site;
    site.server.reply ("/files/huge.txt", 200, juce::String::repeatedString ("x", 96 << 20));
    const auto address = site.server.address ("/files/huge.txt");

    auto readWithLittleMemory = [&address]
    {
        ::malloc_trim (0);   // what the main heap holds free goes back before the limit is set
        juce::StringArray status;
        status.addLines (juce::File ("/proc/self/status").loadFileAsString());
        rlim_t used = 0;
        for (auto& line : status)
            if (line.startsWith ("VmSize:"))
                used = (rlim_t) line.fromFirstOccurrenceOf (":", false, false).getLargeIntValue() * 1024;
        // Room for the helper's stack and the connection, not for the buffer the read reserves.
        pthread_attr_t defaults;
        size_t stack = 0;
        ::pthread_getattr_default_np (&defaults);
        ::pthread_attr_getstacksize (&defaults, &stack);
        const rlimit limit { used + (rlim_t) stack + (2 << 20), used + (rlim_t) stack + (2 << 20) };
        ::setrlimit (RLIMIT_AS, &limit);
        ::alarm (20);   // a caller left waiting ends here
        juce::MemoryBlock block;
        std::_Exit (readWebStreamToMemory (address, block, nullptr, nullptr) ? 1 : 0);
    };
    EXPECT_EXIT (readWithLittleMemory(), ::testing::ExitedWithCode (0), "");
}

TEST (WebTransfer, XmlLoadOrder)
{
    Site site;
    site.folder.child ("files/a.xml").replaceWithText ("<WEB/>");
    TempFolder local;
    local.child ("a.xml").replaceWithText ("<LOCAL/>");

    auto web = loadXmlFromAddress ("  " + site.server.address ("/files/a.xml") + " ", nullptr, true);
    ASSERT_NE (web, nullptr);
    EXPECT_EQ (web->getTagName(), "WEB");

    auto file = loadXmlFromAddress (local.child ("a.xml").getFullPathName(), nullptr, false);
    ASSERT_NE (file, nullptr);
    EXPECT_EQ (file->getTagName(), "LOCAL");

    EXPECT_EQ (loadXmlFromAddress ("", nullptr, true), nullptr);
    site.folder.child ("files/bad.xml").replaceWithText ("<not closed");
    EXPECT_EQ (loadXmlFromAddress (site.server.address ("/files/bad.xml"), nullptr, true), nullptr);
}

TEST (WebTransfer, WebRootReplacesTheDefaultHost)
{
    {
        ScopedEnvironmentVariable root ("LARKSPIRE_WEB_ROOT", "http://127.0.0.1:4567/");
        EXPECT_EQ (WebRoot::getContentBase(), "http://127.0.0.1:4567/Larkspire2");
        EXPECT_EQ (WebRoot::getTrackingBase(), "http://127.0.0.1:4567/lark-spire-2");
        EXPECT_EQ (WebRoot::mapAddress (WebRoot::getDefaultRoot() + "/Larkspire2/Merle/caps.xml"),
                   "http://127.0.0.1:4567/Larkspire2/Merle/caps.xml");
        EXPECT_EQ (WebRoot::mapAddress ("https://elsewhere.example/x"), "https://elsewhere.example/x");
        EXPECT_EQ (WebRoot::mapAddress (WebRoot::getDefaultRoot() + ".evil.example/x"),
                   WebRoot::getDefaultRoot() + ".evil.example/x");
    }
    {
        ScopedEnvironmentVariable root ("LARKSPIRE_WEB_ROOT", "not a web address");
        EXPECT_EQ (WebRoot::getRoot(), WebRoot::getDefaultRoot());
    }
    EXPECT_TRUE (WebRoot::getDefaultRoot().startsWith ("https://"));
}

TEST (WebTransfer, PostSendsParametersInTheBodyInOrder)
{
    Site site;
    site.server.reply ("/post/here.php", 200, "42");
    juce::URL url (site.server.address ("/post/here.php"));
    url = url.withParameter ("b", "2").withParameter ("a", "one two").withParameter ("c", "&");

    juce::String reply;
    ASSERT_TRUE (postFormToWeb (url, reply, nullptr));
    EXPECT_EQ (reply, "42");
    auto requests = site.server.getRequests();
    ASSERT_EQ (requests.size(), 1u);
    EXPECT_EQ (requests[0].method, "POST");
    EXPECT_EQ (requests[0].target, "/post/here.php");
    EXPECT_EQ (requests[0].body, "b=2&a=one%20two&c=%26");

    site.server.failWith ("/post/here.php", 500, "boom");
    EXPECT_FALSE (postFormToWeb (url, reply, nullptr));
    EXPECT_TRUE (reply.isEmpty());
}
