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
}

ContentDownloadThread::~ContentDownloadThread()
{
    stopThread (stopTimeoutMs);
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
        bool empty;
        {
            const juce::ScopedLock sl (queueLock);
            empty = queue.isEmpty();
        }
        if (empty)
            wait (-1);

        if (threadShouldExit())
            break;

        juce::uint8 productId = 255;
        bool prepare = false;
        {
            const juce::ScopedLock sl (queueLock);
            if (queue.isEmpty())
                continue;
            productId = queue.getFirst();
            prepare = toPrepare.contains (productId);
        }

        const auto name = content.getProductName (productId);
        postInfoToHub (InfoCode::productSyncStarted, productId, 0, name);
        const bool prepared = ! prepare || content.prepareProduct (productId);
        const bool ok = prepared && ! threadShouldExit() && content.syncProduct (productId, this, [this, productId]
        {
            const juce::ScopedLock sl (queueLock);
            unitFilesThrough.addIfNotAlreadyThere (productId);
        });
        {
            const juce::ScopedLock sl (queueLock);
            queue.removeFirstMatchingValue (productId);
            toPrepare.removeFirstMatchingValue (productId);
            unitFilesThrough.removeFirstMatchingValue (productId);
        }
        postInfoToHub (ok ? InfoCode::productSyncSucceeded : InfoCode::productSyncFailed, productId, 0, name);

        juce::Thread::yield();
    }
}
