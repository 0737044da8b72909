#pragma once

#include <juce_core/juce_core.h>
#include <atomic>

class ContentManager;

// "Content Downloader": synchronises queued products one after the other, without blocking
// the program; for the message thread it also prepares their capability content. It brings
// the small files that a unit of a product waits for (the lists and rule scripts), and hands
// the product on to a thread of its own for the firmware images and packs, which nothing waits
// for: the small files of the next product never wait behind a long image.
class ContentDownloadThread : public juce::Thread
{
public:
    explicit ContentDownloadThread (ContentManager& owner);
    ~ContentDownloadThread() override;

    // Queues a product unless it is queued already or was synchronised less than the
    // minimum interval ago; wakes the thread. With `prepareFirst` the product's capability
    // content is prepared on this thread before the synchronisation, which does not run when
    // the preparation fails.
    void queueProduct (juce::uint8 productId, bool prepareFirst = false);

    // Queued until its whole synchronisation has ended.
    bool isQueued (juce::uint8 productId) const;
    int getNumQueued() const;

    // True while the product is queued and its small files are not through yet.
    bool isFetchingUnitFiles (juce::uint8 productId) const;

    void run() override;

    // 5.0 seconds between two synchronisations of one product; tests shorten it.
    static double getMinimumIntervalSeconds();
    static void setMinimumIntervalSeconds (double seconds);

    static constexpr double defaultMinimumIntervalSeconds = 5.0;
    static constexpr int stopTimeoutMs = 5000;

private:
    // "Content Downloader (large files)": the firmware images and packs of the products whose
    // small files are through, one after the other; it posts the end of each synchronisation.
    class LargeFiles : public juce::Thread
    {
    public:
        explicit LargeFiles (ContentDownloadThread& o) : juce::Thread ("Content Downloader (large files)"), owner (o) {}
        void run() override;

    private:
        ContentDownloadThread& owner;
    };

    void finish (juce::uint8 productId, bool ok);

    ContentManager& content;
    mutable juce::CriticalSection queueLock;
    juce::Array<juce::uint8> queue;              // in order; each until its synchronisation has ended
    juce::Array<juce::uint8> toPrepare;
    juce::Array<juce::uint8> unitFilesThrough;   // in order; handed on to the large files
    LargeFiles largeFiles { *this };

    JUCE_DECLARE_NON_COPYABLE (ContentDownloadThread)
};
