#include "content/ContentDownloadThread.h"
#include "content/ContentManager.h"
#include "core/InfoCodes.h"

namespace
{
    std::atomic<double> minimumInterval { ContentDownloadThread::defaultMinimumIntervalSeconds };
}

double ContentDownloadThread::getMinimumIntervalSeconds()            { return minimumInterval.load(); }
void ContentDownloadThread::setMinimumIntervalSeconds (double seconds) { minimumInterval.store (seconds); }

ContentDownloadThread::ContentDownloadThread (ContentManager& owner)
    : juce::Thread ("Content Downloader"), content (owner)
{
    largeFiles.startThread();
}

ContentDownloadThread::~ContentDownloadThread()
{
    // Both end together: a transfer is given up at the exit request.
    largeFiles.signalThreadShouldExit();
    stopThread (stopTimeoutMs);
    largeFiles.stopThread (stopTimeoutMs);
}

void ContentDownloadThread::queueProduct (juce::uint8 productId, bool prepareFirst)
{
    {
        const juce::ScopedLock sl (queueLock);
        if (queue.contains (productId))
            return;

        const auto last = content.getLastSyncTime (productId);   // 0 for an unknown product
        const double secondsSince = (double) (juce::Time::currentTimeMillis() - last) * 0.001;
        if (last != 0 && ! (secondsSince > getMinimumIntervalSeconds()))
            return;

        queue.add (productId);
        if (prepareFirst)
            toPrepare.addIfNotAlreadyThere (productId);
    }
    notify();
}

bool ContentDownloadThread::isQueued (juce::uint8 productId) const
{
    const juce::ScopedLock sl (queueLock);
    return queue.contains (productId);
}

bool ContentDownloadThread::isFetchingUnitFiles (juce::uint8 productId) const
{
    const juce::ScopedLock sl (queueLock);
    return queue.contains (productId) && ! unitFilesThrough.contains (productId);
}

int ContentDownloadThread::getNumQueued() const
{
    const juce::ScopedLock sl (queueLock);
    return queue.size();
}

void ContentDownloadThread::run()
{
    while (! threadShouldExit())
    {
        juce::uint8 productId = 255;
        bool prepare = false;
        {
            const juce::ScopedLock sl (queueLock);
            for (auto id : queue)
            {
                if (! unitFilesThrough.contains (id))
                {
                    productId = id;
                    prepare = toPrepare.contains (id);
                    break;
                }
            }
        }
        if (productId == 255)
        {
            wait (-1);
            continue;
        }

        postInfoToHub (InfoCode::productSyncStarted, productId, 0, content.getProductName (productId));
        const bool prepared = ! prepare || content.prepareProduct (productId);
        if (! prepared)
        {
            finish (productId, false);
            continue;
        }
        if (! threadShouldExit())
            content.syncUnitFiles (productId, this);
        {
            const juce::ScopedLock sl (queueLock);
            unitFilesThrough.add (productId);
        }
        largeFiles.notify();

        juce::Thread::yield();
    }
}

void ContentDownloadThread::LargeFiles::run()
{
    while (! threadShouldExit())
    {
        juce::uint8 productId = 255;
        {
            const juce::ScopedLock sl (owner.queueLock);
            if (! owner.unitFilesThrough.isEmpty())
                productId = owner.unitFilesThrough.getFirst();
        }
        if (productId == 255)
        {
            wait (-1);
            continue;
        }

        owner.finish (productId, owner.content.syncLargeFiles (productId, this));
    }
}

void ContentDownloadThread::finish (juce::uint8 productId, bool ok)
{
    {
        const juce::ScopedLock sl (queueLock);
        queue.removeFirstMatchingValue (productId);
        toPrepare.removeFirstMatchingValue (productId);
        unitFilesThrough.removeFirstMatchingValue (productId);
    }
    postInfoToHub (ok ? InfoCode::productSyncSucceeded : InfoCode::productSyncFailed, productId, 0,
                   content.getProductName (productId));
}
