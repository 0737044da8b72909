#pragma once

#include <juce_core/juce_core.h>
#include <atomic>

class ContentManager;

// "Content Downloader": synchronises the firmware, rules and packs of queued products
// one after the other, without blocking the program; for the message thread it also
// prepares their capability content.
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

    bool isQueued (juce::uint8 productId) const;
    int getNumQueued() const;

    // True while the product is queued and its synchronisation has not yet brought the small
    // files that a unit of it waits for (caps, firmware and rule lists, rule scripts); the
    // firmware images and packs that come after them keep no unit waiting.
    bool isFetchingUnitFiles (juce::uint8 productId) const;

    void run() override;

    // 5.0 seconds between two synchronisations of one product; tests shorten it.
    static double getMinimumIntervalSeconds();
    static void setMinimumIntervalSeconds (double seconds);

    static constexpr double defaultMinimumIntervalSeconds = 5.0;
    static constexpr int stopTimeoutMs = 5000;

private:
    ContentManager& content;
    juce::CriticalSection queueLock;
    juce::Array<juce::uint8> queue;
    juce::Array<juce::uint8> toPrepare;
    juce::Array<juce::uint8> unitFilesThrough;

    JUCE_DECLARE_NON_COPYABLE (ContentDownloadThread)
};
